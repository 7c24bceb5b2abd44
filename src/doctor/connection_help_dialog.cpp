#include "doctor/connection_help_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "doctor/connection_doctor.h"

namespace halvern {

ConnectionHelpDialog::ConnectionHelpDialog(QWidget* parent, std::string port, bool simulated,
                                           std::string lastBridge)
    : QDialog(parent),
      m_port(std::move(port)),
      m_simulated(simulated),
      m_lastBridge(std::move(lastBridge)) {
  setWindowTitle(QStringLiteral("Connection Help"));
  auto* layout = new QVBoxLayout(this);
  auto* lead = new QLabel(
      m_simulated
          ? QStringLiteral("The window runs against the simulated instrument, which needs no "
                           "port.\nThese checks are those of a real instrument's USB bridge.")
          : QStringLiteral("What stands between Halvern and the instrument's USB bridge, and the "
                           "command that fixes each fault.\nRun the commands in a terminal, then "
                           "check again and reconnect (File > Reconnect USB)."),
      this);
  lead->setWordWrap(true);
  layout->addWidget(lead);

  m_report = new QPlainTextEdit(this);
  m_report->setObjectName(QStringLiteral("ConnectionReport"));
  m_report->setReadOnly(true);
  // Long commands wrap on screen and copy whole.
  m_report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(m_report, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* again =
      buttons->addButton(QStringLiteral("Check &Again"), QDialogButtonBox::ActionRole);
  QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
  connect(again, &QPushButton::clicked, this, [this] { check(); });
  connect(copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(reportText()); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  resize(760, 480);
  check();
}

QString ConnectionHelpDialog::reportText() const { return m_report->toPlainText(); }

void ConnectionHelpDialog::check() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto findings = doctor::examine(doctor::liveSystem(m_port, m_lastBridge));
  m_report->setPlainText(QString::fromStdString(doctor::formatReport(findings)));
  QApplication::restoreOverrideCursor();
}

}  // namespace halvern

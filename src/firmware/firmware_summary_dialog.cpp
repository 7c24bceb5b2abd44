#include "firmware/firmware_summary_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace halvern {

FirmwareSummaryDialog::FirmwareSummaryDialog(const QString& summary, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("FormFirmwareSummary"));
  setWindowTitle(QStringLiteral("Firmware Update"));

  auto* heading = new QLabel(
      QStringLiteral("The file passed its checks. This is what will be sent to the 40100:"), this);
  m_summary = new QPlainTextEdit(summary, this);
  m_summary->setObjectName(QStringLiteral("MemoFirmwareSummary"));
  m_summary->setReadOnly(true);
  m_summary->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_summary->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QFontMetrics metrics(m_summary->font());
  int widest = 0;
  for (const QString& line : summary.split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  m_summary->setMinimumSize(std::min(widest + 40, 760),
                            metrics.lineSpacing() * (summary.count(QLatin1Char('\n')) + 2));

  auto* buttons = new QDialogButtonBox(this);
  m_continue = buttons->addButton(QStringLiteral("&Continue"), QDialogButtonBox::AcceptRole);
  m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
  // Nothing goes to the instrument by a stray Enter.
  m_cancel->setDefault(true);
  m_cancel->setFocus();
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(m_summary);
  layout->addWidget(buttons);
}

}  // namespace halvern

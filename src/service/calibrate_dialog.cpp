#include "service/calibrate_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/shell.h"
#include "service/calibration.h"

namespace halvern {

namespace {

class StarPasswordStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    if (hint == SH_LineEdit_PasswordMaskDelay) return 0;  // never the last character in clear
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

}  // namespace

CalibrateDialog::CalibrateDialog(Shell& shell, std::function<void()> accepted, QWidget* parent)
    : QDialog(parent), m_shell(shell), m_accepted(std::move(accepted)) {
  setObjectName(QStringLiteral("FormCalibrate"));
  setWindowTitle(QStringLiteral("Calibration Enable"));
  // A fixed dialog border: no resizing, no help button.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);

  auto* label = new QLabel(QStringLiteral("Password"), this);
  m_password = new QLineEdit(this);
  m_password->setObjectName(QStringLiteral("EditPassword"));
  m_password->setEchoMode(QLineEdit::Password);
  // Each character shown as "*", not the style's dot.
  auto* stars = new StarPasswordStyle;
  stars->setParent(m_password);
  m_password->setStyle(stars);
  label->setBuddy(m_password);
  m_ok = new QPushButton(QStringLiteral("&Ok"), this);
  m_ok->setObjectName(QStringLiteral("ButtonOk"));
  m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_cancel->setObjectName(QStringLiteral("ButtonCancel"));
  // Enter in the field is OK's alone: no button presses itself by default.
  for (QPushButton* b : {m_ok, m_cancel}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(m_password);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_ok, &QPushButton::clicked, this, [this] { buttonOkClick(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { buttonCancelClick(); });
  connect(m_password, &QLineEdit::returnPressed, this, [this] { buttonOkClick(); });
}

void CalibrateDialog::buttonOkClick() {
  if (!calibrationPasswordMatches(m_password->text().toStdString())) {
    m_shell.message(calibration_text::kIncorrectPassword, MessageKind::Warning, MessageButtons::Ok);
    return;
  }
  if (m_accepted) m_accepted();
  accept();
}

void CalibrateDialog::buttonCancelClick() { reject(); }

}  // namespace halvern

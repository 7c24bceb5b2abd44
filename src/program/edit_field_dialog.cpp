#include "program/edit_field_dialog.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "app/windows1252.h"
#include "platform/shell.h"

namespace halvern {

namespace {

// Text that arrives other than by a key (pasted, dropped) is held to the same characters.
class FieldValidator : public QValidator {
 public:
  FieldValidator(EditFieldDialog::Kind kind, QObject* parent) : QValidator(parent), m_kind(kind) {}
  State validate(QString& input, int&) const override {
    for (QChar c : input)
      if (!EditFieldDialog::acceptsCharacter(m_kind, c)) return Invalid;
    return Acceptable;
  }

 private:
  EditFieldDialog::Kind m_kind;
};

}  // namespace

QString EditFieldDialog::caption(Kind kind) {
  switch (kind) {
    case Kind::Integer:
      return QStringLiteral("Edit Integer Number");
    case Kind::Decimal:
      return QStringLiteral("Edit Decimal Number");
    case Kind::Hex:
      return QStringLiteral("Edit Hex Number");
    case Kind::Text:
      break;
  }
  return QStringLiteral("Edit Text");
}

bool EditFieldDialog::acceptsCharacter(Kind kind, QChar c) {
  if (c == QChar(0x08)) return true;  // Backspace
  const char16_t u = c.unicode();
  const bool digit = u >= '0' && u <= '9';
  switch (kind) {
    case Kind::Integer:
      return digit;
    case Kind::Decimal:
      return digit || u == '-' || u == '.';
    case Kind::Hex:
      return digit || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
    case Kind::Text:
      // Any character the program's single-byte text can hold.
      return u >= 0x20 && Windows1252::byteOf(u).has_value();
  }
  return false;
}

EditFieldDialog::EditFieldDialog(Kind kind, Shell& shell, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_shell(shell) {
  setWindowTitle(caption(kind));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);

  m_field = new QLineEdit(this);
  m_field->setObjectName(QStringLiteral("Edit1"));
  m_field->setGeometry(24, 16, 173, 21);
  m_field->setValidator(new FieldValidator(kind, m_field));
  m_field->installEventFilter(this);
  if (kind == Kind::Text) {
    m_field->setToolTip(QStringLiteral("Use '\\\" character to denote end of string."));
  }

  m_ok = new QPushButton(QStringLiteral("&Ok"), this);
  m_ok->setObjectName(QStringLiteral("Button1"));
  m_ok->setGeometry(24, 56, 75, 25);
  m_ok->setAutoDefault(false);
  m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_cancel->setObjectName(QStringLiteral("Button2"));
  m_cancel->setGeometry(122, 56, 75, 25);
  m_cancel->setAutoDefault(false);
  connect(m_ok, &QPushButton::clicked, this, [this] {
    m_field->setFocus();
    accept();
  });
  connect(m_cancel, &QPushButton::clicked, this, [this] {
    m_field->setFocus();
    reject();
  });
  m_field->setFocus();
}

void EditFieldDialog::setField(const QString& text, int width) {
  m_field->setMaxLength(width);
  m_field->setText(text);
  m_field->selectAll();
  m_field->setFocus();
}

QString EditFieldDialog::text() const { return m_field->text(); }

bool EditFieldDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != m_field || event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    accept();  // the key itself goes nowhere
    return true;
  }
  // Keys that type nothing (arrows, Delete, Home, End) and the dialog's own keys pass on.
  const QString typed = key->text();
  if (typed.isEmpty() || key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
      key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Delete)
    return false;
  if (acceptsCharacter(m_kind, typed.front())) return false;
  // The text field takes every key: its control keys edit, copy and paste as usual.
  if (m_kind == Kind::Text && typed.front().unicode() < 0x20) return false;
  m_shell.beep(BeepKind::Default);
  return true;
}

}  // namespace halvern

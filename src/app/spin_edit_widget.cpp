#include "app/spin_edit_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

namespace halvern {

namespace {

// Hears the focus on one widget and the clicks on another (a spin box and its text field).
class WholeOnFirstClick : public QObject {
 public:
  WholeOnFirstClick(QLineEdit* field, QWidget* focusOwner) : QObject(field), m_field(field) {
    focusOwner->installEventFilter(this);
    if (focusOwner != field) field->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::FocusIn:
        m_pending = true;
        break;
      case QEvent::FocusOut:
        m_pending = false;
        break;
      case QEvent::MouseButtonRelease:
        if (watched == m_field && m_pending &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
          m_pending = false;
          // A drag that selected part of the text keeps its own selection.
          if (!m_field->hasSelectedText()) m_field->selectAll();
        }
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QLineEdit* m_field;
  bool m_pending = false;
};

}  // namespace

void selectWholeOnFirstClick(QLineEdit* field, QWidget* focusOwner) {
  new WholeOnFirstClick(field, focusOwner != nullptr ? focusOwner : field);
}

SpinEditWidget::SpinEditWidget(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
  // QSpinBox writes its value in the widget's locale (QLocale's default follows LANG, LC_ALL or
  // LC_NUMERIC), which may use other digits than 0 to 9; the value reaches files and the wire.
  setLocale(QLocale::c());
  setRange(minimum, maximum);
  setAccelerated(false);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
    if (m_onText) m_onText(text);
  });
  selectWholeOnFirstClick(lineEdit(), this);
  // Left (or Enter pressed): the text becomes the value it stands for, inside the range.
  connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
    const QString clamped = QString::number(valueFromText(lineEdit()->text()));
    if (lineEdit()->text() != clamped) lineEdit()->setText(clamped);
  });
}

bool SpinEditWidget::acceptsCharacter(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QChar(0x08);
}

void SpinEditWidget::pasteNumber() {
  const QString text = QApplication::clipboard()->text().trimmed();
  const bool number = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
  });
  if (!number || isReadOnly()) {
    QApplication::beep();
    return;
  }
  lineEdit()->insert(text);
}

void SpinEditWidget::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    pasteNumber();
    event->accept();
    return;
  }
  const QString text = event->text();
  // Keys without a character (arrows, Tab, Delete, function keys) and the editing shortcuts
  // with Ctrl keep their usual meaning.
  const bool shortcut = (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
  if (!shortcut && !text.isEmpty() && event->key() != Qt::Key_Backspace &&
      event->key() != Qt::Key_Delete && event->key() != Qt::Key_Tab &&
      event->key() != Qt::Key_Backtab && event->key() != Qt::Key_Return &&
      event->key() != Qt::Key_Enter && event->key() != Qt::Key_Escape) {
    if (!std::all_of(text.begin(), text.end(), acceptsCharacter)) {
      event->accept();  // swallowed
      return;
    }
  }
  QSpinBox::keyPressEvent(event);
}

void SpinEditWidget::stepBy(int steps) {
  const QString before = lineEdit()->text();
  QSpinBox::stepBy(steps);
  if (m_onText && lineEdit()->text() != before) m_onText(lineEdit()->text());
}

void SpinEditWidget::focusInEvent(QFocusEvent* event) {
  QSpinBox::focusInEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
      reason != Qt::MouseFocusReason)
    return;
  // Queued: the click that gave the focus places the cursor after this, and would undo a
  // selection made now.
  QTimer::singleShot(0, this, [this] {
    if (hasFocus()) selectAll();
  });
}

QValidator::State SpinEditWidget::validate(QString& text, int&) const {
  if (text.isEmpty()) return QValidator::Intermediate;
  for (QChar c : text)
    if (!c.isDigit()) return QValidator::Invalid;
  bool ok = false;
  const long long v = text.toLongLong(&ok);
  if (!ok) return QValidator::Intermediate;
  return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void SpinEditWidget::fixup(QString& text) const { text = QString::number(valueFromText(text)); }

int SpinEditWidget::valueFromText(const QString& text) const {
  bool ok = false;
  const long long v = text.toLongLong(&ok);
  if (!ok || text.isEmpty()) return minimum();
  return static_cast<int>(std::clamp<long long>(v, minimum(), maximum()));
}

QString SpinEditWidget::textFromValue(int value) const { return QString::number(value); }

void SpinEditWidget::showValue(int value) {
  if (lineEdit()->hasFocus() && valueFromText(lineEdit()->text()) == value) return;
  if (this->value() == value && lineEdit()->text() == QString::number(value)) return;
  QSignalBlocker block(lineEdit());
  setValue(value);
  lineEdit()->setText(QString::number(value));
}

}  // namespace halvern

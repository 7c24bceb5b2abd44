#pragma once

#include <QSpinBox>
#include <functional>

class QLineEdit;

namespace halvern {

// A number field's whole text is selected by the first click into it, however the keyboard came
// there (Tab, a label's shortcut, an operation handing it back), so that typing replaces the
// value; a second click places the caret. `focusOwner`: the widget that hears the focus (the
// field itself, or the spin box around it).
void selectWholeOnFirstClick(QLineEdit* field, QWidget* focusOwner = nullptr);

// A spin edit as the Setup page's controls behave: typing takes the digits 0 to 9 and Backspace
// and swallows every other character, while the editing keys keep their meaning (Ctrl+A, Ctrl+C,
// Ctrl+X, Ctrl+Z, Home, End, Delete, the arrows; Ctrl+V pastes digits only); any digits may stand
// while the control has the focus, and a value outside the range is brought to the nearer bound
// when it loses the focus (an empty text to the minimum). `onText` hears every change of the text,
// typed or spun, so a value typed and not yet left counts. Entered by Tab or by a click, the whole
// text is selected, so that typing replaces the value instead of adding to it. The digits are
// always 0 to 9 without grouping, whatever the desktop's locale, as the files and the wire take
// them.
class SpinEditWidget : public QSpinBox {
 public:
  SpinEditWidget(int minimum, int maximum, QWidget* parent = nullptr);

  void setOnText(std::function<void(const QString&)> onText) { m_onText = std::move(onText); }
  // The text field inside.
  QLineEdit* editor() const { return lineEdit(); }
  // Shows `value` unless the user is typing in the control.
  void showValue(int value);

  // The arrow keys and buttons, Page Up and Down, the wheel: the control writes its text with its
  // signals held back, so `onText` is told here.
  void stepBy(int steps) override;

  // The filter of typed characters: digits and Backspace pass.
  static bool acceptsCharacter(QChar c);
  // Pastes the clipboard at the caret when it holds a number the field takes (digits, blanks
  // around them ignored); anything else is refused with a beep and the text stays as it was.
  void pasteNumber();

 protected:
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& text) const override;
  int valueFromText(const QString& text) const override;
  QString textFromValue(int value) const override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  std::function<void(const QString&)> m_onText;
};

}  // namespace halvern

#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace halvern {

class Shell;

// The four one-field parameter dialogs: "Edit Integer Number", "Edit Decimal Number", "Edit Hex
// Number" and "Edit Text". Each field takes only its kind's keys; any other key is dropped with a
// beep. Enter closes with OK; "&Ok" and "&Cancel" close with their results, and any other way of
// closing counts as Cancel.
class EditFieldDialog : public QDialog {
 public:
  enum class Kind { Integer, Decimal, Hex, Text };

  static constexpr int kClientWidth = 221;
  static constexpr int kClientHeight = 98;

  EditFieldDialog(Kind kind, Shell& shell, QWidget* parent = nullptr);

  // The field's text, all of it selected, and the most characters that can be typed.
  void setField(const QString& text, int width);
  QString text() const;

  // Whether the field of `kind` takes the character `c` (Backspace included).
  static bool acceptsCharacter(Kind kind, QChar c);
  static QString caption(Kind kind);

  QLineEdit* field() const { return m_field; }
  QPushButton* okButton() const { return m_ok; }
  QPushButton* cancelButton() const { return m_cancel; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Kind m_kind;
  Shell& m_shell;
  QLineEdit* m_field = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace halvern

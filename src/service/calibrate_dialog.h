#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace halvern {

class Shell;

// "Calibration Enable": the password asked before the calibration buttons are enabled. Made once
// and kept, so the field holds what was typed last time. A wrong password is refused with a
// warning and the dialog stays open; the right one runs `accepted` and closes it with OK.
class CalibrateDialog : public QDialog {
 public:
  CalibrateDialog(Shell& shell, std::function<void()> accepted, QWidget* parent = nullptr);

  void buttonOkClick();
  void buttonCancelClick();

  QLineEdit* password() const { return m_password; }
  QPushButton* okButton() const { return m_ok; }
  QPushButton* cancelButton() const { return m_cancel; }

 private:
  Shell& m_shell;
  std::function<void()> m_accepted;
  QLineEdit* m_password = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace halvern

#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace halvern {

// What a firmware file holds, shown before anything of it reaches the instrument: Continue goes
// on to the update (accepted), Cancel sends nothing (rejected).
class FirmwareSummaryDialog : public QDialog {
 public:
  FirmwareSummaryDialog(const QString& summary, QWidget* parent = nullptr);

  QPlainTextEdit* summary() const { return m_summary; }
  QPushButton* continueButton() const { return m_continue; }
  QPushButton* cancelButton() const { return m_cancel; }

 private:
  QPlainTextEdit* m_summary = nullptr;
  QPushButton* m_continue = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace halvern

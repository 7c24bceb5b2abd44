#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace halvern {

class ProgramDocument;

// Two programs side by side, ours on the left and theirs on the right, one row for each line of
// either (alignPrograms): a line with another value on each side in amber on both, a line only
// ours holds in red, one only theirs holds in green, each facing a grey filler row. Both columns
// scroll as one. Next Difference (F3) and Previous Difference (Shift+F3) go from one run of rows
// that differ to the next; Copy puts the unified diff (comparePrograms) on the clipboard.
class ProgramCompareDialog : public QDialog {
 public:
  // The names head the two columns and name the sides in the heading and the copied diff.
  ProgramCompareDialog(const QString& title, const ProgramDocument& ours,
                       const ProgramDocument& theirs, const QString& oursName,
                       const QString& theirsName, QWidget* parent = nullptr);

  QLabel* heading() const { return m_heading; }
  QTableWidget* rows() const { return m_rows; }
  QPushButton* nextButton() const { return m_next; }
  QPushButton* previousButton() const { return m_previous; }
  QPushButton* copyButton() const { return m_copy; }

  // Makes the first row of the next (or the previous) run of rows that differ the current one.
  void goToDifference(bool forward);

 private:
  void updateButtons();

  std::vector<int> m_runs;  // the first row of each run of rows that differ
  QString m_diff;
  QLabel* m_heading = nullptr;
  QTableWidget* m_rows = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_previous = nullptr;
  QPushButton* m_copy = nullptr;
};

}  // namespace halvern

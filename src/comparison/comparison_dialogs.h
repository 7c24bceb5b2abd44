#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "comparison/backups.h"

class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace halvern {

struct Comparison;

// What a comparison found, for reading: the differences as they are listed (a part's heading in
// bold, what only the window holds in red after "-", what only the 40100 holds in green after
// "+"), then what was not compared in grey. Copy puts the whole text on the clipboard.
class ComparisonDialog : public QDialog {
 public:
  ComparisonDialog(const QString& title, const QString& heading, const Comparison& comparison,
                   QWidget* parent = nullptr);

  QLabel* heading() const { return m_heading; }
  QPlainTextEdit* text() const { return m_text; }
  QPushButton* copyButton() const { return m_copy; }
  // A button of its own beside Copy.
  QPushButton* addButton(const QString& caption);

 private:
  QDialogButtonBox* m_buttons = nullptr;
  QLabel* m_heading = nullptr;
  QPlainTextEdit* m_text = nullptr;
  QPushButton* m_copy = nullptr;
};

// The backups of a folder to choose one to restore, newest first: when, the bridge's serial
// number, the send it was made before, and its state. A damaged backup is listed, marked and
// cannot be chosen. Accepted with one chosen.
class RestoreBackupDialog : public QDialog {
 public:
  RestoreBackupDialog(const QString& folder, std::vector<Backup> backups,
                      QWidget* parent = nullptr);

  // The backup chosen; null when none is.
  const Backup* chosen() const;

  QTreeWidget* list() const { return m_list; }
  QPushButton* restoreButton() const { return m_restore; }

 private:
  std::vector<Backup> m_backups;
  QTreeWidget* m_list = nullptr;
  QPushButton* m_restore = nullptr;
};

}  // namespace halvern

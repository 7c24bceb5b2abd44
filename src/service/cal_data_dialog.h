#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "service/calibration.h"

class QPushButton;
class QTableWidget;

namespace halvern {

// The calibration table the instrument last sent, as a table: its columns under the header's
// names, the cells selectable. Copy puts the selected cells (all of them when none is selected)
// on the clipboard as tab-separated lines, as a spreadsheet pastes them; Save as CSV hands the
// whole table's CSV to `save`.
class CalDataDialog : public QDialog {
 public:
  CalDataDialog(const CalDataTable& table, std::function<void(const std::string& csv)> save,
                QWidget* parent = nullptr);

  QTableWidget* table() const { return m_table; }
  QPushButton* copyButton() const { return m_copy; }
  QPushButton* saveButton() const { return m_save; }
  // The cells Copy takes, as tab-separated lines each ended by a line feed.
  QString copiedText() const;

 private:
  CalDataTable m_data;
  QTableWidget* m_table = nullptr;
  QPushButton* m_copy = nullptr;
  QPushButton* m_save = nullptr;
};

}  // namespace halvern

#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/page_host.h"
#include "records/records_table.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace halvern {

class RecordsPlot;

// The plot of the Get Records page: the records' Number fields to choose from, the plot, the
// statistics of what it shows, Open Records File..., Reset and the exports (the view as PNG or
// SVG, the records shown as CSV).
class RecordsPlotView : public QWidget {
 public:
  explicit RecordsPlotView(QWidget* parent = nullptr);

  // How the view asks for a file (empty: cancelled) and shows a warning.
  void setFileChooser(std::function<QString(const FileRequest&)> choose) {
    m_choose = std::move(choose);
  }
  void setWarner(std::function<void(const std::string&)> warn) { m_warn = std::move(warn); }
  // What the CSV files say of the records (their formats, the bridge, the group), asked when one
  // is written; and where a line for the message area goes.
  void setAbout(std::function<CsvAbout()> about) { m_about = std::move(about); }
  void setReporter(std::function<void(const std::string&)> report) { m_report = std::move(report); }

  // Shows the records of a records text file; the warning to show when it cannot be read, empty
  // when it was.
  std::string openFile(const std::string& path);
  // Shows `table`, read from `source` (the file's name, said in the exports).
  void setTable(std::shared_ptr<const RecordsTable> table, const std::string& source);

  // The exports, to the file given; the warning when a save failed, else empty.
  std::string savePng(const std::string& path) const;
  std::string saveSvg(const std::string& path) const;
  std::string saveCsv(const std::string& path) const;
  // All the records as CSV, whatever is shown.
  std::string saveAllCsv(const std::string& path) const;
  // The records newer than the archive's last added to it (a new archive made); the warning
  // when nothing could be added, else empty. `added` gets the count added.
  std::string addToArchive(const std::string& path, std::size_t* added = nullptr) const;

  RecordsPlot* plot() const { return m_plot; }
  QListWidget* fieldList() const { return m_fieldList; }
  QTableWidget* statistics() const { return m_stats; }
  QPushButton* openButton() const { return m_open; }
  QPushButton* resetButton() const { return m_reset; }
  QToolButton* exportButton() const { return m_export; }
  QLabel* rangeLabel() const { return m_range; }

 private:
  void fillFieldList();
  void fieldsChosen();
  void showStatistics();
  void chooseAndOpen();
  void chooseAndSave(const char* filter, const char* suffix, const char* title, const char* kind,
                     std::string (RecordsPlotView::*save)(const std::string&) const);
  QString xText(double x) const;

  RecordsPlot* m_plot = nullptr;
  QListWidget* m_fieldList = nullptr;
  QTableWidget* m_stats = nullptr;
  QPushButton* m_open = nullptr;
  QPushButton* m_reset = nullptr;
  QToolButton* m_export = nullptr;
  QLabel* m_range = nullptr;
  std::string m_source;
  std::function<QString(const FileRequest&)> m_choose;
  std::function<void(const std::string&)> m_warn;
  std::function<CsvAbout()> m_about;
  std::function<void(const std::string&)> m_report;
};

}  // namespace halvern

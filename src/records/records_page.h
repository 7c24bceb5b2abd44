#pragma once

#include <QWidget>
#include <functional>
#include <string_view>

#include "app/page_host.h"
#include "records/records_commands.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace halvern {

class RecordsPlotView;
class SpinEditWidget;
struct RecordsSettings;

// The page among the window's tabs.
inline constexpr Page kRecordsPage{"Get Records", "TabSheetRecords"};

// The Get Records page: the number of records to retrieve, "Show Records", the field delimiter,
// the records window, Get Records and Clear Text. Every change goes to the settings at once. "Text"
// and "Plot" show the records window or, in its place, the plot of the records.
class RecordsPage : public QWidget, public PageView {
 public:
  RecordsPage(RecordsSettings& settings, QWidget* parent = nullptr);

  // What a download reaches of the window through this page: the file dialog, the text window,
  // the buttons. Kept for the page's life.
  void setView(RecordsView view) { m_view = std::move(view); }
  const RecordsView& view() const { return m_view; }

  // The settings shown again (a download may uncheck "Show Records").
  void refresh() override;
  // Text appended to the records window at its end, "\r\n" line ends.
  void appendRecordsText(std::string_view text);
  // Get Records and Clear Text.
  void setButtonsEnabled(bool enabled);
  // Run by Get Records, and by Enter in the number of records.
  void setOnGetRecords(std::function<void()> run) { m_onGetRecords = std::move(run); }

  SpinEditWidget* numOfRecords() const { return m_count; }
  QCheckBox* showRecords() const { return m_show; }
  QComboBox* delimiter() const { return m_delimiter; }
  QPlainTextEdit* records() const { return m_records; }
  QPushButton* getRecords() const { return m_get; }
  QPushButton* clearText() const { return m_clear; }
  RecordsPlotView* plotView() const { return m_plot; }
  QToolButton* showText() const { return m_showText; }
  QToolButton* showPlot() const { return m_showPlot; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  RecordsSettings& m_settings;
  SpinEditWidget* m_count = nullptr;
  QCheckBox* m_show = nullptr;
  QComboBox* m_delimiter = nullptr;
  QPlainTextEdit* m_records = nullptr;
  QPushButton* m_get = nullptr;
  QPushButton* m_clear = nullptr;
  RecordsPlotView* m_plot = nullptr;
  QToolButton* m_showText = nullptr;
  QToolButton* m_showPlot = nullptr;
  std::function<void()> m_onGetRecords;
  RecordsView m_view;
};

}  // namespace halvern

#pragma once

#include <QWidget>
#include <functional>
#include <string_view>

#include "app/page_host.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace halvern {

class SpinEditWidget;
struct RecordsSettings;

// The page among the window's tabs.
inline constexpr Page kRecordsPage{"Get Records", "TabSheetRecords"};

// The Get Records page: the number of records to retrieve, "Show Records", the field delimiter,
// the records window, Get Records and Clear Text. Every change goes to the settings at once.
class RecordsPage : public QWidget, public PageView {
 public:
  RecordsPage(RecordsSettings& settings, QWidget* parent = nullptr);

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
  std::function<void()> m_onGetRecords;
};

}  // namespace halvern

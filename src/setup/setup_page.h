#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "app/page_host.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QScrollArea;

namespace halvern {

class Calendar;
class SetupModel;
class SpinEditWidget;

// The page among the window's tabs.
inline constexpr Page kSetupPage{"Setup", "TabSheetSetup"};

// The Setup page: a thin view of the SetupModel. Every edit goes to the model at once (a value
// typed and not yet left counts); every change of the model (a get, a file) shows at the next
// refresh.
class SetupPage : public QWidget, public PageView {
 public:
  SetupPage(SetupModel& model, const Calendar& calendar, QWidget* parent = nullptr);
  ~SetupPage() override;

  // The 500 ms clock tick: with "Use PC System Time" checked and this page shown, the date and
  // time fields follow the computer's clock.
  void clockTick(bool pageShown);
  // Shows the model's values in the controls when they changed.
  void refresh() override;

  // The controls, by their role (for the window and the tests).
  QButtonGroup* com1Type() const { return m_com1Type; }
  QButtonGroup* com1Baud() const { return m_com1Baud; }
  QButtonGroup* com2Baud() const { return m_com2Baud; }
  QCheckBox* stopOnError() const { return m_stopOnError; }
  QCheckBox* keypadLock() const { return m_keypadLock; }
  QCheckBox* autoScroll() const { return m_autoScroll; }
  QCheckBox* usePcTime() const { return m_usePcTime; }
  SpinEditWidget* interval() const { return m_interval; }
  SpinEditWidget* fieldsPerRecord() const { return m_fieldsPerRecord; }
  SpinEditWidget* scrollPause() const { return m_scrollPause; }
  SpinEditWidget* scrollEnd() const { return m_scrollEnd; }
  QLineEdit* dateField() const { return m_date; }
  QLineEdit* timeField() const { return m_time; }
  struct FieldRow {
    QWidget* number;
    QLineEdit* label;
    QComboBox* type;
    SpinEditWidget* width;
    SpinEditWidget* precision;
  };
  const FieldRow& row(int index) const { return m_rows.at(static_cast<std::size_t>(index)); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QButtonGroup* makeRadioGroup(QGroupBox* box, const QStringList& captions, int columns,
                               std::function<void(int)> onPick);
  SpinEditWidget* makeSpin(const QString& top, const QString& bottom, int minimum, int maximum,
                           int x, int y, const char* name);
  void buildRecordGrid(QScrollArea* area);
  void showModel();

  SetupModel& m_model;
  const Calendar& m_calendar;
  QButtonGroup* m_com1Type = nullptr;
  QButtonGroup* m_com1Baud = nullptr;
  QButtonGroup* m_com2Baud = nullptr;
  QCheckBox* m_stopOnError = nullptr;
  QCheckBox* m_keypadLock = nullptr;
  QCheckBox* m_autoScroll = nullptr;
  QCheckBox* m_usePcTime = nullptr;
  SpinEditWidget* m_interval = nullptr;
  SpinEditWidget* m_fieldsPerRecord = nullptr;
  SpinEditWidget* m_scrollPause = nullptr;
  SpinEditWidget* m_scrollEnd = nullptr;
  QLineEdit* m_date = nullptr;
  QLineEdit* m_time = nullptr;
  std::array<FieldRow, 25> m_rows{};
  std::uint64_t m_shownVersion = 0;
};

}  // namespace halvern

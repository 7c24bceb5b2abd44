#pragma once

#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "app/page_host.h"
#include "service/calibration.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace halvern {

// The page among the window's tabs.
inline constexpr Page kCalibrationPage{"Calibration", "TabSheetCalib"};

// The Calibration page: Confirm, the full-scale reference, the steps and checks of each input and
// output kind in their boxes, Get Cal Data, Stop Calibration and the fixed note. The steps and
// checks stay disabled until the calibration password has been given; the module runs them.
class CalibrationPage : public QWidget, public PageView {
 public:
  explicit CalibrationPage(QWidget* parent = nullptr);

  // Nothing of the document is shown here.
  void refresh() override {}

  // True once the password was accepted; never false again while the program runs.
  bool calibrationEnabled() const { return m_enabled; }
  void enableCalibration() { m_enabled = true; }

  bool confirm() const;
  // The reference field's text, as it stands ("5000.00").
  std::string reference() const;

  QCheckBox* calConfirm() const { return m_confirm; }
  QLineEdit* vRef() const { return m_vRef; }
  QPushButton* stepButton(CalibrationStep step) const {
    return m_steps[static_cast<std::size_t>(step)];
  }
  QPushButton* checkButton(CalibrationCheck check) const {
    return m_checks[static_cast<std::size_t>(check)];
  }
  QPushButton* getCalData() const { return m_getCalData; }
  QPushButton* stopCal() const { return m_stopCal; }
  QPushButton* showTable() const { return m_showTable; }
  // The bytes of the table Get Cal Data brought last; Show as Table is enabled once there are.
  void setCalData(std::string received);
  const std::string& calData() const { return m_calData; }
  QLabel* note() const { return m_note; }
  // The fifteen buttons the password enables, in the order they are enabled.
  std::vector<QPushButton*> calibrationButtons() const;

 private:
  bool m_enabled = false;
  QCheckBox* m_confirm = nullptr;
  QLineEdit* m_vRef = nullptr;
  std::array<QPushButton*, 8> m_steps{};
  std::array<QPushButton*, 7> m_checks{};
  QPushButton* m_getCalData = nullptr;
  QPushButton* m_stopCal = nullptr;
  QPushButton* m_showTable = nullptr;
  std::string m_calData;
  QLabel* m_note = nullptr;
};

}  // namespace halvern

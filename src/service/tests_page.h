#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "app/page_host.h"
#include "service/hardware_tests.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace halvern {

class SpinEditWidget;

// The page among the window's tabs.
inline constexpr Page kTestsPage{"Tests", "TabSheetTests"};

// The Tests page: a single input of any kind, the analog outputs at their test levels, the
// display, switch, RAM and signature tests, and the pull-downs. It holds nothing but its
// controls; every test runs through `run`, the one command path.
class TestsPage : public QWidget, public PageView {
 public:
  using Runner = std::function<CommandResult(const InstrumentCommand&)>;
  explicit TestsPage(Runner run, QWidget* parent = nullptr);

  // Nothing of the document is shown here.
  void refresh() override {}

  void comboBoxTestInputChange();
  void cSpinEditTestInChanChange();
  void buttonTestInputClick();
  void buttonTestOutputClick();
  void buttonAnOutResetClick();
  void buttonTestDisplayClick();
  void buttonSwitchClick();
  void buttonTestRamClick();
  void buttonTestPgmClick();
  void buttonROMChksumClick();
  // The box of channel 1 to 4 was clicked.
  void checkBoxPDClick(int channel);

  SpinEditWidget* testInChan() const { return m_inChan; }
  QComboBox* testInput() const { return m_input; }
  QPushButton* testInputButton() const { return m_testInput; }
  QLineEdit* testInputResult() const { return m_inputResult; }
  SpinEditWidget* testOutChan() const { return m_outChan; }
  QRadioButton* level(int index) const { return m_levels[static_cast<std::size_t>(index)]; }
  QPushButton* testOutputButton() const { return m_testOutput; }
  QPushButton* anOutReset() const { return m_reset; }
  QPushButton* testDisplay() const { return m_display; }
  QPushButton* switchButton() const { return m_switch; }
  SpinEditWidget* swChan() const { return m_swChan; }
  QRadioButton* swOn() const { return m_swOn; }
  QRadioButton* swOff() const { return m_swOff; }
  QPushButton* testRam() const { return m_ram; }
  QPushButton* testPgm() const { return m_pgm; }
  QPushButton* romChksum() const { return m_rom; }
  QLineEdit* testResult() const { return m_result; }
  QCheckBox* pullDown(int channel) const {
    return m_pullDowns[static_cast<std::size_t>(channel - 1)];
  }
  // The buttons and boxes that start instrument operations.
  std::vector<QAbstractButton*> instrumentButtons() const;

 private:
  void showResult(QLineEdit* field, const std::string& text);
  int channelOf(const SpinEditWidget* spin) const;

  Runner m_run;
  SpinEditWidget* m_inChan = nullptr;
  QComboBox* m_input = nullptr;
  QPushButton* m_testInput = nullptr;
  QLineEdit* m_inputResult = nullptr;
  SpinEditWidget* m_outChan = nullptr;
  std::array<QRadioButton*, kOutputLevelCount> m_levels{};
  QPushButton* m_testOutput = nullptr;
  QPushButton* m_reset = nullptr;
  QPushButton* m_display = nullptr;
  QPushButton* m_switch = nullptr;
  SpinEditWidget* m_swChan = nullptr;
  QRadioButton* m_swOn = nullptr;
  QRadioButton* m_swOff = nullptr;
  QPushButton* m_ram = nullptr;
  QPushButton* m_pgm = nullptr;
  QPushButton* m_rom = nullptr;
  QLineEdit* m_result = nullptr;
  std::array<QCheckBox*, kTestPullDownChannels> m_pullDowns{};
};

}  // namespace halvern

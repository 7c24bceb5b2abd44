#include "service/tests_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>

#include "app/drop_down_list_style.h"
#include "app/spin_edit_widget.h"
#include "app/windows1252.h"

namespace halvern {

namespace {

QString text(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}

QPushButton* button(const char* caption, const char* name, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QLineEdit* resultField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setReadOnly(true);
  return field;
}

constexpr std::array<const char*, kOutputLevelCount> kLevelNames = {
    "RadioButton0mV", "RadioButton1000mV", "RadioButton2500mV", "RadioButton5000mV",
    "RadioButton0mA", "RadioButton4mA",    "RadioButton12mA",   "RadioButton20mA"};

}  // namespace

TestsPage::TestsPage(Runner run, QWidget* parent) : QWidget(parent), m_run(std::move(run)) {
  // Test Inputs.
  auto* inputs = new QGroupBox(QStringLiteral("Test Inputs"), this);
  inputs->setGeometry(12, 8, 536, 92);
  auto* inGrid = new QGridLayout(inputs);
  m_inChan = new SpinEditWidget(kMinTestChannel, kInitialInputRange.maximum, inputs);
  m_inChan->setObjectName(QStringLiteral("CSpinEditTestInChan"));
  m_inChan->setValue(kInitialInputRange.value);
  m_inChan->setSingleStep(kInitialInputRange.step);
  // As wide as the widest range needs, whatever range the input kind gives it: the row does not
  // move when the kind changes.
  {
    int widest = kInitialInputRange.maximum;
    for (int kind = 0; kind < kInputKindCount; ++kind)
      if (const auto range = inputChannelRange(static_cast<InputKind>(kind)))
        widest = std::max(widest, range->maximum);
    m_inChan->setMaximum(widest);
    m_inChan->setFixedWidth(m_inChan->sizeHint().width());
    m_inChan->setMaximum(kInitialInputRange.maximum);
  }
  m_input = new QComboBox(inputs);
  m_input->setObjectName(QStringLiteral("ComboBoxTestInput"));
  for (auto name : kInputKindNames) m_input->addItem(text(name));
  m_input->setEditable(false);
  m_input->setStyle(new DropDownListStyle(0, m_input));
  m_testInput = button("Test", "ButtonTestInput", inputs);
  m_inputResult = resultField("EditTestInputResult", inputs);
  inGrid->addWidget(new QLabel(QStringLiteral("Chan"), inputs), 0, 0);
  inGrid->addWidget(new QLabel(QStringLiteral("Input"), inputs), 0, 1);
  inGrid->addWidget(new QLabel(QStringLiteral("Result"), inputs), 0, 3);
  inGrid->addWidget(m_inChan, 1, 0);
  inGrid->addWidget(m_input, 1, 1);
  inGrid->addWidget(m_testInput, 1, 2);
  inGrid->addWidget(m_inputResult, 1, 3);
  inGrid->setColumnStretch(1, 2);
  inGrid->setColumnStretch(3, 3);
  connect(m_input, &QComboBox::currentIndexChanged, this, [this] { comboBoxTestInputChange(); });
  connect(m_inChan, &QSpinBox::valueChanged, this, [this] { cSpinEditTestInChanChange(); });
  connect(m_testInput, &QPushButton::clicked, this, [this] { buttonTestInputClick(); });

  // Test Analog Outputs.
  auto* outputs = new QGroupBox(QStringLiteral("Test Analog Outputs"), this);
  outputs->setGeometry(12, 108, 536, 120);
  auto* outGrid = new QGridLayout(outputs);
  m_outChan = new SpinEditWidget(kMinTestChannel, kTestOutputChannels, outputs);
  m_outChan->setObjectName(QStringLiteral("CSpinEditTestOutChan"));
  m_outChan->setValue(1);
  outGrid->addWidget(new QLabel(QStringLiteral("Chan"), outputs), 0, 0);
  outGrid->addWidget(m_outChan, 1, 0);
  auto* levels = new QButtonGroup(outputs);
  for (int i = 0; i < kOutputLevelCount; ++i) {
    auto* radio =
        new QRadioButton(text(kOutputLevels[static_cast<std::size_t>(i)].caption), outputs);
    radio->setObjectName(QString::fromLatin1(kLevelNames[static_cast<std::size_t>(i)]));
    levels->addButton(radio, i);
    m_levels[static_cast<std::size_t>(i)] = radio;
    // Volts in the first row, currents in the second.
    outGrid->addWidget(radio, 1 + i / 4, 1 + i % 4);
  }
  m_levels[0]->setChecked(true);
  m_testOutput = button("Test", "ButtonTestOutput", outputs);
  m_reset = button("Reset All", "ButtonAnOutReset", outputs);
  outGrid->addWidget(m_testOutput, 1, 5);
  outGrid->addWidget(m_reset, 2, 5);
  connect(m_testOutput, &QPushButton::clicked, this, [this] { buttonTestOutputClick(); });
  connect(m_reset, &QPushButton::clicked, this, [this] { buttonAnOutResetClick(); });

  // Test Other Functions.
  auto* other = new QGroupBox(QStringLiteral("Test Other Functions"), this);
  other->setGeometry(12, 236, 376, 150);
  auto* otherGrid = new QGridLayout(other);
  m_display = button("Display", "ButtonTestDisplay", other);
  m_switch = button("Switch", "ButtonSwitch", other);
  m_swChan = new SpinEditWidget(kMinTestChannel, kTestSwitchChannels, other);
  m_swChan->setObjectName(QStringLiteral("CSpinEditSwChan"));
  m_swChan->setValue(1);
  m_swOn = new QRadioButton(QStringLiteral("On"), other);
  m_swOn->setObjectName(QStringLiteral("RadioButtonSwON"));
  m_swOff = new QRadioButton(QStringLiteral("Off"), other);
  m_swOff->setObjectName(QStringLiteral("RadioButtonSwOFF"));
  auto* onOff = new QButtonGroup(other);
  onOff->addButton(m_swOn);
  onOff->addButton(m_swOff);
  m_swOn->setChecked(true);
  m_ram = button("RAM", "ButtonTestRam", other);
  m_pgm = button("Pgm Chksum", "ButtonTestPgm", other);
  m_rom = button("ROM Chksum", "ButtonROMChksum", other);
  m_result = resultField("EditTestResult", other);
  otherGrid->addWidget(m_display, 0, 0);
  otherGrid->addWidget(m_switch, 1, 0);
  otherGrid->addWidget(m_swChan, 1, 1);
  otherGrid->addWidget(m_swOn, 1, 2);
  otherGrid->addWidget(m_swOff, 1, 3);
  otherGrid->addWidget(m_ram, 2, 0);
  otherGrid->addWidget(m_pgm, 2, 1);
  otherGrid->addWidget(m_rom, 2, 2, 1, 2);
  otherGrid->addWidget(m_result, 3, 0, 1, 4);
  connect(m_display, &QPushButton::clicked, this, [this] { buttonTestDisplayClick(); });
  connect(m_switch, &QPushButton::clicked, this, [this] { buttonSwitchClick(); });
  connect(m_ram, &QPushButton::clicked, this, [this] { buttonTestRamClick(); });
  connect(m_pgm, &QPushButton::clicked, this, [this] { buttonTestPgmClick(); });
  connect(m_rom, &QPushButton::clicked, this, [this] { buttonROMChksumClick(); });

  // Pull Downs.
  auto* pulls = new QGroupBox(QStringLiteral("Pull Downs"), this);
  pulls->setGeometry(396, 236, 152, 150);
  auto* pullGrid = new QGridLayout(pulls);
  for (int channel = 1; channel <= kTestPullDownChannels; ++channel) {
    auto* box = new QCheckBox(QStringLiteral("Chan %1").arg(channel), pulls);
    box->setObjectName(QStringLiteral("CheckBoxPD%1").arg(channel));
    m_pullDowns[static_cast<std::size_t>(channel - 1)] = box;
    pullGrid->addWidget(box, channel - 1, 0);
    connect(box, &QCheckBox::clicked, this, [this, channel] { checkBoxPDClick(channel); });
  }
}

std::vector<QAbstractButton*> TestsPage::instrumentButtons() const {
  std::vector<QAbstractButton*> buttons{m_testInput, m_testOutput, m_reset, m_display,
                                        m_switch,    m_ram,        m_pgm,   m_rom};
  buttons.insert(buttons.end(), m_pullDowns.begin(), m_pullDowns.end());
  return buttons;
}

void TestsPage::showResult(QLineEdit* field, const std::string& result) {
  field->setText(Windows1252::toUnicode(result));
}

int TestsPage::channelOf(const SpinEditWidget* spin) const {
  // A value typed and not yet left counts, inside the range.
  bool ok = false;
  const int typed = spin->cleanText().toInt(&ok);
  return std::clamp(ok ? typed : spin->value(), spin->minimum(), spin->maximum());
}

void TestsPage::comboBoxTestInputChange() {
  m_inputResult->setText(text(tests_text::kClearedResult));
  const auto range = inputChannelRange(static_cast<InputKind>(m_input->currentIndex()));
  if (!range) return;
  m_inChan->setMaximum(range->maximum);
  m_inChan->setValue(range->value);
  m_inChan->setSingleStep(range->step);
}

void TestsPage::cSpinEditTestInChanChange() {
  m_inputResult->setText(text(tests_text::kClearedResult));
}

void TestsPage::buttonTestInputClick() {
  std::string result;
  const auto kind = static_cast<InputKind>(std::max(0, m_input->currentIndex()));
  if (m_run(testInputCommand(kind, channelOf(m_inChan), result)) != CommandResult::Refused)
    showResult(m_inputResult, result);
}

void TestsPage::buttonTestOutputClick() {
  const int selected =
      std::max(0, static_cast<int>(std::find_if(m_levels.begin(), m_levels.end(),
                                                [](auto* r) { return r->isChecked(); }) -
                                   m_levels.begin()));
  const auto& level =
      kOutputLevels[static_cast<std::size_t>(std::min(selected, kOutputLevelCount - 1))];
  (void)m_run(testOutputCommand(channelOf(m_outChan), level));
}

void TestsPage::buttonAnOutResetClick() {
  m_levels[0]->setChecked(true);
  (void)m_run(resetOutputsCommand());
  m_outChan->setValue(1);
}

void TestsPage::buttonTestDisplayClick() { (void)m_run(testDisplayCommand()); }

void TestsPage::buttonSwitchClick() {
  (void)m_run(testSwitchCommand(channelOf(m_swChan), m_swOn->isChecked()));
}

void TestsPage::buttonTestRamClick() {
  std::string result;
  if (m_run(testRamCommand(result)) != CommandResult::Refused) showResult(m_result, result);
}

void TestsPage::buttonTestPgmClick() {
  std::string result;
  if (m_run(programChecksumCommand(result)) != CommandResult::Refused) showResult(m_result, result);
}

void TestsPage::buttonROMChksumClick() {
  std::string result;
  if (m_run(romChecksumCommand(result)) != CommandResult::Refused) showResult(m_result, result);
}

void TestsPage::checkBoxPDClick(int channel) {
  QCheckBox* box = pullDown(channel);
  const bool checked = box->isChecked();
  // The box shows what was last sent: a refused click takes it back.
  if (m_run(pullDownCommand(channel, checked)) == CommandResult::Refused) {
    const QSignalBlocker block(box);
    box->setChecked(!checked);
  }
}

}  // namespace halvern

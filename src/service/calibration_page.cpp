#include "service/calibration_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/spin_edit_widget.h"

namespace halvern {

namespace {

// The note beside the reference, as its lines.
constexpr const char* kNoteLines[] = {
    "Set FS mV ",  "Ref to actual ", "reference ", "voltage ",  "value.",      "",
    "ERASE User ", "Program ",       "before ",    "starting ", "Calibration."};

QPushButton* button(const char* caption, const char* name, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setEnabled(false);
  return b;
}

// A box of three buttons, one above the other, at its place on the page.
QGroupBox* box(const char* caption, const char* name, QRect place, QWidget* parent,
               std::initializer_list<QPushButton**> buttons,
               std::initializer_list<std::pair<const char*, const char*>> captions) {
  auto* group = new QGroupBox(QString::fromLatin1(caption), parent);
  group->setObjectName(QString::fromLatin1(name));
  group->setGeometry(place);
  auto* column = new QVBoxLayout(group);
  auto target = buttons.begin();
  for (const auto& [text, objectName] : captions) {
    **target = button(text, objectName, group);
    column->addWidget(**target);
    ++target;
  }
  column->addStretch();
  return group;
}

}  // namespace

CalibrationPage::CalibrationPage(QWidget* parent) : QWidget(parent) {
  using S = CalibrationStep;
  using C = CalibrationCheck;
  auto step = [this](S s) { return &m_steps[static_cast<std::size_t>(s)]; };
  auto check = [this](C c) { return &m_checks[static_cast<std::size_t>(c)]; };

  m_confirm = new QCheckBox(QStringLiteral("Confirm"), this);
  m_confirm->setObjectName(QStringLiteral("CheckBoxCalConfirm"));
  m_confirm->setChecked(true);
  m_confirm->setGeometry(24, 16, 120, 20);

  auto* refLabel = new QLabel(QStringLiteral("FS mV Ref"), this);
  refLabel->setGeometry(24, 44, 120, 16);
  m_vRef = new QLineEdit(this);
  m_vRef->setObjectName(QStringLiteral("MaskEditVRef"));
  // Four integer digits and two decimals, each one required; the point is part of the text.
  m_vRef->setInputMask(QStringLiteral("9999.99;_"));
  m_vRef->setText(
      QString::fromLatin1(calibration_text::kDefaultReference.data(),
                          static_cast<int>(calibration_text::kDefaultReference.size())));
  m_vRef->setGeometry(24, 62, 80, 22);
  selectWholeOnFirstClick(m_vRef);
  refLabel->setBuddy(m_vRef);

  QStringList note;
  for (const char* line : kNoteLines) note << QString::fromLatin1(line);
  m_note = new QLabel(note.join(QLatin1Char('\n')), this);
  m_note->setObjectName(QStringLiteral("LabelCalNote"));
  m_note->setGeometry(24, 100, 120, 200);
  m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  constexpr int kBoxWidth = 180;
  constexpr int kBoxHeight = 124;
  box("SE Voltage Input", "GroupBoxCalSE", QRect(170, 12, kBoxWidth, kBoxHeight), this,
      {step(S::SeZero), step(S::SeFullScale), check(C::Se)},
      {{"SE Zero", "ButtonSetSEZero"},
       {" SE Full Scale", "ButtonSetSEFullScale"},
       {"SE Check", "ButtonSeChk"}});
  box("DIFF Voltage Input", "GroupBoxCalDIFF", QRect(368, 12, kBoxWidth, kBoxHeight), this,
      {step(S::DiffZero), step(S::DiffFullScale), check(C::Diff)},
      {{"DIFF Zero", "ButtonSetDIFFZero"},
       {"DIFF Full Scale", "ButtonSetDIFFFullScale"},
       {"DIFF Check", "ButtonDiffChk"}});
  box("WD Voltage Input", "GroupBoxCalWD", QRect(170, 148, kBoxWidth, kBoxHeight), this,
      {step(S::WdZero), step(S::WdExcitation), check(C::Wd)},
      {{"WD Zero", "ButtonWDZero"}, {"WD Exc", "ButtonWDFullScale"}, {"WD Check", "ButtonWdChk"}});
  box("Voltage Output", "GroupBoxCalVout", QRect(368, 148, kBoxWidth, kBoxHeight), this,
      {step(S::Vout), check(C::VoutZero), check(C::VoutFs)},
      {{"Vout Calibrate", "ButtonSetVout"},
       {"Vout Zero Check", "ButtonVoutZeroChk"},
       {"Vout FS Check", "ButtonVoutFsChk"}});
  box("Current Output", "GroupBoxCalIout", QRect(170, 284, kBoxWidth, kBoxHeight), this,
      {step(S::Iout), check(C::IoutZero), check(C::IoutFs)},
      {{"20mA Calibrate", "ButtonSetIout"},
       {"Iout Zero Check", "ButtonIoutZeroChk"},
       {"Iout FS Check", "ButtonIoutFsChk"}});
  box("Calibration Data", "GroupBoxCalData", QRect(368, 284, kBoxWidth, 92), this,
      {&m_getCalData, &m_showTable},
      {{"Get Cal Data", "ButtonGetCalData"}, {"Show as &Table...", "ButtonCalDataTable"}});
  m_getCalData->setEnabled(true);
  m_showTable->setToolTip(
      QStringLiteral("The table Get Cal Data brought, to copy or save as CSV."));

  m_stopCal = new QPushButton(QStringLiteral("Stop Calibration"), this);
  m_stopCal->setObjectName(QStringLiteral("ButtonStopCal"));
  m_stopCal->setGeometry(378, 394, kBoxWidth - 20, 28);
}

void CalibrationPage::setCalData(std::string received) {
  m_calData = std::move(received);
  m_showTable->setEnabled(!m_calData.empty());
}

bool CalibrationPage::confirm() const { return m_confirm->isChecked(); }

std::string CalibrationPage::reference() const { return m_vRef->text().toStdString(); }

std::vector<QPushButton*> CalibrationPage::calibrationButtons() const {
  using S = CalibrationStep;
  using C = CalibrationCheck;
  return {stepButton(S::SeZero),   stepButton(S::SeFullScale),   checkButton(C::Se),
          stepButton(S::DiffZero), stepButton(S::DiffFullScale), checkButton(C::Diff),
          stepButton(S::WdZero),   stepButton(S::WdExcitation),  checkButton(C::Wd),
          stepButton(S::Vout),     checkButton(C::VoutZero),     checkButton(C::VoutFs),
          stepButton(S::Iout),     checkButton(C::IoutZero),     checkButton(C::IoutFs)};
}

}  // namespace halvern

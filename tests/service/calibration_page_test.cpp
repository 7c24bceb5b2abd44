// The Calibration page and the Calibration Enable dialog in the window, against the simulated
// instrument on virtual time.
#include "service/calibration_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <fstream>
#include <functional>
#include <sstream>

#include "service/cal_data_dialog.h"
#include "service/calibrate_dialog.h"
#include "service/calibration_reference.h"
#include "setup/setup_page.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using S = CalibrationStep;
using C = CalibrationCheck;

class CalibrationPageTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<CalibrationPage*>(window->page(kCalibrationPage));
    ASSERT_NE(page, nullptr);
    dialog = window->findChild<CalibrateDialog*>();
    ASSERT_NE(dialog, nullptr);
  }
  // Opens Calibration Enable from the File menu; `inside` runs while the dialog is up, and
  // whatever is left open is cancelled.
  void openDialog(std::function<void()> inside) {
    QTimer::singleShot(0, [this, inside] {
      EXPECT_TRUE(dialog->isVisible());
      inside();
      if (dialog->isVisible()) dialog->cancelButton()->click();
    });
    window->action(MenuHandler::AllowCalibrationClick)->trigger();
  }
  void enable() {
    openDialog([this] {
      dialog->password()->setText("pmk73914");
      dialog->okButton()->click();
    });
    ASSERT_TRUE(page->calibrationEnabled());
  }
  QString messages() const { return window->messageArea()->toPlainText(); }

  CalibrationPage* page = nullptr;
  CalibrateDialog* dialog = nullptr;
};

TEST_F(CalibrationPageTest, ControlsCaptionsBoxesAndTheNote) {
  const struct {
    QPushButton* button;
    const char* name;
    const char* caption;
    bool enabled;
  } cases[] = {
      {page->stepButton(S::SeZero), "ButtonSetSEZero", "SE Zero", false},
      {page->stepButton(S::SeFullScale), "ButtonSetSEFullScale", " SE Full Scale", false},
      {page->checkButton(C::Se), "ButtonSeChk", "SE Check", false},
      {page->stepButton(S::DiffZero), "ButtonSetDIFFZero", "DIFF Zero", false},
      {page->stepButton(S::DiffFullScale), "ButtonSetDIFFFullScale", "DIFF Full Scale", false},
      {page->checkButton(C::Diff), "ButtonDiffChk", "DIFF Check", false},
      {page->stepButton(S::WdZero), "ButtonWDZero", "WD Zero", false},
      {page->stepButton(S::WdExcitation), "ButtonWDFullScale", "WD Exc", false},
      {page->checkButton(C::Wd), "ButtonWdChk", "WD Check", false},
      {page->stepButton(S::Vout), "ButtonSetVout", "Vout Calibrate", false},
      {page->checkButton(C::VoutZero), "ButtonVoutZeroChk", "Vout Zero Check", false},
      {page->checkButton(C::VoutFs), "ButtonVoutFsChk", "Vout FS Check", false},
      {page->stepButton(S::Iout), "ButtonSetIout", "20mA Calibrate", false},
      {page->checkButton(C::IoutZero), "ButtonIoutZeroChk", "Iout Zero Check", false},
      {page->checkButton(C::IoutFs), "ButtonIoutFsChk", "Iout FS Check", false},
      {page->getCalData(), "ButtonGetCalData", "Get Cal Data", true},
      {page->stopCal(), "ButtonStopCal", "Stop Calibration", true},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.button, nullptr) << c.name;
    EXPECT_EQ(c.button->objectName(), c.name);
    EXPECT_EQ(c.button->text(), c.caption);
    EXPECT_EQ(c.button->isEnabled(), c.enabled) << c.name;
  }
  QStringList boxes;
  for (const QGroupBox* box : page->findChildren<QGroupBox*>()) boxes << box->title();
  EXPECT_EQ(boxes, (QStringList{"SE Voltage Input", "DIFF Voltage Input", "WD Voltage Input",
                                "Voltage Output", "Current Output", "Calibration Data"}));
  EXPECT_EQ(page->getCalData()->parentWidget()->property("title").toString(), "Calibration Data");

  EXPECT_EQ(page->calConfirm()->text(), "Confirm");
  EXPECT_TRUE(page->calConfirm()->isChecked());
  EXPECT_EQ(page->vRef()->objectName(), "MaskEditVRef");
  EXPECT_EQ(page->vRef()->text(), "5000.00");
  EXPECT_EQ(page->vRef()->maxLength(), 7);
  EXPECT_EQ(page->note()->text(),
            "Set FS mV \nRef to actual \nreference \nvoltage \nvalue.\n\nERASE User \nProgram "
            "\nbefore \nstarting \nCalibration.");
  EXPECT_EQ(dialog->windowTitle(), "Calibration Enable");
  EXPECT_EQ(dialog->password()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog->okButton()->text(), "&Ok");
  EXPECT_EQ(dialog->cancelButton()->text(), "&Cancel");
}

TEST_F(CalibrationPageTest, TheReferenceFieldTakesFourDigitsAndTwoDecimals) {
  window->showPage(kCalibrationPage);
  page->vRef()->setFocus();
  page->vRef()->selectAll();
  QTest::keyClicks(page->vRef(), "4x99837");
  EXPECT_EQ(page->vRef()->text(), "4998.37");
  EXPECT_EQ(page->reference(), "4998.37");
}

TEST_F(CalibrationPageTest, AReferenceWithAnOpenDigitIsRefusedAndNothingSent) {
  enable();
  window->showPage(kCalibrationPage);
  page->vRef()->setFocus();
  page->vRef()->selectAll();
  QTest::keyClicks(page->vRef(), "25");
  page->calConfirm()->setFocus();  // the field is left with "25__.__"
  for (S step : {S::SeFullScale, S::DiffFullScale}) {
    boxes.clear();
    page->stepButton(step)->click();
    EXPECT_EQ(boxes, std::vector<std::string>{std::string(calibration_text::kIncompleteReference)});
  }
  EXPECT_TRUE(instrument.linesReceived().empty());
  // Filled in, it goes.
  page->vRef()->setText("0025.00");
  page->stepButton(S::SeFullScale)->click();
  ASSERT_FALSE(instrument.linesReceived().empty());
  EXPECT_EQ(instrument.linesReceived().back(), "CMD815 25.000000");
}

TEST_F(CalibrationPageTest, AWrongPasswordIsRefusedAndTheDialogStaysOpen) {
  for (const char* typed : {"PMK73914", "pmk7391", "pmk73914 ", ""}) {
    boxes.clear();
    openDialog([this, typed] {
      dialog->password()->setText(typed);
      dialog->okButton()->click();
      EXPECT_TRUE(dialog->isVisible());
      EXPECT_EQ(dialog->password()->text(), typed);
    });
    EXPECT_EQ(boxes, std::vector<std::string>{"Incorrect Password"}) << typed;
    EXPECT_EQ(boxKinds.back(), MessageKind::Warning);
    EXPECT_FALSE(page->calibrationEnabled());
    for (QPushButton* b : page->calibrationButtons()) EXPECT_FALSE(b->isEnabled());
  }
}

TEST_F(CalibrationPageTest, TheRightPasswordEnablesTheFifteenButtonsAndShowsThePage) {
  window->showPage(kSetupPage);
  openDialog([this] {
    dialog->password()->setFocus();
    QTest::keyClicks(dialog->password(), "pmk73914");
    // Enter in the field is OK.
    QTest::keyClick(dialog->password(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
  });
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(window->currentPage(), kCalibrationPage);
  const auto buttons = page->calibrationButtons();
  EXPECT_EQ(buttons.size(), 15u);
  for (QPushButton* b : buttons) EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();

  // Opened again: the field still holds the password; a cancel leaves the buttons enabled.
  openDialog([this] { EXPECT_EQ(dialog->password()->text(), "pmk73914"); });
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  for (QPushButton* b : buttons) EXPECT_TRUE(b->isEnabled());
}

TEST_F(CalibrationPageTest, EachButtonRunsItsOperation) {
  enable();
  page->vRef()->setText("9999.99");
  const struct {
    QPushButton* button;
    const char* lastLine;  // the last line the instrument got
    const char* shown;     // what the message area ends with
  } cases[] = {
      {page->stepButton(S::SeZero), "CMD810", "SE ZERO CAL FINISHED."},
      {page->stepButton(S::SeFullScale), "CMD815 9999.990234", "SE FULL SCALE CAL FINISHED."},
      {page->stepButton(S::DiffZero), "CMD820", "DIFF ZERO CAL FINISHED."},
      {page->stepButton(S::DiffFullScale), "CMD825 9999.990234", "DIFF FULL SCALE CAL FINISHED."},
      {page->stepButton(S::WdZero), "CMD830", "WD ZERO CAL FINISHED."},
      {page->stepButton(S::WdExcitation), "CMD835", "WD FULL SCALE CAL FINISHED."},
      {page->stepButton(S::Vout), "CMD840", "VOUT CAL FINISHED."},
      {page->stepButton(S::Iout), "CMD845", "IOUT CAL FINISHED."},
      {page->checkButton(C::Se), "CMD952 16", " mV\n"},
      {page->checkButton(C::Diff), "CMD956 14", " mV\n"},
      {page->checkButton(C::Wd), "CMD954", " mV\n"},
      {page->checkButton(C::VoutZero), "CMD952 04", " mV\n "},
      {page->checkButton(C::VoutFs), "CMD952 04", " mV\n "},
      {page->checkButton(C::IoutZero), "CMD952 04", " mA\n "},
      {page->checkButton(C::IoutFs), "CMD952 04", " mA\n "},
      {page->getCalData(), "CMD805", "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lastLine);
    boxes.clear();
    window->showPage(kSetupPage);
    c.button->click();
    EXPECT_EQ(instrument.linesReceived().back(), c.lastLine);
    EXPECT_TRUE(messages().endsWith(QString::fromLatin1(c.shown))) << messages().toStdString();
    EXPECT_EQ(window->currentPage(), kCalibrationPage);
  }
  // The table as the instrument holds it after the steps, each row a line.
  QString table = QString::fromLatin1(instrument.calibration().tableText());
  table.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  EXPECT_TRUE(messages().endsWith(table));
  EXPECT_TRUE(messages().contains(QString::fromLatin1(calibration_text::kCalDataHeader.data())));
}

TEST_F(CalibrationPageTest, ConfirmAsksBeforeTheInputStepsOnly) {
  enable();
  boxes.clear();
  page->stepButton(S::WdZero)->click();
  page->stepButton(S::Vout)->click();
  EXPECT_EQ(boxes, std::vector<std::string>{"Replace all WD Zero calibration settings?"});
  page->calConfirm()->setChecked(false);
  boxes.clear();
  page->stepButton(S::SeZero)->click();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(instrument.linesReceived().back(), "CMD810");
}

TEST_F(CalibrationPageTest, StopCalibrationStaysLiveAndEndsAWaitingStep) {
  enable();
  sim::Fault silent;
  instrument.faults().set(810, silent);
  page->calConfirm()->setChecked(false);
  // Pressed once the step's line has gone and its wait runs.
  bool stopEnabled = false;
  QString waitingStatus;
  int countdownMax = 0;
  QTimer press;
  press.setInterval(0);
  QObject::connect(&press, &QTimer::timeout, [&] {
    if (instrument.linesReceived().empty() || instrument.linesReceived().back() != "CMD810") return;
    stopEnabled = page->stopCal()->isEnabled();
    waitingStatus = window->statusLabel()->text();
    countdownMax = window->progressBar()->maximum();
    page->stopCal()->click();
    press.stop();
  });
  press.start();
  const QString statusBefore = window->statusLabel()->text();
  const auto start = clock.now();
  page->stepButton(S::SeZero)->click();
  EXPECT_TRUE(stopEnabled);
  // The wait counted down on the bars, which show what they showed before once it is over.
  EXPECT_EQ(waitingStatus, "Waiting for 40100... 60 s");
  EXPECT_EQ(countdownMax, 60);
  EXPECT_EQ(window->statusLabel()->text(), statusBefore);
  EXPECT_EQ(window->progressBar()->maximum(), 100);
  EXPECT_LT(clock.now() - start, 5s);
  EXPECT_TRUE(messages().endsWith("NO RESPONSE FROM 40100 FOR SE ZERO CAL."));
  EXPECT_TRUE(boxes.empty());
  // Every button back once the step is over.
  EXPECT_TRUE(page->stepButton(S::SeZero)->isEnabled());
}

TEST_F(CalibrationPageTest, AClosedLinkIsRefusedWithAWarning) {
  enable();
  link.close();
  boxes.clear();
  page->getCalData()->click();
  page->checkButton(C::Wd)->click();
  page->stepButton(S::Iout)->click();
  EXPECT_EQ(boxes,
            (std::vector<std::string>{"Cannot get calibration data because USB port is closed.",
                                      "Cannot check calibration because USB port is closed.",
                                      "Cannot calibrate because USB port is closed."}));
}

TEST_F(CalibrationPageTest, TheKeyboardStaysOnTheStepNotOnStopCalibration) {
  enable();
  page->calConfirm()->setChecked(false);
  window->showPage(kCalibrationPage);
  QApplication::setActiveWindow(window.get());  // back from the password dialog
  for (QPushButton* button : {page->stepButton(S::SeZero), page->getCalData()}) {
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_TRUE(button->hasFocus()) << button->text().toStdString();
  }
  EXPECT_EQ(instrument.linesReceived().back(), "CMD805");
}

TEST_F(CalibrationPageTest, TheCalibrationTableAlignedInTheMessageAreaAndAsATable) {
  window->showPage(kCalibrationPage);
  EXPECT_FALSE(page->showTable()->isEnabled());
  page->getCalData()->click();
  // Each column starts at one place on every line: the header's and the sixteen rows'.
  QPlainTextEdit* area = window->messageArea();
  EXPECT_EQ(area->lineWrapMode(), QPlainTextEdit::NoWrap);
  std::vector<std::vector<int>> starts;
  for (QTextBlock block = area->document()->begin(); block.isValid(); block = block.next()) {
    if (!block.text().contains(QLatin1Char('\t'))) continue;
    std::vector<int> line;
    for (int i = 0; i < block.text().size(); ++i) {
      if (block.text()[i] != QLatin1Char('\t')) continue;
      QTextCursor after(block);
      after.setPosition(block.position() + i + 1);
      line.push_back(area->cursorRect(after).left());
    }
    starts.push_back(line);
  }
  ASSERT_EQ(starts.size(), 17u);
  EXPECT_EQ(area->document()->defaultTextOption().tabs().size(), 10);
  for (const auto& line : starts) EXPECT_EQ(line, starts.front());
  for (std::size_t k = 1; k < starts.front().size(); ++k)
    EXPECT_GT(starts.front()[k], starts.front()[k - 1]);

  // The same as a table: copied as tab-separated lines, saved as CSV where the user chooses.
  ASSERT_TRUE(page->showTable()->isEnabled());
  choose("cal.csv");
  bool shown = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = dynamic_cast<CalDataDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    shown = true;
    EXPECT_EQ(dialog->table()->rowCount(), 16);
    EXPECT_EQ(dialog->table()->columnCount(), 11);
    EXPECT_EQ(dialog->table()->horizontalHeaderItem(4)->text(), "SeMult");
    dialog->copyButton()->click();
    dialog->table()->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 1), true);
    const QString two = dialog->copiedText();
    dialog->saveButton()->click();
    dialog->accept();
    EXPECT_EQ(two.count(QLatin1Char('\n')), 3);
    EXPECT_TRUE(two.startsWith("Ch\tSe0\n2\t"));
  });
  page->showTable()->click();
  ASSERT_TRUE(shown);
  const std::string table = instrument.calibration().tableText();
  QString tabbed = QString::fromLatin1(table);
  tabbed.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  EXPECT_EQ(QApplication::clipboard()->text(),
            QString::fromLatin1(calibration_text::kCalDataHeader.data()) + "\n" + tabbed);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].defaultSuffix, "csv");
  std::ifstream in(folder / "cal.csv", std::ios::binary);
  std::stringstream csv;
  csv << in.rdbuf();
  EXPECT_EQ(csv.str(), calDataCsv(calDataTable(table)));
  EXPECT_EQ(csv.str().substr(0, 14), "Ch,Se0,Diff0,W");
}

TEST_F(CalibrationPageTest, ThePasswordShowsAStarForEachCharacter) {
  openDialog([this] {
    QLineEdit* field = dialog->password();
    EXPECT_EQ(field->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field),
              '*');
  });
}

}  // namespace
}  // namespace halvern

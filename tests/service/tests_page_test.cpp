// The Tests page in the window: its controls, the channel field by input kind, and each test
// against the simulated instrument.
#include "service/tests_page.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/spin_edit_widget.h"
#include "support_qt/window_fixture.h"
#include "wire/commands.h"
#include "wire/crc32_mpeg2.h"
#include "wire/text_format.h"

namespace halvern {
namespace {

using Lines = std::vector<std::string>;

class TestsPageTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<TestsPage*>(window->page(kTestsPage));
    ASSERT_NE(page, nullptr);
    window->showPage(kTestsPage);
  }
  // The lines the instrument received since the last call.
  Lines newLines() {
    const auto& all = instrument.linesReceived();
    Lines lines(all.begin() + static_cast<long>(seen), all.end());
    seen = all.size();
    return lines;
  }
  // Every value the input channel field steps through from 1 upwards.
  std::vector<int> steps() {
    auto* spin = page->testInChan();
    spin->setValue(1);
    std::vector<int> values{spin->value()};
    for (int i = 0; i < 20 && spin->value() < spin->maximum(); ++i) {
      spin->stepUp();
      values.push_back(spin->value());
    }
    return values;
  }
  QString inputResult() const { return page->testInputResult()->text(); }

  TestsPage* page = nullptr;
  std::size_t seen = 0;
};

TEST_F(TestsPageTest, ControlsStartAsTheInstrumentsTestsPageDoes) {
  auto* input = page->testInput();
  ASSERT_EQ(input->count(), 5);
  const QStringList kinds{"SE Voltage Input", "DIFF Voltage Input", "WD Voltage Input",
                          "Low-Level Freq Input", "Switch/TTL Freq Input"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(input->itemText(i), kinds[i]);
  EXPECT_EQ(input->currentIndex(), 0);
  EXPECT_FALSE(input->isEditable());
  EXPECT_EQ(page->testInChan()->minimum(), 1);
  EXPECT_EQ(page->testInChan()->maximum(), 16);
  EXPECT_EQ(page->testInChan()->value(), 1);
  EXPECT_EQ(page->testOutChan()->maximum(), 4);
  EXPECT_EQ(page->swChan()->maximum(), 4);
  const QStringList levels{"0mV",    "1000mV", "2500mV",  "5000mV",
                           "0.00mA", "4.00mA", "12.00mA", "20.00mA"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(page->level(i)->text(), levels[i]);
    EXPECT_EQ(page->level(i)->isChecked(), i == 0);
  }
  EXPECT_TRUE(page->swOn()->isChecked());
  EXPECT_TRUE(page->testInputResult()->isReadOnly());
  EXPECT_TRUE(page->testResult()->isReadOnly());
  EXPECT_TRUE(inputResult().isEmpty());
  for (int c = 1; c <= 4; ++c) {
    EXPECT_EQ(page->pullDown(c)->text(), QStringLiteral("Chan %1").arg(c));
    EXPECT_FALSE(page->pullDown(c)->isChecked());
  }
  // Every control that starts an instrument operation is locked out while one runs.
  const QStringList captions{"Test",   "Test",   "Reset All",  "Display",
                             "Switch", "RAM",    "Pgm Chksum", "ROM Chksum",
                             "Chan 1", "Chan 2", "Chan 3",     "Chan 4"};
  const auto buttons = page->instrumentButtons();
  ASSERT_EQ(buttons.size(), 12u);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    EXPECT_EQ(buttons[i]->text(), captions[static_cast<int>(i)]);
    EXPECT_TRUE(buttons[i]->isEnabled());
  }
}

TEST_F(TestsPageTest, TheChannelFieldFollowsTheInputKindAndEveryChangeClearsTheResult) {
  auto* spin = page->testInChan();
  page->testInput()->setCurrentIndex(1);  // DIFF
  EXPECT_EQ(steps(), (std::vector<int>{1, 3, 5, 7, 9, 11, 13, 15}));
  spin->setValue(9);
  page->testInputResult()->setText("x");
  page->testInput()->setCurrentIndex(4);  // Switch/TTL: the range as it was
  EXPECT_EQ(inputResult(), " ");
  EXPECT_EQ(spin->maximum(), 15);
  EXPECT_EQ(spin->singleStep(), 2);
  EXPECT_EQ(spin->value(), 9);
  page->testInput()->setCurrentIndex(0);  // SE
  EXPECT_EQ(spin->value(), 1);
  EXPECT_EQ(steps().size(), 16u);
  page->testInput()->setCurrentIndex(2);  // WD
  EXPECT_EQ(steps(), (std::vector<int>{1, 2, 3, 4}));
  page->testInputResult()->setText("x");
  spin->setValue(3);
  EXPECT_EQ(inputResult(), " ");
  EXPECT_TRUE(newLines().empty());
}

TEST_F(TestsPageTest, InputTestsShowTheInstrumentsReading) {
  struct Row {
    int kind;
    int channel;
    std::string line;
    QString shown;
  };
  const std::vector<Row> rows = {
      {0, 7, "CMD922 07", "1762.5 mV"},   {2, 3, "CMD924 03", "3262.5 mV"},
      {1, 11, "CMD926 11", "36.1 mV"},    {3, 2, "CMD935 02", "Count: 207"},
      {4, 2, "CMD940 02", "Count: 2026"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    page->testInput()->setCurrentIndex(row.kind);
    page->testInChan()->setValue(row.channel);
    page->testInputButton()->click();
    EXPECT_EQ(newLines(), Lines{row.line});
    EXPECT_EQ(inputResult(), row.shown);
  }
  ASSERT_EQ(instrument.faults().parse("922:silence:1"), "");
  page->testInput()->setCurrentIndex(0);
  page->testInputButton()->click();
  EXPECT_EQ(inputResult(), "No Response");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TestsPageTest, OutputsAndResetAll) {
  page->testOutChan()->setValue(3);
  page->level(6)->click();
  page->testOutputButton()->click();
  page->testOutChan()->setValue(2);
  page->level(2)->click();
  page->testOutputButton()->click();
  EXPECT_EQ(newLines(), (Lines{"CMD950 3 12", "CMD945 2 2500"}));
  page->anOutReset()->click();
  EXPECT_EQ(newLines(), (Lines{"CMD945 1 0", "CMD945 2 0", "CMD945 3 0", "CMD945 4 0"}));
  EXPECT_TRUE(page->level(0)->isChecked());
  EXPECT_EQ(page->testOutChan()->value(), 1);
  // The current drive on channel 3 is not touched.
  EXPECT_EQ(instrument.tests().outputs()[2].milliamps, 12);
  EXPECT_EQ(instrument.tests().outputs()[1].millivolts, 0);
}

TEST_F(TestsPageTest, OtherFunctionsShowTheirResult) {
  page->testDisplay()->click();
  page->swChan()->setValue(4);
  page->swOff()->click();
  page->switchButton()->click();
  EXPECT_EQ(newLines(), (Lines{"CMD915", "CMD920 4 0"}));
  EXPECT_EQ(instrument.tests().displayTests(), 1);

  page->testRam()->click();
  EXPECT_EQ(page->testResult()->text(), "RAM OK");
  instrument.tests().setRamFault(true);
  page->testRam()->click();
  EXPECT_EQ(page->testResult()->text(), "RAM ERROR");
  page->testPgm()->click();
  const auto crc = Crc32Mpeg2::of(instrument.programMemory().image());
  EXPECT_EQ(page->testResult()->text().toStdString(),
            formatText("PGM Signature: 0x%08X", static_cast<unsigned>(crc)));
  page->romChksum()->click();
  EXPECT_EQ(page->testResult()->text(), "ROM Signature: 0x5EC0A417");
  EXPECT_EQ(newLines(), (Lines{"CMD910", "CMD910", "CMD905", "CMD900"}));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TestsPageTest, PullDownsSendTheirChannelAndItsSign) {
  page->pullDown(3)->click();
  page->pullDown(3)->click();
  page->pullDown(1)->click();
  EXPECT_EQ(newLines(), (Lines{"CMD850 3", "CMD850 -3", "CMD850 1"}));
  EXPECT_TRUE(instrument.tests().pullDowns()[0]);
  EXPECT_FALSE(instrument.tests().pullDowns()[2]);
}

TEST_F(TestsPageTest, AClosedLinkIsRefusedAndTheBoxesShowWhatWasSent) {
  link.close();
  page->testInputResult()->setText("x");
  page->testInputButton()->click();
  EXPECT_EQ(inputResult(), "x");
  page->pullDown(2)->click();
  EXPECT_FALSE(page->pullDown(2)->isChecked());
  EXPECT_EQ(boxes, (std::vector<std::string>{"Cannot test input because USB port is closed.",
                                             "Cannot set pull-down because USB port is closed."}));
  EXPECT_TRUE(newLines().empty());
}

TEST_F(TestsPageTest, TheKeyboardComesBackToTheButtonPressedAndSelectsNoField) {
  // Display used to leave the Switch channel selected, ROM Chksum and the input Test the result
  // field: a digit typed next changed a value.
  for (QPushButton* button : {page->testDisplay(), page->romChksum(), page->testInputButton()}) {
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_TRUE(button->hasFocus()) << button->text().toStdString();
    EXPECT_FALSE(page->swChan()->editor()->hasSelectedText());
  }
  EXPECT_EQ(newLines(), (Lines{"CMD915", "CMD900", "CMD922 01"}));

  // Started from the keyboard in a field, the operation leaves its text as it was, unselected.
  page->swChan()->setFocus(Qt::OtherFocusReason);
  page->swChan()->editor()->deselect();
  window->shell().setInstrumentBusy(true);
  page->swChan()->setEnabled(false);
  page->swChan()->setEnabled(true);
  window->shell().setInstrumentBusy(false);
  EXPECT_TRUE(page->swChan()->hasFocus());
  EXPECT_FALSE(page->swChan()->editor()->hasSelectedText());
}

TEST_F(TestsPageTest, TheInputRowStaysPutWhateverRangeTheKindGives) {
  const QRect channel = page->testInChan()->geometry();
  const QRect button = page->testInputButton()->geometry();
  for (int kind = 0; kind < page->testInput()->count(); ++kind) {
    page->testInput()->setCurrentIndex(kind);
    QApplication::processEvents();
    EXPECT_EQ(page->testInChan()->geometry(), channel) << kind;
    EXPECT_EQ(page->testInputButton()->geometry(), button) << kind;
  }
}

}  // namespace
}  // namespace halvern

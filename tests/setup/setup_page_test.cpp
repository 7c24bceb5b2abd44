#include "setup/setup_page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/spin_edit_widget.h"
#include "platform/calendar.h"
#include "setup/setup_file.h"
#include "setup/setup_model.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

class SetupPageTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<SetupPage*>(window->page(kSetupPage));
    ASSERT_NE(page, nullptr);
  }
  SetupModel& model() { return window->document().part<SetupModel>(); }
  void type(QWidget* w, const QString& keys) {
    w->setFocus();
    QTest::keyClicks(w, keys);
  }

  SetupPage* page = nullptr;
};

TEST_F(SetupPageTest, FieldsPerRecordEnablesRowsAsItIsTyped) {
  window->showPage(kSetupPage);
  EXPECT_TRUE(page->row(0).label->isEnabled());
  EXPECT_FALSE(page->row(1).label->isEnabled());

  QLineEdit* edit = page->fieldsPerRecord()->findChild<QLineEdit*>();
  edit->selectAll();
  type(edit, "3");
  // Typed and not yet left: the value counts already.
  EXPECT_EQ(model().fieldsPerRecord(), 3);
  for (int row = 0; row < 25; ++row) {
    EXPECT_EQ(page->row(row).label->isEnabled(), row < 3) << row;
    EXPECT_EQ(page->row(row).width->isEnabled(), row < 3) << row;
  }
  // Rows beyond keep their contents.
  EXPECT_EQ(page->row(20).label->text(), "FIELD 21");
}

TEST_F(SetupPageTest, SpinEditsTakeDigitsAndBackspaceAndClampWhenLeft) {
  window->showPage(kSetupPage);
  QLineEdit* edit = page->interval()->findChild<QLineEdit*>();
  edit->selectAll();
  type(edit, "a1-b2 x");
  EXPECT_EQ(edit->text(), "12");
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "1");
  EXPECT_EQ(model().interval(), 1);

  // Too big: brought to the nearer bound when the focus leaves.
  QLineEdit* end = page->scrollEnd()->findChild<QLineEdit*>();
  end->selectAll();
  type(end, "97");
  EXPECT_EQ(model().scrollEnd(), 8);
  page->keypadLock()->setFocus();
  EXPECT_EQ(end->text(), "8");
  EXPECT_EQ(model().scrollEnd(), 8);

  EXPECT_TRUE(SpinEditWidget::acceptsCharacter(QChar(0x08)));
  EXPECT_FALSE(SpinEditWidget::acceptsCharacter(QLatin1Char('-')));
}

TEST_F(SetupPageTest, ControlsWriteTheModelAndShowItsChanges) {
  page->com1Type()->button(1)->click();
  page->com1Baud()->button(6)->click();
  page->com2Baud()->button(0)->click();
  page->keypadLock()->click();
  page->row(0).type->setCurrentIndex(2);
  emit page->row(0).type->activated(2);
  page->row(0).label->setFocus();
  QTest::keyClick(page->row(0).label, Qt::Key_End);  // a label shows its start until then
  QTest::keyClicks(page->row(0).label, "X");
  EXPECT_EQ(model().com1Type(), 1);
  EXPECT_EQ(model().com1BaudIndex(), 6);
  EXPECT_EQ(model().com2BaudIndex(), 0);
  EXPECT_TRUE(model().keypadLock());
  EXPECT_EQ(model().format(0).type, 2);
  EXPECT_EQ(model().format(0).label, "FIELD 01X");

  // A change of the model (a get, a file) shows at the host's next refresh.
  model().setScrollPause(42);
  model().setLabel(4, "WIND DIR");
  EXPECT_EQ(page->row(4).label->text(), "FIELD 05");
  page->refresh();
  EXPECT_EQ(page->scrollPause()->findChild<QLineEdit*>()->text(), "42");
  EXPECT_EQ(page->row(4).label->text(), "WIND DIR");
  EXPECT_FALSE(page->stopOnError()->isEnabled());
  EXPECT_EQ(page->stopOnError()->toolTip(), "Set Stop On Error with 40100 keypad only.");
}

TEST_F(SetupPageTest, PcTimeFillsTheFieldsOnlyWhileThePageIsShown) {
  EXPECT_TRUE(page->usePcTime()->isChecked());
  EXPECT_FALSE(page->dateField()->isEnabled());
  EXPECT_EQ(model().dateText(), "  -  -    ");  // the User Program page is shown at start

  page->clockTick(false);
  EXPECT_EQ(model().dateText(), "  -  -    ");
  window->showPage(kSetupPage);
  EXPECT_EQ(page->dateField()->text(), "12-07-2026");
  EXPECT_EQ(page->timeField()->text(), "09:05:03");

  calendar.set(DateTime{2027, 1, 2, 3, 4, 5});
  page->clockTick(true);
  EXPECT_EQ(page->dateField()->text(), "01-02-2027");

  page->usePcTime()->click();
  EXPECT_TRUE(page->dateField()->isEnabled());
  calendar.set(DateTime{2030, 6, 6, 6, 6, 6});
  page->clockTick(true);
  EXPECT_EQ(page->dateField()->text(), "01-02-2027");
}

TEST_F(SetupPageTest, GetSetupFromTheMenuFillsThePage) {
  instrument.settings().com1Code = -115;
  instrument.settings().interval = 42;
  instrument.settings().fieldsPerRecord = 5;
  instrument.settings().formats[2].label = "WIND SPEED";
  window->action(MenuHandler::RxSetupClick)->trigger();
  EXPECT_EQ(window->currentPage(), kSetupPage);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(page->com1Type()->checkedId(), 1);
  EXPECT_EQ(page->com1Baud()->checkedId(), 6);
  EXPECT_EQ(page->interval()->findChild<QLineEdit*>()->text(), "42");
  EXPECT_EQ(page->row(2).label->text(), "WIND SPEED");
  EXPECT_TRUE(page->row(4).label->isEnabled());
  EXPECT_FALSE(page->row(5).label->isEnabled());
  EXPECT_EQ(window->messageArea()->toPlainText(), "GET SETUP...\nFINISHED GETTING SETUP.");
  // The menu item comes back once the transfer is over.
  EXPECT_TRUE(window->action(MenuHandler::RxSetupClick)->isEnabled());
}

TEST_F(SetupPageTest, ClosedLinkIsRefusedAndFailuresWarn) {
  link.close();
  window->action(MenuHandler::RxSetupClick)->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Cannot Get Setup.\nUSB port is closed.");
  EXPECT_NE(window->currentPage(), kSetupPage);

  link.open();
  instrument.faults().set(225, {sim::FaultKind::Silence, -1, ""});
  window->action(MenuHandler::RxSetupClick)->trigger();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1], std::string(kCommErrorText));
  EXPECT_NE(window->messageArea()->toPlainText().indexOf("CANNOT GET COM1 INFO"), -1);
}

TEST_F(SetupPageTest, SetupFileSaveAndOpenThroughTheMenu) {
  model().setInterval(17);
  model().setLabel(24, "LAST FIELD");
  chosenFile = QString::fromStdString((folder / "a.set").string());
  window->action(MenuHandler::SaveSetupFileClick)->trigger();
  EXPECT_EQ(std::filesystem::file_size(folder / "a.set"), 990u);

  model().setInterval(3);
  model().setLabel(24, "OTHER");
  window->action(MenuHandler::OpenSetupFileClick)->trigger();
  EXPECT_EQ(model().interval(), 17);
  EXPECT_EQ(page->row(24).label->text(), "LAST FIELD");
  EXPECT_TRUE(boxes.empty());

  // A short file is refused with a warning and changes nothing.
  std::ofstream(folder / "short.set", std::ios::binary) << std::string(100, '\1');
  chosenFile = QString::fromStdString((folder / "short.set").string());
  window->action(MenuHandler::OpenSetupFileClick)->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxKinds[0], MessageKind::Warning);
  EXPECT_EQ(model().interval(), 17);

  // Cancelled dialogs do nothing.
  chosenFile.clear();
  window->action(MenuHandler::OpenSetupFileClick)->trigger();
  EXPECT_EQ(boxes.size(), 1u);
}

// Entered by Tab, Backtab or a click, a spin edit's text is selected, so a typed value replaces
// it: "25" and a typed 6 give 6, not 256 brought back to 25.
TEST_F(SetupPageTest, SpinEditsEnteredAnyWayTakeANewValueTyped) {
  window->showPage(kSetupPage);
  SpinEditWidget* spin = page->fieldsPerRecord();
  QLineEdit* edit = spin->findChild<QLineEdit*>();
  const QPoint middle = edit->rect().center();
  const std::vector<std::pair<const char*, std::function<void()>>> ways{
      {"Tab", [&] { spin->setFocus(Qt::TabFocusReason); }},
      {"Backtab", [&] { spin->setFocus(Qt::BacktabFocusReason); }},
      // The release comes after the queued selection, as it does from a hand on the mouse.
      {"click",
       [&] {
         QTest::mousePress(edit, Qt::LeftButton, {}, middle);
         QCoreApplication::processEvents();
         QTest::mouseRelease(edit, Qt::LeftButton, {}, middle);
       }},
      {"quick click", [&] { QTest::mouseClick(edit, Qt::LeftButton, {}, middle); }},
  };
  for (const auto& [name, enter] : ways) {
    model().setFieldsPerRecord(25);
    page->refresh();
    page->keypadLock()->setFocus();
    enter();
    QCoreApplication::processEvents();
    ASSERT_TRUE(spin->hasFocus()) << name;
    EXPECT_EQ(edit->selectedText(), "25") << name;
    QTest::keyClicks(edit, "6");
    EXPECT_EQ(edit->text(), "6") << name;
    EXPECT_EQ(model().fieldsPerRecord(), 6) << name;
  }

  // A click in a box that has the focus already places the cursor, as ever.
  QTest::mouseClick(edit, Qt::LeftButton, {}, middle);
  QCoreApplication::processEvents();
  EXPECT_FALSE(edit->hasSelectedText());
}

// Every entry of a row's Type box reads whole, in the box and in its dropped-down list.
TEST_F(SetupPageTest, TypeBoxesShowTheirWholeEntries) {
  window->showPage(kSetupPage);
  model().setFieldsPerRecord(25);
  page->refresh();
  for (int row : {0, 24}) {
    QComboBox* box = page->row(row).type;
    for (int i = 0; i < box->count(); ++i) {
      box->setCurrentIndex(i);
      QStyleOptionComboBox option;
      option.initFrom(box);
      option.currentText = box->currentText();
      option.editable = false;
      option.frame = box->hasFrame();
      option.subControls = QStyle::SC_All;
      const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, box);
      // The label is drawn a pixel in from each side of the field.
      EXPECT_GE(field.width() - 2, box->fontMetrics().horizontalAdvance(box->itemText(i)))
          << row << " " << box->itemText(i).toStdString();
    }
    box->showPopup();
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(list->isVisible());
    for (int i = 0; i < box->count(); ++i) {
      const QModelIndex index = list->model()->index(i, 0);
      EXPECT_GE(list->viewport()->width(), list->sizeHintForIndex(index).width())
          << row << " " << box->itemText(i).toStdString();
      EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(index))) << row << " " << i;
    }
    box->hidePopup();
  }
}

TEST_F(SetupPageTest, LongLabelsShowTheirStartOnceLeftOrSet) {
  window->showPage(kSetupPage);
  model().setFieldsPerRecord(2);
  const std::string longLabel = "OUTSIDE AIR TEMPERATURE";
  model().setLabel(0, longLabel);
  page->refresh();
  QLineEdit* label = page->row(0).label;
  ASSERT_GT(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  EXPECT_EQ(label->cursorPosition(), 0);

  // Typed at the end, then left by Tab and by a click elsewhere.
  for (bool byTab : {true, false}) {
    label->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(label, Qt::Key_End);
    QTest::keyClicks(label, "S");
    EXPECT_EQ(label->cursorPosition(), label->text().size());
    if (byTab)
      QTest::keyClick(label, Qt::Key_Tab);
    else
      page->row(1).label->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(label->hasFocus());
    EXPECT_EQ(label->cursorPosition(), 0) << byTab;
  }
  EXPECT_EQ(model().format(0).label, longLabel + "SS");
}

}  // namespace
}  // namespace halvern

namespace halvern {
namespace {

TEST_F(SetupPageTest, SetupRoundTripsThroughTheInstrumentAndAFile) {
  model().setCom1Type(1);
  model().setCom1BaudIndex(7);
  model().setCom2BaudIndex(2);
  model().setKeypadLock(true);
  model().setAutoScroll(true);
  model().setInterval(99);
  model().setFieldsPerRecord(25);
  model().setScrollPause(7);
  model().setScrollEnd(3);
  for (int row = 0; row < 25; ++row) {
    model().setFormat(row, RecordFormat{"LABEL " + std::to_string(row) + std::string(20, 'x'),
                                        row % 3, 1 + row % 9, row % 7});
  }
  const std::string sent = writeSetupBytes(model());

  window->action(MenuHandler::TxSetupClick)->trigger();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(instrument.settings().com1Code, -230);
  EXPECT_EQ(instrument.settings().formats[24].label, model().format(24).label);

  // Everything changed here, then read back from the instrument.
  model().setCom1Type(0);
  model().setInterval(0);
  model().setFieldsPerRecord(1);
  model().setFormat(10, RecordFormat{});
  window->action(MenuHandler::RxSetupClick)->trigger();
  EXPECT_EQ(writeSetupBytes(model()), sent);

  // Then through a file and back.
  chosenFile = QString::fromStdString((folder / "round.set").string());
  window->action(MenuHandler::SaveSetupFileClick)->trigger();
  model().setFormat(3, RecordFormat{});
  window->action(MenuHandler::OpenSetupFileClick)->trigger();
  EXPECT_EQ(writeSetupBytes(model()), sent);
  EXPECT_EQ(page->row(3).label->text(), QString::fromStdString(model().format(3).label));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SetupPageTest, ASpunValueIsTheValueThatIsSent) {
  window->showPage(kSetupPage);
  model().setInterval(12);
  model().setFieldsPerRecord(3);
  page->refresh();
  page->interval()->setFocus();
  QTest::keyClick(page->interval(), Qt::Key_Up);
  EXPECT_EQ(model().interval(), 13);
  QTest::keyClick(page->interval(), Qt::Key_PageUp);
  EXPECT_EQ(model().interval(), 23);
  page->fieldsPerRecord()->setFocus();
  QTest::keyClick(page->fieldsPerRecord(), Qt::Key_Down);
  EXPECT_EQ(model().fieldsPerRecord(), 2);
  // At its bound a step changes nothing.
  model().setScrollEnd(8);
  page->refresh();
  page->scrollEnd()->setFocus();
  QTest::keyClick(page->scrollEnd(), Qt::Key_Up);
  EXPECT_EQ(model().scrollEnd(), 8);
}

// A desktop whose language writes other digits (Arabic, Egypt: U+0660 to U+0669) and groups
// thousands: the spin edits still show and take 0 to 9, so the setup holds what is shown.
class SetupPageOtherDigitsTest : public SetupPageTest {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    SetupPageTest::SetUp();
  }
  void TearDown() override {
    SetupPageTest::TearDown();
    QLocale::setDefault(m_saved);
  }

 private:
  const QLocale m_saved;
};

TEST_F(SetupPageOtherDigitsTest, SpinEditsShowAndTakeTheDigitsZeroToNine) {
  ASSERT_NE(QLocale().toString(13), QStringLiteral("13"));  // the desktop's own digits
  window->showPage(kSetupPage);
  model().setInterval(12);
  page->refresh();
  SpinEditWidget* spin = page->interval();
  QLineEdit* edit = spin->findChild<QLineEdit*>();
  EXPECT_EQ(edit->text(), "12");
  // Spun, then left: the text the control wrote reads back as the same value, not as none (the
  // minimum).
  spin->setFocus();
  spin->stepBy(1);
  EXPECT_EQ(edit->text(), "13");
  EXPECT_EQ(model().interval(), 13);
  page->keypadLock()->setFocus();
  EXPECT_EQ(edit->text(), "13");
  EXPECT_EQ(spin->value(), 13);
  // Typed, then left.
  edit->selectAll();
  type(edit, "25");
  page->keypadLock()->setFocus();
  EXPECT_EQ(edit->text(), "25");
  EXPECT_EQ(model().interval(), 25);
}

}  // namespace
}  // namespace halvern

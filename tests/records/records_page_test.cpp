// The Get Records page in the window: its controls, their settings, the download and the erase
// from the window against the simulated instrument.
#include "records/records_page.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "app/spin_edit_widget.h"
#include "program/program_page.h"
#include "records/records_commands.h"
#include "setup/setup_page.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

class RecordsPageTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<RecordsPage*>(window->page(kRecordsPage));
    ASSERT_NE(page, nullptr);
    instrument.recordLog().setCount(20);
  }
  RecordsSettings& settings() { return window->document().part<RecordsSettings>(); }
  std::string fileText(const std::string& name) {
    std::ifstream in(folder / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  RecordsPage* page = nullptr;
};

TEST_F(RecordsPageTest, ControlsStartFromTheSettingsAndWriteThemBack) {
  EXPECT_EQ(page->numOfRecords()->value(), 100);
  EXPECT_FALSE(page->showRecords()->isChecked());
  EXPECT_EQ(page->delimiter()->currentText(), "Comma");
  EXPECT_EQ(page->delimiter()->count(), 3);
  EXPECT_TRUE(page->records()->isReadOnly());
  EXPECT_EQ(page->getRecords()->text(), "&Get Records");
  EXPECT_EQ(page->clearText()->text(), "&Clear Text");

  window->showPage(kRecordsPage);
  page->numOfRecords()->setFocus();
  page->numOfRecords()->selectAll();
  QTest::keyClicks(page->numOfRecords(), "25x7");  // letters are swallowed
  EXPECT_EQ(settings().numOfRecords, 257u);
  page->showRecords()->click();
  EXPECT_TRUE(settings().showRecords);
  page->delimiter()->setCurrentIndex(2);
  EXPECT_EQ(settings().delimiter, 2);
}

TEST_F(RecordsPageTest, EnterInTheCountStartsTheDownloadAndShowsTheRecords) {
  settings().numOfRecords = 12;
  settings().showRecords = true;
  page->refresh();
  choose("r.txt");
  window->showPage(kSetupPage);
  page->numOfRecords()->setFocus();
  QTest::keyClick(page->numOfRecords(), Qt::Key_Return);
  EXPECT_EQ(window->currentPage(), kRecordsPage);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].save);
  EXPECT_EQ(requests[0].defaultSuffix, "txt");
  EXPECT_EQ(requests[0].filter, "Text File (*.txt)|*.txt|All Files (*.*)|*.*");
  const std::string file = fileText("r.txt");
  EXPECT_EQ(file.substr(0, 12), "12 RECORDS\r\n");
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 15);
  EXPECT_EQ(page->records()->document()->blockCount(), 13);  // 12 lines and the empty last
  EXPECT_TRUE(page->records()->toPlainText().startsWith("0000001,"));
  EXPECT_TRUE(window->messageArea()->toPlainText().endsWith("FINISHED"));
  EXPECT_TRUE(page->getRecords()->isEnabled());
  page->clearText()->click();
  EXPECT_TRUE(page->records()->toPlainText().isEmpty());
}

TEST_F(RecordsPageTest, TheButtonsAndCancelWhileItRuns) {
  settings().numOfRecords = 20;
  choose("r.txt");
  bool getEnabled = true;
  bool cancelEnabled = false;
  bool seen = false;
  // Looked at from inside the download, once it runs; then Cancel pressed.
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (seen || !window->instrumentBusy() || !window->cancelButton()->isEnabled()) return;
    seen = true;
    getEnabled = page->getRecords()->isEnabled();
    cancelEnabled = window->cancelButton()->isEnabled();
    window->cancelButton()->click();
  });
  probe.start();
  page->getRecords()->click();
  probe.stop();
  ASSERT_TRUE(seen);
  EXPECT_FALSE(getEnabled);
  EXPECT_TRUE(cancelEnabled);
  EXPECT_TRUE(window->messageArea()->toPlainText().endsWith("RECORD DOWNLOAD CANCELLED."));
  EXPECT_FALSE(std::filesystem::exists(folder / "r.txt"));
  EXPECT_TRUE(page->getRecords()->isEnabled());
  EXPECT_FALSE(window->cancelButton()->isEnabled());
}

TEST_F(RecordsPageTest, FilesAndNewProgramAreLockedOutWhileItRuns) {
  using H = MenuHandler;
  const H fileItems[] = {
      H::OpenGroupClick,   H::SaveGroupClick,         H::OpenSetupFileClick, H::OpenScreenFileClick,
      H::OpenPgmFileClick, H::OpenPgmNotesFile1Click, H::SaveSetupFileClick, H::SaveScreenFileClick,
      H::SavePgmFileClick, H::SavePgmNotesFile1Click, H::PrintProgram1Click};
  auto* program = dynamic_cast<ProgramPage*>(window->page(kProgramPage));
  ASSERT_NE(program, nullptr);
  program->enableEdit()->click();
  ASSERT_TRUE(program->newButton()->isEnabled());
  settings().numOfRecords = 20;
  choose("r.txt");

  std::vector<std::string> enabledWhileBusy;
  bool seen = false;
  // Looked at from inside the download; Enable Edit clicked off and on again meanwhile.
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (seen || !window->instrumentBusy()) return;
    seen = true;
    program->enableEdit()->click();
    program->enableEdit()->click();
    for (H h : fileItems)
      if (window->action(h)->isEnabled())
        enabledWhileBusy.push_back(window->action(h)->objectName().toStdString());
    if (program->newButton()->isEnabled()) enabledWhileBusy.push_back("ButtonNewPgm");
  });
  probe.start();
  page->getRecords()->click();
  probe.stop();
  ASSERT_TRUE(seen);
  EXPECT_EQ(enabledWhileBusy, std::vector<std::string>{});
  EXPECT_TRUE(window->messageArea()->toPlainText().endsWith("FINISHED"));
  for (H h : fileItems)
    EXPECT_EQ(window->action(h)->isEnabled(), window->hasHandler(h))
        << window->action(h)->objectName().toStdString();
  EXPECT_TRUE(window->action(H::OpenGroupClick)->isEnabled());
  EXPECT_TRUE(program->newButton()->isEnabled());
  // Enable Edit off: New Program stays off once nothing runs.
  program->enableEdit()->click();
  EXPECT_FALSE(program->newButton()->isEnabled());
}

TEST_F(RecordsPageTest, EraseRecordsFromTheMenu) {
  window->action(MenuHandler::EraseRecords1Click)->trigger();
  EXPECT_EQ(boxes.front(), "Erase ALL Recorded Data in 40100?");
  EXPECT_TRUE(window->messageArea()->toPlainText().endsWith("ALL RECORDS ERASED."));
  EXPECT_EQ(instrument.recordLog().count(), 0u);
}

TEST_F(RecordsPageTest, CountFieldEditingKeysAndTheKeyboardAfterACancelledSave) {
  window->showPage(kRecordsPage);
  SpinEditWidget* count = page->numOfRecords();
  count->setFocus(Qt::OtherFocusReason);
  // Ctrl+A then a digit replaces the value; Ctrl+Z takes the typing back.
  QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(count, "42");
  EXPECT_EQ(count->editor()->text(), "42");
  EXPECT_EQ(settings().numOfRecords, 42u);
  QTest::keyClick(count, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(count->editor()->text(), "100");
  // Ctrl+A and Delete, Home and End, and copy and paste: the paste takes digits only.
  QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(count, Qt::Key_Delete);
  QTest::keyClicks(count, "31");
  QTest::keyClick(count, Qt::Key_Home);
  QTest::keyClick(count, Qt::Key_Delete);
  QTest::keyClick(count, Qt::Key_End);
  QTest::keyClicks(count, "3");
  EXPECT_EQ(count->editor()->text(), "13");
  QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(count, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "13");
  QTest::keyClick(count, Qt::Key_End);
  QTest::keyClick(count, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(count->editor()->text(), "1313");
  for (const char* refused : {"1.5", "-3", "12 records", ""}) {
    QApplication::clipboard()->setText(refused);
    QTest::keyClick(count, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(count->editor()->text(), "1313") << refused;
  }
  QApplication::clipboard()->setText(" 7\n");
  QTest::keyClick(count, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(count->editor()->text(), "13137");

  // However the keyboard came into the field, the first click selects its whole text.
  page->getRecords()->setFocus();
  count->setFocus(Qt::ShortcutFocusReason);
  count->editor()->deselect();
  QTest::mouseClick(count->editor(), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_EQ(count->editor()->selectedText(), "13137");
  QTest::mouseClick(count->editor(), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(count->editor()->hasSelectedText());

  // Ctrl+End and Ctrl+Home move in the records text and in the message area.
  for (int i = 0; i < 200; ++i) {
    page->appendRecordsText("0000001,1.0\r\n");
    window->shell().addMessageLine("A LINE");
  }
  for (QPlainTextEdit* text : {page->records(), window->messageArea()}) {
    text->setFocus();
    QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(text->textCursor().position(), 0);
    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(text->textCursor().position(), text->document()->characterCount() - 1);
    EXPECT_EQ(text->verticalScrollBar()->value(), text->verticalScrollBar()->maximum());
    QTest::keyClick(text, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(text->verticalScrollBar()->value(), 0);
  }

  // A save dialog cancelled: the keyboard is back on Get Records, not on Clear Text.
  settings().numOfRecords = 5;
  page->refresh();
  chosenFile.clear();
  page->getRecords()->setFocus(Qt::TabFocusReason);
  QTest::keyClick(page->getRecords(), Qt::Key_Space);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(page->getRecords()->hasFocus());
}

TEST_F(RecordsPageTest, AltCPressesClearTextHereAndOpensTheCommandsMenuElsewhere) {
  window->showPage(kRecordsPage);
  page->appendRecordsText("0000001,1.0\r\n");
  page->getRecords()->setFocus();
  QTest::keyClick(page->getRecords(), Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(page->records()->toPlainText().isEmpty());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  window->showPage(kSetupPage);
  QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "&Commands");
  menu->close();
}

}  // namespace
}  // namespace halvern

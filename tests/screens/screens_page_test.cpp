// The Screens page in the window, offscreen: edit mode, key routing, the Commands menu, and
// screens typed in the window going to the instrument, a file and back.
#include "screens/screens_page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "app/window_shell.h"
#include "platform/calendar.h"
#include "screens/screen_buffer.h"
#include "screens/screen_number_widget.h"
#include "setup/setup_page.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

class ScreensPageTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<ScreensPage*>(window->page(kScreensPage));
    ASSERT_NE(page, nullptr);
    window->showPage(kScreensPage);
  }

  ScreenBuffer& screens() { return window->document().part<ScreenBuffer>(); }
  void type(const char* text) {
    for (const char* c = text; *c; ++c) QTest::keyClick(page->imageScreen(), *c);
  }
  void key(Qt::Key k) { QTest::keyClick(page->imageScreen(), k); }
  std::string instrumentCells() const {
    const auto& c = instrument.screenMemory().cells();
    return {c.begin(), c.end()};
  }
  std::string bufferBytes() { return {screens().bytes().begin(), screens().bytes().end()}; }

  ScreensPage* page = nullptr;
};

TEST_F(ScreensPageTest, StartsBlankAndViewing) {
  EXPECT_EQ(page->labelRowCol()->text(), " ");
  EXPECT_TRUE(page->startEdit()->isEnabled());
  for (QWidget* w : std::initializer_list<QWidget*>{page->stopEdit(), page->clearScreen(),
                                                    page->fontSmall(), page->fontLarge()})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(page->fontSmall()->isChecked());
  EXPECT_EQ(page->screenNumber()->value(), 1);
  EXPECT_EQ(page->startEdit()->text(), "Start &Edit");
  EXPECT_EQ(page->stopEdit()->text(), "Sto&p Edit");
  EXPECT_EQ(page->clearScreen()->text(), "&Clear Screen");
  const QImage picture = page->imageScreen()->pixmap().toImage();
  EXPECT_EQ(picture.size(), QSize(480, 98));
  EXPECT_EQ(picture.pixel(5, 5), qRgb(0, 0, 0));
  EXPECT_TRUE(screens() == ScreenBuffer());
}

TEST_F(ScreensPageTest, EditingTypesBothFontsWhileTheCommandsMenuRests) {
  QAction* commands = window->action(MenuHandler::RxScreensClick);
  ASSERT_TRUE(commands->isEnabled());
  page->startEdit()->click();
  EXPECT_FALSE(commands->isEnabled());
  EXPECT_FALSE(window->action(MenuHandler::GetCollection1Click)->isEnabled());
  EXPECT_TRUE(
      window->action(MenuHandler::OpenScreenFileClick)->isEnabled());  // the File menu stays
  EXPECT_EQ(page->labelRowCol()->text(), "Row 1  Column 01 Small");
  // The cursor cell shows inverse: green at the top-left.
  EXPECT_EQ(page->imageScreen()->pixmap().toImage().pixel(0, 0), qRgb(0, 255, 0));

  type("Hi ");
  page->fontLarge()->click();
  type("42");
  key(Qt::Key_Down);
  key(Qt::Key_Left);
  // "Hi " small; the large "4" takes the block of columns 2-3 (over the blank), "2" the next.
  EXPECT_EQ(screens().cell(0, 0, 0), 'H');
  EXPECT_EQ(screens().cell(0, 0, 1), 'i');
  EXPECT_EQ(screens().cell(0, 1, 3), 0xB4);
  EXPECT_EQ(screens().cell(0, 1, 4), 0xB2);
  // Down from (0, 6) to (1, 6), Left onto the large "2".
  EXPECT_EQ(page->labelRowCol()->text(), "Row 1  Column 03 Large");

  // Ctrl+A beeps and types nothing; the space bar on a focused button types a (large) blank.
  QTest::keyClick(page->imageScreen(), Qt::Key_A, Qt::ControlModifier);
  page->clearScreen()->setFocus();
  QTest::keyClick(page->clearScreen(), Qt::Key_Space);
  EXPECT_EQ(screens().cell(0, 0, 4), 0xA0);
  EXPECT_EQ(screens().cell(0, 0, 0), 'H');
  EXPECT_EQ(screens().cell(0, 0, 2), 0xB4);

  page->stopEdit()->click();
  EXPECT_TRUE(commands->isEnabled());
  EXPECT_EQ(page->labelRowCol()->text(), " ");
  EXPECT_FALSE(page->fontLarge()->isEnabled());

  // Not editing: keys pass, and the space bar does not press Clear Message Area.
  const ScreenBuffer before = screens();
  type("zz");
  auto* clearMemo = window->findChild<QPushButton*>("ButtonClearMemo");
  window->shell().addMessageLine("KEEP");
  clearMemo->setFocus();
  QTest::keyClick(clearMemo, Qt::Key_Space);
  EXPECT_TRUE(screens() == before);
  EXPECT_TRUE(window->messageArea()->toPlainText().contains("KEEP"));
}

TEST_F(ScreensPageTest, KeysReachTheScreenOnlyOnTheScreensPage) {
  page->startEdit()->click();
  window->showPage(kSetupPage);
  type("x");
  window->showPage(kScreensPage);
  EXPECT_EQ(screens().cell(0, 0, 0), ' ');
  type("y");
  EXPECT_EQ(screens().cell(0, 0, 0), 'y');
}

// While editing, an open menu keeps its keys: Down moves in the menu and Escape closes it, the
// screen's cursor staying where it is. The keys arrive at the main window before the menu.
TEST_F(ScreensPageTest, AnOpenMenuKeepsItsKeysWhileEditing) {
  page->startEdit()->click();
  key(Qt::Key_Right);
  const QString cursor = page->labelRowCol()->text();
  QAction* fileItem = window->menuBar()->actions().at(0);
  window->menuBar()->setActiveAction(fileItem);
  QMenu* menu = fileItem->menu();
  ASSERT_TRUE(menu->isVisible());
  ASSERT_EQ(QApplication::activePopupWidget(), menu);

  QAction* before = menu->activeAction();
  QTest::keyClick(window->windowHandle(), Qt::Key_Down);
  QTest::keyClick(menu, Qt::Key_Down);
  EXPECT_NE(menu->activeAction(), before);
  QTest::keyClick(menu, Qt::Key_A);
  QTest::keyClick(menu, Qt::Key_Escape);
  QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_EQ(page->labelRowCol()->text(), cursor);
  EXPECT_TRUE(screens() == ScreenBuffer());

  // Closed, the keys go to the screen again.
  type("Q");
  EXPECT_EQ(screens().cell(0, 0, 1), 'Q');
}

// While editing, a dialog, modal or not, takes what is typed into it, and Return closes a modal
// one; nothing reaches the screen behind.
TEST_F(ScreensPageTest, DialogsKeepTheirKeysWhileEditing) {
  page->startEdit()->click();
  for (bool modal : {true, false}) {
    QDialog dialog(modal ? window.get() : nullptr);
    auto* name = new QLineEdit(&dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.setModal(modal);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    name->setFocus();
    for (const char* c = "ab.scr"; *c; ++c) QTest::keyClick(name, *c);
    QTest::keyClick(name, Qt::Key_Left);
    QTest::keyClick(name, Qt::Key_Backspace);
    EXPECT_EQ(name->text(), "ab.sr") << modal;
    EXPECT_EQ(page->labelRowCol()->text(), "Row 1  Column 01 Small") << modal;
    if (modal) {
      QTest::keyClick(name, Qt::Key_Return);
      EXPECT_EQ(dialog.result(), QDialog::Accepted);
      EXPECT_FALSE(dialog.isVisible());
    }
  }
  EXPECT_TRUE(screens() == ScreenBuffer());
  QApplication::setActiveWindow(window.get());
  type("R");
  EXPECT_EQ(screens().cell(0, 0, 0), 'R');
}

TEST_F(ScreensPageTest, ScreenNumberShowsItsScreen) {
  screens().setCell(2, 0, 0, 'C');
  page->screenNumber()->stepBy(2);
  EXPECT_EQ(page->screenNumber()->value(), 3);
  EXPECT_EQ(screens().currentScreen(), 2);
  page->screenNumber()->stepBy(-5);  // beyond 1: the number stays
  EXPECT_EQ(page->screenNumber()->value(), 3);
  page->startEdit()->click();
  type("D");
  EXPECT_EQ(screens().cell(2, 0, 0), 'D');
  EXPECT_EQ(screens().cell(0, 0, 0), ' ');
}

TEST_F(ScreensPageTest, TypedScreensSurviveInstrumentAndFile) {
  // Typed in the window, both fonts, on screens 1 and 4.
  page->startEdit()->click();
  type("Wind");
  key(Qt::Key_Down);
  key(Qt::Key_Down);
  key(Qt::Key_Home);
  page->fontLarge()->click();
  type("12.4");
  page->screenNumber()->stepBy(3);
  type("Rain");
  page->fontSmall()->click();
  type(" mm");
  page->stopEdit()->click();
  const ScreenBuffer typed = screens();
  EXPECT_EQ(typed.cell(0, 2, 0), 0xB1);
  EXPECT_EQ(typed.cell(3, 1, 1), 0xD2);

  // Window -> instrument.
  window->action(MenuHandler::TxScreensClick)->trigger();
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  clock.advance(std::chrono::milliseconds(20));
  link.purge();
  EXPECT_EQ(instrumentCells(), bufferBytes());
  EXPECT_TRUE(window->messageArea()->toPlainText().contains("FINISHED SENDING SCREENS."));

  // Instrument -> window, over other screens, while screen 4 is shown.
  screens().clearScreen(0);
  ASSERT_EQ(screens().currentScreen(), 3);
  window->action(MenuHandler::RxScreensClick)->trigger();
  EXPECT_TRUE(screens() == typed);
  EXPECT_EQ(screens().currentScreen(), 0);
  EXPECT_EQ(page->screenNumber()->value(), 1);

  // Window -> file -> window, the file opened while editing screen 5.
  chosenFile = QString::fromStdString((folder / "typed.scr").string());
  window->action(MenuHandler::SaveScreenFileClick)->trigger();
  EXPECT_EQ(std::filesystem::file_size(folder / "typed.scr"), 1920u);
  page->screenNumber()->stepBy(4);
  page->startEdit()->click();
  page->clearScreen()->click();
  type("gone");
  window->action(MenuHandler::OpenScreenFileClick)->trigger();
  EXPECT_TRUE(screens() == typed);
  EXPECT_EQ(page->screenNumber()->value(), 1);
  EXPECT_FALSE(page->isEditing());
  EXPECT_TRUE(page->startEdit()->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::RxScreensClick)->isEnabled());
  EXPECT_TRUE(boxes.empty());

  // A file that is not a screen file is refused and changes nothing.
  std::ofstream(folder / "short.scr", std::ios::binary) << std::string(100, 'x');
  chosenFile = QString::fromStdString((folder / "short.scr").string());
  window->action(MenuHandler::OpenScreenFileClick)->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("is not a screen file"), std::string::npos);
  EXPECT_TRUE(screens() == typed);
}

TEST_F(ScreensPageTest, ClosedLinkIsRefusedBeforeAnythingIsSent) {
  window->showPage(kSetupPage);
  link.close();
  window->action(MenuHandler::RxScreensClick)->trigger();
  window->action(MenuHandler::TxScreensClick)->trigger();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Cannot Get Screens.\nUSB port is closed.");
  EXPECT_EQ(boxes[1], "Cannot Send Screens.\nUSB port is closed.");
  EXPECT_EQ(window->currentPage(), kSetupPage);
  EXPECT_TRUE(instrument.linesReceived().empty());
}

}  // namespace
}  // namespace halvern

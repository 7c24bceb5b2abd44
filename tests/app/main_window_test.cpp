#include "app/main_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <utility>

#include "app/key_router.h"
#include "app/menu_table.h"
#include "app/module.h"
#include "app/window_shell.h"
#include "link/serial_link.h"
#include "platform/calendar.h"
#include "program/program_page.h"
#include "records/records_commands.h"
#include "support/scripted_link.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

struct Box {
  std::string text;
  MessageKind kind;
  MessageButtons buttons;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::path(::testing::TempDir()) /
             ("halvern_window_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    settingsPath = (folder / "Halvern.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::unique_ptr<MainWindow> makeWindow() {
    MainWindow::Context context{
        link,
        clock,
        calendar,
        settingsPath,
        true,
        [this](std::string_view text, MessageKind kind, MessageButtons buttons) {
          boxes.push_back({std::string(text), kind, buttons});
          return MessageResult::Ok;
        }};
    return std::make_unique<MainWindow>(std::move(context));
  }
  std::string settingsText() const {
    std::ifstream in(settingsPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  VirtualClock clock;
  test::ScriptedLink link{clock};
  FixedCalendar calendar{DateTime{2026, 12, 7, 10, 0, 0}};
  std::filesystem::path folder;
  std::string settingsPath;
  std::vector<Box> boxes;
};

TEST_F(MainWindowTest, StartsWithTheInstrumentAttached) {
  auto window = makeWindow();
  EXPECT_EQ(window->windowTitle(), "Zelka 40100 Halvern 3.0");
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(window->statusLabel()->text(), "ZELKA 40100 USB: Port Open");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window->currentPage(), kProgramPage);
  const QStringList tabs{"Setup", "Screens", "User Program", "Get Records", "Tests", "Calibration"};
  ASSERT_EQ(window->pageControl()->count(), tabs.size());
  for (int i = 0; i < tabs.size(); ++i) EXPECT_EQ(window->pageControl()->tabText(i), tabs[i]);
  // Fixed size: the client area below the menu bar is 570 x 671.
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(window->width(), 570);
  EXPECT_EQ(window->height() - window->menuBar()->sizeHint().height(), 671);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindowTest, StartsWithoutTheInstrumentAndStaysUsable) {
  link.openFails = true;
  auto window = makeWindow();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cannot open ZELKA 40100 USB port.");
  EXPECT_EQ(boxes[0].kind, MessageKind::Warning);
  EXPECT_EQ(boxes[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(window->statusLabel()->text(), "USB port closed");
  EXPECT_FALSE(link.isOpen());

  // The bridge plugged in later: Reconnect opens it, without the pause.
  link.openFails = false;
  window->action(MenuHandler::ReconnectUSBClick)->trigger();
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(link.opens, 2);
  EXPECT_EQ(link.closes, 0);
  EXPECT_EQ(clock.elapsed(), 0ms);
  EXPECT_EQ(window->statusLabel()->text(), "ZELKA 40100 USB: Port Open");
}

TEST_F(MainWindowTest, ReconnectWhileOpenClosesOnceAndPauses) {
  auto window = makeWindow();
  window->action(MenuHandler::ReconnectUSBClick)->trigger();
  EXPECT_EQ(link.cycles, 1);
  EXPECT_EQ(link.closes, 1);
  EXPECT_EQ(link.opens, 2);
  EXPECT_EQ(clock.elapsed(), 2000ms);
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(window->action(MenuHandler::ReconnectUSBClick)->shortcut(), QKeySequence("Ctrl+U"));
}

TEST_F(MainWindowTest, SettingsDefaultThenRoundTripThroughTheFile) {
  {
    auto window = makeWindow();
    EXPECT_EQ(window->pos(), QPoint(100, 100));
    const Settings defaults{{"40100 Setup", "Top", 100},
                            {"40100 Setup", "Left", 100},
                            {"40100 Setup", "Show Records", 0},
                            {"40100 Setup", "Num of Records", 100},
                            {"Halvern", "Backup Before Sending", 1},
                            {"Halvern", "Verify After Sending", 0}};
    EXPECT_EQ(window->settings(), defaults);
    EXPECT_TRUE(window->action(MenuHandler::BackUpBeforeSending1Click)->isChecked());
    EXPECT_FALSE(window->action(MenuHandler::VerifyAfterSending1Click)->isChecked());
    window->close();
  }
  EXPECT_EQ(settingsText(),
            "[40100 Setup]\nTop=100\nLeft=100\nShow Records=0\nNum of Records=100\n"
            "[Halvern]\nBackup Before Sending=1\nVerify After Sending=0\n");
  EXPECT_FALSE(link.isOpen());  // closed at shutdown

  {
    auto window = makeWindow();
    window->move(140, 120);
    // The Get Records page's two, as the page keeps them.
    window->document().part<RecordsSettings>().showRecords = true;
    window->document().part<RecordsSettings>().numOfRecords = 2500;
    // The send guards' two check items, in our own section.
    window->action(MenuHandler::BackUpBeforeSending1Click)->trigger();
    window->action(MenuHandler::VerifyAfterSending1Click)->trigger();
    window->close();
  }
  EXPECT_EQ(settingsText(),
            "[40100 Setup]\nTop=120\nLeft=140\nShow Records=1\nNum of Records=2500\n"
            "[Halvern]\nBackup Before Sending=0\nVerify After Sending=1\n");
  auto reopened = makeWindow();
  EXPECT_EQ(reopened->pos(), QPoint(140, 120));
  EXPECT_TRUE(reopened->document().part<RecordsSettings>().showRecords);
  EXPECT_EQ(reopened->document().part<RecordsSettings>().numOfRecords, 2500u);
  EXPECT_FALSE(reopened->action(MenuHandler::BackUpBeforeSending1Click)->isChecked());
  EXPECT_TRUE(reopened->action(MenuHandler::VerifyAfterSending1Click)->isChecked());
}

TEST_F(MainWindowTest, PositionOffEveryScreenIsBroughtBack) {
  std::filesystem::create_directories(folder);
  std::ofstream(settingsPath) << "[40100 Setup]\nTop=-4000\nLeft=9000\n";
  auto window = makeWindow();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(QRect(window->pos(), QSize(100, 20))))
      << window->pos().x() << "," << window->pos().y();
}

TEST(PlaceOnScreens, KeepsReachableWindowsAndMovesLostOnes) {
  const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
  const QSize size(570, 690);
  const struct {
    QPoint at;
    QPoint expected;
  } cases[] = {
      {{100, 100}, {100, 100}},    // on the first screen
      {{2000, 50}, {2000, 50}},    // on the second
      {{1400, 600}, {1400, 600}},  // hanging over the bottom edge, title bar reachable
      {{5000, 100}, {2630, 100}},  // far right: onto the second screen's right edge
      {{-900, -300}, {0, 0}},      // up and left of everything
      {{100, 1070}, {100, 390}},   // title bar below the first screen
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MainWindow::placeOnScreens(QRect(c.at, size), screens), c.expected)
        << c.at.x() << "," << c.at.y();
  }
}

TEST(WindowShellCentring, HalvesRoundTowardZero) {
  EXPECT_EQ(WindowShell::centredOver(QRect(100, 100, 570, 700), QSize(200, 100)), QPoint(285, 400));
  EXPECT_EQ(WindowShell::centredOver(QRect(100, 100, 571, 701), QSize(200, 100)), QPoint(285, 400));
  // A box wider than the window: the negative half rounds up, toward zero.
  EXPECT_EQ(WindowShell::centredOver(QRect(0, 0, 100, 100), QSize(103, 103)), QPoint(-1, -1));
}

TEST_F(MainWindowTest, MenusFollowTheMenuTable) {
  auto window = makeWindow();
  int items = 0;
  for (const auto& def : kMainMenu) {
    if (!def.hasHandler) continue;
    ++items;
    QAction* a = window->action(def.handler);
    ASSERT_NE(a, nullptr) << def.handlerName;
    EXPECT_EQ(a->objectName(), QString::fromUtf8(def.handlerName));
    // The program tree's keys are listed beside their items, never bound by the menu.
    const bool treeKey = def.handler >= MenuHandler::EditCut1Click &&
                         def.handler <= MenuHandler::EditParameter1Click;
    if (treeKey) {
      EXPECT_EQ(a->text(), QString::fromUtf8(def.caption) + '\t' +
                               QKeySequence(def.shortcut).toString(QKeySequence::NativeText));
      EXPECT_TRUE(a->shortcut().isEmpty());
    } else {
      EXPECT_EQ(a->text(), QString::fromUtf8(def.caption));
      EXPECT_EQ(a->shortcut(), def.shortcut ? QKeySequence(def.shortcut) : QKeySequence())
          << def.handlerName;
    }
    // Items of subsystems not built yet are there, disabled; the editor's wait for something to
    // undo, or for Enable Edit.
    const bool waits =
        def.handler >= MenuHandler::Undo1Click && def.handler <= MenuHandler::EditParameter1Click;
    EXPECT_EQ(a->isEnabled(), window->hasHandler(def.handler) && !waits) << def.handlerName;
  }
  EXPECT_EQ(items, 44);
  for (MenuHandler handler : {MenuHandler::ReconnectUSBClick, MenuHandler::Exit1Click,
                              MenuHandler::About1Click, MenuHandler::ConnectionHelpClick})
    EXPECT_TRUE(window->hasHandler(handler));
  EXPECT_EQ(window->action(MenuHandler::OpenGroupClick)->statusTip(),
            "Open a collection of Setup, Screen, and Program Files.");
  EXPECT_EQ(window->action(MenuHandler::RxSetupClick)->shortcut(),
            QKeySequence(Qt::SHIFT | Qt::Key_F10));
  EXPECT_EQ(window->action(MenuHandler::GetCollection1Click)->shortcut(),
            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G));
  // The menu bar: File, Commands, Edit, Help; the nested Individual Get/Send submenu.
  const auto bar = window->menuBar()->actions();
  ASSERT_EQ(bar.size(), 4);
  EXPECT_EQ(bar[0]->text(), "&File");
  EXPECT_EQ(bar[1]->text(), "&Commands");
  EXPECT_EQ(bar[2]->text(), "Edi&t");
  EXPECT_EQ(bar[3]->text(), "&Help");
  QAction* special = bar[1]->menu()->actions().at(3);
  EXPECT_EQ(special->text(), "Special &Commands");
  EXPECT_EQ(special->menu()->actions().at(0)->text(), "&Individual Get/Send Commands");
  EXPECT_EQ(special->menu()->actions().at(0)->menu()->actions().size(), 7);

  // The program editor's context menu, Paste disabled until something is copied.
  const auto popup = window->popupMenu()->actions();
  ASSERT_EQ(popup.size(), 4);
  EXPECT_EQ(popup[0]->text(), "Cu&t");
  EXPECT_EQ(popup[3]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
  EXPECT_FALSE(popup[2]->isEnabled());
  EXPECT_TRUE(popup[1]->isEnabled());
}

TEST_F(MainWindowTest, ARunningOperationDisablesCommandsUntilItEnds) {
  auto window = makeWindow();
  window->setHandler(MenuHandler::RxSetupClick, [] {});
  auto* get = new QPushButton("Get", window.get());
  auto* already = new QPushButton("Off", window.get());
  bool wanted = false;
  window->registerInstrumentButton(get);
  window->registerInstrumentButton(already, [&wanted] { return wanted; });
  EXPECT_FALSE(already->isEnabled());
  Shell& shell = window->shell();
  {
    shell.setInstrumentBusy(true);
    EXPECT_TRUE(window->instrumentBusy());
    EXPECT_FALSE(window->action(MenuHandler::RxSetupClick)->isEnabled());
    EXPECT_FALSE(window->action(MenuHandler::ReconnectUSBClick)->isEnabled());
    EXPECT_FALSE(window->menuBar()->actions()[1]->isEnabled());
    EXPECT_FALSE(get->isEnabled());
    EXPECT_TRUE(window->action(MenuHandler::About1Click)->isEnabled());
    // A handler given meanwhile is enabled when the lock goes.
    window->setHandler(MenuHandler::TxSetupClick, [] {});
    EXPECT_FALSE(window->action(MenuHandler::TxSetupClick)->isEnabled());
    // A nested operation's end leaves the outer one's lock.
    shell.setInstrumentBusy(true);
    shell.setInstrumentBusy(false);
    EXPECT_FALSE(get->isEnabled());
    shell.setInstrumentBusy(false);
  }
  EXPECT_FALSE(window->instrumentBusy());
  EXPECT_TRUE(window->action(MenuHandler::RxSetupClick)->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::TxSetupClick)->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::ReconnectUSBClick)->isEnabled());
  EXPECT_TRUE(window->menuBar()->actions()[1]->isEnabled());
  EXPECT_TRUE(get->isEnabled());
  EXPECT_FALSE(already->isEnabled());
  wanted = true;
  window->updateCommandStates();
  EXPECT_TRUE(already->isEnabled());
}

TEST_F(MainWindowTest, MessageAreaLinesCaretTextAndClear) {
  auto window = makeWindow();
  Shell& shell = window->shell();
  shell.addMessageLine("GET SETUP...");
  shell.insertText("Zero: 12\rSpan: ");
  shell.insertText("3\r");
  shell.addMessageLine("FINISHED GETTING SETUP.");
  // Streamed text starts below the line before it; the next line takes the line its last
  // carriage return began.
  EXPECT_EQ(window->messageArea()->toPlainText(),
            "GET SETUP...\nZero: 12\nSpan: 3\nFINISHED GETTING SETUP.");
  // Text that ends without a carriage return is followed by a line of its own.
  shell.insertText("partial");
  shell.addMessageLine("NEXT");
  EXPECT_TRUE(window->messageArea()->toPlainText().endsWith("SETUP.\npartial\nNEXT"));
  window->findChild<QPushButton*>("ButtonClearMemo")->click();
  EXPECT_TRUE(window->messageArea()->toPlainText().isEmpty());
  EXPECT_EQ(window->messageArea()->focusPolicy(), Qt::ClickFocus);
}

// Runs `open`, which runs a modal dialog, and gives that dialog's caption; the dialog is closed
// as soon as it shows.
QString captionOfModal(const std::function<void()>& open) {
  QString caption = QStringLiteral("(no dialog)");
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&caption] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      caption = dialog->windowTitle();
      dialog->reject();
    }
  });
  poll.start();
  open();
  return caption;
}

// Every file dialog asks under its own caption, not the dialog's "Save As" or "Open".
TEST_F(MainWindowTest, FileDialogsAskUnderTheirOwnCaptions) {
  auto window = makeWindow();
  const std::pair<MenuHandler, const char*> cases[] = {
      {MenuHandler::SaveSetupFileClick, "Save Setup File"},
      {MenuHandler::OpenSetupFileClick, "Open Setup File"},
      {MenuHandler::SaveScreenFileClick, "Save Screen File"},
      {MenuHandler::OpenScreenFileClick, "Open Screen File"},
      {MenuHandler::SavePgmFileClick, "Save User Pgm File"},
      {MenuHandler::OpenPgmFileClick, "Open User Pgm File"},
      {MenuHandler::SavePgmNotesFile1Click, "Save Pgm Notes File"},
      {MenuHandler::OpenPgmNotesFile1Click, "Open Pgm Notes File"},
  };
  for (const auto& [handler, caption] : cases) {
    QAction* item = window->action(handler);
    ASSERT_TRUE(item && item->isEnabled()) << caption;
    EXPECT_EQ(captionOfModal([item] { item->trigger(); }), caption);
  }
  EXPECT_TRUE(boxes.empty());
}

// The folder a file dialog opens in, and what it does there: `choose` a file (empty: cancel).
QString folderOfFileDialog(const std::function<void()>& open, const QString& choose = {}) {
  QString folder = QStringLiteral("(no dialog)");
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    poll.stop();
    folder = dialog->directory().absolutePath();
    if (choose.isEmpty()) {
      dialog->reject();
    } else {
      dialog->selectFile(choose);
      QMetaObject::invokeMethod(dialog, "accept");
    }
  });
  poll.start();
  open();
  return folder;
}

// Each kind of file starts where the last of its kind went, across a restart; a group's members
// start beside it; the first time, the documents folder, never the working folder.
TEST_F(MainWindowTest, FileDialogsStartWhereTheirKindWentLast) {
  const QString sites = QString::fromStdString((folder / "sites").string());
  const QString group = QString::fromStdString((folder / "group").string());
  QDir().mkpath(sites);
  QDir().mkpath(group);
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!QFileInfo(documents).isDir()) documents = QDir::homePath();
  {
    auto window = makeWindow();
    auto trigger = [&window](MenuHandler handler) {
      return [&window, handler] { window->action(handler)->trigger(); };
    };
    EXPECT_EQ(folderOfFileDialog(trigger(MenuHandler::OpenSetupFileClick)),
              QDir(documents).absolutePath());
    EXPECT_EQ(folderOfFileDialog(trigger(MenuHandler::SaveSetupFileClick), sites + "/north.set"),
              QDir(documents).absolutePath());
    ASSERT_TRUE(QFileInfo::exists(sites + "/north.set"));
    // Kept at once: a session that is killed still remembers it.
    EXPECT_NE(settingsText().find("Folder setup=" + sites.toStdString()), std::string::npos);
    EXPECT_EQ(folderOfFileDialog(trigger(MenuHandler::OpenSetupFileClick)), sites);
    // A cancelled dialog changes nothing; another kind keeps its own start.
    EXPECT_EQ(folderOfFileDialog(trigger(MenuHandler::OpenScreenFileClick)),
              QDir(documents).absolutePath());
    window->close();
  }
  EXPECT_NE(settingsText().find("[Halvern]\nBackup Before Sending=1\nVerify After Sending=0\n"
                                "Folder setup=" +
                                sites.toStdString() + "\n"),
            std::string::npos)
      << settingsText();
  {
    auto window = makeWindow();
    EXPECT_EQ(
        folderOfFileDialog([&] { window->action(MenuHandler::SaveSetupFileClick)->trigger(); }),
        sites);
    // A group saved elsewhere: its members' dialogs start beside it from now on.
    EXPECT_EQ(folderOfFileDialog([&] { window->action(MenuHandler::SaveGroupClick)->trigger(); },
                                 group + "/site.ssp"),
              QDir(documents).absolutePath());
    ASSERT_TRUE(QFileInfo::exists(group + "/site.ssp"));
    EXPECT_EQ(folderOfFileDialog([&] { window->action(MenuHandler::OpenPgmFileClick)->trigger(); }),
              group);
    EXPECT_EQ(
        folderOfFileDialog([&] { window->action(MenuHandler::OpenSetupFileClick)->trigger(); }),
        group);
  }
  // A remembered folder that is gone: the documents folder again.
  QDir(group).removeRecursively();
  auto window = makeWindow();
  EXPECT_EQ(folderOfFileDialog([&] { window->action(MenuHandler::OpenPgmFileClick)->trigger(); }),
            QDir(documents).absolutePath());
}

// Message boxes are captioned by their kind alone, the About box by its name.
TEST_F(MainWindowTest, BoxesAreCaptionedByTheirKind) {
  auto window = makeWindow();
  QPlainTextEdit area;
  QProgressBar progress;
  QLabel status;
  WindowShell shell(window.get(), &area, &progress, &status);
  const std::pair<MessageKind, const char*> cases[] = {
      {MessageKind::Warning, "Warning"},
      {MessageKind::Error, "Error"},
      {MessageKind::Information, "Information"},
      {MessageKind::Confirmation, "Confirm"},
  };
  for (const auto& [kind, caption] : cases) {
    EXPECT_EQ(captionOfModal(
                  [&shell, kind = kind] { (void)shell.message("Text", kind, MessageButtons::Ok); }),
              caption);
  }
  EXPECT_EQ(captionOfModal([&window] { window->action(MenuHandler::About1Click)->trigger(); }),
            "About Halvern");
}

// The warning of a port that will not open offers the connection checks; no other box does.
TEST_F(MainWindowTest, CannotOpenWarningOffersConnectionHelp) {
  auto window = makeWindow();
  QPlainTextEdit area;
  QProgressBar progress;
  QLabel status;
  WindowShell shell(window.get(), &area, &progress, &status);
  int helped = 0;
  shell.setConnectionHelp([&helped] { ++helped; });

  // Presses the box's button captioned `caption`, or OK when it has none; returns its buttons.
  bool connection = true;  // a connection warning, else a plain one
  auto press = [&shell, &connection](std::string_view text, const QString& caption) {
    QStringList captions;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      QAbstractButton* chosen = box->button(QMessageBox::Ok);
      for (QAbstractButton* button : box->buttons()) {
        captions << button->text();
        if (button->text() == caption) chosen = button;
      }
      chosen->click();
    });
    poll.start();
    const MessageResult result =
        connection ? shell.connectionWarning(text)
                   : shell.message(text, MessageKind::Warning, MessageButtons::Ok);
    EXPECT_EQ(result, MessageResult::Ok);
    return captions;
  };

  EXPECT_TRUE(press("Cannot open ZELKA 40100 USB port.", "OK").contains("Connection &Help..."));
  EXPECT_EQ(helped, 0);
  press("Cannot open ZELKA 40100 USB port.", "Connection &Help...");
  EXPECT_EQ(helped, 1);
  // The call, not the text, chooses the box: the same words as a plain warning offer nothing.
  connection = false;
  EXPECT_FALSE(
      press("Cannot test RAM because USB port is closed.", "OK").contains("Connection &Help..."));
  EXPECT_FALSE(press("Cannot open ZELKA 40100 USB port.", "OK").contains("Connection &Help..."));
  EXPECT_EQ(helped, 1);

  // Help > Connection Help... shows the checks' report under its own caption.
  QString report;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&report] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    if (auto* text = dialog->findChild<QPlainTextEdit*>("ConnectionReport"))
      report = dialog->windowTitle() + "\n" + text->toPlainText();
    dialog->reject();
  });
  poll.start();
  window->action(MenuHandler::ConnectionHelpClick)->trigger();
  EXPECT_TRUE(report.startsWith("Connection Help\n")) << report.toStdString();
  EXPECT_TRUE(report.contains("Serial ports")) << report.toStdString();
}

// With several bridges attached, the one chosen is named beside the status text; with one,
// nothing is added.
TEST_F(MainWindowTest, StatusBarNamesTheChosenOfSeveralBridges) {
  for (const SerialPortEntry& port : SerialLink::enumeratePorts())
    if (port.isInstrument) GTEST_SKIP() << "an instrument is attached at " << port.device;
  struct Pty {
    Pty() {
      master = ::posix_openpt(O_RDWR | O_NOCTTY);
      if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
        path = ::ptsname(master);
    }
    ~Pty() {
      if (master >= 0) ::close(master);
    }
    int master = -1;
    std::string path;
  } first, second;
  ASSERT_FALSE(first.path.empty() || second.path.empty());
  std::filesystem::create_directories(folder / "dev");
  std::filesystem::create_symlink(first.path, folder / "dev" / "zelka40100-A1");

  auto windowOn = [this](SerialLink& serial) {
    MainWindow::Context context{
        serial,   clock,
        calendar, settingsPath,
        true,     [](std::string_view, MessageKind, MessageButtons) {
                                  return MessageResult::Ok; }};
    return std::make_unique<MainWindow>(std::move(context));
  };
  SystemClock realTime;
  SerialLink one(realTime);
  one.setDeviceFolder((folder / "dev").string());
  auto window = windowOn(one);
  auto* bridge = window->findChild<QLabel*>("BridgeInUse");
  ASSERT_NE(bridge, nullptr);
  EXPECT_EQ(window->statusLabel()->text(), "ZELKA 40100 USB: Port Open");
  EXPECT_FALSE(bridge->isVisibleTo(window.get()));
  window.reset();

  std::filesystem::create_symlink(second.path, folder / "dev" / "zelka40100-B2");
  SerialLink two(realTime);
  two.setDeviceFolder((folder / "dev").string());
  int asked = 0;
  two.setBridgeChooser([&asked](const std::vector<Bridge>&) {
    ++asked;
    return std::optional<std::size_t>(1);
  });
  window = windowOn(two);
  bridge = window->findChild<QLabel*>("BridgeInUse");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(window->statusLabel()->text(), "ZELKA 40100 USB: Port Open");
  EXPECT_TRUE(bridge->isVisibleTo(window.get()));
  EXPECT_EQ(bridge->text().toStdString(), "Bridge B2 on " + second.path);
}

class FakeScreenEditor : public ScreenKeyTarget {
 public:
  bool isEditing() const override { return editing; }
  void cursorKey(Key key) override { keys.push_back(key); }
  void typeCharacter(std::uint8_t code) override { typed.push_back(code); }
  bool editing = false;
  std::vector<Key> keys;
  std::vector<std::uint8_t> typed;
};

TEST(KeyRouter, RoutesKeysOnlyWhileEditingOnTheScreensPage) {
  bool screensShown = true;
  int beeps = 0;
  KeyRouter router([&] { ++beeps; });
  FakeScreenEditor editor;
  router.setTarget(&editor, [&] { return screensShown; });
  qApp->installEventFilter(&router);
  QLineEdit field;
  field.show();
  field.setFocus();

  // Not editing: everything reaches the field.
  QTest::keyClicks(&field, "ab");
  QTest::keyClick(&field, Qt::Key_Left);
  EXPECT_EQ(field.text(), "ab");
  EXPECT_TRUE(editor.keys.empty());

  editor.editing = true;
  QTest::keyClick(&field, Qt::Key_Left);
  QTest::keyClick(&field, Qt::Key_Delete);
  QTest::keyClick(&field, Qt::Key_Backspace);
  QTest::keyClick(&field, Qt::Key_Home);
  QTest::keyClicks(&field, "x ");
  QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);  // a control character: beep
  // 127 is no control character: the editor gets it and judges it.
  QTest::sendKeyEvent(QTest::Click, &field, Qt::Key_unknown, QString(QChar(0x7F)), Qt::NoModifier);
  QTest::keyClick(&field, Qt::Key_Return);
  QTest::keyClick(&field, Qt::Key_F5);  // function keys pass on
  using K = ScreenKeyTarget::Key;
  EXPECT_EQ(editor.keys, (std::vector<K>{K::Left, K::Delete, K::Backspace, K::Home}));
  EXPECT_EQ(editor.typed, (std::vector<std::uint8_t>{'x', ' ', 0x7F}));
  EXPECT_EQ(beeps, 2);
  EXPECT_EQ(field.text(), "ab");

  // The degree sign is typed as its Windows-1252 byte.
  QTest::keyClick(&field, Qt::Key_degree, Qt::NoModifier);
  EXPECT_EQ(editor.typed.back(), 0xB0);

  // Another page shown: the field gets the keys again.
  screensShown = false;
  QTest::keyClick(&field, Qt::Key_End);
  QTest::keyClicks(&field, "c");
  EXPECT_EQ(field.text(), "abc");
  qApp->removeEventFilter(&router);
}

}  // namespace
}  // namespace halvern

// The page host as a new subsystem meets it: a module of the tests' own, registered like every
// other, with a page of its own among the tabs and the Firmware Update item as its command (it is
// installed after the firmware module, so its handler takes the item in its window). It
// installs itself only in these tests' windows; no other file names it.
#include "app/page_host.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/main_window.h"
#include "app/module.h"
#include "link/command_exchange.h"
#include "platform/shell.h"
#include "setup/setup_page.h"
#include "support_qt/window_fixture.h"
#include "wire/commands.h"

namespace halvern {
namespace {

// What the probe's page saw and what its command does.
struct Probe : public QWidget, public PageView {
  void refresh() override { ++refreshes; }
  int refreshes = 0;
  // The command's outcome, and what the window looked like while it ran.
  CommandResult result = CommandResult::Done;
  bool sawCommandsEnabled = true;
  bool sawReconnectEnabled = true;
  bool sawAboutEnabled = false;
  bool sawButtonEnabled = true;
  int refreshesDuringRun = 0;
  QPushButton* button = nullptr;
  PageHost* host = nullptr;
};
Probe* g_probe = nullptr;
bool g_probeWanted = false;

constexpr Page kProbePage{"Probe", "TabSheetProbe"};

void installProbe(PageHost& host) {
  if (!g_probeWanted) return;
  auto* page = new Probe;
  g_probe = page;
  page->host = &host;
  page->button = new QPushButton(QStringLiteral("Go"), page);
  host.setPage(kProbePage, page, page);
  host.registerInstrumentButton(page->button);
  host.setHandler(MenuHandler::FirmwareUpdate1Click, [&host, page] {
    (void)host.runCommand(
        kProbePage,
        {"Cannot probe.\nUSB port is closed.", nullptr,
         [page](CommandExchange& exchange, Shell& shell) {
           auto* window = dynamic_cast<MainWindow*>(page->host);
           page->sawCommandsEnabled = window->menuBar()->actions()[1]->isEnabled();
           page->sawReconnectEnabled = window->action(MenuHandler::ReconnectUSBClick)->isEnabled();
           page->sawAboutEnabled = window->action(MenuHandler::About1Click)->isEnabled();
           page->sawButtonEnabled = page->button->isEnabled();
           const int before = page->refreshes;
           exchange.sendCommandLine(cmd::kGetCom1Line);
           shell.processEvents();
           page->refreshesDuringRun = page->refreshes - before;
           return page->result;
         }});
  });
}

// Between the Tests and Calibration tabs.
const Module::Registration kProbeModule{
    {.name = "probe", .order = 65, .install = &installProbe, .page = kProbePage}};

class PageHostTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    g_probeWanted = true;
    WindowFixture::SetUp();
    g_probeWanted = false;
  }
  void erase() { window->action(MenuHandler::FirmwareUpdate1Click)->trigger(); }
};

TEST_F(PageHostTest, AModuleOfItsOwnGetsItsPageHandlerAndRefreshes) {
  ASSERT_NE(g_probe, nullptr);
  EXPECT_EQ(window->page(kProbePage), g_probe);
  // Its tab in its module's place, found by its name as the others are.
  const QStringList tabs{"Setup", "Screens", "User Program", "Get Records",
                         "Tests", "Probe",   "Calibration"};
  ASSERT_EQ(window->pageControl()->count(), tabs.size());
  for (int i = 0; i < tabs.size(); ++i) EXPECT_EQ(window->pageControl()->tabText(i), tabs[i]);
  EXPECT_EQ(g_probe->objectName(), "TabSheetProbe");
  EXPECT_EQ(MainWindow::pageByName("probe"), kProbePage);
  EXPECT_TRUE(window->action(MenuHandler::FirmwareUpdate1Click)->isEnabled());
  window->showPage(kSetupPage);

  const int before = g_probe->refreshes;
  erase();
  // Shown for the command, refreshed while it processed events and again when it ended.
  EXPECT_EQ(window->currentPage(), kProbePage);
  EXPECT_EQ(g_probe->refreshesDuringRun, 1);
  EXPECT_EQ(g_probe->refreshes - before, 3);  // events, end of command, end of handler
  EXPECT_TRUE(boxes.empty());

  // While it ran: every instrument command locked out, the rest not; all back afterwards.
  EXPECT_FALSE(g_probe->sawCommandsEnabled);
  EXPECT_FALSE(g_probe->sawReconnectEnabled);
  EXPECT_TRUE(g_probe->sawAboutEnabled);
  EXPECT_FALSE(g_probe->sawButtonEnabled);
  EXPECT_TRUE(window->menuBar()->actions()[1]->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::ReconnectUSBClick)->isEnabled());
  EXPECT_TRUE(g_probe->button->isEnabled());
  EXPECT_FALSE(window->instrumentBusy());
}

TEST_F(PageHostTest, ClosedLinkIsRefusedWithTheCommandsTextAndAFailureWarns) {
  window->showPage(kSetupPage);
  link.close();
  erase();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Cannot probe.\nUSB port is closed.");
  // Nothing ran, and the page shown stays.
  EXPECT_EQ(window->currentPage(), kSetupPage);
  EXPECT_TRUE(instrument.linesReceived().empty());

  ASSERT_TRUE(link.open());
  boxes.clear();
  g_probe->result = CommandResult::Failed;
  erase();
  g_probe->result = CommandResult::Done;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], kCommErrorText);
}

TEST_F(PageHostTest, ScreenEditingLocksTheCommandsMenuAloneAndBusyLocksMore) {
  window->setEditing(true);
  EXPECT_FALSE(window->menuBar()->actions()[1]->isEnabled());
  EXPECT_FALSE(window->action(MenuHandler::RxSetupClick)->isEnabled());
  EXPECT_FALSE(window->action(MenuHandler::EraseRecords1Click)->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::ReconnectUSBClick)->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::OpenSetupFileClick)->isEnabled());
  window->shell().setInstrumentBusy(true);
  EXPECT_FALSE(window->action(MenuHandler::ReconnectUSBClick)->isEnabled());
  window->shell().setInstrumentBusy(false);
  // The lock let go, editing still locks the Commands menu.
  EXPECT_FALSE(window->action(MenuHandler::RxSetupClick)->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::ReconnectUSBClick)->isEnabled());
  window->setEditing(false);
  EXPECT_TRUE(window->menuBar()->actions()[1]->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::RxSetupClick)->isEnabled());
}

TEST_F(PageHostTest, TheClockTimerStopsWhileTheProgramIsReceived) {
  EXPECT_TRUE(window->timer()->isActive());
  // Looked at from inside the transfer, every time it processes events.
  std::vector<bool> seen;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] { seen.push_back(window->timer()->isActive()); });
  probe.start();
  window->action(MenuHandler::RxProgramClick)->trigger();
  probe.stop();
  // Running while the hourglass came up, then stopped for the whole receive: the 66 blocks and
  // the end block each process events.
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(seen.front());
  EXPECT_GE(std::count(seen.begin(), seen.end(), false), 67);
  EXPECT_TRUE(window->timer()->isActive());

  // Holds nest.
  window->shell().setClockTimer(false);
  window->shell().setClockTimer(false);
  window->shell().setClockTimer(true);
  EXPECT_FALSE(window->timer()->isActive());
  window->shell().setClockTimer(true);
  EXPECT_TRUE(window->timer()->isActive());
}

}  // namespace
}  // namespace halvern

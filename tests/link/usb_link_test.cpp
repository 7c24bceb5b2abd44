#include "link/usb_link.h"

#include <gtest/gtest.h>

#include "link/command_exchange.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

struct UsbLinkTest : ::testing::Test {
  VirtualClock clock;
  test::ScriptedLink link{clock};
  test::RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

TEST_F(UsbLinkTest, OpenSetsThePortOpenStatus) {
  openUsbLink(exchange, shell);
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(shell.statuses, std::vector<std::string>{"ZELKA 40100 USB: Port Open"});
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_EQ(clock.elapsed(), 0ms);
}

TEST_F(UsbLinkTest, FailedOpenWarnsThenSetsTheClosedStatus) {
  link.openFails = true;
  openUsbLink(exchange, shell);
  EXPECT_FALSE(link.isOpen());
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, "Cannot open ZELKA 40100 USB port.");
  EXPECT_EQ(shell.boxes[0].kind, MessageKind::Warning);
  EXPECT_EQ(shell.boxes[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(shell.statuses, std::vector<std::string>{"USB port closed"});
}

TEST_F(UsbLinkTest, ReconnectWhileOpenCyclesClosesOnceAndPausesUnderTheHourglass) {
  openUsbLink(exchange, shell);
  shell.statuses.clear();
  reconnectUsb(exchange, shell);
  EXPECT_EQ(link.cycles, 1);
  EXPECT_EQ(link.closes, 1);
  EXPECT_EQ(link.opens, 2);
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(clock.elapsed(), 2000ms);
  EXPECT_EQ(shell.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(shell.statuses, std::vector<std::string>{"ZELKA 40100 USB: Port Open"});
}

TEST_F(UsbLinkTest, ReconnectWhileClosedIsOneAttemptWithoutPause) {
  link.openFails = true;
  openUsbLink(exchange, shell);
  link.openFails = false;  // the bridge was plugged in meanwhile
  reconnectUsb(exchange, shell);
  EXPECT_EQ(link.cycles, 0);
  EXPECT_EQ(link.closes, 0);
  EXPECT_EQ(link.opens, 2);
  EXPECT_TRUE(link.isOpen());
  EXPECT_EQ(clock.elapsed(), 0ms);
  EXPECT_TRUE(shell.busyChanges.empty());
  EXPECT_EQ(shell.statuses.back(), "ZELKA 40100 USB: Port Open");
}

}  // namespace
}  // namespace halvern

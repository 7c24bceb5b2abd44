// The command exchange against the simulated instrument: both ends of the wire, written apart,
// on virtual time.
#include <gtest/gtest.h>

#include "link/command_exchange.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/recording_shell.h"
#include "wire/commands.h"
#include "wire/wire.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::FaultKind;

class ExchangeWithSimulator : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(link.open()); }

  std::size_t sends(const std::string& line) const {
    std::size_t n = 0;
    for (const auto& l : instrument.linesReceived()) n += l == line;
    return n;
  }

  VirtualClock clock;
  FixedCalendar calendar{DateTime{2026, 12, 31, 23, 59, 30}};
  sim::SimulatedInstrument instrument{calendar, clock};
  sim::SimulatedLink link{instrument, clock};
  test::RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
};

TEST_F(ExchangeWithSimulator, QueriesRetryPastFaultsUpToTheirBudget) {
  const struct {
    int code;
    std::string_view line;
    std::size_t size;
    Fault fault;
    std::optional<int> value;
    std::size_t sends;
  } cases[] = {
      {225, cmd::kGetCom1Line, 5, {FaultKind::Short, 3, ""}, 96, 4},
      {225, cmd::kGetCom1Line, 5, {FaultKind::Short, -1, ""}, std::nullopt, 10},
      {235, cmd::kGetCom2Line, 4, {FaultKind::Silence, 9, ""}, 96, 10},
      {255, cmd::kGetIntervalLine, 2, {FaultKind::Silence, 10, ""}, std::nullopt, 10},
      // Stray bytes in front make the reply read as its first bytes: it still arrives whole.
      {265, cmd::kGetKeypadLockLine, 2, {FaultKind::Stray, 1, "9"}, 9, 1},
      {315, cmd::kGetFieldsPerRecordLine, 2, {FaultKind::WrongValue, 1, ""}, 99, 1},
  };
  for (const auto& c : cases) {
    instrument.faults().clearAll();
    instrument.faults().set(c.code, c.fault);
    shell.lines.clear();
    const std::string line(c.line.substr(0, c.line.size() - 1));
    const std::size_t before = sends(line);
    auto value = exchange.queryNumber(c.line, c.size, "FAILED");
    EXPECT_EQ(value, c.value) << line;
    EXPECT_EQ(sends(line) - before, c.sends) << line;
    EXPECT_EQ(shell.lines.size(), c.value ? 0u : 1u) << line;
  }
}

TEST_F(ExchangeWithSimulator, SettingsGetTheirStarDespiteStrayBytesAndRetryWithout) {
  instrument.faults().set(cmd::kSetKeypadLock, {FaultKind::Stray, 1, "!?"});
  EXPECT_TRUE(exchange.sendSetting(cmd::setKeypadLockLine(true)));
  EXPECT_EQ(instrument.settings().keypadLock, 1);
  EXPECT_TRUE(shell.beeps.empty());

  instrument.faults().set(cmd::kSetInterval, {FaultKind::NoStar, 2, ""});
  EXPECT_TRUE(exchange.sendSetting(cmd::setIntervalLine(42)));
  EXPECT_EQ(sends("CMD250 42"), 3u);
  EXPECT_EQ(shell.beeps.size(), 2u);
  EXPECT_EQ(exchange.queryNumber(cmd::kGetIntervalLine, 2), 42);

  // A value the instrument refuses is never acknowledged: ten sends, ten beeps.
  shell.beeps.clear();
  EXPECT_FALSE(exchange.sendSetting(cmd::setFieldsPerRecordLine(26)));
  EXPECT_EQ(sends("CMD310 26"), 10u);
  EXPECT_EQ(shell.beeps.size(), 10u);
}

TEST_F(ExchangeWithSimulator, DateAndTimeSetAndReadBackOnTheRunningClock) {
  EXPECT_EQ(exchange.queryFixedReply(cmd::kGetDateLine, 9), "12-31-26\r");
  clock.advance(45s);  // past midnight, into the new year
  EXPECT_EQ(exchange.queryFixedReply(cmd::kGetDateLine, 9), "01-01-27\r");
  EXPECT_TRUE(exchange.sendSetting(cmd::setDateLine(12, 31, 13)));
  EXPECT_TRUE(exchange.sendSetting(cmd::setTimeLine(8, 5, 0)));
  EXPECT_EQ(exchange.queryFixedReply(cmd::kGetDateLine, 9), "12-31-13\r");
  auto time = exchange.queryFixedReply(cmd::kGetTimeLine, 9);
  ASSERT_TRUE(time);
  EXPECT_EQ(time->substr(0, 6), "08:05:");
}

TEST_F(ExchangeWithSimulator, UnpluggedInstrumentFailsEveryWaitInBoundedTime) {
  link.unplug();
  const auto start = clock.now();
  EXPECT_FALSE(exchange.queryFixedReply(cmd::kGetCom1Line, 5, "CANNOT GET COM1 INFO"));
  EXPECT_FALSE(exchange.sendSetting("CMD260 0\r"));
  EXPECT_EQ(shell.lines, std::vector<std::string>{"CANNOT GET COM1 INFO"});
  EXPECT_EQ(shell.beeps.size(), 10u);
  // Ten setting sends of at most 2.25 s each, ten query sends of 50 ms and a few more.
  EXPECT_LT(clock.now() - start, 25s);
}

}  // namespace
}  // namespace halvern

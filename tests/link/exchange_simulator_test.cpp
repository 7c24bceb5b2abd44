// The command exchange against the simulated instrument: both ends of the wire, written apart,
// on virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link/block_protocol.h"
#include "link/command_exchange.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "wire/commands.h"
#include "wire/wire.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::FaultKind;

class ExchangeWithSimulator : public ::testing::Test, protected test::ComputerBench {
 protected:
  ExchangeWithSimulator() : ComputerBench(DateTime{2026, 12, 31, 23, 59, 30}) {}
  void SetUp() override { ASSERT_TRUE(link.open()); }

  std::size_t sends(const std::string& line) const {
    std::size_t n = 0;
    for (const auto& l : instrument.linesReceived()) n += l == line;
    return n;
  }
};

TEST_F(ExchangeWithSimulator, QueriesRetryShortRepliesAndTakeTheFirstWholeOne) {
  using Pause = CommandExchange::Pause;
  const struct {
    int code;
    std::string_view line;
    std::size_t size;
    Fault fault;
    std::optional<int> value;
    std::size_t sends;
    Pause pause = Pause::Before;
  } cases[] = {
      {225, cmd::kGetCom1Line, 5, {FaultKind::Short, 3, ""}, 96, 4},
      {225, cmd::kGetCom1Line, 5, {FaultKind::Short, -1, ""}, std::nullopt, 10},
      {235, cmd::kGetCom2Line, 4, {FaultKind::Silence, 9, ""}, 96, 10},
      {255, cmd::kGetIntervalLine, 2, {FaultKind::Silence, 10, ""}, std::nullopt, 10},
      // Bytes in front of a reply are its first bytes: the reply is what they read as, and the
      // caller's range check judges it.
      {265, cmd::kGetKeypadLockLine, 2, {FaultKind::Stray, 1, "9"}, 9, 1},
      {255, cmd::kGetIntervalLine, 2, {FaultKind::Stray, -1, ""}, 0, 1},
      {225, cmd::kGetCom1Line, 5, {FaultKind::Stray, 2, ""}, 0, 1},
      {235, cmd::kGetCom2Line, 4, {FaultKind::Stray, -1, " "}, 96, 1},
      {315, cmd::kGetFieldsPerRecordLine, 2, {FaultKind::Stray, 1, ""}, 0, 1, Pause::None},
      // Bytes behind a reply are left for the next line's purge.
      {255, cmd::kGetIntervalLine, 2, {FaultKind::Trailing, -1, ""}, 1, 1},
      {315, cmd::kGetFieldsPerRecordLine, 2, {FaultKind::Trailing, -1, "7\r"}, 4, 1, Pause::None},
      {225, cmd::kGetCom1Line, 5, {FaultKind::Trailing, -1, "-115\r"}, 96, 1},
      {315, cmd::kGetFieldsPerRecordLine, 2, {FaultKind::WrongValue, 1, ""}, 99, 1},
  };
  for (const auto& c : cases) {
    clock.advance(1s);  // the replies to the row before have come, and gone with the next purge
    instrument.faults().clearAll();
    instrument.faults().set(c.code, c.fault);
    shell.lines.clear();
    const std::string line(c.line.substr(0, c.line.size() - 1));
    SCOPED_TRACE(line + " " + std::to_string(c.fault.count));
    const std::size_t before = sends(line);
    auto value = exchange.queryNumber(c.line, c.size, "FAILED", c.pause);
    EXPECT_EQ(value, c.value) << line;
    EXPECT_EQ(sends(line) - before, c.sends) << line;
    EXPECT_EQ(shell.lines.size(), c.value ? 0u : 1u) << line;
    // Asked again later, it gives the same: nothing of the first reply is read as the second.
    if (c.fault.kind == FaultKind::Trailing) {
      clock.advance(200ms);
      EXPECT_EQ(exchange.queryNumber(c.line, c.size, "FAILED", c.pause), c.value) << line;
    }
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

TEST_F(ExchangeWithSimulator, AvailableCountsTheReplyBytesThatHaveArrivedExactly) {
  exchange.sendCommandLine(cmd::kGetCom1Line);
  const auto first = instrument.nextOutputTime();
  ASSERT_TRUE(first);
  clock.sleepUntil(*first - 1ns);
  EXPECT_EQ(link.available(), 0u);
  for (std::size_t n = 1; n <= 5; ++n) {
    clock.sleepUntil(*first + (n - 1) * wire::kByteTime);
    EXPECT_EQ(link.available(), n);
  }
  // Counted bytes are still read, in order; a purge drops them.
  std::uint8_t reply[5] = {};
  EXPECT_EQ(link.read(reply, 3), 3u);
  EXPECT_EQ(std::string(reply, reply + 3), "  9");
  EXPECT_EQ(link.available(), 2u);
  link.purge();
  EXPECT_EQ(link.available(), 0u);

  // Bytes counted before the instrument dropped off the link are still there to be read.
  ASSERT_EQ(instrument.faults().parse("225:cut::3"), "");
  exchange.sendCommandLine(cmd::kGetCom1Line);
  clock.advance(10ms);
  EXPECT_EQ(link.available(), 3u);
  EXPECT_EQ(link.read(reply, 5), 3u);
  EXPECT_EQ(std::string(reply, reply + 3), "  9");
  EXPECT_EQ(link.available(), 0u);
  EXPECT_EQ(link.read(reply, 5), 0u);
}

TEST_F(ExchangeWithSimulator, AProgramBlockShiftedByStrayBytesComesAgainWhole) {
  for (const char* fault : {"115:stray:1", "115:stray:1:?", "115:stray:1:?#?#"}) {
    SCOPED_TRACE(fault);
    instrument.faults().clearAll();
    ASSERT_EQ(instrument.faults().parse(fault), "");
    shell.lines.clear();
    shell.beeps.clear();
    std::vector<std::uint8_t> image(wire::kProgramImageSize + wire::kProgramBlockDataSize);
    std::size_t blocks = 0;
    const auto outcome =
        BlockProtocol(exchange, shell).receive(cmd::kGetProgramLine, 10, image, blocks, "FAILED");
    EXPECT_EQ(outcome, BlockProtocol::Outcome::Done);
    EXPECT_EQ(blocks, wire::kProgramBlockCount);
    image.resize(wire::kProgramImageSize);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), instrument.programMemory().image().begin()));
    // One CRC error for the shifted block; its tail went with a purge before the NAK.
    EXPECT_EQ(std::count(shell.lines.begin(), shell.lines.end(), "CRC COMPARE ERR."), 1);
    EXPECT_EQ(shell.beeps.size(), 1u);
    clock.advance(1s);
  }
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

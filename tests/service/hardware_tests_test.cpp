// The hardware tests: their lines, pauses and result texts, on virtual time.
#include "service/hardware_tests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using test::RecordingShell;
using test::ScriptedLink;

constexpr DateTime kSimulatedAt{2026, 12, 7, 9, 5, 3};

class HardwareTestsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(link.open()); }

  // Every line answers `reply`.
  void answer(std::string reply) {
    link.answer = [reply](const std::string&) { return reply; };
  }
  CommandResult run(const InstrumentCommand& command) {
    return runInstrumentCommand(exchange, shell, command);
  }
  // When each line's carriage return went out.
  std::vector<Clock::TimePoint> lineEnds() const {
    std::vector<Clock::TimePoint> ends;
    for (const auto& e : link.events)
      if (e.kind == ScriptedLink::Event::Write && e.byte == '\r') ends.push_back(e.at);
    return ends;
  }
  // The pause from the gap after the carriage return to the one read of the reply (which lasts
  // its time-out, the reply being shorter than asked).
  Clock::Duration pauseBeforeRead() const {
    Clock::TimePoint end{};
    for (const auto& e : link.events) {
      if (e.kind == ScriptedLink::Event::Write && e.byte == '\r') end = e.at;
      if (e.kind == ScriptedLink::Event::Read)
        return e.at - end - CommandExchange::kByteGap - wire::kReadTimeout;
    }
    return {};
  }
  int reads() const {
    int n = 0;
    for (const auto& e : link.events)
      if (e.kind == ScriptedLink::Event::Read) {
        ++n;
        EXPECT_EQ(e.asked, kTestReplySize);
      }
    return n;
  }

  VirtualClock clock;
  ScriptedLink link{clock};
  RecordingShell shell;
  CommandExchange exchange{link, clock, shell};
  std::string result;
};

TEST_F(HardwareTestsTest, OutputDrivesSendTheirLineAndPause200Ms) {
  testMVout(exchange, 2, 2500);
  testMAout(exchange, 3, 12);
  EXPECT_EQ(link.lines, (Lines{"CMD945 2 2500\r", "CMD950 3 12\r"}));
  const auto ends = lineEnds();
  // The pause, then the next line's purge, its first gap and its twelve bytes with their gaps.
  EXPECT_GE(ends[1] - ends[0], 200ms);
  EXPECT_LT(ends[1] - ends[0], 220ms);
  EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(HardwareTestsTest, InputTestsSendTheirLineWaitAndShowTheReply) {
  struct Row {
    InputKind kind;
    int channel;
    std::string line;
    Clock::Duration pause;
    std::string shown;
    bool busy;
  };
  const std::vector<Row> rows = {
      {InputKind::SeVoltage, 7, "CMD922 07\r", 2500ms, " 1234.5mV", true},
      {InputKind::DiffVoltage, 11, "CMD926 11\r", 2500ms, " 1234.5mV", true},
      {InputKind::WdVoltage, 3, "CMD924 03\r", 2500ms, " 1234.5mV", true},
      {InputKind::LowLevelFreq, 4, "CMD935 04\r", 100ms, "Count:  1234.5mV", false},
      {InputKind::SwitchTtlFreq, 16, "CMD940 16\r", 100ms, "Count:  1234.5mV", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    link.lines.clear();
    link.events.clear();
    shell.busyChanges.clear();
    answer(" 1234.5mV\r");
    EXPECT_EQ(run(testInputCommand(row.kind, row.channel, result)), CommandResult::Done);
    EXPECT_EQ(link.lines, Lines{row.line});
    EXPECT_EQ(result, row.shown);
    EXPECT_EQ(pauseBeforeRead(), row.pause);
    EXPECT_EQ(reads(), 1);
    const std::vector<bool> busy = row.busy ? std::vector<bool>{true, false} : std::vector<bool>{};
    EXPECT_EQ(shell.busyChanges, busy);
  }
}

TEST_F(HardwareTestsTest, ReplyTextDropsTheLastByteEndsAtZeroAndTakes25Bytes) {
  struct Row {
    std::string reply;
    std::string shown;
  };
  const std::vector<Row> rows = {
      {"", "No Response"},
      {"7", "Count: "},
      {"42\r", "Count: 42"},
      {std::string("12\0"
                   "34\r",
                   6),
       "Count: 12"},
      {std::string(40, 'x'), "Count: " + std::string(24, 'x')},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.shown);
    answer(row.reply);
    const auto outcome = run(testInputCommand(InputKind::LowLevelFreq, 1, result));
    EXPECT_EQ(outcome, row.reply.empty() ? CommandResult::Failed : CommandResult::Done);
    EXPECT_EQ(result, row.shown);
  }
  // No reply is no box and no message-area line.
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_TRUE(shell.lines.empty());
}

TEST_F(HardwareTestsTest, RamTestLooksAtTheFirstByteOnly) {
  struct Row {
    std::string reply;
    std::string shown;
  };
  const std::vector<Row> rows = {
      {"0\r", "RAM OK"}, {"0 FAILED 3\r", "RAM OK"}, {"1\r", "RAM ERROR"}, {" 0\r", "RAM ERROR"},
      {"0", "RAM OK"},   {"", "No Response"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.reply);
    link.lines.clear();
    link.events.clear();
    answer(row.reply);
    const auto outcome = run(testRamCommand(result));
    EXPECT_EQ(result, row.shown);
    EXPECT_EQ(outcome, row.shown == "RAM OK" ? CommandResult::Done : CommandResult::Failed);
    EXPECT_EQ(link.lines, Lines{"CMD910\r"});
    EXPECT_EQ(pauseBeforeRead(), 100ms);
  }
  EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(HardwareTestsTest, SignaturesShowTheReplyAfterTheirPrefixUnchecked) {
  answer("0012AB9F\r");
  EXPECT_EQ(run(programChecksumCommand(result)), CommandResult::Done);
  EXPECT_EQ(result, "PGM Signature: 0x0012AB9F");
  EXPECT_EQ(pauseBeforeRead(), 100ms);
  EXPECT_TRUE(shell.busyChanges.empty());
  link.events.clear();
  answer("zz\r");
  EXPECT_EQ(run(romChecksumCommand(result)), CommandResult::Done);
  EXPECT_EQ(result, "ROM Signature: 0xzz");
  EXPECT_EQ(pauseBeforeRead(), 2000ms);
  EXPECT_EQ(shell.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(link.lines, (Lines{"CMD905\r", "CMD900\r"}));
}

TEST_F(HardwareTestsTest, CommandsThatReadNothing) {
  struct Row {
    InstrumentCommand command;
    Lines lines;
  };
  const std::vector<Row> rows = {
      {testOutputCommand(2, kOutputLevels[2]), {"CMD945 2 2500\r"}},
      {testOutputCommand(4, kOutputLevels[7]), {"CMD950 4 20\r"}},
      {testOutputCommand(1, kOutputLevels[4]), {"CMD950 1 0\r"}},
      {testDisplayCommand(), {"CMD915\r"}},
      {testSwitchCommand(3, true), {"CMD920 3 1\r"}},
      {testSwitchCommand(4, false), {"CMD920 4 0\r"}},
      {pullDownCommand(1, true), {"CMD850 1\r"}},
      {pullDownCommand(3, false), {"CMD850 -3\r"}},
      {pullDownCommand(4, false), {"CMD850 -4\r"}},
  };
  answer("*\r");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.lines[0]);
    link.lines.clear();
    link.events.clear();
    EXPECT_EQ(run(row.command), CommandResult::Done);
    EXPECT_EQ(link.lines, row.lines);
    EXPECT_EQ(reads(), 0);
  }
}

TEST_F(HardwareTestsTest, ResetAllDrivesTheFourVoltageOutputsTo0MvAbout300MsApart) {
  EXPECT_EQ(run(resetOutputsCommand()), CommandResult::Done);
  EXPECT_EQ(link.lines, (Lines{"CMD945 1 0\r", "CMD945 2 0\r", "CMD945 3 0\r", "CMD945 4 0\r"}));
  const auto ends = lineEnds();
  ASSERT_EQ(ends.size(), 4u);
  for (std::size_t i = 1; i < ends.size(); ++i) {
    EXPECT_GE(ends[i] - ends[i - 1], 300ms);
    EXPECT_LT(ends[i] - ends[i - 1], 320ms);
  }
}

TEST_F(HardwareTestsTest, AClosedLinkIsRefusedWithTheTestsOwnWarningAndNothingSent) {
  link.close();
  struct Row {
    InstrumentCommand command;
    std::string text;
  };
  const std::vector<Row> rows = {
      {testInputCommand(InputKind::DiffVoltage, 1, result),
       "Cannot test input because USB port is closed."},
      {testOutputCommand(1, kOutputLevels[0]),
       "Cannot test analog output because USB port is closed."},
      {testDisplayCommand(), "Cannot test display because USB port is closed."},
      {testSwitchCommand(1, true), "Cannot test solid-state switch because USB port is closed."},
      {testRamCommand(result), "Cannot test RAM because USB port is closed."},
      {programChecksumCommand(result), "Cannot get program checksum because USB port is closed."},
      {romChecksumCommand(result), "Cannot get ROM checksum because USB port is closed."},
      {resetOutputsCommand(), "Cannot reset analog outputs because USB port is closed."},
      {pullDownCommand(2, true), "Cannot set pull-down because USB port is closed."},
  };
  for (const auto& row : rows) {
    shell.boxes.clear();
    EXPECT_EQ(run(row.command), CommandResult::Refused);
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, row.text);
    EXPECT_EQ(shell.boxes[0].kind, MessageKind::Warning);
  }
  EXPECT_TRUE(link.lines.empty());
  EXPECT_TRUE(result.empty());
}

TEST(InputChannelRange, ByKind) {
  struct Row {
    InputKind kind;
    std::optional<ChannelRange> range;
  };
  const std::vector<Row> rows = {
      {InputKind::SeVoltage, ChannelRange{16, 1, 1}},
      {InputKind::DiffVoltage, ChannelRange{15, 1, 2}},
      {InputKind::WdVoltage, ChannelRange{4, 1, 1}},
      {InputKind::LowLevelFreq, ChannelRange{4, 1, 1}},
      {InputKind::SwitchTtlFreq, std::nullopt},
  };
  for (const auto& row : rows) {
    const auto range = inputChannelRange(row.kind);
    ASSERT_EQ(range.has_value(), row.range.has_value());
    if (!range) continue;
    EXPECT_EQ(range->maximum, row.range->maximum);
    EXPECT_EQ(range->value, row.range->value);
    EXPECT_EQ(range->step, row.range->step);
  }
}

// The simulated instrument's tests, run as the window runs them.
class HardwareTestsSimulated : public ::testing::Test, protected test::ComputerBench {
 protected:
  HardwareTestsSimulated() : ComputerBench(kSimulatedAt) {}
  void SetUp() override { ASSERT_TRUE(link.open()); }
};

// Against the simulated instrument: its readings, counts and signatures, and its faults.
TEST_F(HardwareTestsSimulated, TheInstrumentAnswersEveryTestAndItsFaultsShowAsTheFieldWould) {
  struct Row {
    std::string fault;
    InputKind kind;
    int channel;
    CommandResult outcome;
    std::string shown;
  };
  const std::vector<Row> rows = {
      {"", InputKind::SeVoltage, 16, CommandResult::Done, "4012.5 mV"},
      {"", InputKind::DiffVoltage, 1, CommandResult::Done, "-3.6 mV"},
      {"", InputKind::WdVoltage, 4, CommandResult::Done, "4362.5 mV"},
      {"", InputKind::LowLevelFreq, 1, CommandResult::Done, "Count: 107"},
      {"", InputKind::SwitchTtlFreq, 9, CommandResult::Done, "Count: 9013"},
      {"922:silence", InputKind::SeVoltage, 1, CommandResult::Failed, "No Response"},
      {"926:stray", InputKind::DiffVoltage, 3, CommandResult::Done, "?#10.2 mV"},
      {"935:short", InputKind::LowLevelFreq, 2, CommandResult::Done, "Count: 20"},
      // A channel the kind does not have is not answered.
      {"", InputKind::WdVoltage, 5, CommandResult::Failed, "No Response"},
      {"", InputKind::DiffVoltage, 2, CommandResult::Failed, "No Response"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.shown);
    test::ComputerBench bench{kSimulatedAt};
    ASSERT_TRUE(bench.link.open());
    if (!row.fault.empty()) {
      ASSERT_EQ(bench.instrument.faults().parse(row.fault), "");
    }
    std::string result;
    EXPECT_EQ(runInstrumentCommand(bench.exchange, bench.shell,
                                   testInputCommand(row.kind, row.channel, result)),
              row.outcome);
    EXPECT_EQ(result, row.shown);
    EXPECT_TRUE(bench.shell.boxes.empty());
  }
}

TEST_F(HardwareTestsSimulated, SignaturesRamAndTheSettingsKept) {
  std::string result;
  EXPECT_EQ(runInstrumentCommand(exchange, shell, programChecksumCommand(result)),
            CommandResult::Done);
  // Eight hexadecimal digits, changing with the program memory.
  ASSERT_EQ(result.size(), std::string("PGM Signature: 0x").size() + 8);
  const std::string before = result;
  auto image = instrument.programMemory().image();
  image[5] ^= 0x40;
  instrument.programMemory().setImage(image);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, programChecksumCommand(result)),
            CommandResult::Done);
  EXPECT_NE(result, before);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, romChecksumCommand(result)), CommandResult::Done);
  EXPECT_EQ(result, "ROM Signature: 0x5EC0A417");
  EXPECT_EQ(runInstrumentCommand(exchange, shell, testRamCommand(result)), CommandResult::Done);
  EXPECT_EQ(result, "RAM OK");
  instrument.tests().setRamFault(true);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, testRamCommand(result)), CommandResult::Failed);
  EXPECT_EQ(result, "RAM ERROR");

  EXPECT_EQ(runInstrumentCommand(exchange, shell, testSwitchCommand(2, true)), CommandResult::Done);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, pullDownCommand(4, true)), CommandResult::Done);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, testOutputCommand(3, kOutputLevels[7])),
            CommandResult::Done);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, testOutputCommand(3, kOutputLevels[3])),
            CommandResult::Done);
  EXPECT_TRUE(instrument.tests().switches()[1]);
  EXPECT_TRUE(instrument.tests().pullDowns()[3]);
  EXPECT_EQ(instrument.tests().outputs()[2].milliamps, 20);
  EXPECT_EQ(instrument.tests().outputs()[2].millivolts, 5000);
  EXPECT_TRUE(shell.boxes.empty());
}

}  // namespace
}  // namespace halvern

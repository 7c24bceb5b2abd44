// The setup transfer against the simulated instrument with faults, on virtual time.
#include "setup/setup_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "setup/setup_commands.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"
#include "wire/commands.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::FaultKind;
using Lines = std::vector<std::string>;

const Lines kGetLinesPcTime = {"CMD225", "CMD235", "CMD245", "CMD265", "CMD255",
                               "CMD315", "CMD325", "CMD331", "CMD333", "CMD335"};
// Positions after each step of twelve, as the window shows them.
const std::vector<int> kGetProgress = {8, 16, 24, 33, 41, 49, 58, 66, 74, 83, 91, 99};

Fault fault(FaultKind kind, int count = -1, std::string text = {}) {
  Fault f;
  f.kind = kind;
  f.count = count;
  f.text = std::move(text);
  return f;
}

// A block of 800 record-format bytes whose first field is `first`, the rest zero.
std::string formatsReply(const std::string& first) {
  std::string reply(800, '\0');
  reply.replace(0, first.size(), first);
  return reply;
}

// The progress positions of a get: 0, steps [from, to) of kGetProgress, then 0 again.
std::vector<int> getProgress(int from, int to) {
  std::vector<int> progress = {0};
  progress.insert(progress.end(), kGetProgress.begin() + from, kGetProgress.begin() + to);
  progress.push_back(0);
  return progress;
}

std::size_t sends(const Lines& received, const std::string& line) {
  return std::count(received.begin(), received.end(), line);
}

// A fresh instrument with one fault, its link open, for one row of a failure table.
struct FaultedBench : test::ComputerBench {
  FaultedBench(const Calendar& calendar, int code, const Fault& f) : ComputerBench(calendar.now()) {
    instrument.faults().set(code, f);
    EXPECT_TRUE(link.open());
  }
};

class SetupTransfer : public ::testing::Test, protected test::ComputerBench {
 protected:
  SetupTransfer() : ComputerBench(DateTime{2013, 12, 31, 23, 59, 30}) {}
  void SetUp() override { ASSERT_TRUE(link.open()); }

  SetupModel setup;
};

TEST_F(SetupTransfer, GetReadsEveryItemInOrderAndMovesTheProgressByTwelfths) {
  auto& s = instrument.settings();
  s = {-115, 230, 1, 1, 42, 3, 1, 0, 0, s.formats};
  s.formats[24] = {std::string(25, 'L'), 2, 9, 6};
  int notified = 0;
  setup.setOnChanged([&] { ++notified; });

  EXPECT_EQ(getUserSettings(exchange, setup, shell), CommandResult::Done);
  EXPECT_EQ(instrument.linesReceived(), kGetLinesPcTime);
  EXPECT_EQ(shell.lines, (Lines{"GET SETUP...", "FINISHED GETTING SETUP."}));
  EXPECT_EQ(shell.progress, getProgress(2, 12));
  EXPECT_EQ(shell.progressMax, 100);
  EXPECT_GT(notified, 0);

  EXPECT_EQ(setup.com1Type(), 1);
  EXPECT_EQ(setup.com1BaudIndex(), 6);
  EXPECT_EQ(setup.com2BaudIndex(), 7);
  EXPECT_TRUE(setup.stopOnError());
  EXPECT_TRUE(setup.keypadLock());
  EXPECT_EQ(setup.interval(), 42);
  EXPECT_EQ(setup.fieldsPerRecord(), 3);
  EXPECT_TRUE(setup.autoScroll());
  // The instrument's 0 shows as the controls' minimum.
  EXPECT_EQ(setup.scrollPause(), 1);
  EXPECT_EQ(setup.scrollEnd(), 1);
  EXPECT_EQ(setup.format(0), (RecordFormat{"DATE", 1, 8, 0}));
  EXPECT_EQ(setup.format(24), (RecordFormat{std::string(25, 'L'), 2, 9, 6}));
  // The date and time fields are the PC's business here.
  EXPECT_EQ(setup.dateText(), SetupModel::kBlankDate);
}

TEST_F(SetupTransfer, GetWithTheInstrumentsTimeReadsDateAndTimeFirst) {
  setup.setUsePcTime(false);
  EXPECT_EQ(getUserSettings(exchange, setup, shell), CommandResult::Done);
  Lines expected = {"CMD275", "CMD285"};
  expected.insert(expected.end(), kGetLinesPcTime.begin(), kGetLinesPcTime.end());
  EXPECT_EQ(instrument.linesReceived(), expected);
  EXPECT_EQ(shell.progress, getProgress(0, 12));
  EXPECT_EQ(setup.dateText(), "12-31-2013");
  EXPECT_EQ(setup.timeText(), "23:59:30");
}

TEST_F(SetupTransfer, GetFailuresStopTheSequenceWithTheirLines) {
  const struct {
    const char* name;
    int code;
    Fault fault;
    const char* itemLine;  // between the start line and "GET SETUP FAILED.", if any
    std::size_t sends;     // of the failing item's line, CMD<code>
    int progressSteps;     // positions set before the failure (date and time read too)
  } cases[] = {
      {"date absent", 275, fault(FaultKind::Silence), "CANNOT GET DATE", 10, 0},
      {"month 13", 275, fault(FaultKind::WrongValue), nullptr, 1, 0},
      {"hour 24", 285, fault(FaultKind::WrongValue), nullptr, 1, 1},
      {"COM1 short", 225, fault(FaultKind::Short), "CANNOT GET COM1 INFO", 10, 2},
      {"COM1 57 six times", 225, fault(FaultKind::WrongValue, 6, "  57\r"),
       "CANNOT GET COM1 BAUD RATE. WRONG INDEX.", 6, 2},
      {"COM2 wrong", 235, fault(FaultKind::WrongValue), "CANNOT GET COM2 BAUD RATE. WRONG INDEX.",
       6, 3},
      {"COM2 absent", 235, fault(FaultKind::Silence), "CANNOT GET COM2 INFO", 10, 3},
      {"stop on error -1", 245, fault(FaultKind::WrongValue), nullptr, 1, 4},
      {"stop on error short", 245, fault(FaultKind::Short), "CANNOT GET STOP-ON-ERR", 10, 4},
      {"keypad lock", 265, fault(FaultKind::Short), "CANNOT GET KEYLOCK", 10, 5},
      {"interval", 255, fault(FaultKind::Silence), "CANNOT GET INTERVAL", 10, 6},
      {"fields 99", 315, fault(FaultKind::WrongValue), nullptr, 1, 7},
      {"fields", 315, fault(FaultKind::Short), "CANNOT GET FIELDS PER RECORD", 10, 7},
      {"formats 799 bytes", 325, fault(FaultKind::Short),
       "CANNOT GET RECORD FORMATS. BYTES READ: 799", 5, 8},
      {"formats absent", 325, fault(FaultKind::Silence), "CANNOT GET RECORD FORMATS. BYTES READ: 0",
       5, 8},
      {"formats type 3", 325, fault(FaultKind::WrongValue), nullptr, 1, 8},
      {"auto scroll", 331, fault(FaultKind::Short), "CANNOT GET AUTO SCROLL", 10, 9},
      {"scroll pause", 333, fault(FaultKind::Short), "CANNOT GET AUTO SCROLL PAUSE", 10, 10},
      {"scroll end", 335, fault(FaultKind::Short), "CANNOT GET AUTO SCROLL END", 10, 11},
      {"scroll end 99", 335, fault(FaultKind::WrongValue), nullptr, 1, 11},
      // Bytes in front of a reply are read as its first bytes, and the item's range check judges
      // what they say: "?#12-31-1" is month 0, "?#  9" a baud code 0 (six rounds), "?#" no
      // fields per record.
      {"date behind stray bytes", 275, fault(FaultKind::Stray), nullptr, 1, 0},
      {"COM1 behind stray bytes", 225, fault(FaultKind::Stray),
       "CANNOT GET COM1 BAUD RATE. WRONG INDEX.", 6, 2},
      {"fields behind stray bytes", 315, fault(FaultKind::Stray), nullptr, 1, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FaultedBench bench(calendar, c.code, c.fault);
    SetupModel model;
    model.setUsePcTime(false);

    EXPECT_EQ(getUserSettings(bench.exchange, model, bench.shell), CommandResult::Failed);
    Lines expected = {"GET SETUP..."};
    if (c.itemLine) expected.push_back(c.itemLine);
    expected.push_back("GET SETUP FAILED.");
    EXPECT_EQ(bench.shell.lines, expected);
    const std::string line = "CMD" + std::to_string(c.code);
    EXPECT_EQ(sends(bench.instrument.linesReceived(), line), c.sends);
    // Nothing after the failing item was asked.
    EXPECT_EQ(bench.instrument.linesReceived().back(), line);
    EXPECT_EQ(bench.shell.progress, getProgress(0, c.progressSteps));
  }
}

TEST_F(SetupTransfer, EveryDialectGivesTheSameSetupAtTheFirstAsk) {
  SetupModel standard;
  standard.setUsePcTime(false);
  ASSERT_EQ(getUserSettings(exchange, standard, shell), CommandResult::Done);
  const Lines once = instrument.linesReceived();
  for (const char* dialect : {"terse", "zeros", "mixed:1", "mixed:2", "mixed:3"}) {
    SCOPED_TRACE(dialect);
    test::ComputerBench other{calendar.now()};
    ASSERT_EQ(other.instrument.dialect().choose(dialect), "");
    other.instrument.settings().stopOnError = 1;
    other.instrument.settings().com1Code = -115;
    other.instrument.settings().fieldsPerRecord = 12;
    ASSERT_TRUE(other.link.open());
    SetupModel model;
    model.setUsePcTime(false);
    EXPECT_EQ(getUserSettings(other.exchange, model, other.shell), CommandResult::Done);
    EXPECT_EQ(other.instrument.linesReceived(), once);
    EXPECT_TRUE(model.stopOnError());
    EXPECT_EQ(model.com1Type(), 1);
    EXPECT_EQ(model.com1BaudIndex(), 6);
    EXPECT_EQ(model.fieldsPerRecord(), 12);
    // The rest as the standard form gave it; the clock may have moved on meanwhile.
    model.setStopOnError(standard.stopOnError());
    model.setCom1Type(standard.com1Type());
    model.setCom1BaudIndex(standard.com1BaudIndex());
    model.setFieldsPerRecord(standard.fieldsPerRecord());
    model.setTimeText(standard.timeText());
    EXPECT_EQ(model, standard);
  }
}

TEST_F(SetupTransfer, DateAndTimeAreReadWhateverSeparatesTheirNumbers) {
  for (const char* reply : {"12/31/13\r", "12:31:13\r", "12.31.13 ", "12-31-13\n"}) {
    SCOPED_TRACE(reply);
    instrument.faults().set(cmd::kGetDate, fault(FaultKind::WrongValue, 1, reply));
    EXPECT_EQ(getInstrumentDate(exchange, setup, shell), CommandResult::Done);
    EXPECT_EQ(setup.dateText(), "12-31-2013");
  }
  instrument.faults().set(cmd::kGetTime, fault(FaultKind::WrongValue, 1, "08/05/09\r"));
  EXPECT_EQ(getInstrumentTime(exchange, setup, shell), CommandResult::Done);
  EXPECT_EQ(setup.timeText(), "08:05:09");
  EXPECT_EQ(
      sends(instrument.linesReceived(), "CMD275") + sends(instrument.linesReceived(), "CMD285"),
      5u);
}

TEST_F(SetupTransfer, BaudRepliesMapToTypeAndIndex) {
  const struct {
    int code;
    int type;
    int index;
  } cases[] = {{-115, 1, 6}, {96, 0, 3}, {12, 0, 0}, {-230, 1, 7}, {19, 0, 4}};
  for (const auto& c : cases) {
    instrument.settings().com1Code = c.code;
    EXPECT_EQ(getCom1Settings(exchange, setup, shell), CommandResult::Done) << c.code;
    EXPECT_EQ(setup.com1Type(), c.type) << c.code;
    EXPECT_EQ(setup.com1BaudIndex(), c.index) << c.code;
  }
  // Five wrong codes are tried past; the sixth reply is good.
  instrument.faults().set(225, fault(FaultKind::WrongValue, 5, "  57\r"));
  EXPECT_EQ(getCom1Settings(exchange, setup, shell), CommandResult::Done);
  EXPECT_EQ(sends(instrument.linesReceived(), "CMD225"), 5u + 6u);
  EXPECT_TRUE(shell.lines.empty());
}

TEST(SetupTransferScripted, EachWrongBaudCodeRoundGetsAFreshBudgetOfTenSends) {
  test::ComputerOnScript bench;
  test::ScriptedLink& link = bench.link;
  test::RecordingShell& shell = bench.shell;
  CommandExchange& exchange = bench.exchange;
  int asked = 0;
  // Nine short replies, then a complete one with a code not in the table, over and over.
  link.answer = [&](const std::string&) {
    return ++asked % 10 == 0 ? std::string("  57\r") : std::string("  5");
  };
  SetupModel setup;
  EXPECT_EQ(getCom1Settings(exchange, setup, shell), CommandResult::Failed);
  EXPECT_EQ(asked, 60);
  EXPECT_EQ(shell.lines, (Lines{"CANNOT GET COM1 BAUD RATE. WRONG INDEX."}));
  EXPECT_EQ(setup.com1BaudIndex(), SetupModel::kDefaultBaudIndex);
}

TEST_F(SetupTransfer, QueriesPauseFiftyMillisecondsExceptFieldsPerRecord) {
  auto timed = [&](auto operation) {
    auto start = clock.now();
    EXPECT_EQ(operation(exchange, setup, shell), CommandResult::Done);
    return clock.now() - start;
  };
  EXPECT_GE(timed(getExecInterval), 50ms);
  EXPECT_LT(timed(getFieldsPerRecord), 20ms);
  // The record formats: purge, 100 ms, the line and 800 bytes.
  EXPECT_GE(timed(getRecordFormats), 100ms);
}

TEST_F(SetupTransfer, RecordFormatRepliesAreCheckedBlockByBlock) {
  const struct {
    const char* name;
    std::string first;  // the first block's bytes
    bool fails;
    RecordFormat row0;  // what row 1 holds afterwards
  } cases[] = {
      {"25-character label",
       std::string(25, 'A') + std::string(3, '\0') + "\x02\x09\x07",
       false,
       {std::string(25, 'A'), 2, 9, 6}},
      {"26-character label", std::string(26, 'B'), true, {"FIELD 01", 0, 7, 1}},
      {"a date with width 0 shows width 1",
       std::string(1, 'W') + std::string(27, '\0') + "\x01",
       false,
       {"W", 1, 1, 0}},
      {"width 10 keeps the label",
       std::string(1, 'X') + std::string(28, '\0') + "\x0a",
       true,
       {"X", 0, 7, 1}},
      {"precision 8",
       std::string("Y") + std::string(27, '\0') + std::string("\x00\x01\x08", 3),
       true,
       {"Y", 0, 7, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetupModel model;
    shell.lines.clear();
    instrument.faults().set(325, fault(FaultKind::WrongValue, 1, formatsReply(c.first)));
    EXPECT_EQ(getRecordFormats(exchange, model, shell),
              c.fails ? CommandResult::Failed : CommandResult::Done);
    EXPECT_EQ(model.format(0), c.row0);
    EXPECT_TRUE(shell.lines.empty());
  }
}

TEST_F(SetupTransfer, SendWritesEveryItemInOrderWithTheirProgress) {
  setup.setUsePcTime(false);
  ASSERT_TRUE(setup.setDateText("12-31-2013"));
  ASSERT_TRUE(setup.setTimeText("08:05:09"));
  setup.setKeypadLock(true);
  setup.setInterval(42);
  setup.setFieldsPerRecord(3);
  setup.setAutoScroll(true);
  setup.setScrollPause(7);
  setup.setScrollEnd(5);
  setup.setCom1Type(1);
  setup.setCom1BaudIndex(6);
  setup.setCom2BaudIndex(7);
  setup.setFormat(24, {"LAST ROW, STILL SENT", 1, 4, 2});

  EXPECT_EQ(sendUserSettings(exchange, setup, shell, calendar), CommandResult::Done);
  EXPECT_EQ(instrument.linesReceived(),
            (Lines{"CMD270 12 31 13", "CMD280 08 05 09", "CMD260 1", "CMD250 42", "CMD310 3",
                   "CMD330 1", "CMD332 7", "CMD334 5", "CMD220 -115", "CMD230 230", "CMD320"}));
  EXPECT_EQ(shell.lines, (Lines{"SEND SETTINGS...", "FINISHED SENDING SETTINGS."}));
  EXPECT_EQ(shell.progress, (std::vector<int>{0,  9,  18, 27, 36, 45, 54, 63, 72, 81, 90, 91, 92,
                                              92, 92, 93, 93, 93, 94, 94, 94, 95, 95, 95, 96, 96,
                                              96, 97, 97, 97, 98, 98, 98, 99, 99, 99, 99, 0}));
  const auto& s = instrument.settings();
  EXPECT_EQ(s.com1Code, -115);
  EXPECT_EQ(s.com2Code, 230);
  EXPECT_EQ(s.formats[24].label, "LAST ROW, STILL SENT");
  EXPECT_EQ(s.formats[24].precision, 2);
  EXPECT_EQ(s.formats[3].label, "FIELD 04");
  EXPECT_EQ(instrument.dateTimeAt(clock.now()).year, 2013);
}

TEST_F(SetupTransfer, SendWithThePcsTimeReadsTheClockJustBefore) {
  calendar.set({2026, 3, 4, 5, 6, 7});
  EXPECT_EQ(sendUserSettings(exchange, setup, shell, calendar), CommandResult::Done);
  EXPECT_EQ(instrument.linesReceived()[0], "CMD270 03 04 26");
  EXPECT_EQ(instrument.linesReceived()[1], "CMD280 05 06 07");
  EXPECT_EQ(setup.dateText(), "03-04-2026");
}

TEST_F(SetupTransfer, SendFailuresStopTheSequence) {
  const struct {
    const char* name;
    int code;
    Fault fault;
    bool fails;
    std::string last;  // the last line sent
    std::string counted;
    std::size_t sends;  // of the counted line
    std::size_t beeps;
  } cases[] = {
      {"date never acknowledged", 270, fault(FaultKind::NoStar), true, "CMD270 12 31 13",
       "CMD270 12 31 13", 10, 10},
      {"keypad lock unanswered once", 260, fault(FaultKind::Silence, 1), false, "CMD320",
       "CMD260 0", 2, 1},
      {"COM2 never acknowledged", 230, fault(FaultKind::Silence), true, "CMD230 96", "CMD230 96",
       10, 10},
      {"formats never ready", 320, fault(FaultKind::Silence), true, "CMD320", "CMD320", 10, 10},
      {"formats without the closing mark", 320, fault(FaultKind::NoStar), true, "CMD320", "CMD320",
       1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FaultedBench bench(calendar, c.code, c.fault);
    SetupModel model;
    model.setUsePcTime(false);
    ASSERT_TRUE(model.setDateText("12-31-2013"));

    EXPECT_EQ(sendUserSettings(bench.exchange, model, bench.shell, calendar) != CommandResult::Done,
              c.fails);
    EXPECT_EQ(bench.shell.lines.back(),
              c.fails ? "SEND SETTINGS FAILED." : "FINISHED SENDING SETTINGS.");
    EXPECT_EQ(bench.instrument.linesReceived().back(), c.last);
    EXPECT_EQ(sends(bench.instrument.linesReceived(), c.counted), c.sends);
    EXPECT_EQ(bench.shell.beeps.size(), c.beeps);
  }
}

TEST_F(SetupTransfer, DatesOutsideTheInstrumentsCenturyAreRefusedBeforeAnythingIsSent) {
  setup.setUsePcTime(false);
  for (const char* date : {"12-31-1999", "01-01-2100", "  -  -    "}) {
    shell.boxes.clear();
    ASSERT_TRUE(setup.setDateText(date));
    EXPECT_EQ(sendUserSettings(exchange, setup, shell, calendar), CommandResult::Refused) << date;
    ASSERT_EQ(shell.boxes.size(), 1u) << date;
    EXPECT_NE(shell.boxes[0].text.find("2000 to 2099"), std::string::npos);
    EXPECT_EQ(shell.boxes[0].kind, MessageKind::Warning);
  }
  EXPECT_TRUE(instrument.linesReceived().empty());
  EXPECT_TRUE(shell.lines.empty());
  EXPECT_TRUE(shell.progress.empty());
}

TEST_F(SetupTransfer, SentSetupReadsBackIntact) {
  setup.setCom1Type(1);
  setup.setCom1BaudIndex(0);
  setup.setCom2BaudIndex(5);
  setup.setKeypadLock(true);
  setup.setInterval(0);
  setup.setFieldsPerRecord(25);
  setup.setScrollPause(99);
  setup.setScrollEnd(3);
  for (int row = 0; row < SetupModel::kFieldCount; ++row) {
    setup.setFormat(
        row, {"ROW " + std::to_string(row) + std::string(row, '#'), row % 3, row % 9 + 1, row % 7});
  }
  ASSERT_EQ(sendUserSettings(exchange, setup, shell, calendar), CommandResult::Done);
  SetupModel back;
  ASSERT_EQ(getUserSettings(exchange, back, shell), CommandResult::Done);
  back.setDateText(setup.dateText());
  back.setTimeText(setup.timeText());
  EXPECT_EQ(back, setup);
}

TEST_F(SetupTransfer, MenuCommandsRefuseAClosedLinkAndReportFailures) {
  link.close();
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getSetupCommand(setup)), CommandResult::Refused);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, sendSetupCommand(setup, calendar)),
            CommandResult::Refused);
  ASSERT_EQ(shell.boxes.size(), 2u);
  EXPECT_EQ(shell.boxes[0].text, "Cannot Get Setup.\nUSB port is closed.");
  EXPECT_EQ(shell.boxes[1].text, "Cannot Send Setup.\nUSB port is closed.");
  EXPECT_TRUE(instrument.linesReceived().empty());
  EXPECT_TRUE(shell.lines.empty());

  ASSERT_TRUE(link.open());
  shell.boxes.clear();
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getSetupCommand(setup)), CommandResult::Done);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, sendSetupCommand(setup, calendar)),
            CommandResult::Done);
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_EQ(shell.busyChanges, (std::vector<bool>{true, false, true, false}));

  instrument.faults().set(335, fault(FaultKind::Silence));
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getSetupCommand(setup)), CommandResult::Failed);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, kCommErrorText);
  EXPECT_EQ(shell.instrumentBusy.back(), false);

  // A refused date is the user's to correct: its own warning, no communication warning.
  shell.boxes.clear();
  calendar.set({2100, 1, 1, 0, 0, 0});
  const auto sent = instrument.linesReceived().size();
  EXPECT_EQ(runInstrumentCommand(exchange, shell, sendSetupCommand(setup, calendar)),
            CommandResult::Refused);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_NE(shell.boxes[0].text, kCommErrorText);
  EXPECT_EQ(instrument.linesReceived().size(), sent);
}

TEST(RecordFormatBlock, LayoutBothWays) {
  const RecordFormatBlock block = encodeRecordFormat({"WIND SPEED", 0, 5, 1});
  RecordFormatBlock expected{};
  std::string label = "WIND SPEED";
  std::copy(label.begin(), label.end(), expected.begin());
  expected[28] = 0;
  expected[29] = 5;
  expected[30] = 1;
  EXPECT_EQ(block, expected);

  const auto decoded = decodeRecordFormat(block.data());
  EXPECT_TRUE(decoded.labelOk && decoded.valuesOk);
  EXPECT_EQ(decoded.format, (RecordFormat{"WIND SPEED", 0, 5, 1}));

  // Byte 27 never belongs to the label, even without a zero before it.
  RecordFormatBlock full{};
  full.fill('Z');
  full[28] = 1;
  full[29] = 2;
  full[30] = 3;
  const auto overlong = decodeRecordFormat(full.data());
  EXPECT_EQ(overlong.format.label, std::string(27, 'Z'));
  EXPECT_FALSE(overlong.labelOk);
  EXPECT_TRUE(overlong.valuesOk);
}

}  // namespace
}  // namespace halvern

// Calibration steps, checks and the table against the simulated instrument, on virtual time.
#include "service/calibration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "service/calibration_reference.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/scripted_link.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using calibration_text::kCalDataHeader;

// The instrument's bytes as the message area shows them.
std::string shown(std::string bytes) {
  std::string text;
  for (char c : bytes) {
    text += c;
    if (c == '\r') text += '\n';
  }
  return text;
}

class CalibrationTest : public ::testing::Test, protected test::ComputerBench {
 protected:
  CalibrationTest() : ComputerBench(DateTime{2026, 12, 8, 9, 0, 0}) {}
  void SetUp() override { ASSERT_TRUE(link.open()); }

  CommandResult step(CalibrationStep s, bool confirm, std::string reference = "5000.00") {
    return runInstrumentCommand(exchange, shell,
                                calibrationStepCommand(s, confirm, std::move(reference)));
  }
  CommandResult check(CalibrationCheck c) {
    return runInstrumentCommand(exchange, shell, calibrationCheckCommand(c));
  }
  const Lines& sent() const { return instrument.linesReceived(); }
  void fault(int code, sim::FaultKind kind) {
    sim::Fault f;
    f.kind = kind;
    instrument.faults().set(code, f);
  }
};

TEST(CalibrationPassword, OnlyTheWholeTextInItsCase) {
  const struct {
    const char* typed;
    bool accepted;
  } cases[] = {
      {"pmk73914", true},   {"PMK73914", false}, {"Pmk73914", false},  {"pmk73914 ", false},
      {" pmk73914", false}, {"pmk7391", false},  {"pmk739145", false}, {"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(calibrationPasswordMatches(c.typed), c.accepted) << '"' << c.typed << '"';
}

TEST(CalibrationStepLine, TheReferenceGoesThroughSinglePrecisionAndPercentF) {
  const struct {
    const char* field;
    const char* value;
  } cases[] = {
      {"5000.00", "5000.000000"}, {"4998.37", "4998.370117"}, {"2500.50", "2500.500000"},
      {"9999.99", "9999.990234"}, {"0000.00", "0.000000"},    {"", "0.000000"},
      {"____.__", "0.000000"},    {"12__.__", "12.000000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(calibrationStepLine(CalibrationStep::SeFullScale, c.field),
              std::string("CMD815 ") + c.value + "\r")
        << c.field;
    EXPECT_EQ(calibrationStepLine(CalibrationStep::DiffFullScale, c.field),
              std::string("CMD825 ") + c.value + "\r")
        << c.field;
  }
}

TEST(CalibrationReference, OnlyAFilledMaskOrANumberThatFillsIt) {
  const struct {
    const char* typed;
    const char* filled;  // nullptr: refused
  } cases[] = {
      {"4998.37", "4998.37"}, {"5000.00", "5000.00"}, {"0000.00", "0000.00"},
      {"9999.99", "9999.99"}, {"25", "0025.00"},      {"5000", "5000.00"},
      {"2.5", "0002.50"},     {".5", "0000.50"},      {"7.", "0007.00"},
      {"0", "0000.00"},       {"12345", nullptr},     {"10000.00", nullptr},
      {"1.234", nullptr},     {"-5", nullptr},        {"+5", nullptr},
      {" 25", nullptr},       {"25 ", nullptr},       {"5x", nullptr},
      {"1e3", nullptr},       {"4998,37", nullptr},   {"1.2.3", nullptr},
      {".", nullptr},         {"", nullptr},          {"25__.__", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> filled = referenceInMaskForm(c.typed);
    EXPECT_EQ(filled.has_value(), c.filled != nullptr) << '"' << c.typed << '"';
    if (filled && c.filled) {
      EXPECT_EQ(*filled, c.filled) << '"' << c.typed << '"';
      EXPECT_TRUE(isCompleteReference(*filled)) << *filled;
    }
  }
  // The window's field: every position of the mask a digit, the point in its place.
  for (const char* field : {"25__.__", "25  .  ", "25.", "", "5000.0", "5000,00", "50000.0",
                            "5000.000", "____.__", "-500.00", " 500.00"})
    EXPECT_FALSE(isCompleteReference(field)) << '"' << field << '"';
}

TEST_F(CalibrationTest, AFullScaleStepWithAnOpenDigitSendsNothing) {
  for (CalibrationStep s : {CalibrationStep::SeFullScale, CalibrationStep::DiffFullScale}) {
    for (bool confirm : {true, false}) {
      shell.boxes.clear();
      EXPECT_EQ(step(s, confirm, "25__.__"), CommandResult::Refused);
      ASSERT_EQ(shell.boxes.size(), 1u);
      EXPECT_EQ(shell.boxes[0].text, calibration_text::kIncompleteReference);
      EXPECT_EQ(shell.boxes[0].kind, MessageKind::Warning);
    }
  }
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(shell.lines.empty());
  // The steps without a reference do not look at the field.
  EXPECT_EQ(step(CalibrationStep::WdExcitation, false, "25__.__"), CommandResult::Done);
  EXPECT_EQ(sent(), Lines{"CMD835"});
}

TEST_F(CalibrationTest, EachStepAsksSendsWaitsAndReports) {
  const struct {
    CalibrationStep step;
    const char* question;  // nullptr: never asked
    const char* line;
    const char* success;
  } cases[] = {
      {CalibrationStep::SeZero, "Replace all SE Zero calibration settings?", "CMD810",
       "SE ZERO CAL FINISHED."},
      {CalibrationStep::SeFullScale, "Replace all SE Full Scale calibration settings?",
       "CMD815 4998.370117", "SE FULL SCALE CAL FINISHED."},
      {CalibrationStep::DiffZero, "Replace all DIFF Zero calibration settings?", "CMD820",
       "DIFF ZERO CAL FINISHED."},
      {CalibrationStep::DiffFullScale, "Replace all DIFF Full Scale calibration settings?",
       "CMD825 4998.370117", "DIFF FULL SCALE CAL FINISHED."},
      {CalibrationStep::WdZero, "Replace all WD Zero calibration settings?", "CMD830",
       "WD ZERO CAL FINISHED."},
      // No reference, whatever the field holds.
      {CalibrationStep::WdExcitation, "Replace all WD Full Scale calibration settings?", "CMD835",
       "WD FULL SCALE CAL FINISHED."},
      {CalibrationStep::Vout, nullptr, "CMD840", "VOUT CAL FINISHED."},
      {CalibrationStep::Iout, nullptr, "CMD845", "IOUT CAL FINISHED."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    for (bool confirm : {true, false}) {
      shell = {};
      if (c.question && confirm) shell.answers.push_back(MessageResult::Yes);
      const std::size_t before = sent().size();
      EXPECT_EQ(step(c.step, confirm, "4998.37"), CommandResult::Done);
      ASSERT_EQ(sent().size(), before + 1);
      EXPECT_EQ(sent().back(), c.line);
      EXPECT_EQ(shell.lines, Lines{c.success});
      if (c.question && confirm) {
        ASSERT_EQ(shell.boxes.size(), 1u);
        EXPECT_EQ(shell.boxes[0].text, c.question);
        EXPECT_EQ(shell.boxes[0].kind, MessageKind::Confirmation);
        EXPECT_EQ(shell.boxes[0].buttons, MessageButtons::YesNo);
      } else {
        EXPECT_TRUE(shell.boxes.empty());
      }
      // The hourglass for the step, the normal cursor once it is over.
      EXPECT_EQ(shell.busyChanges, (std::vector<bool>{true, false}));
      EXPECT_TRUE(shell.beeps.empty());
    }
  }
}

TEST_F(CalibrationTest, AnsweringNoSendsNothingAndAddsNoLine) {
  shell.answers.push_back(MessageResult::No);
  EXPECT_EQ(step(CalibrationStep::SeFullScale, true), CommandResult::Refused);
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(shell.lines.empty());
  EXPECT_EQ(shell.boxes.size(), 1u);
}

TEST_F(CalibrationTest, NoStarWithinSixtySecondsBeepsAndGivesTheFailureLine) {
  const struct {
    CalibrationStep step;
    int code;
    sim::FaultKind kind;
    const char* failure;
  } cases[] = {
      {CalibrationStep::SeZero, 810, sim::FaultKind::Silence,
       "NO RESPONSE FROM 40100 FOR SE ZERO CAL."},
      {CalibrationStep::DiffFullScale, 825, sim::FaultKind::NoStar,
       "NO RESPONSE FROM 40100 FOR DIFF FULL SCALE CAL."},
      {CalibrationStep::WdExcitation, 835, sim::FaultKind::Silence,
       "NO RESPONSE FROM 40100 FOR WD FULL SCALE CAL."},
      {CalibrationStep::Iout, 845, sim::FaultKind::NoStar, "NO RESPONSE FROM 40100 FOR IOUT CAL."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failure);
    shell = {};
    fault(c.code, c.kind);
    const auto start = clock.now();
    EXPECT_EQ(step(c.step, false), CommandResult::Failed);
    const auto took = clock.now() - start;
    EXPECT_GE(took, 60s);
    EXPECT_LT(took, 61s);
    EXPECT_EQ(shell.lines, Lines{c.failure});
    EXPECT_EQ(shell.beeps, std::vector<BeepKind>{BeepKind::Default});
    // The line is the report: no communication warning.
    EXPECT_TRUE(shell.boxes.empty());
    // The wait counted down every second from 60, and said when it was over.
    ASSERT_EQ(shell.waiting.size(), 61u);
    for (int i = 0; i < 60; ++i)
      EXPECT_EQ(shell.waiting[static_cast<std::size_t>(i)], std::make_pair(60 - i, 60));
    EXPECT_EQ(shell.waiting.back(), std::make_pair(0, 0));
  }
}

TEST_F(CalibrationTest, StopCalibrationEndsTheWaitWithTheFailureLineAndNoBeep) {
  fault(840, sim::FaultKind::Silence);
  shell.onProcessEvents = [this](int n) {
    if (n == 3) exchange.requestStop();
  };
  const auto start = clock.now();
  EXPECT_EQ(step(CalibrationStep::Vout, false), CommandResult::Cancelled);
  EXPECT_LT(clock.now() - start, 2s);
  EXPECT_EQ(shell.lines, Lines{"NO RESPONSE FROM 40100 FOR VOUT CAL."});
  EXPECT_TRUE(shell.beeps.empty());
  EXPECT_TRUE(shell.boxes.empty());
}

TEST_F(CalibrationTest, AStopWhileNothingWaitsHasNoLastingEffect) {
  exchange.requestStop();
  EXPECT_EQ(step(CalibrationStep::Vout, false), CommandResult::Done);
  EXPECT_EQ(shell.lines, Lines{"VOUT CAL FINISHED."});
  // Nor on a check's report.
  exchange.requestStop();
  EXPECT_EQ(check(CalibrationCheck::Wd), CommandResult::Done);
  EXPECT_NE(shell.inserted.find("WD 4 "), std::string::npos) << shell.inserted;
}

TEST_F(CalibrationTest, TheNormalCursorComesBackAHundredMillisecondsAfterTheLine) {
  const auto start = clock.now();
  EXPECT_EQ(step(CalibrationStep::Vout, false), CommandResult::Done);
  // The instrument's 3 s of measuring, the line's bytes, the 100 ms.
  const auto took = clock.now() - start;
  EXPECT_GE(took, sim::CalibrationReplies::kOutputTime + kStepEndPause);
  EXPECT_LT(took, sim::CalibrationReplies::kOutputTime + kStepEndPause + 300ms);
}

TEST_F(CalibrationTest, AClosedLinkIsRefusedWithAWarningBeforeAnythingIsSent) {
  link.close();
  const struct {
    InstrumentCommand command;
    const char* text;
  } cases[] = {
      {calibrationStepCommand(CalibrationStep::SeZero, true, "5000.00"),
       "Cannot calibrate because USB port is closed."},
      {calibrationCheckCommand(CalibrationCheck::Wd),
       "Cannot check calibration because USB port is closed."},
      {calibrationCheckCommand(CalibrationCheck::IoutFs),
       "Cannot check calibration because USB port is closed."},
      {getCalDataCommand(), "Cannot get calibration data because USB port is closed."},
  };
  for (const auto& c : cases) {
    shell = {};
    EXPECT_EQ(runInstrumentCommand(exchange, shell, c.command), CommandResult::Refused);
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, c.text);
    EXPECT_EQ(shell.boxes[0].kind, MessageKind::Warning);
  }
  EXPECT_TRUE(sent().empty());
}

TEST_F(CalibrationTest, InputChecksStreamTheReportAtTheCaretUpToTheStar) {
  const struct {
    CalibrationCheck check;
    const char* line;
    std::size_t reportLines;
    const char* first;
  } cases[] = {
      {CalibrationCheck::Se, "CMD952 16", 16, "SE 01 "},
      {CalibrationCheck::Diff, "CMD956 14", 8, "DIFF 01 "},
      {CalibrationCheck::Wd, "CMD954", 4, "WD 1 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    shell = {};
    EXPECT_EQ(check(c.check), CommandResult::Done);
    EXPECT_EQ(sent().back(), c.line);
    EXPECT_EQ(shell.inserted.rfind(c.first, 0), 0u) << shell.inserted;
    std::size_t crlf = 0;
    for (std::size_t i = shell.inserted.find("\r\n"); i != std::string::npos;
         i = shell.inserted.find("\r\n", i + 2))
      ++crlf;
    EXPECT_EQ(crlf, c.reportLines);
    EXPECT_TRUE(shell.inserted.ends_with("\r\n"));
    EXPECT_EQ(shell.inserted.find('*'), std::string::npos);
    // No line, box or hourglass of their own.
    EXPECT_TRUE(shell.lines.empty());
    EXPECT_TRUE(shell.boxes.empty());
    EXPECT_TRUE(shell.busyChanges.empty());
  }
}

TEST(CalibrationReport, TextAfterTheStarInTheSameReadIsDropped) {
  VirtualClock clock;
  test::ScriptedLink link(clock);
  test::RecordingShell shell;
  CommandExchange exchange(link, clock, shell);
  ASSERT_TRUE(link.open());
  link.answer = [](const std::string& line) {
    return line == "CMD954\r" ? std::string("WD 1 +2500.01\rWD 2 +2499.98\r*LEFT\rOVER") : "";
  };
  EXPECT_EQ(runCalibrationCheck(exchange, shell, CalibrationCheck::Wd), CommandResult::Done);
  EXPECT_EQ(shell.inserted, "WD 1 +2500.01\r\nWD 2 +2499.98\r\n");
}

TEST_F(CalibrationTest, AReportWithoutItsStarIsBoundedBySixtySeconds) {
  fault(954, sim::FaultKind::NoStar);
  const auto start = clock.now();
  EXPECT_EQ(check(CalibrationCheck::Wd), CommandResult::Failed);
  EXPECT_GE(clock.now() - start, 60s);
  EXPECT_LT(clock.now() - start, 61s);
  EXPECT_NE(shell.inserted.find("WD 4 "), std::string::npos);
  EXPECT_EQ(shell.beeps.size(), 1u);
  // A time-out is a failure the user is told of.
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].text, kCommErrorText);
}

TEST_F(CalibrationTest, StopCalibrationEndsACheck) {
  fault(952, sim::FaultKind::Silence);
  shell.onProcessEvents = [this](int n) {
    if (n == 2) exchange.requestStop();
  };
  const auto start = clock.now();
  EXPECT_EQ(check(CalibrationCheck::Se), CommandResult::Cancelled);
  EXPECT_LT(clock.now() - start, 1s);
  EXPECT_TRUE(shell.boxes.empty());
  // It says it was stopped, and its countdown ended.
  EXPECT_EQ(shell.lines, Lines{"CHECK STOPPED."});
  ASSERT_FALSE(shell.waiting.empty());
  EXPECT_EQ(shell.waiting.front(), std::make_pair(60, 60));
  EXPECT_EQ(shell.waiting.back(), std::make_pair(0, 0));
}

TEST(CalibrationTable, CellsCsvAndTabbedTextOfWhatCame) {
  // Lines end at CR or LF, empty ones dropped; the cells are the bytes as they came.
  const CalDataTable table = calDataTable("1\t-5\t0.9992\r\n2\t2,5\t\"x\"\r\r 3 \t\xb5\n");
  EXPECT_EQ(table.header.size(), 11u);
  EXPECT_EQ(table.header.front(), "Ch");
  EXPECT_EQ(table.header.back(), "IOffset");
  const std::vector<std::vector<std::string>> rows{
      {"1", "-5", "0.9992"}, {"2", "2,5", "\"x\""}, {" 3 ", "\xb5"}};
  EXPECT_EQ(table.rows, rows);
  EXPECT_EQ(calDataCsv(table),
            "Ch,Se0,Diff0,Wd0,SeMult,DiffMult,WdMult,VMult,VOffset,IMult,IOffset\r\n"
            "1,-5,0.9992\r\n2,\"2,5\",\"\"\"x\"\"\"\r\n\" 3 \",\xb5\r\n");
  EXPECT_EQ(calDataTabbed(table),
            std::string(kCalDataHeader) + "\n1\t-5\t0.9992\n2\t2,5\t\"x\"\n 3 \t\xb5\n");
  EXPECT_TRUE(calDataTable("").rows.empty());
  // The simulated instrument's table: sixteen rows of eleven cells.
  const CalDataTable full = calDataTable(sim::CalibrationReplies().tableText());
  ASSERT_EQ(full.rows.size(), 16u);
  for (const auto& row : full.rows) EXPECT_EQ(row.size(), 11u);
}

TEST_F(CalibrationTest, OutputChecksDriveEachOutputWithItsPausesThenReport) {
  const struct {
    CalibrationCheck check;
    const char* drive;     // the drive line, "%d" for the channel
    const char* reported;  // the first line's start, then the level the instrument reads back
    double level;
    double tolerance;
  } cases[] = {
      {CalibrationCheck::VoutZero, "CMD945 %d 0", "VOUT 1 ", 0.0, 10.0},
      {CalibrationCheck::VoutFs, "CMD945 %d 5000", "VOUT 1 ", 5000.0, 10.0},
      {CalibrationCheck::IoutZero, "CMD950 %d 0", "IOUT 1 ", 0.0, 0.05},
      {CalibrationCheck::IoutFs, "CMD950 %d 20", "IOUT 1 ", 20.0, 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.drive);
    shell = {};
    const std::size_t before = sent().size();
    const auto start = clock.now();
    EXPECT_EQ(check(c.check), CommandResult::Done);
    ASSERT_EQ(sent().size(), before + 5);
    for (int ch = 1; ch <= 4; ++ch) {
      char expected[32];
      std::snprintf(expected, sizeof expected, c.drive, ch);
      EXPECT_EQ(sent()[before + static_cast<std::size_t>(ch) - 1], expected);
    }
    EXPECT_EQ(sent().back(), "CMD952 04");
    // 400 ms a channel and 500 ms before the report, the lines' own bytes aside.
    EXPECT_GE(clock.now() - start, 4 * 400ms + 500ms);
    ASSERT_EQ(shell.inserted.find(c.reported), 0u) << shell.inserted;
    EXPECT_NEAR(std::strtod(shell.inserted.c_str() + 7, nullptr), c.level, c.tolerance);
    EXPECT_NE(shell.inserted.find(std::string(c.reported, 5) + "4 "), std::string::npos);
    EXPECT_EQ(shell.lines, Lines{" "});
    EXPECT_EQ(shell.busyChanges, (std::vector<bool>{true, false}));
  }
}

TEST_F(CalibrationTest, GetCalDataShowsTheHeaderThenTheTableAsLines) {
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getCalDataCommand()), CommandResult::Done);
  EXPECT_EQ(sent(), Lines{"CMD805"});
  EXPECT_EQ(shell.lines, Lines{std::string(kCalDataHeader)});
  EXPECT_EQ(shell.lines[0],
            "Ch\tSe0\tDiff0\tWd0\tSeMult\tDiffMult\tWdMult\tVMult\tVOffset\tIMult\tIOffset");
  EXPECT_EQ(shell.inserted, shown(instrument.calibration().tableText()));
  // The bytes that came, for the table view.
  std::string received;
  (void)runInstrumentCommand(exchange, shell, getCalDataCommand([&received](std::string bytes) {
                               received = std::move(bytes);
                             }));
  EXPECT_EQ(received, instrument.calibration().tableText());
}

TEST_F(CalibrationTest, AStepChangesTheTableGetCalDataShows) {
  (void)runInstrumentCommand(exchange, shell, getCalDataCommand());
  const std::string before = shell.inserted;
  shell = {};
  EXPECT_EQ(step(CalibrationStep::SeFullScale, false, "5000.00"), CommandResult::Done);
  EXPECT_NEAR(instrument.calibration().table()[0].seMult, 5000.0 / 4998.6, 1e-9);
  (void)runInstrumentCommand(exchange, shell, getCalDataCommand());
  EXPECT_NE(shell.inserted, before);
  EXPECT_EQ(shell.inserted, shown(instrument.calibration().tableText()));
}

TEST_F(CalibrationTest, GetCalDataWithoutAReplyShowsNothingAtAll) {
  fault(805, sim::FaultKind::Silence);
  EXPECT_EQ(runInstrumentCommand(exchange, shell, getCalDataCommand()), CommandResult::Failed);
  EXPECT_TRUE(shell.lines.empty());
  EXPECT_TRUE(shell.inserted.empty());
  EXPECT_TRUE(shell.boxes.empty());
}

TEST(CalibrationTable, SixteenRowsOfElevenColumnsInOneRead) {
  sim::CalibrationReplies replies;
  const std::string text = replies.tableText();
  EXPECT_LE(text.size(), kReportReadSize);
  std::size_t rows = 0;
  for (std::size_t start = 0; start < text.size(); ++rows) {
    const std::size_t end = text.find('\r', start);
    ASSERT_NE(end, std::string::npos);
    const std::string row = text.substr(start, end - start);
    EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 10) << row;
    EXPECT_EQ(row.rfind(std::to_string(rows + 1) + "\t", 0), 0u) << row;
    start = end + 1;
  }
  EXPECT_EQ(rows, 16u);
}

}  // namespace
}  // namespace halvern

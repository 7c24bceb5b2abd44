// Comparisons of setups, screens and programs by what they mean, on models made in the test.
#include "comparison/comparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern {
namespace {

using Lines = std::vector<std::string>;

constexpr std::uint16_t kAlarm = 1;  // sloc= (integer), set1= and set2= (decimal), ...
constexpr std::size_t kSet1 = 1;

bool contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// --- Setup ---------------------------------------------------------------------------------------

struct SetupCase {
  const char* name;
  std::function<void(SetupModel&)> change;
  Lines lines;
};

TEST(CompareSetups, EachItemByItsCaptionWithBothValues) {
  const std::vector<SetupCase> cases{
      {"com1 type",
       [](SetupModel& s) { s.setCom1Type(1); },
       {"Setup, COM1 Type", "-RS-232", "+RS-485"}},
      {"com1 baud",
       [](SetupModel& s) { s.setCom1BaudIndex(4); },
       {"Setup, COM1 Baud", "-9600", "+19.2K"}},
      {"com2 baud",
       [](SetupModel& s) { s.setCom2BaudIndex(7); },
       {"Setup, COM2 Baud", "-9600", "+230.4K"}},
      {"stop on error",
       [](SetupModel& s) { s.setStopOnError(true); },
       {"Setup, Stop On Error", "-off", "+on"}},
      {"keypad lock",
       [](SetupModel& s) { s.setKeypadLock(true); },
       {"Setup, Keypad Lock", "-off", "+on"}},
      {"auto scroll",
       [](SetupModel& s) { s.setAutoScroll(true); },
       {"Setup, Auto Screen Scroll", "-off", "+on"}},
      {"interval",
       [](SetupModel& s) { s.setInterval(15); },
       {"Setup, Execution Interval", "-1", "+15"}},
      {"scroll pause",
       [](SetupModel& s) { s.setScrollPause(4); },
       {"Setup, Scroll Pause", "-1", "+4"}},
      {"scroll end",
       [](SetupModel& s) { s.setScrollEnd(3); },
       {"Setup, Scroll End Screen", "-8", "+3"}},
      {"field label",
       [](SetupModel& s) { s.setLabel(0, "Wind speed"); },
       {"Setup, Field 01 Label", "-FIELD 01", "+Wind speed"}},
      {"field type",
       [](SetupModel& s) { s.setType(0, RecordFormat::Time); },
       {"Setup, Field 01 Type", "-Number", "+Time"}},
      {"field width",
       [](SetupModel& s) { s.setWidth(0, 9); },
       {"Setup, Field 01 Width", "-7", "+9"}},
      {"field precision",
       [](SetupModel& s) { s.setPrecision(0, 3); },
       {"Setup, Field 01 Prec", "-1", "+3"}},
  };
  for (const SetupCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetupModel ours;
    SetupModel theirs;
    c.change(theirs);
    const Comparison result = compareSetups(ours, theirs);
    EXPECT_EQ(result.lines, c.lines);
    ASSERT_EQ(result.differences.size(), 1u);
    EXPECT_EQ(result.differences[0].part, ComparedPart::Setup);
    EXPECT_EQ("Setup, " + result.differences[0].item, c.lines[0]);
    EXPECT_EQ("-" + result.differences[0].ours, c.lines[1]);
    EXPECT_EQ("+" + result.differences[0].theirs, c.lines[2]);
    EXPECT_FALSE(result.equal());
  }
}

TEST(CompareSetups, EqualSetupsAndTheClockIsNotCompared) {
  SetupModel ours;
  SetupModel theirs;
  ASSERT_TRUE(ours.setDateText("12-07-2026"));
  ASSERT_TRUE(ours.setTimeText("09:05:03"));
  theirs.setUsePcTime(false);
  const Comparison result = compareSetups(ours, theirs);
  EXPECT_TRUE(result.equal());
  EXPECT_EQ(result.lines, Lines{"No differences."});
  EXPECT_TRUE(contains(result.notCompared, "Date and time are not compared."));
  EXPECT_TRUE(contains(result.notCompared, "Use PC System Time is not compared."));
  EXPECT_TRUE(contains(result.notCompared,
                       "Record fields 02 to 25, in use on neither side, are not compared."));
}

TEST(CompareSetups, RecordFieldsInUseOnEitherSideOnly) {
  SetupModel ours;
  SetupModel theirs;
  // Row 5 is in use on neither side: its change means nothing.
  ours.setLabel(4, "unused");
  EXPECT_TRUE(compareSetups(ours, theirs).equal());

  // In use on one side: the count and the row both differ.
  theirs.setFieldsPerRecord(5);
  const Comparison result = compareSetups(ours, theirs);
  EXPECT_EQ(result.lines, (Lines{"Setup, Fields Per Record", "-1", "+5", "Setup, Field 05 Label",
                                 "-unused", "+FIELD 05"}));
  EXPECT_TRUE(contains(result.notCompared,
                       "Record fields 06 to 25, in use on neither side, are not compared."));

  // All 25 in use: no rows are left out, the clock still is.
  theirs.setFieldsPerRecord(25);
  const Comparison all = compareSetups(ours, theirs);
  EXPECT_EQ(all.notCompared,
            (Lines{"Date and time are not compared.", "Use PC System Time is not compared."}));
}

// --- Screens -------------------------------------------------------------------------------------

TEST(CompareScreens, OnlyTheRowsThatDifferWithLargeCharactersMarked) {
  ScreenBuffer ours;
  ScreenBuffer theirs;
  EXPECT_EQ(compareScreens(ours, theirs).lines, Lines{"No differences."});

  // Screen 3, rows 1 and 2: "T=" small, then a large "5" over columns 2..3 of both rows.
  for (ScreenBuffer* s : {&ours, &theirs}) {
    s->setCell(2, 0, 0, 'T');
    s->setCell(2, 0, 1, '=');
  }
  theirs.setCurrentScreen(2);
  theirs.setLargeCell(0, 2, 0x80 | '5');
  theirs.setCell(7, 5, 39, 0x7E);  // the degree sign, screen 8's last cell
  theirs.setCurrentScreen(0);

  const Comparison result = compareScreens(ours, theirs);
  const std::string blank38(38, ' ');
  const std::string blank36(36, ' ');
  const std::string blank39(39, ' ');
  EXPECT_EQ(result.lines,
            (Lines{"Screen 3, row 1", "-|T=" + blank38 + "|", "+|T=[5]" + blank36 + "|",
                   "Screen 3, row 2", "-|" + std::string(40, ' ') + "|", "+|  [5]" + blank36 + "|",
                   "Screen 8, row 6", "-|" + blank39 + " |", "+|" + blank39 + "\xB0|"}));
  ASSERT_EQ(result.differences.size(), 3u);
  EXPECT_EQ(result.differences[0].part, ComparedPart::Screens);
  EXPECT_EQ(result.differences[0].item, "Screen 3, row 1");
  EXPECT_EQ(result.notCompared, Lines{"The screen shown for editing is not compared."});
}

TEST(CompareScreens, CellsDifferEvenWhenTheyLookAlike) {
  ScreenBuffer ours;
  ScreenBuffer theirs;
  theirs.setCell(0, 0, 0, 0x01);  // a control code shows as a blank
  const Comparison result = compareScreens(ours, theirs);
  ASSERT_EQ(result.differences.size(), 1u);
  EXPECT_EQ(result.differences[0].ours, result.differences[0].theirs);
  // The current screen is not compared.
  ScreenBuffer other;
  other.setCurrentScreen(5);
  EXPECT_TRUE(compareScreens(ours, other).equal());
}

// --- Program -------------------------------------------------------------------------------------

// A program of `count` ALARM instructions, set1= of instruction k (from 0) typed as `set1(k)`.
ProgramDocument alarms(std::size_t count, const std::function<std::string(std::size_t)>& set1) {
  ProgramDocument document;
  for (std::size_t k = 0; k < count; ++k) {
    EXPECT_EQ(document.insertInstruction(k, kAlarm), ProgramDocument::Edit::Done);
    EXPECT_EQ(document.editFieldParameter(k, kSet1, set1(k)), ProgramDocument::Edit::Done);
  }
  return document;
}

TEST(ComparePrograms, DecimalsCompareByValueNotByText) {
  struct Case {
    const char* ours;
    const char* theirs;
    bool equal;
  };
  for (const Case& c :
       {Case{"2.5", "2.50000", true}, Case{"2.5", "2.5", true}, Case{"-0", "0.00000", true},
        Case{"2.5", "2.50001", false}, Case{"10", "1", false}}) {
    SCOPED_TRACE(std::string(c.ours) + " vs " + c.theirs);
    const ProgramDocument ours = alarms(1, [&](std::size_t) { return c.ours; });
    const ProgramDocument theirs = alarms(1, [&](std::size_t) { return c.theirs; });
    const Comparison result = comparePrograms(ours, theirs);
    EXPECT_EQ(result.equal(), c.equal);
    if (c.equal) {
      EXPECT_EQ(result.lines, Lines{"No differences."});
    }
  }
}

TEST(ComparePrograms, OneChangedParameterIsExactlyThatLine) {
  // Ten instructions, written with different decimals; only instruction 6's value differs.
  const ProgramDocument ours = alarms(10, [](std::size_t k) { return std::to_string(k) + ".5"; });
  const ProgramDocument theirs = alarms(10, [](std::size_t k) {
    return k == 5 ? std::string("7.25000") : std::to_string(k) + ".50000";
  });
  const Comparison result = comparePrograms(ours, theirs, {"site.pgm", "instrument"});
  // Each ALARM is 7 lines: instruction 6's set1= is line 5 * 7 + 3 = 38.
  EXPECT_EQ(result.lines,
            (Lines{"--- site.pgm", "+++ instrument", "@@ -35,7 +35,7 @@", "     sw= 1", " ALARM",
                   "     sloc= 001", "-    set1= 5.5", "+    set1= 7.25000", "     set2= 0.00000",
                   "     delay= 000", "     span= EXCL"}))
      << "first line: " << ours.tree()[0].children[0];
  ASSERT_EQ(result.differences.size(), 2u);
  EXPECT_EQ(result.differences[0].part, ComparedPart::Program);
  EXPECT_EQ(result.differences[0].item, "Instruction 6");
  EXPECT_EQ(result.differences[0].ours, "    set1= 5.5");
  EXPECT_EQ(result.differences[1].theirs, "    set1= 7.25000");
}

TEST(ComparePrograms, InsertedInstructionAndHunks) {
  ProgramDocument ours;
  ProgramDocument theirs;
  for (ProgramDocument* d : {&ours, &theirs}) {
    for (std::size_t k = 0; k < 12; ++k) d->insertInstruction(k, 3);  // BEEP, num=
  }
  theirs.insertInstruction(0, 11);  // ELSE at the start
  ASSERT_EQ(theirs.editFieldParameter(12, 0, "7"), ProgramDocument::Edit::Done);
  const Comparison result = comparePrograms(ours, theirs);
  EXPECT_EQ(result.lines[0], "--- ours");
  EXPECT_EQ(result.lines[1], "+++ theirs");
  // Two hunks: the insertion at the start and the changed last BEEP, far apart.
  const auto hunks = std::count_if(result.lines.begin(), result.lines.end(),
                                   [](const std::string& l) { return l.rfind("@@ ", 0) == 0; });
  EXPECT_EQ(hunks, 2);
  EXPECT_EQ(result.lines[2], "@@ -1,3 +1,4 @@");
  EXPECT_EQ(result.lines[3], "+ELSE");
  EXPECT_TRUE(contains(result.lines, "-    num= 1"));
  EXPECT_TRUE(contains(result.lines, "+    num= 7"));
  EXPECT_EQ(result.differences.size(), 3u);
}

TEST(ComparePrograms, NotesAreNotCompared) {
  ProgramDocument ours;
  ProgramDocument theirs;
  theirs.replaceNotes({"another site"});
  const Comparison result = comparePrograms(ours, theirs);
  EXPECT_TRUE(result.equal());
  EXPECT_EQ(result.notCompared,
            (Lines{"Program notes are not compared.", "Records after PGM END are not compared.",
                   "How a decimal value is written (2.5, 2.50000) is not compared, only its "
                   "value."}));
}

// The lines one side of the rows holds, in order.
Lines side(const std::vector<AlignedRow>& rows, std::optional<std::string> AlignedRow::*member) {
  Lines lines;
  for (const AlignedRow& row : rows) {
    if (row.*member) lines.push_back(*(row.*member));
  }
  return lines;
}

Lines listing(const ProgramDocument& document) {
  Lines lines;
  for (const ProgramNode& node : document.tree()) {
    lines.push_back(node.text);
    for (const std::string& child : node.children) lines.push_back("    " + child);
  }
  return lines;
}

TEST(AlignPrograms, AChangedValueSharesItsRowAndDecimalsMatchByValue) {
  const ProgramDocument ours = alarms(10, [](std::size_t k) { return std::to_string(k) + ".5"; });
  const ProgramDocument theirs = alarms(10, [](std::size_t k) {
    return k == 5 ? std::string("7.25000") : std::to_string(k) + ".50000";
  });
  const std::vector<AlignedRow> rows = alignPrograms(ours, theirs);
  // Ten ALARMs of 7 lines and PGM END; instruction 6's set1= is row 5 * 7 + 2.
  ASSERT_EQ(rows.size(), 71u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].kind, i == 37 ? AlignedKind::Changed : AlignedKind::Same);
  }
  EXPECT_EQ(rows[37].ours, "    set1= 5.5");
  EXPECT_EQ(rows[37].theirs, "    set1= 7.25000");
  // Each side shows its own text, even where the values match.
  EXPECT_EQ(rows[2].ours, "    set1= 0.5");
  EXPECT_EQ(rows[2].theirs, "    set1= 0.50000");
  EXPECT_EQ(side(rows, &AlignedRow::ours), listing(ours));
  EXPECT_EQ(side(rows, &AlignedRow::theirs), listing(theirs));
}

TEST(AlignPrograms, LinesOfOneSideOnlyFaceNothing) {
  ProgramDocument ours;
  ProgramDocument theirs;
  for (ProgramDocument* d : {&ours, &theirs}) {
    for (std::size_t k = 0; k < 4; ++k) d->insertInstruction(k, 3);  // BEEP, num=
  }
  theirs.insertInstruction(0, 11);  // ELSE at the start
  ASSERT_EQ(theirs.editFieldParameter(4, 0, "7"), ProgramDocument::Edit::Done);
  ours.insertInstruction(2, kAlarm);  // an ALARM in the middle, ours only
  const std::vector<AlignedRow> rows = alignPrograms(ours, theirs);
  std::vector<AlignedKind> kinds;
  for (const AlignedRow& row : rows) {
    kinds.push_back(row.kind);
    EXPECT_EQ(row.ours.has_value(), row.kind != AlignedKind::Added);
    EXPECT_EQ(row.theirs.has_value(), row.kind != AlignedKind::Removed);
  }
  using K = AlignedKind;
  EXPECT_EQ(kinds,
            (std::vector<AlignedKind>{K::Added, K::Same, K::Same, K::Same, K::Same, K::Removed,
                                      K::Removed, K::Removed, K::Removed, K::Removed, K::Removed,
                                      K::Removed, K::Same, K::Same, K::Same, K::Changed, K::Same}));
  EXPECT_EQ(rows[0].theirs, "ELSE");
  EXPECT_EQ(rows[5].ours, "ALARM");
  EXPECT_EQ(rows[15].theirs, "    num= 7");
  EXPECT_EQ(side(rows, &AlignedRow::ours), listing(ours));
  EXPECT_EQ(side(rows, &AlignedRow::theirs), listing(theirs));
}

// --- All three -----------------------------------------------------------------------------------

TEST(CompareAll, EveryPartInOrderAndEveryStatement) {
  SetupModel setupA;
  SetupModel setupB;
  ScreenBuffer screensA;
  ScreenBuffer screensB;
  const ProgramDocument programA = alarms(1, [](std::size_t) { return "2.5"; });
  const ProgramDocument programB = alarms(1, [](std::size_t) { return "2.50000"; });

  const Comparison same = compareAll({setupA, screensA, programA}, {setupB, screensB, programB});
  EXPECT_EQ(same.lines, Lines{"No differences."});
  EXPECT_EQ(same.notCompared.size(), 3u + 1u + 3u);
  EXPECT_TRUE(contains(same.notCompared, "Date and time are not compared."));
  EXPECT_TRUE(contains(same.notCompared, "The screen shown for editing is not compared."));
  EXPECT_TRUE(contains(same.notCompared, "Program notes are not compared."));

  setupB.setKeypadLock(true);
  screensB.setCell(1, 2, 3, 'x');
  const Comparison different =
      compareAll({setupA, screensA, programA}, {setupB, screensB, programB});
  EXPECT_FALSE(different.equal());
  EXPECT_FALSE(contains(different.lines, "No differences."));
  ASSERT_EQ(different.differences.size(), 2u);
  EXPECT_EQ(different.differences[0].part, ComparedPart::Setup);
  EXPECT_EQ(different.differences[1].part, ComparedPart::Screens);
  EXPECT_EQ(different.lines[0], "Setup, Keypad Lock");
  EXPECT_EQ(different.lines[3], "Screen 2, row 3");
  EXPECT_EQ(different.notCompared, same.notCompared);
}

}  // namespace
}  // namespace halvern

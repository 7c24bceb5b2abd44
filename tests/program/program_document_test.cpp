#include "program/program_document.h"

#include <gtest/gtest.h>

#include <functional>

#include "program/instruction_catalogue.h"

namespace halvern {
namespace {

using Edit = ProgramDocument::Edit;

constexpr std::uint16_t kBeep = 3;
constexpr std::uint16_t kDelay = 5;
constexpr std::uint16_t kElse = 11;
constexpr std::uint16_t kFlagSet = 13;

void expectInStep(const ProgramDocument& d) {
  EXPECT_EQ(ProgramDocument::mismatch(d.store(), d.tree()), std::nullopt);
}

std::vector<std::uint16_t> opcodes(const ProgramDocument& d) {
  std::vector<std::uint16_t> out;
  for (std::size_t k = 0; k < d.instructionCount(); ++k) out.push_back(d.store()[k].opcode());
  return out;
}

TEST(ProgramDocument, StartsWithPgmEndAndTheNotesLine) {
  ProgramDocument d;
  ASSERT_EQ(d.tree().size(), 1u);
  EXPECT_EQ(d.tree()[0].text, "PGM END");
  EXPECT_EQ(d.notes(), std::vector<std::string>{"Add User Program Notes here..."});
  EXPECT_EQ(d.store(), ProgramStore{});
  expectInStep(d);
}

TEST(ProgramDocument, InsertBeforeSelectionAndAtPgmEnd) {
  ProgramDocument d;
  EXPECT_EQ(d.insertInstruction(0, kBeep), Edit::Done);     // PGM END selected: appended
  EXPECT_EQ(d.insertInstruction(1, kDelay), Edit::Done);    // before PGM END
  EXPECT_EQ(d.insertInstruction(0, kFlagSet), Edit::Done);  // before the first
  EXPECT_EQ(opcodes(d), (std::vector<std::uint16_t>{kFlagSet, kBeep, kDelay, 0}));
  expectInStep(d);
  // Not a position, or "PGM END" / an opcode outside the catalogue offered for insertion.
  EXPECT_EQ(d.insertInstruction(4, kBeep), Edit::NotAllowed);
  EXPECT_EQ(d.insertInstruction(0, 0), Edit::NotAllowed);
  EXPECT_EQ(d.insertInstruction(0, 53), Edit::NotAllowed);
  EXPECT_EQ(d.instructionCount(), 4u);
}

TEST(ProgramDocument, DeleteMovesRecordsBackAndKeepsTheLastRecord) {
  ProgramDocument d;
  d.insertInstruction(0, kBeep);
  d.insertInstruction(1, kDelay);
  d.insertInstruction(2, kElse);
  const ProgramRecord delay = d.store()[1];
  const ProgramRecord last = d.store()[511];
  EXPECT_EQ(d.deleteInstruction(0), Edit::Done);
  EXPECT_EQ(opcodes(d), (std::vector<std::uint16_t>{kDelay, kElse, 0}));
  EXPECT_EQ(d.store()[0], delay);
  EXPECT_EQ(d.store()[511], last);
  expectInStep(d);
  EXPECT_EQ(d.deleteInstruction(2), Edit::NotAllowed);  // PGM END
  EXPECT_EQ(d.deleteInstruction(7), Edit::NotAllowed);
}

TEST(ProgramDocument, FiveHundredTwelveInstructionsIsTheLimit) {
  ProgramDocument d;
  for (int i = 0; i < 510; ++i) ASSERT_EQ(d.insertInstruction(0, kBeep), Edit::Done);
  d.copyInstruction(0);
  ASSERT_EQ(d.instructionCount(), 511u);
  // 511 nodes: one more goes in and "PGM END" becomes instruction 512.
  EXPECT_EQ(d.pasteInstruction(510), Edit::Done);
  EXPECT_EQ(d.store()[511].opcode(), 0);
  EXPECT_EQ(d.store().endIndex(), 511u);
  EXPECT_EQ(d.insertInstruction(0, kBeep), Edit::Full);
  EXPECT_EQ(d.pasteInstruction(0), Edit::Full);
  EXPECT_EQ(d.instructionCount(), 512u);
  expectInStep(d);
}

TEST(ProgramDocument, CutPasteMovesAnInstructionWithItsValues) {
  ProgramDocument d;
  d.insertInstruction(0, kBeep);
  d.insertInstruction(1, kDelay);
  ProgramRecord edited = d.store()[0];
  edited.setIntValue(0, 7);
  edited.setValueText(0, "7");
  d.setParameter(0, 0, edited, "num= 7");
  EXPECT_FALSE(d.canPaste());
  EXPECT_EQ(d.pasteInstruction(0), Edit::NotAllowed);
  EXPECT_EQ(d.cutInstruction(2), Edit::NotAllowed);  // PGM END
  EXPECT_EQ(d.cutInstruction(0), Edit::Done);
  EXPECT_EQ(d.pasteInstruction(1), Edit::Done);
  EXPECT_EQ(d.pasteInstruction(1), Edit::Done);
  EXPECT_EQ(opcodes(d), (std::vector<std::uint16_t>{kDelay, kBeep, kBeep, 0}));
  EXPECT_EQ(d.store()[1], edited);
  EXPECT_EQ(d.store()[2], edited);
  EXPECT_EQ(d.tree()[2].children[0], "num= 7");
  expectInStep(d);
}

TEST(ProgramDocument, NewProgramClearsOpcodesOnly) {
  ProgramDocument d;
  d.insertInstruction(0, kBeep);
  d.newProgram();
  ASSERT_EQ(d.tree().size(), 1u);
  EXPECT_EQ(d.store()[0].opcode(), 0);
  EXPECT_EQ(d.store()[0].valueText(0), "1");
  expectInStep(d);
}

TEST(ProgramDocument, MismatchesBetweenStoreAndTree) {
  ProgramDocument d;
  d.insertInstruction(0, kFlagSet);
  const ProgramStore store = d.store();
  const auto tree = d.tree();
  struct Case {
    const char* what;
    std::function<void(ProgramStore&, std::vector<ProgramNode>&)> spoil;
  } cases[] = {
      {"extra line",
       [](auto&, auto& t) {
         t.push_back({"PGM END", {}});
       }},
      {"missing line", [](auto&, auto& t) { t.pop_back(); }},
      {"wrong name", [](auto&, auto& t) { t[0].text = "IF FLAG"; }},
      {"missing parameter", [](auto&, auto& t) { t[0].children.pop_back(); }},
      {"parameter of a parameter", [](auto&, auto& t) { t[0].children.push_back("x"); }},
      {"wrong label", [](auto&, auto& t) { t[0].children[1] = "stat= OFF"; }},
      {"opcode outside", [](auto& s, auto&) { s[0].setOpcode(53); }},
      {"no PGM END",
       [](auto& s, auto&) {
         for (std::size_t i = 0; i < ProgramStore::kRecordCount; ++i) s[i].setOpcode(kElse);
       }},
  };
  for (const auto& c : cases) {
    ProgramStore s = store;
    auto t = tree;
    c.spoil(s, t);
    EXPECT_NE(ProgramDocument::mismatch(s, t), std::nullopt) << c.what;
    EXPECT_FALSE(d.replaceProgram(s, t)) << c.what;
    EXPECT_EQ(d.tree(), tree) << c.what;
  }
}

}  // namespace
}  // namespace halvern

namespace halvern {
namespace {

constexpr std::uint16_t kAlarm = 1;
constexpr std::uint16_t kDisplayText = 8;
constexpr std::uint16_t kFlagSetMask = 14;
constexpr std::uint16_t kSerialNmea = 26;

TEST(ProgramDocument, FieldEditsWriteValueValueTextAndLine) {
  const std::string degree(1, kShownDegree);
  struct Case {
    std::uint16_t opcode;
    std::size_t j;
    std::string typed;
    std::string line;
    std::string valueText;  // the record's value text, or its text for a text parameter
    float value;            // the int value, or the float of a decimal
  } cases[] = {
      {kAlarm, 0, "7", "sloc= 007", "007", 7},
      {kAlarm, 0, "", "sloc= 000", "000", 0},
      {kAlarm, 0, "12345", "sloc= 123", "123", 123},  // beyond the width: dropped
      {kAlarm, 0, "-5", "sloc= -05", "-05", -5},      // a received value text's sign
      {kAlarm, 5, "9", "sw= 9", "9", 9},
      {kAlarm, 1, "1.2.3", "set1= 1.2.3", "1.2.3", 1.2f},  // kept as typed
      {kAlarm, 1, "", "set1= ", "", 0},
      {kAlarm, 1, "-", "set1= -", "-", 0},
      {kAlarm, 2, "-.5", "set2= -.5", "-.5", -0.5f},
      {kAlarm, 2, "12345678", "set2= 1234567", "1234567", 1234567},
      {kFlagSetMask, 0, "ab", "mask= 00AB", "00AB", 0xAB},
      {kFlagSetMask, 0, "FfFf", "mask= FFFF", "FFFF", 0xFFFF},
      {kFlagSetMask, 0, "1x2", "mask= 0102", "0102", 0x102},  // not a digit: 0
      {kDisplayText, 3, "25" + degree + "C", "text= 25" + degree + "C" + std::string(21, ' '),
       "25~C", 0},
      {kSerialNmea, 1, "GPGGAX", "header= GPGGA", "GPGGA", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ProgramDocument d;
    d.insertInstruction(0, c.opcode);
    ASSERT_EQ(d.editFieldParameter(0, c.j, c.typed), Edit::Done);
    const ProgramRecord& r = d.store()[0];
    EXPECT_EQ(d.tree()[0].children[c.j], c.line);
    switch (d.parameter(0, c.j)->paramKind()) {
      case ParamKind::Decimal:
        EXPECT_EQ(r.floatValue(c.j), c.value);
        EXPECT_EQ(r.valueText(c.j), c.valueText);
        break;
      case ParamKind::Text:
        EXPECT_EQ(r.text(), c.valueText);
        EXPECT_EQ(d.parameterFieldText(0, c.j), c.typed.substr(0, d.parameter(0, c.j)->width));
        break;
      default:
        EXPECT_EQ(r.intValue(c.j), static_cast<std::int32_t>(c.value));
        EXPECT_EQ(r.valueText(c.j), c.valueText);
        EXPECT_EQ(d.parameterFieldText(0, c.j), c.valueText);
    }
    expectInStep(d);
  }
}

TEST(ProgramDocument, ListEditsAndRefusedEdits) {
  ProgramDocument d;
  d.insertInstruction(0, kFlagSet);
  ProgramRecord before = d.store()[0];
  EXPECT_EQ(d.editListParameter(0, 1, 1), Edit::Done);
  EXPECT_EQ(d.tree()[0].children[1], "state= ON ");
  EXPECT_EQ(d.store()[0].intValue(1), 1);
  EXPECT_EQ(d.store()[0].valueText(1), before.valueText(1));  // not touched

  before = d.store()[0];
  const auto tree = d.tree();
  EXPECT_EQ(d.editListParameter(0, 1, 2), Edit::NotAllowed);     // outside the list
  EXPECT_EQ(d.editListParameter(0, 0, 0), Edit::NotAllowed);     // an integer
  EXPECT_EQ(d.editFieldParameter(0, 1, "1"), Edit::NotAllowed);  // a list
  EXPECT_EQ(d.editFieldParameter(0, 2, "1"), Edit::NotAllowed);  // no such parameter
  EXPECT_EQ(d.editFieldParameter(1, 0, "1"), Edit::NotAllowed);  // PGM END
  EXPECT_EQ(d.parameter(1, 0), nullptr);
  EXPECT_EQ(d.store()[0], before);
  EXPECT_EQ(d.tree(), tree);
}

}  // namespace
}  // namespace halvern

namespace halvern {
namespace {

// Every change the document reports is taken back by undo and made again by redo, exactly: the
// records after PGM END (which an insert pushes out and a delete leaves doubled) included.
TEST(ProgramDocument, ChangesReportedAreUndoneAndRedoneExactly) {
  ProgramDocument d;
  std::vector<ProgramChange> changes;
  d.setListener({[&changes](const ProgramChange& c) { changes.push_back(c); }, {}});
  ProgramStore store;
  for (std::size_t k = 0; k < ProgramStore::kRecordCount; ++k)
    store[k] = defaultRecord(static_cast<std::uint16_t>(1 + k % 52));
  store[3].setOpcode(0);
  std::vector<ProgramNode> tree;
  for (std::size_t k = 0; k <= 3; ++k) tree.push_back(ProgramDocument::storedNode(store[k]));
  ASSERT_TRUE(d.replaceProgram(store, tree));
  const ProgramStore startStore = d.store();
  const std::vector<ProgramNode> startTree = d.tree();
  changes.clear();

  d.insertInstruction(1, kDelay);
  d.copyInstruction(0);
  d.pasteInstruction(2);
  d.deleteInstruction(0);
  d.cutInstruction(1);
  d.insertInstruction(0, kFlagSet);
  ASSERT_EQ(d.editFieldParameter(0, 0, "7"), Edit::Done);
  d.newProgram();
  d.insertInstruction(0, kBeep);
  ASSERT_EQ(changes.size(), 8u);  // a copy is no change
  const ProgramStore endStore = d.store();
  const std::vector<ProgramNode> endTree = d.tree();
  for (auto c = changes.rbegin(); c != changes.rend(); ++c) {
    d.undo(*c);
    expectInStep(d);
  }
  EXPECT_EQ(d.store(), startStore);
  EXPECT_EQ(d.tree(), startTree);
  for (const ProgramChange& c : changes) d.redo(c);
  EXPECT_EQ(d.store(), endStore);
  EXPECT_EQ(d.tree(), endTree);
}

}  // namespace
}  // namespace halvern

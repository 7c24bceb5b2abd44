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

#include "program/program_history.h"

#include <gtest/gtest.h>

#include <random>

#include "program/instruction_catalogue.h"

namespace halvern {
namespace {

// What a program holds, whole: every record byte and every line.
struct Held {
  std::vector<std::uint8_t> bytes;
  std::vector<ProgramNode> tree;
  bool operator==(const Held&) const = default;
};

Held held(const ProgramDocument& d) {
  Held h{std::vector<std::uint8_t>(ProgramStore::kSize), d.tree()};
  d.store().toBytes(std::span<std::uint8_t, ProgramStore::kSize>(h.bytes.data(), h.bytes.size()));
  return h;
}

// One random editor operation on the document; false when the document refused it (then it must
// have changed nothing and recorded nothing).
bool randomEdit(ProgramDocument& d, std::mt19937& random, std::vector<ProgramState>& seen) {
  auto pick = [&random](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const std::size_t k = pick(d.instructionCount());
  switch (pick(20)) {
    case 0:
      d.newProgram();
      return true;
    case 1:
      if (seen.empty()) return false;
      return d.replaceProgram(seen[pick(seen.size())].store, seen[pick(seen.size())].tree) ||
             true;  // a state out of step is refused; counted as an attempt
    case 2:
    case 3:
    case 4:
      return d.deleteInstruction(k) == ProgramDocument::Edit::Done;
    case 5:
      return d.cutInstruction(k) == ProgramDocument::Edit::Done;
    case 6:
      d.copyInstruction(pick(d.instructionCount()));
      return d.pasteInstruction(k) == ProgramDocument::Edit::Done;
    case 7:
    case 8:
    case 9:
    case 10: {
      if (d.instructionCount() < 2) return false;
      const std::size_t at = pick(d.instructionCount() - 1);
      const std::size_t j = pick(ProgramRecord::kMaxParameters);
      const ParamDef* param = d.parameter(at, j);
      if (!param) return false;
      if (param->paramKind() == ParamKind::List) {
        const auto size = InstructionCatalogue::valueList(param->kind).size();
        return d.editListParameter(at, j, pick(size)) == ProgramDocument::Edit::Done;
      }
      static const char* const typed[] = {"7", "-12.5", "2.50000", "beef", "T=25\xB0", ""};
      return d.editFieldParameter(at, j, typed[pick(6)]) == ProgramDocument::Edit::Done;
    }
    default:
      return d.insertInstruction(k, static_cast<std::uint16_t>(1 + pick(52))) ==
             ProgramDocument::Edit::Done;
  }
}

// A thousand operations among undos and redos: after every step the store and tree are in step
// and equal to what the program held at that point of the history; fully undone, it is the
// program it started with, and fully redone the one it ended with.
TEST(ProgramHistory, AThousandEditsUndosAndRedosKeepStoreAndTreeInStep) {
  ProgramDocument d;
  ProgramHistory history(d);
  QUndoStack& stack = history.stack();
  std::mt19937 random(4010);
  // Six instructions, and records after PGM END that are not zero: they are kept, and an insert
  // pushes the last of them out.
  ProgramStore store;
  std::vector<ProgramNode> tree;
  for (std::size_t k = 0; k < ProgramStore::kRecordCount; ++k)
    store[k] = defaultRecord(static_cast<std::uint16_t>(1 + (k * 7) % 52));
  store[6].setOpcode(0);
  for (std::size_t k = 0; k <= 6; ++k) tree.push_back(ProgramDocument::storedNode(store[k]));
  ASSERT_TRUE(d.replaceProgram(store, tree));
  stack.clear();
  const Held start = held(d);
  // What the program held after each step of the stack: index i, after i steps.
  std::vector<Held> after{start};
  std::vector<ProgramState> seen;
  int edits = 0, undos = 0, redos = 0;
  for (int n = 0; edits < 1000; ++n) {
    ASSERT_LT(n, 5000);
    const auto roll = random() % 10;
    if (roll < 3 && stack.canUndo()) {
      stack.undo();
      ++undos;
    } else if (roll < 5 && stack.canRedo()) {
      stack.redo();
      ++redos;
    } else {
      const int before = stack.count();
      const int index = stack.index();
      if (randomEdit(d, random, seen) && stack.index() != index) {
        ++edits;
        ASSERT_EQ(stack.index(), index + 1);
        // A new change drops what could have been redone.
        ASSERT_EQ(stack.count(), index + 1) << "was " << before;
        after.resize(static_cast<std::size_t>(index) + 1);
        after.push_back(held(d));
        if (n % 97 == 0) seen.push_back({d.store(), d.tree()});
      }
    }
    ASSERT_EQ(ProgramDocument::mismatch(d.store(), d.tree()), std::nullopt) << "step " << n;
    ASSERT_EQ(held(d), after[static_cast<std::size_t>(stack.index())]) << "step " << n;
  }
  EXPECT_GT(undos, 300);
  EXPECT_GT(redos, 100);
  stack.setIndex(0);
  EXPECT_EQ(held(d), start);
  stack.setIndex(stack.count());
  EXPECT_EQ(held(d), after.back());
}

TEST(ProgramHistory, StepsAreNamedAfterWhatTheyDid) {
  ProgramDocument d;
  ProgramHistory history(d);
  QUndoStack& stack = history.stack();
  d.insertInstruction(0, 3);
  const std::string name = d.tree()[0].text;
  EXPECT_EQ(stack.undoText().toStdString(), "Insert " + name);
  d.copyInstruction(0);
  d.pasteInstruction(0);
  EXPECT_EQ(stack.undoText().toStdString(), "Paste " + name);
  d.cutInstruction(0);
  EXPECT_EQ(stack.undoText().toStdString(), "Cut " + name);
  d.deleteInstruction(0);
  EXPECT_EQ(stack.undoText().toStdString(), "Delete " + name);
  d.newProgram();  // new already: nothing to undo
  EXPECT_EQ(stack.undoText().toStdString(), "Delete " + name);
  d.insertInstruction(0, 3);
  d.newProgram();
  EXPECT_EQ(stack.undoText(), "New Program");
  stack.undo();
  EXPECT_EQ(stack.redoText(), "New Program");
  // Copying changes nothing and is no step; a refused edit is none either, nor one that leaves
  // everything as it was.
  const int steps = stack.count();
  d.copyInstruction(0);
  EXPECT_EQ(d.deleteInstruction(d.instructionCount() - 1), ProgramDocument::Edit::NotAllowed);
  d.insertInstruction(0, 8);  // DISPLAY TEXT: its font is a list
  const int withText = stack.count();
  EXPECT_EQ(d.editListParameter(0, 4, d.store()[0].intValue(4)), ProgramDocument::Edit::Done);
  EXPECT_EQ(d.editFieldParameter(0, 0, d.parameterFieldText(0, 0)), ProgramDocument::Edit::Done);
  EXPECT_EQ(stack.count(), withText);
  EXPECT_EQ(stack.count(), steps);  // the redo step of New gave way to the insert
}

// The program counts as modified while it differs from what was last settled (saved, sent,
// opened, received), following undo back to it; the notes by their text.
TEST(ProgramHistory, ModifiedFollowsUndoBackToWhatWasSettled) {
  ProgramDocument d;
  ProgramHistory history(d);
  std::vector<bool> told;
  history.setModifiedListener([&told](bool m) { told.push_back(m); });
  EXPECT_FALSE(history.modified());
  d.insertInstruction(0, 3);
  EXPECT_TRUE(history.modified());
  d.settle(true, false);  // saved
  EXPECT_FALSE(history.modified());
  d.insertInstruction(0, 5);
  history.stack().undo();
  EXPECT_FALSE(history.modified());
  history.stack().undo();  // before the save
  EXPECT_TRUE(history.modified());
  history.stack().redo();
  EXPECT_FALSE(history.modified());

  // A received program is settled as it arrives, and can still be undone.
  ProgramDocument other;
  other.insertInstruction(0, 13);
  ASSERT_TRUE(d.replaceProgram(other.store(), other.tree(), "Get User Program"));
  EXPECT_FALSE(history.modified());
  EXPECT_EQ(history.stack().undoText(), "Get User Program");
  history.stack().undo();
  EXPECT_TRUE(history.modified());
  history.stack().redo();

  d.notes().push_back("wind mast 2");
  history.notesChanged();
  EXPECT_TRUE(history.modified());
  d.notes().pop_back();
  history.notesChanged();
  EXPECT_FALSE(history.modified());
  // Told of each change of state once: on, off, on, off... (a program received does not blink)
  ASSERT_EQ(told.size(), 10u);
  for (std::size_t i = 0; i < told.size(); ++i) EXPECT_EQ(told[i], i % 2 == 0) << i;
}

TEST(ProgramHistory, ACopyOfTheDocumentIsHeardByNoOne) {
  ProgramDocument d;
  ProgramHistory history(d);
  ProgramDocument copy = d;
  copy.insertInstruction(0, 3);
  copy.settle(true, true);
  EXPECT_EQ(history.stack().count(), 0);
}

}  // namespace
}  // namespace halvern

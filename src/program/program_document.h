#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "program/program_record.h"
#include "program/program_store.h"

namespace halvern {

struct ParamDef;

// One top-level line of the program tree and its parameter lines.
struct ProgramNode {
  std::string text;
  std::vector<std::string> children;

  bool operator==(const ProgramNode&) const = default;
};

// The program as a whole: what a replacement puts in place of what.
struct ProgramState {
  ProgramStore store;
  std::vector<ProgramNode> tree;
};

// One change to the program, kept so that it can be taken back and made again: an instruction
// inserted or deleted at `position` (its record and lines), parameter `parameter` of the
// instruction at `position` edited (the record and line before and after), or the program
// replaced as a whole (new, opened, received).
struct ProgramChange {
  enum class Kind { Insert, Delete, Parameter, Program };
  Kind kind = Kind::Program;
  // What the change is called where it can be undone: "Delete WINDSPD".
  std::string name;
  std::size_t position = 0;
  std::size_t parameter = 0;
  ProgramRecord record;  // Insert, Delete: the instruction; Parameter: the record after
  ProgramNode node;      // Insert, Delete: its lines
  // Insert: the last record, pushed out of the store. Parameter: the record before.
  ProgramRecord other;
  std::string lineBefore, lineAfter;                  // Parameter
  std::shared_ptr<const ProgramState> before, after;  // Program
  // The program replaced is one opened or received: what it now holds is settled.
  bool settles = false;
};

// The user program as the window shows it: the store, the tree lines and the notes, kept in step
// by every operation here. Top-level node k stands for record k and its child j for parameter j;
// the last node is always "PGM END" and there are at most 512 nodes. Positions are node indexes
// (the instruction number minus 1).
class ProgramDocument {
 public:
  static constexpr std::size_t kMaxInstructions = ProgramStore::kRecordCount;
  static constexpr const char* kInitialNotes = "Add User Program Notes here...";

  enum class Edit {
    Done,
    Full,        // 512 instructions already: nothing inserted
    NotAllowed,  // no such position, or "PGM END" where an instruction is needed
  };

  // The start-up program: all records zero, the single line "PGM END", the initial notes line.
  ProgramDocument();

  const ProgramStore& store() const { return m_store; }
  const std::vector<ProgramNode>& tree() const { return m_tree; }
  std::size_t instructionCount() const { return m_tree.size(); }
  // The notes as the page edits them, line by line.
  std::vector<std::string>& notes() { return m_notes; }
  const std::vector<std::string>& notes() const { return m_notes; }
  // The notes replaced as a whole (a notes file, a group file).
  void replaceNotes(std::vector<std::string> notes);

  // Count the replacements of the whole program and of the whole notes, so a view knows when to
  // show them anew.
  std::uint64_t programVersion() const { return m_programVersion; }
  std::uint64_t notesVersion() const { return m_notesVersion; }

  // Inserts instruction `opcode` (1..52) with its default values before position k: records
  // k..510 move one place on, working from the end.
  Edit insertInstruction(std::size_t k, std::uint16_t opcode);
  // Deletes the instruction at k (not "PGM END"): records k+1..511 move one place back, working
  // from the start; record 511 keeps its content.
  Edit deleteInstruction(std::size_t k);
  // Copies the instruction at k (not "PGM END") into the copy buffer.
  Edit copyInstruction(std::size_t k);
  // Copies, then deletes.
  Edit cutInstruction(std::size_t k);
  // Inserts the copy buffer's record before position k, its lines made from its stored values.
  Edit pasteInstruction(std::size_t k);
  bool canPaste() const { return m_copyBuffer.has_value(); }
  // Sets the opcode of all 512 records to 0 (their other bytes stay) and leaves "PGM END" alone.
  void newProgram();

  // Writes record k whole and the text of its parameter line j (an edit closed with OK).
  void setParameter(std::size_t k, std::size_t j, const ProgramRecord& record, std::string line);

  // The definition of parameter j of the instruction at k, or null when there is no such
  // parameter line.
  const ParamDef* parameter(std::size_t k, std::size_t j) const;
  // What the edit of a field parameter opens with: the value text (integer, decimal,
  // hexadecimal), or the text with every "~" shown as the degree sign.
  std::string parameterFieldText(std::size_t k, std::size_t j) const;
  // An edit of a field parameter closed with OK, `typed` the field's text (Windows-1252):
  //   integer: the decimal integer at its start (0 when none; a received value text may carry a
  //            sign), line and value text "%0*i";
  //   decimal: the number at its start (0 when none) as a float, line and value text as typed;
  //   hexadecimal: read digit by digit, any character that is not a hex digit counting as 0,
  //            kept to 16 bits, line and value text "%04X";
  //   text: stored with every degree sign as "~", the line padded with blanks to the width.
  // Typed text beyond the parameter's width is dropped. NotAllowed, nothing changed, for a
  // parameter that is not of these kinds or does not exist.
  Edit editFieldParameter(std::size_t k, std::size_t j, std::string_view typed);
  // An edit of a list parameter closed with OK: the entry's index becomes the value; the value
  // text is not touched. NotAllowed for an index outside the list.
  Edit editListParameter(std::size_t k, std::size_t j, std::size_t index);

  // Replaces store and tree together (a received program, an opened file), a change called
  // `name`; what the program now holds counts as settled. False, nothing changed, when they are
  // not in step.
  bool replaceProgram(const ProgramStore& store, std::vector<ProgramNode> tree,
                      std::string_view name = "Open Program");

  // Who hears of every change made by the operations above (not by undo and redo), and of the
  // program or notes being settled: saved, sent, opened or received. One listener; a copy of the
  // document has none.
  struct Listener {
    std::function<void(const ProgramChange&)> changed;
    std::function<void(bool program, bool notes)> settled;
  };
  // Returns what `dropListener` takes to end it; a later listener takes the place of this one.
  std::uint64_t setListener(Listener listener) {
    m_listener.value = std::move(listener);
    return ++m_listener.serial;
  }
  // Ends the listener `serial`, unless another took its place since.
  void dropListener(std::uint64_t serial) {
    if (m_listener.serial == serial) m_listener.value = {};
  }
  // Tells the listener that the program (and/or the notes) as they stand were saved or sent.
  void settle(bool program, bool notes) const;

  // Takes a change back, or makes it again, on the document it was made on in the state it left
  // (or found) it. The versions count it like any other change.
  void undo(const ProgramChange& change);
  void redo(const ProgramChange& change);
  // Counts every change of the program, so a view knows that it must follow.
  std::uint64_t changeCount() const { return m_changeCount; }

  // Why `store` and `tree` are not in step, or nothing when they are: one node per record up to
  // the first "PGM END", which ends both; each node the name of its record's opcode with one line
  // per parameter, starting with that parameter's label and a blank.
  static std::optional<std::string> mismatch(const ProgramStore& store,
                                             const std::vector<ProgramNode>& tree);

  // The node of a record, its lines made from the stored values.
  static ProgramNode storedNode(const ProgramRecord& record);

 private:
  void insertRecord(std::size_t k, const ProgramRecord& record, ProgramNode node);
  void removeRecord(std::size_t k);
  void setState(const ProgramState& state);
  ProgramChange insertChange(std::size_t k, std::string verb) const;
  void notify(ProgramChange change);

  // Not copied with the document: a copy is heard by no one.
  struct ListenerSlot {
    ListenerSlot() = default;
    ListenerSlot(const ListenerSlot&) {}
    ListenerSlot& operator=(const ListenerSlot&) { return *this; }
    Listener value;
    std::uint64_t serial = 0;
  };

  ProgramStore m_store;
  std::vector<ProgramNode> m_tree;
  std::vector<std::string> m_notes;
  std::optional<ProgramRecord> m_copyBuffer;
  std::uint64_t m_programVersion = 0;
  std::uint64_t m_notesVersion = 0;
  std::uint64_t m_changeCount = 0;
  ListenerSlot m_listener;
};

}  // namespace halvern

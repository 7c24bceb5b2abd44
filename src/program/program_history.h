#pragma once

#include <QUndoStack>
#include <functional>
#include <string>
#include <vector>

#include "program/program_document.h"

namespace halvern {

// The undo history of the user program: every change the document makes (insert, delete, cut,
// paste, a parameter edit, New, an opened or received program) becomes one step of a QUndoStack,
// named as the change is ("Delete WINDSPD"). Undo and redo replay the change on the document and
// tell the follower (the page), which updates its tree to match.
//
// It also knows whether the program or the notes differ from what was last opened, saved,
// received or sent: the stack's clean state for the program, a copy of the notes for the notes.
class ProgramHistory {
 public:
  // The steps kept; the oldest go first.
  static constexpr int kUndoLimit = 1000;

  explicit ProgramHistory(ProgramDocument& document);
  ~ProgramHistory();
  ProgramHistory(const ProgramHistory&) = delete;
  ProgramHistory& operator=(const ProgramHistory&) = delete;

  QUndoStack& stack() { return m_stack; }
  const QUndoStack& stack() const { return m_stack; }

  // The program or the notes differ from what was last settled.
  bool modified() const;
  bool programModified() const { return !m_stack.isClean(); }
  bool notesModified() const { return m_document.notes() != m_settledNotes; }
  // After the notes were edited: the modified state may have changed.
  void notesChanged() { tellModified(); }

  // Told after each undo (`undone`) and redo of a change.
  void setFollower(std::function<void(const ProgramChange&, bool undone)> follower) {
    m_follower = std::move(follower);
  }
  // Told whenever `modified()` changes.
  void setModifiedListener(std::function<void(bool)> listener) {
    m_modifiedListener = std::move(listener);
  }

 private:
  class Step;
  void changed(const ProgramChange& change);
  void settled(bool program, bool notes);
  void tellModified();

  ProgramDocument& m_document;
  QUndoStack m_stack;
  std::vector<std::string> m_settledNotes;
  std::function<void(const ProgramChange&, bool)> m_follower;
  std::function<void(bool)> m_modifiedListener;
  bool m_shownModified = false;
  std::uint64_t m_listening = 0;
  bool m_pushing = false;
};

}  // namespace halvern

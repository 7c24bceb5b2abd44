#include "program/program_history.h"

#include <QUndoCommand>

#include "app/windows1252.h"

namespace halvern {

// One change on the stack. It was made already when it is pushed, so its first redo does
// nothing.
class ProgramHistory::Step : public QUndoCommand {
 public:
  Step(ProgramHistory& history, ProgramChange change)
      : QUndoCommand(Windows1252::toUnicode(change.name)),
        m_history(history),
        m_change(std::move(change)) {}

  void redo() override {
    if (m_made) {
      m_made = false;
      return;
    }
    m_history.m_document.redo(m_change);
    if (m_history.m_follower) m_history.m_follower(m_change, false);
  }

  void undo() override {
    m_history.m_document.undo(m_change);
    if (m_history.m_follower) m_history.m_follower(m_change, true);
  }

 private:
  ProgramHistory& m_history;
  ProgramChange m_change;
  bool m_made = true;
};

ProgramHistory::ProgramHistory(ProgramDocument& document)
    : m_document(document), m_settledNotes(document.notes()) {
  m_listening =
      m_document.setListener({[this](const ProgramChange& change) { changed(change); },
                              [this](bool program, bool notes) { settled(program, notes); }});
  // Whole programs (New, opened, received) keep two copies each: the history is bounded.
  m_stack.setUndoLimit(kUndoLimit);
  QObject::connect(&m_stack, &QUndoStack::cleanChanged, &m_stack, [this] {
    if (!m_pushing) tellModified();
  });
}

ProgramHistory::~ProgramHistory() {
  m_document.dropListener(m_listening);
  // The stack tells of its clearing as it goes: no one is listening by then.
  m_stack.disconnect();
}

bool ProgramHistory::modified() const { return programModified() || notesModified(); }

void ProgramHistory::changed(const ProgramChange& change) {
  // A program opened or received is clean as it arrives: the title does not blink on the way.
  m_pushing = true;
  m_stack.push(new Step(*this, change));
  if (change.settles) m_stack.setClean();
  m_pushing = false;
  tellModified();
}

void ProgramHistory::settled(bool program, bool notes) {
  if (program) m_stack.setClean();
  if (notes) m_settledNotes = m_document.notes();
  tellModified();
}

void ProgramHistory::tellModified() {
  const bool now = modified();
  if (now == m_shownModified) return;
  m_shownModified = now;
  if (m_modifiedListener) m_modifiedListener(now);
}

}  // namespace halvern

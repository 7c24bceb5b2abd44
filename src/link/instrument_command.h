#pragma once

#include <functional>
#include <string_view>

namespace halvern {

class CommandExchange;
class ProgramDocument;
class ScreenBuffer;
class SetupModel;
class Shell;

// What became of an instrument operation or command. Operations report Done or Failed (Cancelled
// when the user stopped them); a command adds Refused for one that sent nothing.
// The one result convention of the core: every operation with the instrument, whole or a single
// item, returns a CommandResult. A `[[nodiscard]] bool` result means that what was asked was
// done (a file opened or saved) or is a plain question (a refusal, a match); never a failure.
enum class [[nodiscard]] CommandResult{
    Done,       // it succeeded
    Failed,     // the exchange failed
    Refused,    // nothing was sent: the link is closed, or the data cannot be sent
    Cancelled,  // the user stopped it
};

inline CommandResult failedIf(bool failed) {
  return failed ? CommandResult::Failed : CommandResult::Done;
}

// What a command overwrites in the instrument: the parts it sends, each from where it is sent;
// null for a part it leaves alone. A command that sends nothing has all three null. Whoever runs
// the command may keep a copy of those parts first and read them back after (both outlive the
// command's run).
struct SentParts {
  const SetupModel* setup = nullptr;
  const ScreenBuffer* screens = nullptr;
  const ProgramDocument* program = nullptr;

  bool any() const { return setup || screens || program; }
};

// One command of the Commands menu (or of the command-line tool): the warning for a closed link,
// an optional check of the data before anything is sent, and the operation.
struct InstrumentCommand {
  std::string_view closedText;
  // True when the data cannot be sent; the check has told the user why.
  std::function<bool(Shell&)> refuse;
  std::function<CommandResult(CommandExchange&, Shell&)> run;
  // The hourglass for the whole operation; off for one that shows it itself around its boxes.
  bool busyCursor = true;
  // The communication warning after a failure; off for one that reports its own.
  bool commErrorOnFailure = true;
  SentParts sends = {};
};

// Runs a command the one way every command runs: other commands locked out for its whole length;
// a closed link refused with the command's own warning and nothing sent; the check; the operation
// under the hourglass; the communication warning after a failure (not after a cancel), each
// unless the command says otherwise.
CommandResult runInstrumentCommand(CommandExchange& exchange, Shell& shell,
                                   const InstrumentCommand& command);

// Keeps the window's clock timer stopped for as long as it lives.
class ClockTimerHold {
 public:
  explicit ClockTimerHold(Shell& shell);
  ~ClockTimerHold();
  ClockTimerHold(const ClockTimerHold&) = delete;
  ClockTimerHold& operator=(const ClockTimerHold&) = delete;

 private:
  Shell& m_shell;
};

// Holds the instrument lock and the hourglass for as long as it lives.
class InstrumentSession {
 public:
  InstrumentSession(Shell& shell, bool busyCursor);
  ~InstrumentSession();
  InstrumentSession(const InstrumentSession&) = delete;
  InstrumentSession& operator=(const InstrumentSession&) = delete;

  // The hourglass from now on, until the session ends.
  void showBusy();

 private:
  Shell& m_shell;
  bool m_busy = false;
};

}  // namespace halvern

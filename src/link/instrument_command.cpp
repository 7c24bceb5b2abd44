#include "link/instrument_command.h"

#include "link/command_exchange.h"
#include "platform/shell.h"

namespace halvern {

ClockTimerHold::ClockTimerHold(Shell& shell) : m_shell(shell) { m_shell.setClockTimer(false); }

ClockTimerHold::~ClockTimerHold() { m_shell.setClockTimer(true); }

InstrumentSession::InstrumentSession(Shell& shell, bool busyCursor) : m_shell(shell) {
  m_shell.setInstrumentBusy(true);
  if (busyCursor) showBusy();
}

InstrumentSession::~InstrumentSession() {
  if (m_busy) m_shell.setBusy(false);
  m_shell.setInstrumentBusy(false);
}

void InstrumentSession::showBusy() {
  if (m_busy) return;
  m_busy = true;
  m_shell.setBusy(true);
}

CommandResult runInstrumentCommand(CommandExchange& exchange, Shell& shell,
                                   const InstrumentCommand& command) {
  InstrumentSession session(shell, false);
  if (!exchange.linkOpen()) {
    shell.message(command.closedText, MessageKind::Warning, MessageButtons::Ok);
    return CommandResult::Refused;
  }
  if (command.refuse && command.refuse(shell)) return CommandResult::Refused;
  if (command.busyCursor) session.showBusy();
  const CommandResult result = command.run(exchange, shell);
  if (result == CommandResult::Failed && command.commErrorOnFailure) commError(shell);
  return result;
}

}  // namespace halvern

#include "setup/setup_actions.h"

#include "app/shell.h"
#include "link/link.h"
#include "setup/setup_transfer.h"

namespace halvern {

SetupCommandResult rxSetupClick(Link& link, CommandExchange& exchange, SetupModel& setup,
                                Shell& shell) {
  if (!link.isOpen()) {
    shell.message(kGetSetupClosedText, MessageKind::Warning, MessageButtons::Ok);
    return SetupCommandResult::Refused;
  }
  shell.setBusy(true);
  const bool failed = getUserSettings(exchange, setup, shell);
  if (failed) shell.commError();
  shell.setBusy(false);
  return failed ? SetupCommandResult::Failed : SetupCommandResult::Done;
}

SetupCommandResult txSetupClick(Link& link, CommandExchange& exchange, SetupModel& setup,
                                Shell& shell, const Calendar& calendar) {
  if (!link.isOpen()) {
    shell.message(kSendSetupClosedText, MessageKind::Warning, MessageButtons::Ok);
    return SetupCommandResult::Refused;
  }
  // A date the instrument cannot keep is the user's to correct, not a communication failure.
  if (refuseUnsendableDate(setup, shell, calendar)) return SetupCommandResult::Refused;
  shell.setBusy(true);
  const bool failed = sendUserSettings(exchange, setup, shell, calendar);
  if (failed) shell.commError();
  shell.setBusy(false);
  return failed ? SetupCommandResult::Failed : SetupCommandResult::Done;
}

}  // namespace halvern

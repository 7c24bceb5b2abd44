#include "setup/setup_commands.h"

#include "setup/setup_transfer.h"

namespace halvern {

InstrumentCommand getSetupCommand(SetupModel& setup) {
  return {kGetSetupClosedText, nullptr, [&setup](CommandExchange& exchange, Shell& shell) {
            return getUserSettings(exchange, setup, shell);
          }};
}

InstrumentCommand sendSetupCommand(SetupModel& setup, const Calendar& calendar) {
  InstrumentCommand command{
      kSendSetupClosedText,
      // A date the instrument cannot keep is the user's to correct, not a communication
      // failure.
      [&setup, &calendar](Shell& shell) { return refuseUnsendableDate(setup, shell, calendar); },
      [&setup, &calendar](CommandExchange& exchange, Shell& shell) {
        return sendUserSettings(exchange, setup, shell, calendar);
      }};
  command.sends.setup = &setup;
  return command;
}

}  // namespace halvern

#include "screens/screen_commands.h"

#include "screens/screen_transfer.h"

namespace halvern {

InstrumentCommand getScreensCommand(ScreenBuffer& buffer) {
  return {screen_text::kGetClosed, nullptr, [&buffer](CommandExchange& exchange, Shell& shell) {
            return getUserScreens(exchange, buffer, shell);
          }};
}

InstrumentCommand sendScreensCommand(const ScreenBuffer& buffer) {
  InstrumentCommand command{screen_text::kSendClosed, nullptr,
                            [&buffer](CommandExchange& exchange, Shell& shell) {
                              return sendUserScreens(exchange, buffer, shell);
                            }};
  command.sends.screens = &buffer;
  return command;
}

}  // namespace halvern

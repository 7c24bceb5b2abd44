#include "link/usb_link.h"

#include <chrono>

#include "link/command_exchange.h"
#include "platform/shell.h"

namespace halvern {

void openUsbLink(CommandExchange& exchange, Shell& shell) {
  if (exchange.linkOpen()) {
    // Give the bridge time to come back after the close.
    exchange.closeLink();
    shell.setBusy(true);
    exchange.pause(std::chrono::milliseconds(kReopenPauseMs));
    shell.setBusy(false);
  }
  if (!exchange.openLink()) {
    shell.connectionWarning(kCannotOpenText);
    shell.setStatus(kPortClosedStatus);
    return;
  }
  shell.setStatus(kPortOpenStatus);
}

void reconnectUsb(CommandExchange& exchange, Shell& shell) {
  if (exchange.linkOpen()) exchange.cycleLink();
  openUsbLink(exchange, shell);
}

}  // namespace halvern

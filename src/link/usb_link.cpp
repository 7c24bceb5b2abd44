#include "link/usb_link.h"

#include <chrono>

#include "platform/clock.h"
#include "platform/link.h"
#include "platform/shell.h"

namespace halvern {

void openUsbLink(Link& link, Clock& clock, Shell& shell) {
  if (link.isOpen()) {
    // Give the bridge time to come back after the close.
    link.close();
    shell.setBusy(true);
    clock.sleepFor(std::chrono::milliseconds(kReopenPauseMs));
    shell.setBusy(false);
  }
  if (!link.open()) {
    shell.connectionWarning(kCannotOpenText);
    shell.setStatus(kPortClosedStatus);
    return;
  }
  shell.setStatus(kPortOpenStatus);
}

void reconnectUsb(Link& link, Clock& clock, Shell& shell) {
  if (link.isOpen()) link.cyclePort();
  openUsbLink(link, clock, shell);
}

}  // namespace halvern

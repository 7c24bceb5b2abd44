#pragma once

namespace halvern {

class CommandExchange;
class Shell;

// Status bar texts and the open-failure warning of the link.
inline constexpr const char* kPortOpenStatus = "ZELKA 40100 USB: Port Open";
inline constexpr const char* kPortClosedStatus = "USB port closed";
inline constexpr const char* kCannotOpenText = "Cannot open ZELKA 40100 USB port.";
// The pause between closing a held port and opening it again.
inline constexpr int kReopenPauseMs = 2000;

// Opens (or re-opens) the exchange's link. When it is held open, it is closed first and 2 s pass
// under the hourglass. A failure shows the warning and sets the status "USB port closed"; success
// sets "ZELKA 40100 USB: Port Open". Callers test `link.isOpen()` afterwards.
void openUsbLink(CommandExchange& exchange, Shell& shell);

// The File menu's Reconnect USB: an open link is cycled, closed once, and opened again after the
// 2 s pause; a closed link gets one open attempt without the pause.
void reconnectUsb(CommandExchange& exchange, Shell& shell);

}  // namespace halvern

#pragma once

#include <string_view>

namespace halvern {

class Calendar;
class CommandExchange;
class Link;
class SetupModel;
class Shell;

// The Commands menu's individual "Get Setup" (Shift+F10) and "Send Setup" (Ctrl+F10), without
// the window: the window shows the Setup page when the link is open and then calls these; the
// command-line tool calls them as they are.

inline constexpr std::string_view kGetSetupClosedText = "Cannot Get Setup.\nUSB port is closed.";
inline constexpr std::string_view kSendSetupClosedText = "Cannot Send Setup.\nUSB port is closed.";

enum class SetupCommandResult {
  Done,     // the transfer succeeded
  Refused,  // nothing was sent: the link is closed, or the date cannot be sent
  Failed,   // the transfer failed; the communication warning was shown
};

// A closed link is refused with its warning. Otherwise, under the hourglass, `getUserSettings`;
// its failure is followed by the communication warning. No confirmation is asked and nothing is
// added to the message area beyond the transfer's own lines.
SetupCommandResult rxSetupClick(Link& link, CommandExchange& exchange, SetupModel& setup,
                                Shell& shell);

// The same for `sendUserSettings`. With "Use PC System Time" on, the date and time fields are
// refreshed from `calendar` first; a date the instrument cannot keep (year outside 2000..2099)
// is refused with its own warning and nothing is sent.
SetupCommandResult txSetupClick(Link& link, CommandExchange& exchange, SetupModel& setup,
                                Shell& shell, const Calendar& calendar);

}  // namespace halvern

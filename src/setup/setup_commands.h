#pragma once

#include <string_view>

#include "link/instrument_command.h"

namespace halvern {

class Calendar;
class SetupModel;

// The Commands menu's individual "Get Setup" (Shift+F10) and "Send Setup" (Ctrl+F10), for the
// window and the command-line tool alike. No confirmation is asked and nothing is added to the
// message area beyond the transfer's own lines. A command keeps references to what it is given:
// they must outlive it.

inline constexpr std::string_view kGetSetupClosedText = "Cannot Get Setup.\nUSB port is closed.";
inline constexpr std::string_view kSendSetupClosedText = "Cannot Send Setup.\nUSB port is closed.";

// `getUserSettings` into `setup`.
InstrumentCommand getSetupCommand(SetupModel& setup);

// `sendUserSettings` of `setup`. With "Use PC System Time" on, the date and time fields are
// refreshed from `calendar` first; a date the instrument cannot keep (year outside 2000..2099)
// is refused with its own warning and nothing is sent.
InstrumentCommand sendSetupCommand(SetupModel& setup, const Calendar& calendar);

}  // namespace halvern

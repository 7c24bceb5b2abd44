#pragma once

#include "link/instrument_command.h"

namespace halvern {

class ScreenBuffer;

// The Commands menu's individual "Get Screens" (Shift+F11) and "Send Screens" (Ctrl+F11), for the
// window and the command-line tool alike. The command keeps a reference to `buffer`, which must
// outlive it.
InstrumentCommand getScreensCommand(ScreenBuffer& buffer);
InstrumentCommand sendScreensCommand(const ScreenBuffer& buffer);

}  // namespace halvern

#pragma once

#include "link/instrument_command.h"

namespace halvern {

class ProgramDocument;

// The Commands menu's individual "Get User Program" (Shift+F12) and "Send User Program"
// (Ctrl+F12), for the window and the command-line tool alike. The command keeps a reference to
// `document`, which must outlive it.
InstrumentCommand getProgramCommand(ProgramDocument& document);
InstrumentCommand sendProgramCommand(const ProgramDocument& document);

}  // namespace halvern

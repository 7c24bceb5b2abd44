#pragma once

#include <string>

#include "program/program_document.h"
#include "records/records_commands.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern {

// Everything the window holds about the instrument, owned by the main window for its whole life.
// Transfers and files read and write it; the pages show it and write edits back at once. Each
// subsystem adds its part here.
struct Document {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  RecordsSettings records;
  // The base name of the group file last opened or saved; empty until then.
  std::string currentGroupName;
};

}  // namespace halvern

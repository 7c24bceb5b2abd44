#pragma once

#include <string>

namespace halvern {

// The window's document part that names the group file last opened or saved: its base name,
// empty until then. The report names the group with it, and records files are named after it.
struct CurrentGroup {
  std::string name;
};

}  // namespace halvern

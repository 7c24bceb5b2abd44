#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvern {

// A file read whole, never more than its format can hold.
struct LoadedFile {
  std::string bytes;    // at most `limit` bytes
  bool longer = false;  // the file holds more than `limit` bytes (the rest was not read)
  std::string problem;  // empty, or the warning to show: nothing could be read
};

// Reads at most `limit` bytes of `path` and tells whether there is more. The warnings name the
// file as "the WHAT PATH": "Cannot open the WHAT PATH.\nIt is a folder.", "Cannot open the WHAT
// PATH.\nREASON", "Cannot read the WHAT PATH.\nREASON".
LoadedFile loadFileBytes(const std::string& path, std::size_t limit, std::string_view what);

}  // namespace halvern

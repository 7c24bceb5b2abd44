#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace halvern::sim {

// A command line as the instrument reads it: "CMD", three digits, then optionally a blank and
// the arguments.
struct CommandLine {
  int code = 0;
  // Everything after the blank that follows the code (empty when there is none).
  std::string_view argText;
  // The arguments as blank-separated decimal integers; nothing when they are not (a calibration
  // reference carries a decimal fraction). Empty when the line has no arguments.
  std::optional<std::vector<int>> args;

  // True when the arguments are integers and there are none.
  bool bare() const { return args && args->empty(); }
};

// The command in `line` (carriage return stripped), or nothing when it does not start with
// "CMD" and three digits followed by the end of the line or a blank. `argText` points into `line`.
std::optional<CommandLine> parseCommandLine(std::string_view line);

}  // namespace halvern::sim

#include "wire/commands.h"

#include <cstdarg>
#include <cstdio>

namespace halvern::cmd {

std::string formatCommand(const char* format, ...) {
  char buffer[128];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return {};
  if (static_cast<std::size_t>(n) >= sizeof buffer) n = sizeof buffer - 1;
  return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace halvern::cmd

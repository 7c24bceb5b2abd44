#include "wire/text_format.h"

#include <cstdarg>
#include <cstdio>

#include "wire/c_numbers.h"

namespace halvern {

std::string formatText(const char* format, ...) {
  const CNumbersScope cNumbers;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char small[128];
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string text;
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    text.assign(small, static_cast<std::size_t>(n));
  } else if (n >= 0) {
    text.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return text;
}

std::string excerpt(std::string_view text, std::size_t most) {
  if (text.size() <= most) return std::string(text);
  return std::string(text.substr(0, most)) + "... (" + std::to_string(text.size()) + " characters)";
}

}  // namespace halvern

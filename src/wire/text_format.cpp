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

std::string escapedBytes(std::string_view bytes, ByteEscapes style) {
  std::string out;
  for (const unsigned char c : bytes) {
    if (style == ByteEscapes::C) {
      switch (c) {
        case '\r':
          out += "\\r";
          continue;
        case '\n':
          out += "\\n";
          continue;
        case '\t':
          out += "\\t";
          continue;
        case '"':
        case '\\':
          out += '\\';
          out += static_cast<char>(c);
          continue;
        default:
          break;
      }
    }
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (style == ByteEscapes::Dot) {
      out += '.';
    } else {
      constexpr char kDigits[] = "0123456789ABCDEF";
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 0xF];
    }
  }
  return out;
}

}  // namespace halvern

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// What every harness needs: the input as bytes of text, and a property check that stops the run
// with a crash file libFuzzer keeps.

// A property an accepted or refused input must keep. A violation names itself and traps.
#define FUZZ_REQUIRE(condition)                                                                \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "property violated: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                                        \
    }                                                                                          \
  } while (0)

namespace halvern::fuzz {

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A text with every line end (CR LF, a CR alone, an LF alone) written as CR LF, and CR LF after a
// last line that has none: what a writer of CR LF lines gives back for a text it read line by
// line.
inline std::string crlfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  if (!text.empty() && text.back() != '\r' && text.back() != '\n') out += "\r\n";
  return out;
}

}  // namespace halvern::fuzz

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvern {

// printf formatting into a string, as long as the text needs, always as in the C locale: "%f"
// writes "5000.000000" whatever LANG, LC_ALL or LC_NUMERIC say (see wire/c_numbers.h). The format
// must be a literal, so the compiler checks every argument against it.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text from outside (a file, the instrument) to quote in a message: whole when it is short,
// otherwise its first `most` characters marked as cut: "BEEP num= 1... (70000 characters)".
std::string excerpt(std::string_view text, std::size_t most = 40);

// How escapedBytes writes a byte a terminal cannot show (one outside 0x20..0x7E).
enum class ByteEscapes {
  Hex,  // "\xHH", upper-case
  C,    // "\r", "\n" and "\t" as in C, the rest "\xHH"; '"' and '\\' escaped too
  Dot,  // "."
};

// The bytes as a log or a terminal shows them: the printable ones as they are, the rest escaped.
std::string escapedBytes(std::string_view bytes, ByteEscapes style);

}  // namespace halvern

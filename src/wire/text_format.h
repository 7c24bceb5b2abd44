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

}  // namespace halvern

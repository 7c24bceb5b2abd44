#pragma once

#include <string>

namespace halvern {

// printf formatting into a string, as long as the text needs. The format must be a literal, so
// the compiler checks every argument against it.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace halvern

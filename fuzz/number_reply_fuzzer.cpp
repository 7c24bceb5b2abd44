// The numeric reply parser: never fails, agrees with the C library's strtol clamped to int (the
// same blanks, sign and digits), and reads back every int written as the instrument writes it.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "link/command_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using halvern::CommandExchange;
  const std::string text(halvern::fuzz::bytesOf(data, size));

  // strtol stops at the first NUL, and so does the parser: NUL is no blank, sign or digit.
  const long reference = std::strtol(text.c_str(), nullptr, 10);
  const int expected = static_cast<int>(std::clamp<long>(reference, INT_MIN, INT_MAX));
  FUZZ_REQUIRE(CommandExchange::parseNumber(text) == expected);

  if (size > sizeof(int)) {
    int value;
    std::memcpy(&value, data, sizeof value);
    const std::string blanks(data[sizeof value] % 8, ' ');
    FUZZ_REQUIRE(CommandExchange::parseNumber(blanks + std::to_string(value) + "\r") == value);
  }
  return 0;
}

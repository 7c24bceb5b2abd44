// The calibration reference typed on the command line. Refused: nothing. Accepted: the mask's
// form exactly (four digits, the point, two digits), the same number as typed, and a text
// already in that form comes back as it is.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "service/calibration_reference.h"
#include "wire/c_numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  const std::string_view text = fuzz::bytesOf(data, size);
  const auto filled = referenceInMaskForm(text);
  if (isCompleteReference(text)) FUZZ_REQUIRE(filled && *filled == text);
  if (!filled) return 0;
  FUZZ_REQUIRE(isCompleteReference(*filled));
  const auto typed = wholeDecimal(text);
  const auto masked = wholeDecimal(*filled);
  FUZZ_REQUIRE(typed && masked && *typed == *masked);
  return 0;
}

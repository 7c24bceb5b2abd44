// The reply of a measuring test, as one read of up to 25 bytes gives it: no text when nothing
// came; otherwise the bytes less the last one, up to the first zero byte, never more.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "service/hardware_tests.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = halvern::fuzz::bytesOf(data, size);
  const auto text = halvern::testReplyText(bytes);
  if (bytes.empty()) {
    FUZZ_REQUIRE(!text.has_value());
    return 0;
  }
  FUZZ_REQUIRE(text.has_value());
  const std::string_view kept = bytes.substr(0, bytes.size() - 1);
  const std::string_view expected = kept.substr(0, kept.find('\0'));
  FUZZ_REQUIRE(*text == expected);
  return 0;
}

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware/srecord_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)halvern::checkSRecordFile(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

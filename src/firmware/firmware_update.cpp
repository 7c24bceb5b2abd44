#include "firmware/firmware_update.h"

namespace halvern {

int firmwareProgress(std::uint64_t position, std::uint64_t fileSize) {
  if (fileSize == 0) return 0;
  return static_cast<int>((position * 100 + fileSize / 2) / fileSize);
}

}  // namespace halvern

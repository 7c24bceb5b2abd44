// A backup's name: a folder of the backups folder may be called anything. Refused, nothing more.
// Accepted, the name is one this program would have made: written back, it is the same text, and
// read again the same name; its serial number letters and digits only, its copy from 1.
#include <cstdint>
#include <string>

#include "comparison/backups.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  const std::string_view text = fuzz::bytesOf(data, size);
  const auto name = parseBackupName(text);
  if (!name) return 0;
  const std::string written = formatBackupName(*name);
  FUZZ_REQUIRE(written == text);
  const auto again = parseBackupName(written);
  FUZZ_REQUIRE(again && *again == *name);
  FUZZ_REQUIRE(backupSerial(name->serial) == name->serial);
  FUZZ_REQUIRE(name->copy >= 1);
  FUZZ_REQUIRE(backupTime(*name).size() == 19);
  FUZZ_REQUIRE(!backupBefore(*name).empty());
  return 0;
}

// The settings file: any text parses; for what it read and for settings at the ends of the int
// range, a save's text reads back as the settings saved, and saving again over that text gives
// the same text.
#include <climits>
#include <cstdint>
#include <string>

#include "app/settings_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  const std::string text(fuzz::bytesOf(data, size));

  const WindowSettings read = SettingsFile::parse(text);
  for (const WindowSettings& saved :
       {read, WindowSettings{}, WindowSettings{INT_MIN, INT_MAX, true, 0},
        WindowSettings{-1, 0, false, INT_MIN}}) {
    const std::string written = SettingsFile::format(saved, text);
    FUZZ_REQUIRE(SettingsFile::parse(written) == saved);
    FUZZ_REQUIRE(SettingsFile::format(saved, written) == written);
  }
  return 0;
}

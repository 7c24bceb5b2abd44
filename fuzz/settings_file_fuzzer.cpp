// The settings file: any text parses; for what it read and for settings at the ends of the int
// range, a save's text reads back as the settings saved, and saving again over that text gives
// the same text.
#include <climits>
#include <cstdint>
#include <string>

#include "app/settings_file.h"
#include "fuzz_support.h"

namespace {

// The window's two keys and the records page's two, as they declare them: all in one section.
halvern::Settings windowSettings(int top, int left, int show, int count) {
  return {{"40100 Setup", "Top", top},
          {"40100 Setup", "Left", left},
          {"40100 Setup", "Show Records", show},
          {"40100 Setup", "Num of Records", count}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvern;
  const std::string text(fuzz::bytesOf(data, size));

  const Settings defaults = windowSettings(100, 100, 0, 100);
  const Settings read = SettingsFile::parse(text, defaults);
  for (const Settings& saved : {read, defaults, windowSettings(INT_MIN, INT_MAX, 1, 0),
                                windowSettings(-1, 0, 0, INT_MIN)}) {
    const std::string written = SettingsFile::format(saved, text);
    FUZZ_REQUIRE(SettingsFile::parse(written, defaults) == saved);
    FUZZ_REQUIRE(SettingsFile::format(saved, written) == written);
  }
  return 0;
}

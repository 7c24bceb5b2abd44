#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace halvern {

// One remembered setting: its section of the INI file, its key and its number.
struct SettingsValue {
  std::string section;
  std::string key;
  int value = 0;

  friend bool operator==(const SettingsValue&, const SettingsValue&) = default;
};

// The remembered settings, in the order they are written; each section's keys together under
// the section's header, the sections in the order they first appear:
//
//   [Section]
//   Key=100
//   Other Key=0
using Settings = std::vector<SettingsValue>;

// The settings file: the window and its modules keep their few numbers in an INI text file.
class SettingsFile {
 public:
  static constexpr const char* kFileName = "Halvern.ini";

  // $XDG_CONFIG_HOME/halvern/Halvern.ini, or ~/.config/halvern/Halvern.ini when it is unset.
  static std::string defaultPath();

  // `defaults` with the values the file holds; each value missing or not a number keeps its
  // default, and so does everything when the file is missing or unreadable. Sections and keys are
  // found regardless of case, as INI files are read; other sections and keys are ignored.
  static Settings read(const std::string& path, Settings defaults);
  static Settings parse(const std::string& text, Settings defaults);

  // The file's text for `settings`; other sections and unknown keys of `existing` are kept.
  static std::string format(const Settings& settings, const std::string& existing = {});
  // Writes the settings (creating the folder), through a temporary file renamed over the old one.
  // False when it could not be written; a failed write leaves the old file as it was.
  static bool write(const std::string& path, const Settings& settings);

  // The value of `key` in `section`, or `fallback` when `settings` has none.
  static int value(const Settings& settings, std::string_view section, std::string_view key,
                   int fallback);
  // Sets the value of `key` in `section`, adding it at the end when `settings` has none.
  static void set(Settings& settings, std::string_view section, std::string_view key, int value);
};

}  // namespace halvern

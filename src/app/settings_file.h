#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halvern {

// One remembered setting: its section of the INI file, its key and its number, or its text (a
// folder, say) when `isText`.
struct SettingsValue {
  SettingsValue() = default;
  SettingsValue(std::string section, std::string key, int value)
      : section(std::move(section)), key(std::move(key)), value(value) {}
  static SettingsValue ofText(std::string section, std::string key, std::string text) {
    SettingsValue v(std::move(section), std::move(key), 0);
    v.text = std::move(text);
    v.isText = true;
    return v;
  }

  std::string section;
  std::string key;
  int value = 0;
  std::string text;
  bool isText = false;

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
  // The same for a text value: written as it stands after the "=", read back trimmed.
  static void setText(Settings& settings, std::string_view section, std::string_view key,
                      std::string text);

  // Every key of `section` with its text as the file holds it (the first copy of the section),
  // in the file's order; nothing when the file or the section is missing.
  static std::vector<std::pair<std::string, std::string>> sectionTexts(const std::string& text,
                                                                       std::string_view section);
  static std::vector<std::pair<std::string, std::string>> readSection(const std::string& path,
                                                                      std::string_view section);
};

}  // namespace halvern

#pragma once

#include <string>

namespace halvern {

// The window's few remembered settings, in an INI text file:
//
//   [40100 Setup]
//   Top=100
//   Left=100
//   Show Records=0
//   Num of Records=100
struct WindowSettings {
  int top = 100;
  int left = 100;
  bool showRecords = false;
  int numOfRecords = 100;

  friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

class SettingsFile {
 public:
  static constexpr const char* kSection = "40100 Setup";
  static constexpr const char* kFileName = "Halvern.ini";

  // $XDG_CONFIG_HOME/halvern/Halvern.ini, or ~/.config/halvern/Halvern.ini when it is unset.
  static std::string defaultPath();

  // The settings in the file; each value missing or not a number keeps its default, and so does
  // everything when the file is missing or unreadable. Sections and keys are found regardless of
  // case, as INI files are read; other sections and keys are ignored.
  static WindowSettings read(const std::string& path);
  static WindowSettings parse(const std::string& text);

  // The file's text for `settings`; other sections and unknown keys of `existing` are kept.
  static std::string format(const WindowSettings& settings, const std::string& existing = {});
  // Writes the settings (creating the folder), through a temporary file renamed over the old one.
  // False when it could not be written; a failed write leaves the old file as it was.
  static bool write(const std::string& path, const WindowSettings& settings);
};

}  // namespace halvern

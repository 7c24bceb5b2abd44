#include "app/settings_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <vector>

#include "files/file_load.h"
#include "files/file_save.h"

namespace halvern {

namespace {

// Far larger than a settings file grows; a larger file is not one of ours.
constexpr std::size_t kLargestFile = 1u << 20;
constexpr const char* kTop = "Top";
constexpr const char* kLeft = "Left";
constexpr const char* kShowRecords = "Show Records";
constexpr const char* kNumOfRecords = "Num of Records";

std::string trimmed(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool sameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// An INI integer: optional sign and leading digits; anything else keeps the default.
bool parseInt(const std::string& text, int& out) {
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s, &end, 10);
  if (end == s || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    // Every CR before the LF: a line that kept one would be written back one CR shorter each time.
    while (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  return out;
}

bool isSection(const std::string& line, std::string* name) {
  std::string t = trimmed(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  if (name) *name = trimmed(t.substr(1, t.size() - 2));
  return true;
}

}  // namespace

std::string SettingsFile::defaultPath() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".config";
  } else {
    base = ".";
  }
  return (base / "halvern" / kFileName).string();
}

WindowSettings SettingsFile::parse(const std::string& text) {
  WindowSettings s;
  bool inSection = false;
  bool seen = false;
  for (const auto& line : lines(text)) {
    std::string name;
    if (isSection(line, &name)) {
      // Our section counts once: where it first stands, which is where a save writes it.
      inSection = sameText(name, kSection) && !seen;
      seen = seen || inSection;
      continue;
    }
    if (!inSection) continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = trimmed(line.substr(0, eq));
    std::string value = trimmed(line.substr(eq + 1));
    int v;
    if (!parseInt(value, v)) continue;
    if (sameText(key, kTop))
      s.top = v;
    else if (sameText(key, kLeft))
      s.left = v;
    else if (sameText(key, kShowRecords))
      s.showRecords = v != 0;
    else if (sameText(key, kNumOfRecords))
      s.numOfRecords = v;
  }
  return s;
}

WindowSettings SettingsFile::read(const std::string& path) {
  const LoadedFile file = loadFileBytes(path, kLargestFile, "settings file");
  // A file that cannot be read, or is not one of ours, gives the defaults.
  if (!file.problem.empty() || file.longer) return WindowSettings{};
  return parse(file.bytes);
}

std::string SettingsFile::format(const WindowSettings& settings, const std::string& existing) {
  std::ostringstream section;
  // Whatever global C++ locale a library may set: no digit grouping in the numbers.
  section.imbue(std::locale::classic());
  section << '[' << kSection << "]\n"
          << kTop << '=' << settings.top << '\n'
          << kLeft << '=' << settings.left << '\n'
          << kShowRecords << '=' << (settings.showRecords ? 1 : 0) << '\n'
          << kNumOfRecords << '=' << settings.numOfRecords << '\n';

  auto ourKey = [](const std::string& key) {
    return sameText(key, kTop) || sameText(key, kLeft) || sameText(key, kShowRecords) ||
           sameText(key, kNumOfRecords);
  };
  // Our section's other keys, from every copy of it the file holds.
  std::vector<std::string> extraKeys;
  {
    bool inSection = false;
    for (const auto& line : lines(existing)) {
      std::string name;
      if (isSection(line, &name)) {
        inSection = sameText(name, kSection);
        continue;
      }
      const auto eq = line.find('=');
      const std::string key = eq == std::string::npos ? std::string() : trimmed(line.substr(0, eq));
      if (inSection && !key.empty() && !ourKey(key)) extraKeys.push_back(line);
    }
  }

  // Keep whatever else the file holds: other sections whole, our section once, where it first
  // stood, with its other keys; a second copy of it would be read in place of the first.
  std::ostringstream out;
  bool written = false;
  bool inSection = false;
  auto flushOurs = [&] {
    out << section.str();
    for (const auto& k : extraKeys) out << k << '\n';
    written = true;
  };
  for (const auto& line : lines(existing)) {
    std::string name;
    if (isSection(line, &name)) {
      inSection = sameText(name, kSection);
      if (inSection && !written) flushOurs();
      if (!inSection) out << line << '\n';
      continue;
    }
    if (!inSection) out << line << '\n';
  }
  if (!written) flushOurs();
  return out.str();
}

bool SettingsFile::write(const std::string& path, const WindowSettings& settings) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);

  // What else the file holds is kept; a file too large to be a settings file is not.
  LoadedFile file = loadFileBytes(path, kLargestFile, "settings file");
  const std::string existing = file.longer ? std::string() : std::move(file.bytes);
  const std::string text = format(settings, existing);

  return saveFileBytes(path, text, "settings file").empty();
}

}  // namespace halvern

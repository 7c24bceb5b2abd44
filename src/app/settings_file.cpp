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

std::string trimmed(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool sameText(std::string_view a, std::string_view b) {
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

// The sections `settings` writes, in the order they first appear.
std::vector<std::string> sectionsOf(const Settings& settings) {
  std::vector<std::string> out;
  for (const SettingsValue& v : settings) {
    bool known = false;
    for (const auto& s : out) known = known || sameText(s, v.section);
    if (!known) out.push_back(v.section);
  }
  return out;
}

// The index in `sections` of `name`, or -1 when it is none of them.
int sectionIndex(const std::vector<std::string>& sections, const std::string& name) {
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (sameText(sections[i], name)) return static_cast<int>(i);
  return -1;
}

// The value of `key` in `section`; null when `settings` has none.
template <class List>
auto* findValue(List& settings, std::string_view section, std::string_view key) {
  decltype(&settings.front()) found = nullptr;
  for (auto& v : settings)
    if (!found && sameText(v.section, section) && sameText(v.key, key)) found = &v;
  return found;
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

Settings SettingsFile::parse(const std::string& text, Settings settings) {
  const std::vector<std::string> sections = sectionsOf(settings);
  std::vector<bool> seen(sections.size(), false);
  int current = -1;
  for (const auto& line : lines(text)) {
    std::string name;
    if (isSection(line, &name)) {
      // Each of our sections counts once: where it first stands, which is where a save writes it.
      current = sectionIndex(sections, name);
      if (current >= 0 && seen[static_cast<std::size_t>(current)]) current = -1;
      if (current >= 0) seen[static_cast<std::size_t>(current)] = true;
      continue;
    }
    if (current < 0) continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = trimmed(line.substr(0, eq));
    auto* setting = findValue(settings, sections[static_cast<std::size_t>(current)], key);
    if (setting == nullptr) continue;
    const std::string text = trimmed(line.substr(eq + 1));
    int v;
    if (setting->isText)
      setting->text = text;
    else if (parseInt(text, v))
      setting->value = v;
  }
  return settings;
}

std::vector<std::pair<std::string, std::string>> SettingsFile::sectionTexts(
    const std::string& text, std::string_view section) {
  std::vector<std::pair<std::string, std::string>> out;
  bool inside = false;
  bool seen = false;
  for (const auto& line : lines(text)) {
    std::string name;
    if (isSection(line, &name)) {
      // The first copy of the section only, as the numbers are read.
      inside = !seen && sameText(name, section);
      seen = seen || inside;
      continue;
    }
    const auto eq = line.find('=');
    if (!inside || eq == std::string::npos) continue;
    std::string key = trimmed(line.substr(0, eq));
    if (key.empty()) continue;
    bool known = false;
    for (const auto& [k, v] : out) known = known || sameText(k, key);
    if (!known) out.emplace_back(std::move(key), trimmed(line.substr(eq + 1)));
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> SettingsFile::readSection(
    const std::string& path, std::string_view section) {
  const LoadedFile file = loadFileBytes(path, kLargestFile, "settings file");
  if (!file.problem.empty() || file.longer) return {};
  return sectionTexts(file.bytes, section);
}

Settings SettingsFile::read(const std::string& path, Settings defaults) {
  const LoadedFile file = loadFileBytes(path, kLargestFile, "settings file");
  // A file that cannot be read, or is not one of ours, gives the defaults.
  if (!file.problem.empty() || file.longer) return defaults;
  return parse(file.bytes, std::move(defaults));
}

std::string SettingsFile::format(const Settings& settings, const std::string& existing) {
  const std::vector<std::string> sections = sectionsOf(settings);
  // Each of our sections' other keys, from every copy of it the file holds.
  std::vector<std::vector<std::string>> extraKeys(sections.size());
  {
    int current = -1;
    for (const auto& line : lines(existing)) {
      std::string name;
      if (isSection(line, &name)) {
        current = sectionIndex(sections, name);
        continue;
      }
      const auto eq = line.find('=');
      const std::string key = eq == std::string::npos ? std::string() : trimmed(line.substr(0, eq));
      if (current >= 0 && !key.empty() &&
          !findValue(settings, sections[static_cast<std::size_t>(current)], key))
        extraKeys[static_cast<std::size_t>(current)].push_back(line);
    }
  }

  // Keep whatever else the file holds: other sections whole, each of ours once, where it first
  // stood, with its other keys; a second copy of it would be read in place of the first.
  std::ostringstream out;
  // Whatever global C++ locale a library may set: no digit grouping in the numbers.
  out.imbue(std::locale::classic());
  std::vector<bool> written(sections.size(), false);
  auto flush = [&](std::size_t index) {
    out << '[' << sections[index] << "]\n";
    for (const SettingsValue& v : settings)
      if (sameText(v.section, sections[index])) {
        out << v.key << '=';
        if (v.isText)
          out << v.text;
        else
          out << v.value;
        out << '\n';
      }
    for (const auto& k : extraKeys[index]) out << k << '\n';
    written[index] = true;
  };
  int current = -1;
  for (const auto& line : lines(existing)) {
    std::string name;
    if (isSection(line, &name)) {
      current = sectionIndex(sections, name);
      if (current < 0)
        out << line << '\n';
      else if (!written[static_cast<std::size_t>(current)])
        flush(static_cast<std::size_t>(current));
      continue;
    }
    if (current < 0) out << line << '\n';
  }
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (!written[i]) flush(i);
  return out.str();
}

int SettingsFile::value(const Settings& settings, std::string_view section, std::string_view key,
                        int fallback) {
  const SettingsValue* found = findValue(settings, section, key);
  return found != nullptr ? found->value : fallback;
}

void SettingsFile::set(Settings& settings, std::string_view section, std::string_view key,
                       int value) {
  if (SettingsValue* found = findValue(settings, section, key))
    found->value = value;
  else
    settings.push_back({std::string(section), std::string(key), value});
}

void SettingsFile::setText(Settings& settings, std::string_view section, std::string_view key,
                           std::string text) {
  // A line break would end the value and start a line of its own.
  std::erase_if(text, [](char c) { return c == '\n' || c == '\r'; });
  if (SettingsValue* found = findValue(settings, section, key)) {
    found->text = std::move(text);
    found->isText = true;
  } else {
    settings.push_back(
        SettingsValue::ofText(std::string(section), std::string(key), std::move(text)));
  }
}

bool SettingsFile::write(const std::string& path, const Settings& settings) {
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

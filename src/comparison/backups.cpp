#include "comparison/backups.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "collection/group_file.h"
#include "files/file_save.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "wire/text_format.h"

namespace halvern {

namespace fs = std::filesystem;

namespace {

bool isWhat(std::string_view what) {
  return what == "setup" || what == "screens" || what == "program" || what == "all";
}

bool digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view text) {
  int n = 0;
  for (const char c : text) n = n * 10 + (c - '0');
  return n;
}

// Splits at '_'.
std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('_', start);
    out.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

struct Found {
  BackupName name;
  fs::path path;
  fs::file_time_type written;
};

// Oldest first: by the time in the name, then (within one second) by when the folder was
// written, then by the copy.
bool older(const Found& a, const Found& b) {
  const auto key = [](const Found& f) {
    const DateTime& w = f.name.when;
    return std::tuple(w.year, w.month, w.day, w.hour, w.minute, w.second, f.written, f.name.copy);
  };
  return key(a) < key(b);
}

// The backups' folders of `folder` with their names, oldest first.
std::vector<Found> backupFolders(const std::string& folder) {
  std::vector<Found> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code ignored;
    if (!it->is_directory(ignored)) continue;
    if (auto parsed = parseBackupName(it->path().filename().string()))
      found.push_back({std::move(*parsed), it->path(), fs::last_write_time(it->path(), ignored)});
  }
  std::sort(found.begin(), found.end(), older);
  return found;
}

Backup describe(const BackupName& parsed, const fs::path& path) {
  Backup backup;
  backup.name = path.filename().string();
  backup.groupPath = (path / (backup.name + ".ssp")).string();
  backup.parsed = parsed;
  BackupContents contents;
  backup.problem = openBackup(backup, contents);
  return backup;
}

}  // namespace

BackupContents::BackupContents()
    : setup(std::make_unique<SetupModel>()),
      screens(std::make_unique<ScreenBuffer>()),
      program(std::make_unique<ProgramDocument>()) {}
BackupContents::~BackupContents() = default;

std::string formatBackupName(const BackupName& name) {
  const DateTime& w = name.when;
  std::string text =
      formatText("%04d-%02d-%02d_%02d%02d%02d", w.year, w.month, w.day, w.hour, w.minute, w.second);
  const std::string serial = backupSerial(name.serial);
  if (!serial.empty()) text += "_" + serial;
  text += "_" + name.what;
  if (name.copy > 1) text += formatText("_%d", name.copy);
  return text;
}

std::optional<BackupName> parseBackupName(std::string_view text) {
  const std::vector<std::string_view> parts = words(text);
  if (parts.size() < 3 || parts.size() > 5) return std::nullopt;
  const std::string_view date = parts[0];
  const std::string_view time = parts[1];
  if (date.size() != 10 || date[4] != '-' || date[7] != '-' || !digits(date.substr(0, 4)) ||
      !digits(date.substr(5, 2)) || !digits(date.substr(8, 2)) || time.size() != 6 || !digits(time))
    return std::nullopt;
  BackupName name;
  name.when = {number(date.substr(0, 4)), number(date.substr(5, 2)), number(date.substr(8, 2)),
               number(time.substr(0, 2)), number(time.substr(2, 2)), number(time.substr(4, 2))};
  const DateTime& w = name.when;
  if (w.month < 1 || w.month > 12 || w.day < 1 || w.day > 31 || w.hour > 23 || w.minute > 59 ||
      w.second > 60)
    return std::nullopt;
  std::size_t at = 2;
  if (!isWhat(parts[at])) {
    const std::string_view serial = parts[at];
    if (serial.empty() || backupSerial(serial) != serial) return std::nullopt;
    name.serial = std::string(serial);
    ++at;
  }
  if (at >= parts.size() || !isWhat(parts[at])) return std::nullopt;
  name.what = std::string(parts[at++]);
  if (at < parts.size()) {
    const std::string_view copy = parts[at++];
    if (!digits(copy) || copy.size() > 4 || copy[0] == '0' || number(copy) < 2) return std::nullopt;
    name.copy = number(copy);
  }
  if (at != parts.size()) return std::nullopt;
  return name;
}

std::string backupTime(const BackupName& name) {
  const DateTime& w = name.when;
  return formatText("%04d-%02d-%02d %02d:%02d:%02d", w.year, w.month, w.day, w.hour, w.minute,
                    w.second);
}

std::string backupBefore(const BackupName& name) {
  if (name.what == "setup") return "Send Setup";
  if (name.what == "screens") return "Send Screens";
  if (name.what == "program") return "Send User Program";
  return "Send Setup/Screens/Program";
}

std::string restoreQuestion(const Backup& backup) {
  return "Restore the backup " + backup.name + "\n(made " + backupTime(backup.parsed) + " before " +
         backupBefore(backup.parsed) +
         ")?\nThis overwrites the setup, screens and "
         "program in the 40100.";
}

std::string defaultBackupFolder() {
  fs::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute()) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home && *home ? home : ".") / ".local" / "share";
  }
  return (base / "halvern" / "backups").string();
}

std::string backupSerial(std::string_view serial) {
  std::string kept;
  for (const char c : serial)
    if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80)
      kept += c;
  return kept.substr(0, 32);
}

std::vector<Backup> listBackups(const std::string& folder) {
  std::vector<Backup> backups;
  const auto found = backupFolders(folder);
  for (auto it = found.rbegin(); it != found.rend(); ++it)
    backups.push_back(describe(it->name, it->path));
  return backups;
}

std::optional<Backup> findBackup(const std::string& folder, std::string_view name) {
  const auto parsed = parseBackupName(name);
  if (!parsed) return std::nullopt;
  const fs::path path = fs::path(folder) / std::string(name);
  std::error_code error;
  if (!fs::is_directory(path, error)) return std::nullopt;
  return describe(*parsed, path);
}

std::string openBackup(const Backup& backup, BackupContents& contents) {
  return openGroupToSend(backup.groupPath, {*contents.setup, *contents.screens, *contents.program,
                                            contents.groupName});
}

std::string backupFolderProblem(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder, error)) {
    return "The backups folder " + folder + " cannot be made.\n" +
           (error ? error.message() : "It is not a folder.");
  }
  if (std::string why = canWriteBeside((fs::path(folder) / ".probe").string()); !why.empty())
    return "The backups folder " + folder + " cannot be written.\n" + why;
  return {};
}

WrittenBackup writeBackup(const std::string& folder, BackupName name,
                          const BackupContents& contents) {
  if (std::string problem = backupFolderProblem(folder); !problem.empty()) return {{}, problem};
  std::error_code error;
  while (fs::exists(fs::path(folder) / formatBackupName(name), error)) ++name.copy;
  const std::string finalName = formatBackupName(name);
  // Hidden, and this process's own: another writer of the same name never shares it.
  const fs::path hidden =
      fs::path(folder) / ("." + finalName + "." + std::to_string(::getpid()) + ".saving");
  if (!fs::create_directory(hidden, error) || error) {
    return {{},
            "The backup cannot be saved in " + folder + ".\n" +
                (error ? error.message() : hidden.string() + " is in the way.")};
  }
  std::string groupName = finalName;
  // The screens' pictures are left out: they are drawn from the screen file, which is kept.
  const std::string problem =
      writeGroup((hidden / (finalName + ".ssp")).string(),
                 {*contents.setup, *contents.screens, *contents.program, groupName}, false);
  const fs::path target = fs::path(folder) / finalName;
  if (problem.empty()) fs::rename(hidden, target, error);
  if (!problem.empty() || error) {
    std::error_code ignored;
    fs::remove_all(hidden, ignored);
    return {{},
            "The backup cannot be saved in " + folder + ".\n" +
                (problem.empty() ? error.message() : problem)};
  }
  syncFolderOf(target);
  return {(target / (finalName + ".ssp")).string(), {}};
}

int pruneBackups(const std::string& folder, int keep, const std::vector<std::string>& spare) {
  const auto found = backupFolders(folder);
  int removed = 0;
  const std::size_t kept = static_cast<std::size_t>(std::max(keep, 0));
  for (std::size_t i = 0; i + kept < found.size(); ++i) {
    const fs::path& path = found[i].path;
    const std::string name = path.filename().string();
    if (std::find(spare.begin(), spare.end(), name) != spare.end()) continue;
    std::error_code error;
    // Only a folder that holds a backup's group file, and only the files a backup has: what
    // else is there stays, and so does the folder then.
    if (!fs::is_regular_file(path / (name + ".ssp"), error)) continue;
    for (const char* extension : {".set", ".scr", ".pgm", ".txt", ".nts", ".ssp"}) {
      fs::remove(path / (name + extension), error);
      fs::remove(path / (name + extension + ".saving"), error);
    }
    for (int screen = 1; screen <= 8; ++screen)
      fs::remove(path / (name + " Screen " + std::to_string(screen) + ".bmp"), error);
    if (fs::remove(path, error) && !error) ++removed;
  }
  return removed;
}

}  // namespace halvern

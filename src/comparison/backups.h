#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.h"

namespace halvern {

class ProgramDocument;
class ScreenBuffer;
class SetupModel;

// A backup is what the instrument held just before a send: its setup, screens and program kept as
// a group file with its members, in a folder of its own under the backups folder. The folder and
// the group share one name, which says when, from which bridge and before what it was made:
//
//   2026-12-08_140512_A1B2C3D4_setup      (before a Send Setup through bridge A1B2C3D4)
//   2026-12-08_140530_all_2               (the second in that second, no serial number known)
//
// `what` is "setup", "screens", "program" or "all".
struct BackupName {
  DateTime when;
  std::string serial;  // letters and digits only; empty when the bridge did not tell one
  std::string what;
  int copy = 1;  // 2, 3, ... for another backup of the same name

  friend bool operator==(const BackupName&, const BackupName&) = default;
};

// The backups the window keeps.
inline constexpr int kBackupsKept = 50;

std::string formatBackupName(const BackupName& name);
// Nothing for a name not made by formatBackupName.
std::optional<BackupName> parseBackupName(std::string_view text);

// When the backup was made, "2026-12-08 14:05:12".
std::string backupTime(const BackupName& name);
// The send it was made before: "Send Setup", "Send Screens", "Send User Program" or
// "Send Setup/Screens/Program".
std::string backupBefore(const BackupName& name);

// $XDG_DATA_HOME/halvern/backups, or ~/.local/share/halvern/backups when it is unset.
std::string defaultBackupFolder();

// The serial number as a backup's name keeps it: letters and digits, the rest dropped.
std::string backupSerial(std::string_view serial);

// One backup found in a backups folder.
struct Backup {
  std::string name;       // the folder's name
  std::string groupPath;  // FOLDER/NAME/NAME.ssp
  BackupName parsed;
  // Why it cannot be restored (a member missing or unreadable); empty when it can.
  std::string problem;

  bool damaged() const { return !problem.empty(); }
};

// The backups of `folder`, newest first; each is opened whole to tell a damaged one. Entries not
// named as backups (and half-written ones, whose names start with a dot) are not backups. Empty
// when the folder does not exist.
std::vector<Backup> listBackups(const std::string& folder);

// The backup of that name in `folder`; nothing when there is none.
std::optional<Backup> findBackup(const std::string& folder, std::string_view name);

// What a backup holds.
struct BackupContents {
  BackupContents();
  ~BackupContents();
  std::unique_ptr<SetupModel> setup;
  std::unique_ptr<ScreenBuffer> screens;
  std::unique_ptr<ProgramDocument> program;
  std::string groupName;
};

// Reads a backup whole; empty when every part read, else why not.
std::string openBackup(const Backup& backup, BackupContents& contents);

// The confirmation asked before a restore, naming the backup.
std::string restoreQuestion(const Backup& backup);

// Writes `contents` as a new backup in `folder` (made when missing): the group without the
// screens' pictures is written whole into a hidden folder of this process beside, then that
// folder is renamed to the backup's name, so a backup is listed whole or not at all. `name.copy` is
// raised past the backups of the same name already there. Returns the group file's path, or the
// problem in `problem`.
struct WrittenBackup {
  std::string groupPath;
  std::string problem;
};
WrittenBackup writeBackup(const std::string& folder, BackupName name,
                          const BackupContents& contents);

// Whether backups can be written into `folder` (made when missing): empty when they can, else
// why not. Asked before the instrument is read, so a folder that cannot take them costs no wait.
std::string backupFolderProblem(const std::string& folder);

// Removes the oldest backups of `folder` beyond the newest `keep`, except those named in `spare`
// (the one just made, one being restored). Only a backup's own files go, and its folder when
// nothing else is in it; a folder named as a backup without its group file is not touched.
// Returns how many were removed.
int pruneBackups(const std::string& folder, int keep, const std::vector<std::string>& spare = {});

}  // namespace halvern

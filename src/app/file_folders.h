#pragma once

#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_file.h"

namespace halvern {

// Where each kind of file dialog starts: in the folder of the last file of its kind that was
// chosen, for the session and, through our own section of the settings file, across sessions.
// The first time, and when that folder is gone, in the user's documents folder; never in the
// folder the program was started from.
class FileFolders {
 public:
  // Our section of the settings file; each kind's key is "Folder " and the kind.
  static constexpr const char* kSection = "Halvern";

  // `firstFolder`: where a kind starts that has none yet (the documents folder).
  explicit FileFolders(QString firstFolder);

  // The folders the settings file remembers (its section's keys and texts).
  void load(const std::vector<std::pair<std::string, std::string>>& entries);
  // Each kind's folder into `settings`, to be written with them.
  void save(Settings& settings) const;

  // The folder a dialog for files of `kind` starts in: an existing folder, always absolute.
  QString startFolder(const std::string& kind) const;
  // `path` was chosen for `kind`: its folder becomes the start of `kind` and of each of
  // `alsoFor` (the members a group file names lie beside it).
  void remember(const std::string& kind, const QString& path,
                const std::vector<std::string>& alsoFor = {});

 private:
  QString m_first;
  std::map<std::string, QString> m_folders;  // by kind, in lower case
};

}  // namespace halvern

#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace halvern {

// Writes `bytes` to `path` through a file beside it ("PATH.saving"), flushed to the disk and then
// renamed over the target, so the target is always either the old file or the whole new one: a
// failed save never destroys what was there. Returns an empty text on success, otherwise the
// warning to show: "Cannot save the WHAT PATH.\nREASON".
std::string saveFileBytes(const std::string& path, std::string_view bytes, std::string_view what);

// Makes a rename into the folder of `path` lasting (the folder synced to the disk); a folder
// that cannot be synced changes nothing.
void syncFolderOf(const std::filesystem::path& path);

// Whether a save to `path` could start: the file beside it can be made (it is made and removed
// again) and `path` is not a folder. Empty when it can, else why not.
std::string canWriteBeside(const std::string& path);

}  // namespace halvern

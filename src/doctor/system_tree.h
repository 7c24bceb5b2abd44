#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halvern::doctor {

// The files of a Linux system read under a root folder: "/" for the running system, a folder of
// fake /sys, /proc, /dev, /etc and /run files in tests. Paths are written as the system sees them
// ("/sys/class/tty/ttyUSB0") and looked up under the root; symbolic links are followed inside the
// root, so an absolute link target "/sys/devices/..." means root/sys/devices/.... Nothing here
// throws, follows a link out of the root or reads more than it is told.
class SystemTree {
 public:
  // The size limit of one sysfs or /proc attribute.
  static constexpr std::size_t kAttributeLimit = 4096;
  // Links followed in one lookup before it gives up (the kernel's own limit).
  static constexpr int kMaxLinkHops = 40;
  // Names listed from one folder at most.
  static constexpr std::size_t kMaxEntries = 65536;

  explicit SystemTree(std::filesystem::path root) : m_root(std::move(root)) {}

  const std::filesystem::path& root() const { return m_root; }

  // Where `path` lies on the disk, without following any link.
  std::filesystem::path host(const std::string& path) const;
  // `path` with every link on the way followed inside the root, in the system's terms
  // ("/sys/devices/pci0000:00/.../ttyUSB0"); empty after too many links.
  std::string resolve(const std::string& path) const;

  // The status of what `path` names, links followed; nothing when it does not exist.
  std::optional<struct stat> status(const std::string& path) const;
  bool exists(const std::string& path) const { return status(path).has_value(); }
  bool isDirectory(const std::string& path) const;
  // The target of the link `path` itself, as written in the link; nothing when it is no link
  // (or cannot be read).
  std::optional<std::string> linkTarget(const std::string& path) const;

  // At most `limit` bytes of the regular file `path`; nothing when it cannot be opened or is no
  // regular file (a pipe or a device is never read).
  std::optional<std::string> read(const std::string& path,
                                  std::size_t limit = kAttributeLimit) const;
  // The file's first line, blanks at both ends removed; empty when it cannot be read.
  std::string attribute(const std::string& path) const;

  // The names in the folder `path`, sorted, at most kMaxEntries. `denied` is set when the folder
  // exists but may not be read.
  std::vector<std::string> list(const std::string& path, bool* denied = nullptr) const;

  // Calls `line` for each line of the file `path` (without its line break; a line longer than
  // `lineLimit` is cut there), reading it in pieces up to `limit` bytes. False when the file
  // cannot be read.
  template <typename LineFunction>
  bool forEachLine(const std::string& path, std::size_t limit, std::size_t lineLimit,
                   LineFunction line) const;

 private:
  // Opens the regular file `path` for reading: the descriptor, or -1.
  int openRegular(const std::string& path) const;
  // Reads up to `size` bytes into `buffer`; 0 at the end or on an error.
  static std::size_t readSome(int fd, char* buffer, std::size_t size);
  static void closeFile(int fd);

  std::filesystem::path m_root;
};

// "/a/b/c" -> "/a/b"; "/" stays "/".
std::string parentPath(const std::string& path);
// "/a/b/c" -> "c".
std::string baseName(const std::string& path);
// `path` + "/" + `name`.
std::string joinPath(const std::string& path, const std::string& name);
// `text` without blanks (spaces, tabs, line breaks, NUL) at both ends.
std::string trimmed(const std::string& text);

template <typename LineFunction>
bool SystemTree::forEachLine(const std::string& path, std::size_t limit, std::size_t lineLimit,
                             LineFunction line) const {
  const int fd = openRegular(path);
  if (fd < 0) return false;
  std::string current;
  char buffer[65536];
  std::size_t total = 0;
  while (total < limit) {
    const std::size_t got = readSome(fd, buffer, std::min(sizeof buffer, limit - total));
    if (got == 0) break;
    total += got;
    for (std::size_t n = 0; n < got; ++n) {
      if (buffer[n] == '\n') {
        line(current);
        current.clear();
      } else if (current.size() < lineLimit) {
        current += buffer[n];
      }
    }
  }
  if (!current.empty()) line(current);
  closeFile(fd);
  return true;
}

}  // namespace halvern::doctor

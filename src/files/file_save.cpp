#include "files/file_save.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace halvern {

namespace {

// Writes the whole of `bytes` to a new file and flushes it to the disk. 0, or the errno.
int writeDurably(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      ::close(fd);
      return error;
    }
    done += static_cast<std::size_t>(n);
  }
  // On the disk before the rename, so a crash leaves the old file or the whole new one.
  if (::fsync(fd) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  return ::close(fd) == 0 ? 0 : errno;
}

}  // namespace

std::string canWriteBeside(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return "It is a folder.";
  const std::string temp = path + ".saving";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(temp.c_str());
  return {};
}

void syncFolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string saveFileBytes(const std::string& path, std::string_view bytes, std::string_view what) {
  namespace fs = std::filesystem;
  const std::string temp = path + ".saving";
  auto failure = [&](const std::string& reason) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return "Cannot save the " + std::string(what) + " " + path + ".\n" + reason;
  };
  if (const int error = writeDurably(temp, bytes); error != 0) return failure(std::strerror(error));
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) return failure(ec.message());
  syncFolderOf(fs::path(path));
  return {};
}

}  // namespace halvern

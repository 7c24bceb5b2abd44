#include "files/file_load.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace halvern {

namespace {
std::string systemReason(int error) {
  return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}
}  // namespace

LoadedFile loadFileBytes(const std::string& path, std::size_t limit, std::string_view what) {
  LoadedFile file;
  const std::string named = std::string(what) + " " + path + ".\n";
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    file.problem = "Cannot open the " + named + "It is a folder.";
    return file;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    file.problem = "Cannot open the " + named + systemReason(errno);
    return file;
  }
  // One byte past the limit tells whether there is more.
  file.bytes.resize(limit + 1);
  in.read(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
  if (in.bad()) {
    file.problem = "Cannot read the " + named + systemReason(errno);
    file.bytes.clear();
    return file;
  }
  file.bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (file.bytes.size() > limit) {
    file.bytes.resize(limit);
    file.longer = true;
  }
  return file;
}

}  // namespace halvern

#include "files/file_save.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace halvern {

std::string saveFileBytes(const std::string& path, std::string_view bytes, std::string_view what) {
  namespace fs = std::filesystem;
  auto failure = [&](const std::string& reason) {
    std::error_code ignored;
    fs::remove(path + ".saving", ignored);
    return "Cannot save the " + std::string(what) + " " + path + ".\n" + reason;
  };
  const std::string temp = path + ".saving";
  errno = 0;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
    }
    if (!out) return failure(errno != 0 ? std::strerror(errno) : "unknown error");
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) return failure(ec.message());
  return {};
}

}  // namespace halvern

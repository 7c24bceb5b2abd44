#include "screens/screen_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "files/file_save.h"
#include "screens/screen_buffer.h"

namespace halvern {

namespace {

std::string systemReason() {
  const int error = errno;
  return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

}  // namespace

std::string loadScreenStream(std::istream& in, ScreenBuffer& buffer, std::string_view name) {
  ScreenBuffer::Bytes bytes{};
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    return "Cannot read the screen file " + std::string(name) + ".\n" + systemReason();
  }
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got < bytes.size()) {
    const std::string shown = name.empty() ? "The file" : "The file " + std::string(name);
    return shown + " is not a screen file.\nIt holds " + std::to_string(got) +
           " bytes; a screen file holds 1920 bytes.\nNothing was changed.";
  }
  buffer.replace(bytes);
  return {};
}

std::string loadScreenFile(const std::string& path, ScreenBuffer& buffer) {
  errno = 0;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    return "Cannot open the screen file " + path + ".\nIt is a folder.";
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return "Cannot open the screen file " + path + ".\n" + systemReason();
  return loadScreenStream(in, buffer, path);
}

std::string saveScreenFile(const std::string& path, const ScreenBuffer& buffer) {
  const auto& bytes = buffer.bytes();
  return saveFileBytes(path,
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                       "screen file");
}

}  // namespace halvern

#include "screens/screen_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "files/file_load.h"
#include "files/file_save.h"
#include "screens/screen_buffer.h"

namespace halvern {

namespace {

std::string systemReason() {
  const int error = errno;
  return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

}  // namespace

namespace {

// The first 1920 bytes of a file (`got` of them) as the eight screens.
std::string readScreenBytes(const ScreenBuffer::Bytes& bytes, std::size_t got, ScreenBuffer& buffer,
                            std::string_view name) {
  if (got < bytes.size()) {
    const std::string shown = name.empty() ? "The file" : "The file " + std::string(name);
    return shown + " is not a screen file.\nIt holds " + std::to_string(got) +
           " bytes; a screen file holds 1920 bytes.\nNothing was changed.";
  }
  buffer.replace(bytes);
  return {};
}

}  // namespace

std::string loadScreenStream(std::istream& in, ScreenBuffer& buffer, std::string_view name) {
  ScreenBuffer::Bytes bytes{};
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) {
    return "Cannot read the screen file " + std::string(name) + ".\n" + systemReason();
  }
  return readScreenBytes(bytes, static_cast<std::size_t>(in.gcount()), buffer, name);
}

std::string loadScreenFile(const std::string& path, ScreenBuffer& buffer) {
  // Whatever follows the eight screens is never needed.
  const LoadedFile file = loadFileBytes(path, ScreenBuffer::kSize, "screen file");
  if (!file.problem.empty()) return file.problem;
  ScreenBuffer::Bytes bytes{};
  std::copy(file.bytes.begin(), file.bytes.end(), bytes.begin());
  return readScreenBytes(bytes, file.bytes.size(), buffer, path);
}

std::string saveScreenFile(const std::string& path, const ScreenBuffer& buffer) {
  const auto& bytes = buffer.bytes();
  return saveFileBytes(path,
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                       "screen file");
}

}  // namespace halvern

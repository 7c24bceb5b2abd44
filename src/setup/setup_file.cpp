#include "setup/setup_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "files/file_load.h"
#include "files/file_save.h"
#include "wire/byte_order.h"

namespace halvern {

namespace {

using namespace setup_file;

constexpr std::size_t kCom1BaudOffset = kOlderSize;
constexpr std::size_t kCom1TypeOffset = kOlderSize + 4;
static_assert(kFormatsOffset + SetupModel::kFieldCount * kEntrySize == kOlderSize);
static_assert(kCom1TypeOffset + 4 == kSize);

void putInt(std::string& out, std::int32_t value) {
  std::uint8_t b[4];
  byte_order::putLittle32(b, static_cast<std::uint32_t>(value));
  out.append(reinterpret_cast<const char*>(b), sizeof b);
}

std::int32_t intAt(std::string_view bytes, std::size_t offset) {
  return static_cast<std::int32_t>(
      byte_order::little32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset));
}

std::string shownName(std::string_view name) {
  return name.empty() ? std::string("The file") : "The file " + std::string(name);
}

}  // namespace

std::string writeSetupBytes(const SetupModel& setup) {
  std::string out;
  out.reserve(kSize);
  putInt(out, setup.com2BaudIndex());
  putInt(out, setup.stopOnError() ? 1 : 0);
  putInt(out, setup.keypadLock() ? 1 : 0);
  putInt(out, setup.interval());
  putInt(out, setup.fieldsPerRecord());
  putInt(out, setup.autoScroll() ? 1 : 0);
  putInt(out, setup.scrollPause());
  putInt(out, setup.scrollEnd());
  for (const RecordFormat& format : setup.formats()) {
    // The label, its terminating zero and zero padding to 26 bytes.
    std::string label = format.label.substr(0, SetupModel::kLabelMax);
    label.resize(kLabelBytes, '\0');
    out += label;
    putInt(out, format.type);
    putInt(out, format.width);
    putInt(out, format.precision);
  }
  putInt(out, setup.com1BaudIndex());
  putInt(out, setup.com1Type());
  return out;
}

std::string readSetupBytes(std::string_view bytes, SetupModel& setup, std::string_view name) {
  // Anything between the two forms would need bytes the image does not have.
  if (bytes.size() < kOlderSize || (bytes.size() > kOlderSize && bytes.size() < kSize)) {
    return shownName(name) + " is not a setup file.\nIt holds " + std::to_string(bytes.size()) +
           " bytes; a setup file holds 990 bytes (982 in the older form).\nNothing was changed.";
  }
  SetupModel::Batch batch(setup);
  setup.setCom2BaudIndex(intAt(bytes, 0));
  setup.setStopOnError(intAt(bytes, 4) != 0);
  setup.setKeypadLock(intAt(bytes, 8) != 0);
  setup.setInterval(intAt(bytes, 12));
  setup.setFieldsPerRecord(intAt(bytes, 16));
  setup.setAutoScroll(intAt(bytes, 20) != 0);
  setup.setScrollPause(intAt(bytes, 24));
  setup.setScrollEnd(intAt(bytes, 28));
  for (int row = 0; row < SetupModel::kFieldCount; ++row) {
    const std::size_t entry = kFormatsOffset + static_cast<std::size_t>(row) * kEntrySize;
    const std::string_view labelBytes = bytes.substr(entry, kLabelBytes);
    RecordFormat format;
    format.label = std::string(labelBytes.substr(0, labelBytes.find('\0')));
    format.type = intAt(bytes, entry + kLabelBytes);
    format.width = intAt(bytes, entry + kLabelBytes + 4);
    format.precision = intAt(bytes, entry + kLabelBytes + 8);
    setup.setFormat(row, format);
  }
  if (bytes.size() > kOlderSize) {
    setup.setCom1BaudIndex(intAt(bytes, kCom1BaudOffset));
    setup.setCom1Type(intAt(bytes, kCom1TypeOffset));
  }
  return {};
}

std::string saveSetupFile(const std::string& path, const SetupModel& setup) {
  return saveFileBytes(path, writeSetupBytes(setup), "setup file");
}

std::string loadSetupFile(const std::string& path, SetupModel& setup) {
  // The image is at most 990 bytes; whatever follows it is never needed.
  const LoadedFile file = loadFileBytes(path, kSize + 1, "setup file");
  if (!file.problem.empty()) return file.problem;
  return readSetupBytes(file.bytes, setup, path);
}

}  // namespace halvern

// The setup file reader. Refused: the model exactly as before, no notification. Accepted: a write
// gives back the image's bytes except where the reader brings a value into its control's range
// (numbers clamped, flags 0 or 1, labels up to their first zero and at most 25 bytes, zero
// padded); the older 982-byte form keeps the COM1 items; the date and time are never touched.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "setup/setup_file.h"
#include "wire/byte_order.h"

namespace {

using namespace halvern;
using namespace halvern::setup_file;
using Range = SetupModel::Range;

// A setup unlike the start-up one in every item, so a refusal that touched anything shows.
SetupModel startingSetup() {
  SetupModel setup;
  setup.setCom1Type(1);
  setup.setCom1BaudIndex(6);
  setup.setCom2BaudIndex(0);
  setup.setStopOnError(true);
  setup.setKeypadLock(true);
  setup.setInterval(42);
  setup.setFieldsPerRecord(7);
  setup.setAutoScroll(true);
  setup.setScrollPause(9);
  setup.setScrollEnd(3);
  setup.setUsePcTime(false);
  setup.setDateText("12-31-2049");
  setup.setTimeText("23:59:58");
  for (int row = 0; row < SetupModel::kFieldCount; ++row) {
    setup.setFormat(row, {"START " + std::to_string(row), row % 3, 1 + row % 9, row % 7});
  }
  return setup;
}

std::int32_t intAt(std::string_view bytes, std::size_t offset) {
  return static_cast<std::int32_t>(
      byte_order::little32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset));
}

void putInt(std::string& bytes, std::size_t offset, std::int32_t value) {
  byte_order::putLittle32(reinterpret_cast<std::uint8_t*>(bytes.data()) + offset,
                          static_cast<std::uint32_t>(value));
}

// The image a write gives for an accepted `image`, worked out from the file layout alone.
std::string expectedImage(std::string_view image, const SetupModel& before) {
  std::string out(image.substr(0, kOlderSize));
  auto clampAt = [&](std::size_t offset, Range range) {
    putInt(out, offset, range.clamp(intAt(image, offset)));
  };
  auto flagAt = [&](std::size_t offset) { putInt(out, offset, intAt(image, offset) != 0); };
  clampAt(0, SetupModel::kBaudIndexRange);
  flagAt(4);
  flagAt(8);
  clampAt(12, SetupModel::kIntervalRange);
  clampAt(16, SetupModel::kFieldsPerRecordRange);
  flagAt(20);
  clampAt(24, SetupModel::kScrollPauseRange);
  clampAt(28, SetupModel::kScrollEndRange);
  for (std::size_t row = 0; row < SetupModel::kFieldCount; ++row) {
    const std::size_t entry = kFormatsOffset + row * kEntrySize;
    std::size_t length = 0;
    while (length < SetupModel::kLabelMax && image[entry + length] != '\0') ++length;
    out.replace(entry + length, kLabelBytes - length, kLabelBytes - length, '\0');
    clampAt(entry + kLabelBytes, SetupModel::kTypeRange);
    clampAt(entry + kLabelBytes + 4, SetupModel::kWidthRange);
    clampAt(entry + kLabelBytes + 8, SetupModel::kPrecisionRange);
  }
  out.resize(kSize);
  if (image.size() >= kSize) {
    out.replace(kOlderSize, kSize - kOlderSize, image.substr(kOlderSize, kSize - kOlderSize));
    clampAt(kOlderSize, SetupModel::kBaudIndexRange);
    clampAt(kOlderSize + 4, SetupModel::kCom1TypeRange);
  } else {
    putInt(out, kOlderSize, before.com1BaudIndex());
    putInt(out, kOlderSize + 4, before.com1Type());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const SetupModel kStart = startingSetup();
  const std::string_view image = fuzz::bytesOf(data, size);

  SetupModel setup = kStart;
  int notifications = 0;
  setup.setOnChanged([&] { ++notifications; });
  const std::string problem = readSetupBytes(image, setup, "fuzz.set");
  FUZZ_REQUIRE(problem.empty() == (size == kOlderSize || size >= kSize));
  if (!problem.empty()) {
    FUZZ_REQUIRE(setup == kStart);
    FUZZ_REQUIRE(setup.version() == kStart.version() && notifications == 0);
    return 0;
  }
  // One notification for the whole load, none when nothing changed.
  FUZZ_REQUIRE(notifications == (setup.version() != kStart.version() ? 1 : 0));
  FUZZ_REQUIRE(setup.dateText() == kStart.dateText() && setup.timeText() == kStart.timeText());
  FUZZ_REQUIRE(setup.usePcTime() == kStart.usePcTime());

  const std::string written = writeSetupBytes(setup);
  FUZZ_REQUIRE(written == expectedImage(image, kStart));
  // What was written reads back as the same setup and writes the same bytes again.
  SetupModel again;
  FUZZ_REQUIRE(readSetupBytes(written, again).empty());
  FUZZ_REQUIRE(writeSetupBytes(again) == written);
  for (int row = 0; row < SetupModel::kFieldCount; ++row) {
    FUZZ_REQUIRE(again.format(row) == setup.format(row));
  }
  return 0;
}

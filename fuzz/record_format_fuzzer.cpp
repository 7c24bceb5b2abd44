// The received record-format blocks, 32 bytes each (the input cut into blocks, the last one
// filled up with zeros). A decoded block says what it holds: the label is bytes 0..26 up to the
// first zero, good when 25 bytes at most; the numbers as they came. A good block, put into the
// model as the get puts it, encodes back to the block with the label's field zero after the
// label and the numbers brought into the controls' ranges, and decodes again to the same format.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "setup/setup_model.h"
#include "setup/setup_transfer.h"
#include "wire/wire.h"

namespace {

using namespace halvern;

constexpr std::size_t kLabelField = wire::kRecordLabelField;
constexpr std::size_t kType = kLabelField;
constexpr std::size_t kWidth = kLabelField + 1;
constexpr std::size_t kPrecision = kLabelField + 2;

void checkBlock(const RecordFormatBlock& block, SetupModel& setup, int row) {
  const DecodedRecordFormat decoded = decodeRecordFormat(block.data());
  const auto labelEnd = std::find(block.begin(), block.begin() + 27, 0);
  FUZZ_REQUIRE(decoded.format.label == std::string(block.begin(), labelEnd));
  FUZZ_REQUIRE(decoded.labelOk == (decoded.format.label.size() <= wire::kRecordLabelMax));
  FUZZ_REQUIRE(decoded.format.type == block[kType] && decoded.format.width == block[kWidth] &&
               decoded.format.precision == block[kPrecision]);
  FUZZ_REQUIRE(decoded.valuesOk ==
               (block[kType] <= 2 && block[kWidth] <= 9 && block[kPrecision] <= 7));
  if (!decoded.labelOk || !decoded.valuesOk) return;

  setup.setFormat(row, decoded.format);
  const RecordFormat& kept = setup.format(row);
  RecordFormatBlock expected{};
  std::copy(block.begin(), labelEnd, expected.begin());
  expected[kType] = block[kType];
  expected[kWidth] = std::max<std::uint8_t>(block[kWidth], 1);
  expected[kPrecision] = std::min<std::uint8_t>(block[kPrecision], 6);
  FUZZ_REQUIRE(encodeRecordFormat(decoded.format) == expected);
  FUZZ_REQUIRE(encodeRecordFormat(kept) == expected);

  const DecodedRecordFormat back = decodeRecordFormat(expected.data());
  FUZZ_REQUIRE(back.labelOk && back.valuesOk && back.format == kept);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetupModel setup;
  for (std::size_t offset = 0, row = 0; offset < size; offset += 32, ++row) {
    RecordFormatBlock block{};
    std::copy_n(data + offset, std::min<std::size_t>(32, size - offset), block.begin());
    checkBlock(block, setup, static_cast<int>(row % SetupModel::kFieldCount));
  }
  return 0;
}

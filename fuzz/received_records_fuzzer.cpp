// Received records with any record formats the instrument may send: the first byte gives the
// fields per record (1..25), the next three bytes a field each its type, width and precision (any
// values: the decoding clamps them as the Setup page does), the rest the records' bytes. Every
// record becomes one line of exactly its fields, numbered when shown; a field that is not a number
// reads "-99999"; nothing is read past the data.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "records/records_file.h"

namespace {

using namespace halvern;

std::size_t count(const std::string& text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t fields = data[0] % 25 + 1;
  std::size_t at = 1;
  std::vector<RecordFormat> formats;
  for (std::size_t i = 0; i < fields; ++i) {
    RecordFormat f{"F", 0, 7, 1};
    if (at + 3 <= size) {
      f.type = static_cast<std::int8_t>(data[at]);
      f.width = static_cast<std::int8_t>(data[at + 1]);
      f.precision = static_cast<std::int8_t>(data[at + 2]);
      at += 3;
    }
    formats.push_back(f);
  }
  const std::span<const std::uint8_t> records(data + at, size - at);
  const std::size_t n = records.size() / (4 * fields);
  const std::span<const std::uint8_t> whole = records.first(n * 4 * fields);

  std::string file;
  appendRecordLines(file, whole, fields, formats, ',', 0, n, false);
  std::string shown;
  appendRecordLines(shown, whole, fields, formats, '\t', 0, n, true);
  FUZZ_REQUIRE(count(file, '\n') == n && count(file, '\r') == n);
  // No field text holds the delimiter, so each line holds exactly its fields.
  FUZZ_REQUIRE(count(file, ',') == n * (fields - 1));
  FUZZ_REQUIRE(count(shown, '\t') == n * fields);
  FUZZ_REQUIRE(shown.size() == file.size() + n * 8);

  for (std::size_t r = 0; r < n; ++r) {
    for (std::size_t i = 0; i < fields; ++i) {
      const float v = recordField(whole, fields, r, i);
      std::uint32_t bits = 0;
      std::memcpy(&bits, whole.data() + 4 * (r * fields + i), 4);
      std::uint32_t back = 0;
      std::memcpy(&back, &v, 4);
      FUZZ_REQUIRE(bits == back);  // little-endian, as it came
      const std::string text = formatRecordField(v, formats[i]);
      FUZZ_REQUIRE(!text.empty());
      if (!std::isfinite(static_cast<double>(v))) FUZZ_REQUIRE(text == "-99999");
    }
  }
  return 0;
}

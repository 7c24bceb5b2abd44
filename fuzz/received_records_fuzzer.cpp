// Received records with any record formats the instrument may send: the first byte gives the
// fields per record (1..25), the next three bytes a field each its type, width and precision (any
// values: the decoding clamps them as the Setup page does), the rest the records' bytes. Every
// record becomes one line of exactly its fields, numbered when shown; a field that is not a number
// reads "-99999"; nothing is read past the data. Each line is checked against the fields' text
// worked out here on its own: the bytes taken little-endian by hand, the format clamped as the
// Setup page clamps it, the number written by a stream.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "records/records_file.h"

namespace {

using namespace halvern;

std::size_t count(const std::string& text, char c) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

std::string twoDigits(unsigned n) { return {char('0' + n / 10 % 10), char('0' + n % 10)}; }

// The field's text: a Date "MM/DD/20YY" and a Time "HH:MM:SS" from the value truncated to an
// unsigned 32-bit whole number (0 beyond any integer), a Number "%0*.*f", "-99999" for a value
// that is not a finite number.
std::string expectedField(const std::uint8_t* p, const RecordFormat& format) {
  const std::uint32_t bits = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                             std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
  const double v = std::bit_cast<float>(bits);
  if (!std::isfinite(v)) return "-99999";
  const int type = std::clamp<int>(format.type, 0, 2);
  if (type == RecordFormat::Number) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(std::clamp<int>(format.precision, 0, 6))
        << std::setfill('0') << std::internal << std::setw(std::clamp<int>(format.width, 1, 9))
        << v;
    return out.str();
  }
  double whole = std::trunc(v);
  if (std::fabs(whole) >= 9.2e18) whole = 0;
  whole = std::fmod(whole, 4294967296.0);
  if (whole < 0) whole += 4294967296.0;
  const auto n = static_cast<std::uint32_t>(whole);
  const unsigned high = n / 10000, middle = n / 100 % 100, low = n % 100;
  if (type == RecordFormat::Date) {
    return twoDigits(middle) + '/' + twoDigits(low) + '/' + std::to_string(2000 + high);
  }
  return (high < 10 ? "0" : "") + std::to_string(high) + ':' + twoDigits(middle) + ':' +
         twoDigits(low);
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

  std::string expected;
  for (std::size_t r = 0; r < n; ++r) {
    for (std::size_t i = 0; i < fields; ++i) {
      if (i > 0) expected += ',';
      expected += expectedField(whole.data() + 4 * (r * fields + i), formats[i]);
    }
    expected += "\r\n";
  }
  FUZZ_REQUIRE(file == expected);

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

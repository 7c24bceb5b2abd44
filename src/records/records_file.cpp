#include "records/records_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "wire/byte_order.h"
#include "wire/c_numbers.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

// Appends printf output without a temporary string: the fields are formatted millions of times.
// Called under a CNumbersScope, so that "%f" writes "." whatever the locale.
template <typename... Args>
void appendFormatted(std::string& out, const char* format, Args... args) {
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof buffer) {
    out.append(buffer, static_cast<std::size_t>(n));
  } else {
    // A Number wider than the buffer (a value of 1e38 with 6 decimals): the long way.
    out += formatText(format, args...);
  }
}

}  // namespace

char recordDelimiter(int index) {
  switch (static_cast<RecordsDelimiter>(index)) {
    case RecordsDelimiter::Space:
      return ' ';
    case RecordsDelimiter::Tab:
      return '\t';
    default:
      return ',';
  }
}

float recordField(std::span<const std::uint8_t> data, std::size_t fields, std::size_t r,
                  std::size_t i) {
  const std::uint32_t bits =
      byte_order::little32(data.data() + kRecordFieldSize * (r * fields + i));
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

namespace {

// appendRecordField without a CNumbersScope of its own: the caller holds one.
void appendField(std::string& out, float value, const RecordFormat& format) {
  const double v = value;
  if (std::isnan(v) || std::isinf(v)) {
    out += "-99999";
    return;
  }
  const int type = SetupModel::kTypeRange.clamp(format.type);
  switch (type) {
    case RecordFormat::Date:
    case RecordFormat::Time: {
      // Truncated toward zero and taken as an unsigned 32-bit number (modulo 2^32); a value
      // beyond any integer reads as 0 rather than as whatever an overflowing conversion gives.
      const double t = std::trunc(v);
      const auto whole = std::fabs(t) < 9.2e18
                             ? static_cast<std::uint32_t>(static_cast<std::int64_t>(t))
                             : std::uint32_t{0};
      const int high = static_cast<int>(whole / 10000);
      const int middle = static_cast<int>(whole % 10000 / 100);
      const int low = static_cast<int>(whole % 100);
      if (type == RecordFormat::Date) {
        appendFormatted(out, "%02i/%02i/%04i", middle, low, 2000 + high);
      } else {
        appendFormatted(out, "%02i:%02i:%02i", high, middle, low);
      }
      return;
    }
    default:
      appendFormatted(out, "%0*.*f", SetupModel::kWidthRange.clamp(format.width),
                      SetupModel::kPrecisionRange.clamp(format.precision), v);
  }
}

}  // namespace

void appendRecordField(std::string& out, float value, const RecordFormat& format) {
  const CNumbersScope cNumbers;
  appendField(out, value, format);
}

std::string formatRecordField(float value, const RecordFormat& format) {
  std::string out;
  appendRecordField(out, value, format);
  return out;
}

void appendRecordLines(std::string& out, std::span<const std::uint8_t> data, std::size_t fields,
                       std::span<const RecordFormat> formats, char delimiter, std::size_t first,
                       std::size_t last, bool numbered) {
  const CNumbersScope cNumbers;  // once for all the lines
  for (std::size_t r = first; r < last; ++r) {
    if (numbered) appendFormatted(out, "%07i%c", static_cast<int>(r + 1), delimiter);
    for (std::size_t i = 0; i < fields; ++i) {
      if (i > 0) out += delimiter;
      appendField(out, recordField(data, fields, r, i), formats[i]);
    }
    out += "\r\n";
  }
}

std::string recordsFileHeader(std::size_t records, std::span<const RecordFormat> formats,
                              char delimiter, const DateTime& at) {
  std::string out = formatText("%u RECORDS\r\n", static_cast<unsigned>(records));
  out += formatText("%02u-%02u-%04u %02u:%02u:%02u\r\n", static_cast<unsigned>(at.month),
                    static_cast<unsigned>(at.day), static_cast<unsigned>(at.year),
                    static_cast<unsigned>(at.hour), static_cast<unsigned>(at.minute),
                    static_cast<unsigned>(at.second));
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (i > 0) out += delimiter;
    out += formats[i].label;
  }
  out += "\r\n";
  return out;
}

std::vector<RecordFormat> recordFormatsOf(const SetupModel& setup, std::size_t fields) {
  std::vector<RecordFormat> formats;
  for (std::size_t i = 0; i < fields; ++i) formats.push_back(setup.format(static_cast<int>(i)));
  return formats;
}

}  // namespace halvern

#include "records/records_file.h"

#include <cmath>
#include <cstring>

#include "wire/byte_order.h"
#include "wire/c_numbers.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

// Appends `value` in decimal with zeros before it to at least `digits` digits, as "%0*u" does.
void appendPadded(std::string& out, std::uint32_t value, std::size_t digits) {
  char buffer[10];
  char* first = buffer + sizeof buffer;
  do {
    *--first = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  const auto length = static_cast<std::size_t>(buffer + sizeof buffer - first);
  if (length < digits) out.append(digits - length, '0');
  out.append(first, length);
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

void appendRecordField(std::string& out, float value, const RecordFormat& format) {
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
      const std::uint32_t high = whole / 10000;
      const std::uint32_t middle = whole % 10000 / 100;
      const std::uint32_t low = whole % 100;
      if (type == RecordFormat::Date) {
        // MM/DD/20YY
        appendPadded(out, middle, 2);
        out += '/';
        appendPadded(out, low, 2);
        out += '/';
        appendPadded(out, 2000 + high, 4);
      } else {
        // HH:MM:SS
        appendPadded(out, high, 2);
        out += ':';
        appendPadded(out, middle, 2);
        out += ':';
        appendPadded(out, low, 2);
      }
      return;
    }
    default:
      appendFixed(out, v, SetupModel::kWidthRange.clamp(format.width),
                  SetupModel::kPrecisionRange.clamp(format.precision));
  }
}

std::string formatRecordField(float value, const RecordFormat& format) {
  std::string out;
  appendRecordField(out, value, format);
  return out;
}

void appendRecordNumber(std::string& out, std::size_t r, char delimiter) {
  appendPadded(out, static_cast<std::uint32_t>(r + 1), 7);
  out += delimiter;
}

void appendRecordLines(std::string& out, std::span<const std::uint8_t> data, std::size_t fields,
                       std::span<const RecordFormat> formats, char delimiter, std::size_t first,
                       std::size_t last, bool numbered) {
  for (std::size_t r = first; r < last; ++r) {
    if (numbered) appendRecordNumber(out, r, delimiter);
    for (std::size_t i = 0; i < fields; ++i) {
      if (i > 0) out += delimiter;
      appendRecordField(out, recordField(data, fields, r, i), formats[i]);
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

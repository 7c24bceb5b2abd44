// Field texts, the records text file and the shown lines.
#include "records/records_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "wire/byte_order.h"

namespace halvern {
namespace {

std::vector<std::uint8_t> recordsOf(const std::vector<float>& values) {
  std::vector<std::uint8_t> data(values.size() * 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t bits;
    std::memcpy(&bits, &values[i], 4);
    byte_order::putLittle32(&data[4 * i], bits);
  }
  return data;
}

const RecordFormat kNumber72{"TEMP", RecordFormat::Number, 7, 2};
const RecordFormat kDate{"DATE", RecordFormat::Date, 8, 0};
const RecordFormat kTime{"TIME", RecordFormat::Time, 8, 0};

TEST(RecordField, TextsByType) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    RecordFormat format;
    const char* text;
  } cases[] = {
      {12.5f, kNumber72, "0012.50"},
      {-3.25f, kNumber72, "-003.25"},
      {123456.789f, {"X", RecordFormat::Number, 3, 1}, "123456.8"},  // wider than its width
      {7.0f, {"X", RecordFormat::Number, 1, 0}, "7"},
      {130705.0f, kDate, "07/05/2013"},
      {130705.9f, kDate, "07/05/2013"},  // truncated, not rounded
      {93015.0f, kTime, "09:30:15"},
      {0.0f, kTime, "00:00:00"},
      {nan, kNumber72, "-99999"},
      {nan, kDate, "-99999"},
      {inf, kTime, "-99999"},
      {-inf, kNumber72, "-99999"},
      // Out of what the Setup page allows: clamped as the page clamps it.
      {1.5f, {"X", RecordFormat::Number, 0, 9}, "1.500000"},
      {1.5f, {"X", 7, 7, 1}, "00:00:01"},
      {1.5f, {"X", -1, 7, 1}, "00001.5"},
      // A date beyond any integer reads as 0 rather than as an overflow.
      {3.0e38f, kDate, "00/00/2000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatRecordField(c.value, c.format), c.text) << c.value << " " << c.format.type;
  }
  // The widest Number there is comes out whole.
  EXPECT_EQ(formatRecordField(3.0e38f, {"X", RecordFormat::Number, 9, 6}).size(), 46u);
}

TEST(RecordsFile, HeaderAndLinesWithEachDelimiter) {
  const std::vector<RecordFormat> formats{kNumber72, kDate, kTime};
  const auto data = recordsOf({12.5f, 130705, 93015, -1.0f, 260101, 235959});
  const DateTime at{2026, 3, 4, 5, 6, 7};
  const struct {
    int delimiter;
    const char* file;
  } cases[] = {
      {1,
       "2 RECORDS\r\n03-04-2026 05:06:07\r\nTEMP,DATE,TIME\r\n0012.50,07/05/2013,09:30:15\r\n"
       "-001.00,01/01/2026,23:59:59\r\n"},
      {2,
       "2 RECORDS\r\n03-04-2026 05:06:07\r\nTEMP\tDATE\tTIME\r\n0012.50\t07/05/2013\t09:30:15\r\n"
       "-001.00\t01/01/2026\t23:59:59\r\n"},
      {0,
       "2 RECORDS\r\n03-04-2026 05:06:07\r\nTEMP DATE TIME\r\n0012.50 07/05/2013 09:30:15\r\n"
       "-001.00 01/01/2026 23:59:59\r\n"},
  };
  for (const auto& c : cases) {
    const char d = recordDelimiter(c.delimiter);
    std::string file = recordsFileHeader(2, formats, d, at);
    appendRecordLines(file, data, 3, formats, d, 0, 2, false);
    EXPECT_EQ(file, c.file) << c.delimiter;
  }
}

TEST(RecordsFile, ShownLinesAreNumberedFromOne) {
  const std::vector<RecordFormat> formats{kNumber72};
  const auto data = recordsOf({1, 2, 3});
  std::string shown;
  appendRecordLines(shown, data, 1, formats, '\t', 1, 3, true);
  EXPECT_EQ(shown, "0000002\t0002.00\r\n0000003\t0003.00\r\n");
  // Labels are written whole, whatever they hold.
  EXPECT_EQ(recordsFileHeader(0, std::vector<RecordFormat>{{"A B,C", 0, 7, 1}}, ',', {}),
            "0 RECORDS\r\n01-01-2000 00:00:00\r\nA B,C\r\n");
}

}  // namespace
}  // namespace halvern

// Field texts, the records text file and the shown lines.
#include "records/records_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
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

// Every field of every type through the printf formulas of the file's format, for values of any
// size and sign: "%0*.*f", "%02i/%02i/%04i" from YYMMDD, "%02i:%02i:%02i" from HHMMSS, and
// "%07i%c" before a shown line.
TEST(RecordsFile, LinesAreThePrintfFormulasForAnyValue) {
  std::vector<RecordFormat> formats;
  for (int type = 0; type <= 2; ++type)
    for (int width = 1; width <= 9; ++width)
      for (int precision = 0; precision <= 6; ++precision)
        formats.push_back({"X", type, width, precision});
  const std::size_t fields = formats.size();
  std::mt19937 draw(86507);
  std::vector<float> values;
  for (std::size_t i = 0; i < 40 * fields; ++i) {
    float v;
    if (i % 3 == 0) {
      const std::uint32_t bits = draw();
      std::memcpy(&v, &bits, sizeof v);
    } else {
      // Readings, dates and times of every width, negative ones too.
      v = static_cast<float>(static_cast<std::int64_t>(draw() % 2000000000) - 100000000) /
          static_cast<float>(std::pow(10.0, draw() % 8));
    }
    values.push_back(v);
  }

  char buffer[128];
  std::string expected;
  for (std::size_t r = 0; r < values.size() / fields; ++r) {
    std::snprintf(buffer, sizeof buffer, "%07i%c", static_cast<int>(r + 1), ';');
    expected += buffer;
    for (std::size_t i = 0; i < fields; ++i) {
      const double v = values[r * fields + i];
      const RecordFormat& f = formats[i];
      if (i > 0) expected += ';';
      if (!std::isfinite(v)) {
        expected += "-99999";
        continue;
      }
      // Truncated, modulo 2^32.
      double wrapped = std::fmod(std::trunc(v), 4294967296.0);
      if (wrapped < 0) wrapped += 4294967296.0;
      const auto whole = static_cast<std::uint32_t>(wrapped);
      if (f.type == RecordFormat::Date) {
        std::snprintf(buffer, sizeof buffer, "%02i/%02i/%04i", int(whole % 10000 / 100),
                      int(whole % 100), int(2000 + whole / 10000));
        expected += buffer;
      } else if (f.type == RecordFormat::Time) {
        std::snprintf(buffer, sizeof buffer, "%02i:%02i:%02i", int(whole / 10000),
                      int(whole % 10000 / 100), int(whole % 100));
        expected += buffer;
      } else {
        std::snprintf(buffer, sizeof buffer, "%0*.*f", f.width, f.precision, v);
        expected += buffer;
      }
    }
    expected += "\r\n";
  }
  std::string shown;
  appendRecordLines(shown, recordsOf(values), fields, formats, ';', 0, values.size() / fields,
                    true);
  EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace halvern

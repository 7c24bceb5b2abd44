// Records text files read back as numbers, in every delimiter the writer has; the envelope, the
// statistics of a range and the CSV.
#include "records/records_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "records/records_file.h"
#include "wire/byte_order.h"

namespace halvern {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The records file the download writes for `values` (records x formats.size()).
std::string writtenFile(const std::vector<float>& values, const std::vector<RecordFormat>& formats,
                        char delimiter) {
  std::vector<std::uint8_t> data(values.size() * 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t bits;
    std::memcpy(&bits, &values[i], 4);
    byte_order::putLittle32(&data[4 * i], bits);
  }
  const std::size_t records = values.size() / formats.size();
  std::string text =
      recordsFileHeader(records, formats, delimiter, DateTime{2026, 12, 8, 14, 5, 0});
  appendRecordLines(text, data, formats.size(), formats, delimiter, 0, records, false);
  return text;
}

const std::vector<RecordFormat> kFormats{{"DATE", RecordFormat::Date, 8, 0},
                                         {"TIME", RecordFormat::Time, 8, 0},
                                         {"WIND SPEED", RecordFormat::Number, 7, 2},
                                         {"TEMP \"AIR\"", RecordFormat::Number, 5, 1}};

// Four records a minute apart over midnight; the third's wind speed not a number.
const std::vector<float> kValues{261207, 235800, 3.5f,  -2.25f,  //
                                 261207, 235900, 12.5f, -3.0f,   //
                                 261208, 0,      kNaN,  -3.5f,   //
                                 261208, 100,    0.25f, -4.0f};

TEST(RecordsTable, ReadsWhatTheDownloadWritesInEveryDelimiter) {
  for (const char delimiter : {',', '\t', ' '}) {
    SCOPED_TRACE(static_cast<int>(delimiter));
    const RecordsRead read = readRecordsText(writtenFile(kValues, kFormats, delimiter));
    ASSERT_TRUE(read.table) << read.line << ": " << read.problem;
    const RecordsTable& t = *read.table;
    EXPECT_EQ(t.requested, 4u);
    EXPECT_EQ(t.records, 4u);
    EXPECT_EQ(t.downloaded, "12-08-2026 14:05:00");
    EXPECT_EQ(t.delimiter, delimiter);
    EXPECT_EQ(t.kinds,
              (std::vector<RecordFieldKind>{RecordFieldKind::Date, RecordFieldKind::Time,
                                            RecordFieldKind::Number, RecordFieldKind::Number}));
    // Blanks inside labels cannot be told from the delimiter: those labels are named by place.
    if (delimiter == ' ') {
      EXPECT_EQ(t.labels, (std::vector<std::string>{"Field 1", "Field 2", "Field 3", "Field 4"}));
    } else {
      EXPECT_EQ(t.labels, (std::vector<std::string>{"DATE", "TIME", "WIND SPEED", "TEMP \"AIR\""}));
    }
    EXPECT_EQ(t.value(0, 2), 3.5);
    EXPECT_EQ(t.value(1, 3), -3.0);
    EXPECT_TRUE(std::isnan(t.value(2, 2)));
    ASSERT_TRUE(t.hasTimes());
    EXPECT_EQ(isoTime(t.times[0]), "2026-12-07T23:58:00");
    EXPECT_EQ(isoTime(t.times[2]), "2026-12-08T00:00:00");
    EXPECT_EQ(t.times[3] - t.times[0], 180.0);
  }
  // A label holding the delimiter cannot be told apart either.
  std::vector<RecordFormat> comma = kFormats;
  comma[3].label = "TEMP, AIR";
  const RecordsRead split = readRecordsText(writtenFile(kValues, comma, ','));
  ASSERT_TRUE(split.table);
  EXPECT_EQ(split.table->labels[3], "Field 4");
  // CR LF or LF, the last line end or not.
  std::string lf = writtenFile(kValues, kFormats, ',');
  std::erase(lf, '\r');
  lf.pop_back();
  ASSERT_TRUE(readRecordsText(lf).table);
  // Without a Date and a Time, the x axis is the record number.
  const RecordsRead numbers =
      readRecordsText(writtenFile({1, 2, 3}, {{"A", RecordFormat::Number, 3, 0}}, ','));
  ASSERT_TRUE(numbers.table);
  EXPECT_FALSE(numbers.table->hasTimes());
  EXPECT_EQ(numbers.table->x(2), 3.0);
}

TEST(RecordsTable, RefusesAnythingElseWithItsLineAndReason) {
  const std::string good = writtenFile(kValues, kFormats, ',');
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  const struct {
    std::string text;
    std::size_t line;
    const char* says;
  } cases[] = {
      {"", 1, "N RECORDS"},
      {"4 records\r\n", 1, "N RECORDS"},
      {"99999999999 RECORDS\r\n", 1, "N RECORDS"},
      {replaced("12-08-2026 14:05:00", "today"), 2, "MM-DD-YYYY"},
      {"0 RECORDS\r\n12-08-2026 14:05:00\r\n", 3, "labels"},
      {replaced("0012.50", "12,50"), 5, "has 5 fields"},
      {replaced("0012.50", "1e5"), 5, "field 3 is not"},
      {replaced("0012.50", "0x12"), 5, "field 3 is not"},
      {replaced("0012.50", "09:00:00"), 5, "field 3 is a time here and a number above"},
      {replaced("4 RECORDS", "3 RECORDS"), 7, "more records than the 3"},
      {replaced("4 RECORDS", "5 RECORDS"), 8, "ends after 4 of its 5"},
  };
  for (const auto& c : cases) {
    const RecordsRead read = readRecordsText(c.text);
    EXPECT_FALSE(read.table) << c.says;
    EXPECT_EQ(read.line, c.line) << c.says << ": " << read.problem;
    EXPECT_NE(read.problem.find(c.says), std::string::npos) << read.problem;
  }
}

TEST(RecordsTable, DatesAndTimesTheWriterMakesFromAnyValueAreRead) {
  // A value that is no calendar day still has its text; it reads, with no time.
  const RecordsRead read = readRecordsText(writtenFile(
      {991399, 995959, 1, 4294967040.0f, 4294967040.0f, 2},
      {{"D", RecordFormat::Date, 8, 0}, {"T", RecordFormat::Time, 8, 0}, {"V", 0, 1, 0}}, '\t'));
  ASSERT_TRUE(read.table) << read.line << ": " << read.problem;
  EXPECT_TRUE(std::isnan(read.table->times[0]));
  EXPECT_TRUE(std::isnan(read.table->times[1]));
  EXPECT_EQ(read.table->value(1, 2), 2.0);
}

TEST(RecordsTable, EnvelopeKeepsASpikeAndLeavesGapsEmpty) {
  RecordsTable t;
  t.labels = {"V"};
  t.kinds = {RecordFieldKind::Number};
  t.records = 100000;
  t.values.assign(t.records, 1.0);
  t.values[54321] = 500.0;  // one record's spike
  for (std::size_t r = 90000; r < 100000; ++r) t.values[r] = std::nan("");
  const Envelope e = envelope(t, 0, 1, 100000, 200);
  ASSERT_EQ(e.low.size(), 200u);
  const std::size_t spike = static_cast<std::size_t>((54322.0 - 1) * 200 / 99999);
  EXPECT_EQ(e.high[spike], 500.0);
  EXPECT_EQ(e.low[spike], 1.0);
  EXPECT_EQ(std::count(e.high.begin(), e.high.end(), 500.0), 1);
  EXPECT_TRUE(std::isnan(e.high[190]));
  EXPECT_EQ(e.high[199 - 20], 1.0);
  // Zoomed in to a range without the spike; an empty range; one x.
  const Envelope near = envelope(t, 0, 100, 200, 50);
  EXPECT_EQ(*std::max_element(near.high.begin(), near.high.end()), 1.0);
  EXPECT_TRUE(envelope(t, 0, 5, 4, 10).high.size() == 10 &&
              std::isnan(envelope(t, 0, 5, 4, 10).high[0]));
  EXPECT_EQ(envelope(t, 0, 54322, 54322, 10).high[0], 500.0);
}

TEST(RecordsTable, StatisticsOfTheVisibleRange) {
  const RecordsRead read = readRecordsText(writtenFile(kValues, kFormats, ','));
  ASSERT_TRUE(read.table);
  const RecordsTable& t = *read.table;
  const FieldStats all = fieldStats(t, 2, t.times.front(), t.times.back());
  EXPECT_EQ(all.count, 3u);
  EXPECT_EQ(all.gaps, 1u);
  EXPECT_EQ(all.min, 0.25);
  EXPECT_EQ(isoTime(t.x(all.minRecord)), "2026-12-08T00:01:00");
  EXPECT_EQ(all.max, 12.5);
  EXPECT_EQ(all.maxRecord, 1u);
  EXPECT_DOUBLE_EQ(all.mean, (3.5 + 12.5 + 0.25) / 3);
  // The last two minutes only.
  const FieldStats late = fieldStats(t, 3, t.times[2], t.times[3]);
  EXPECT_EQ(late.count, 2u);
  EXPECT_EQ(late.min, -4.0);
  EXPECT_EQ(late.max, -3.5);
  const FieldStats none = fieldStats(t, 2, 0, 1);
  EXPECT_EQ(none.count, 0u);
  EXPECT_TRUE(std::isnan(none.mean));
}

TEST(RecordsTable, CsvDescribesItselfAndQuotesWhereItMust) {
  const RecordsRead read = readRecordsText(writtenFile(kValues, kFormats, ','));
  ASSERT_TRUE(read.table);
  const double all = std::numeric_limits<double>::infinity();
  EXPECT_EQ(recordsCsv(*read.table, {"Fields per record: 4", "Site \"north\""}, -all, all),
            "# Fields per record: 4\r\n"
            "# Site \"north\"\r\n"
            "Time,DATE,TIME,WIND SPEED,\"TEMP \"\"AIR\"\"\"\r\n"
            "2026-12-07T23:58:00,2026-12-07,23:58:00,3.5,-2.2\r\n"
            "2026-12-07T23:59:00,2026-12-07,23:59:00,12.5,-3\r\n"
            "2026-12-08T00:00:00,2026-12-08,00:00:00,,-3.5\r\n"
            "2026-12-08T00:01:00,2026-12-08,00:01:00,0.25,-4\r\n");
  const std::string tail = recordsCsv(*read.table, {}, read.table->times[3], all, false);
  EXPECT_EQ(tail, "2026-12-08T00:01:00,2026-12-08,00:01:00,0.25,-4\r\n");
}

TEST(RecordsArchive, OnlyNewerRecordsAreAddedInTheirOrder) {
  const RecordsTable all = *readRecordsText(writtenFile(kValues, kFormats, ',')).table;
  // The first two records, then a download of all four.
  const std::vector<float> firstTwo(kValues.begin(), kValues.begin() + 8);
  const RecordsTable early = *readRecordsText(writtenFile(firstTwo, kFormats, ',')).table;
  const std::vector<std::string> comments = recordsCsvComments(all, {kFormats, "A1B2", "north"});
  const ArchiveAppend started = appendToArchive("", early, comments);
  ASSERT_EQ(started.problem, "");
  EXPECT_EQ(started.added, 2u);
  const ArchiveAppend grown = appendToArchive(started.bytes, all, comments);
  ASSERT_EQ(grown.problem, "");
  EXPECT_EQ(grown.added, 2u);
  EXPECT_EQ(grown.skipped, 2u);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(grown.bytes, recordsCsv(all, comments, -inf, inf));
  // The same download again adds nothing and changes no byte.
  const ArchiveAppend again = appendToArchive(grown.bytes, all, comments);
  EXPECT_EQ(again.added, 0u);
  EXPECT_EQ(again.bytes, grown.bytes);

  // Records without times cannot be placed; an archive of other columns is not touched.
  const RecordsTable plain =
      *readRecordsText(writtenFile({1, 2}, {{"A", RecordFormat::Number, 3, 0}}, ',')).table;
  EXPECT_NE(appendToArchive("", plain, {}).problem.find("no Date and Time"), std::string::npos);
  std::vector<RecordFormat> other = kFormats;
  other[2].label = "GUST";
  const RecordsTable renamed = *readRecordsText(writtenFile(kValues, other, ',')).table;
  const ArchiveAppend refused = appendToArchive(grown.bytes, renamed, comments);
  EXPECT_NE(refused.problem.find("columns"), std::string::npos);
  EXPECT_EQ(refused.added, 0u);
}

TEST(RecordsArchive, CommentsSayWhatTheFileHolds) {
  const RecordsTable t = *readRecordsText(writtenFile(kValues, kFormats, ',')).table;
  EXPECT_EQ(
      recordsCsvComments(t, {kFormats, "A1B2", "north"}),
      (std::vector<std::string>{
          "Records of a Model 40100, downloaded by Halvern", "Fields per record: 4",
          "Field 1: DATE, Date", "Field 2: TIME, Time",
          "Field 3: WIND SPEED, Number, width 7, precision 2",
          "Field 4: TEMP \"AIR\", Number, width 5, precision 1", "Downloaded: 2026-12-08T14:05:00",
          "Records: 4", "Bridge serial number: A1B2", "Group: north"}));
  EXPECT_EQ(recordsCsvComments(t, {}).size(), 4u);
}

TEST(IsoTime, BothWays) {
  EXPECT_EQ(isoTime(0), "2000-01-01T00:00:00");
  EXPECT_EQ(isoTime(-1), "1999-12-31T23:59:59");
  EXPECT_EQ(isoTime(std::nan("")), "");
  for (const char* text : {"2026-12-08T14:05:00", "2000-02-29T00:00:01", "2099-12-31T23:59:59"})
    EXPECT_EQ(isoTime(*parseIsoTime(text)), text);
  EXPECT_EQ(isoTime(*parseIsoTime("2026-12-08 14:05")), "2026-12-08T14:05:00");
  EXPECT_EQ(isoTime(*parseIsoTime("2026-12-08")), "2026-12-08T00:00:00");
  for (const char* bad : {"", "2026-13-01", "2026-02-30", "2026-12-08T24:00", "2026-12-08x14:05",
                          "2026-12-08T14:5", "yesterday"})
    EXPECT_FALSE(parseIsoTime(bad)) << bad;
}

}  // namespace
}  // namespace halvern

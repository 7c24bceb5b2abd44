// The S-record image check: the files it takes and what it makes of them, each fault it refuses
// with its line, and the records' text written back from their fields.
#include "firmware/srecord_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvern {
namespace {

// 35 bytes made into S-records by objcopy -I binary -O srec: the header is the output file's name.
constexpr std::string_view kMadeImage =
    "S00A000066772E737265633D\r\n"
    "S113000048616C7665726E207465737420696D61E5\r\n"
    "S1130010676500010203FEFF203430313030206276\r\n"
    "S10600206F6F7487\r\n"
    "S9030000FC\r\n";

constexpr std::string_view kS0 = "S0030000FC";
constexpr std::string_view kS9 = "S9030000FC";
// 1000: 01 02 03 04, and 1002: 03 04 05 over the same bytes, and 1002: 03 09 05 against them.
constexpr std::string_view kAt1000 = "S107100001020304DE";
constexpr std::string_view kSameAt1002 = "S1061002030405DB";
constexpr std::string_view kOtherAt1002 = "S1061002030905D6";

std::string lines(const std::vector<std::string_view>& records) {
  std::string file;
  for (std::string_view r : records) (file += r) += '\n';
  return file;
}

// The image of a file that must pass; an empty one, after the failure, when it did not.
SRecordImage accepted(const SRecordCheck& check) {
  EXPECT_TRUE(check.image.has_value()) << check.problem;
  EXPECT_EQ(check.problem, "");
  return check.image.value_or(SRecordImage{});
}

TEST(SRecordFile, ImageMadeByObjcopy) {
  const SRecordCheck check = checkSRecordFile(kMadeImage);
  const SRecordImage image = accepted(check);
  ASSERT_EQ(image.records.size(), 5u);
  EXPECT_EQ(image.header, "fw.srec");
  EXPECT_EQ(image.sent, 5u);
  EXPECT_EQ(image.leftOut(), 0u);
  EXPECT_EQ(image.dataRecords, 3u);
  EXPECT_EQ(image.dataBytes, 35u);
  EXPECT_EQ(image.ranges, (std::vector<AddressRange>{{0x00, 0x22}}));

  const struct {
    int type;
    std::uint32_t address;
    std::size_t dataSize;
    std::size_t line;
    std::size_t end;
  } expected[] = {{0, 0, 7, 1, 24},
                  {1, 0x00, 16, 2, 68},
                  {1, 0x10, 16, 3, 112},
                  {1, 0x20, 3, 4, 130},
                  {9, 0, 0, 5, 142}};
  for (std::size_t i = 0; i < 5; ++i) {
    const SRecord& r = image.records[i];
    EXPECT_EQ(r.type, expected[i].type) << i;
    EXPECT_EQ(r.address, expected[i].address) << i;
    EXPECT_EQ(r.data.size(), expected[i].dataSize) << i;
    EXPECT_EQ(r.line, expected[i].line) << i;
    EXPECT_EQ(r.end, expected[i].end) << i;
    EXPECT_EQ(kMadeImage.substr(r.end - r.text.size(), r.text.size()), r.text) << i;
  }
  EXPECT_EQ(std::string(image.records[3].data.begin(), image.records[3].data.end()), "oot");
  EXPECT_EQ(image.records[2].data[4], 0x02);
}

TEST(SRecordFile, LayoutsAndCaseTaken) {
  const struct {
    std::string file;
    std::size_t records;
    std::size_t lastLine;  // of the S9 record
  } cases[] = {
      {"S0030000FC\r\nS107100001020304DE\r\nS9030000FC\r\n", 3, 3},
      {"S0030000FC\tS107100001020304DE \t S9030000FC", 3, 1},
      {"\n\n  S0030000FC S107100001020304DE\r\n\v\f\nS9030000FC  \n\n", 3, 5},
      // A CR alone does not end a line.
      {"S0030000FC\rS107100001020304DE\r\rS9030000FC", 3, 1},
      // Mixed case within one record.
      {"S0030000Fc\nS107100001020304dE\nS9030000fC\n", 3, 3},
  };
  for (const auto& c : cases) {
    const SRecordCheck check = checkSRecordFile(c.file);
    const SRecordImage image = accepted(check);
    ASSERT_EQ(image.records.size(), c.records) << c.file;
    EXPECT_EQ(image.records.back().line, c.lastLine) << c.file;
    EXPECT_EQ(image.ranges, (std::vector<AddressRange>{{0x1000, 0x1003}})) << c.file;
    EXPECT_EQ(image.records.back().end, c.file.find_last_of("Cc") + 1) << c.file;
  }
  // Lower-case hexadecimal digits in every record.
  const SRecordImage lower = accepted(checkSRecordFile(
      "S00a000066772e737265633d\nS113000048616c7665726e207465737420696d61e5\nS9030000fc\n"));
  EXPECT_EQ(lower.header, "fw.srec");
  EXPECT_EQ(lower.dataBytes, 16u);
}

TEST(SRecordFile, NotAnImageFile) {
  const std::string_view files[] = {
      "",
      " \r\n\t\v\f",
      "S107100001020304DE\nS9030000FC\n",  // a well-formed image without its S0 record
      "\xEF\xBB\xBFS0030000FC\nS9030000FC\n",
      "S 0030000FC\nS9030000FC\n",
      "s0030000FC\nS9030000FC\n",  // the type letter upper-case only
      ":10010000214601360121470136007EFE09D2190140\n",
  };
  for (std::string_view file : files) {
    const SRecordCheck check = checkSRecordFile(file);
    EXPECT_FALSE(check.image) << file;
    EXPECT_EQ(check.problem, srecord_text::kIncorrectFileType) << file;
  }
}

TEST(SRecordFile, RecordFaults) {
  std::string longest = encodeSRecord({0, 0, "", 3, 0x10000, std::vector<std::uint8_t>(192, 0xA5)});
  ASSERT_EQ(longest.size(), kLongestRecord);
  const std::string tooLong =
      encodeSRecord({0, 0, "", 3, 0x10000, std::vector<std::uint8_t>(193, 0xA5)});
  const struct {
    std::string file;
    const char* problem;
  } cases[] = {
      // One digit changed in a data byte of the objcopy image.
      {"S00A000066772E737265633D\r\nS113000048616C7665726E207465737420696D62E5\r\nS9030000FC\r\n",
       "Line 2: checksum E5, expected E4."},
      {lines({kS0, "S108100001020304DE", kS9}), "Line 2: count byte 08 (8), but 7 bytes follow."},
      {lines({kS0, "S106100001020304DE", kS9}), "Line 2: count byte 06 (6), but 7 bytes follow."},
      {lines({kS0, "S106FFFEAABBCCCB", kS9}), "Line 2: S1 record runs past address FFFF."},
      {lines({kS0, "S207FFFFFE010203F6", kS9}), "Line 2: S2 record runs past address FFFFFF."},
      {lines({kS0, "S307FFFFFFFF0102F9", kS9}), "Line 2: S3 record runs past address FFFFFFFF."},
      {lines({kS0, "# built 2024-03-14", kAt1000, kS9}), "Line 2: not an S-record."},
      {lines({kS0, "S4030000FC", kS9}), "Line 2: record type S4 unknown."},
      {lines({kS0, "SX030000FC", kS9}), "Line 2: not an S-record."},
      {lines({kS0, "S904000001FA"}), "Line 2: S9 record carries data."},
      {lines({kS0, "S107100001020304D", kS9}), "Line 2: odd number of hex digits (15)."},
      {lines({kS0, "S1071000010203G4DE", kS9}), "Line 2: character 15 is not a hexadecimal digit."},
      {lines({kS0, "S1 07100001020304DE", kS9}), "Line 2: S1 record without a count byte."},
      {lines({kS0, "S2031000EC", kS9}), "Line 2: S2 record too short for its 3-byte address."},
      {lines({kS0, "S10210ED", kS9}), "Line 2: S1 record too short for its 2-byte address."},
      {lines({kS0, "S100", kS9}), "Line 2: S1 record too short for its 2-byte address."},
      {lines({"S0030000F", kS9}), "Line 1: odd number of hex digits (7)."},
      {lines({kS0, longest + "0", kS9}), "Line 2: record of 399 characters, longer than 398."},
      {lines({kS0, tooLong, kS9}), "Line 2: record of 400 characters, longer than 398."},
      // The file as a whole.
      {lines({kS0, kAt1000}), "Line 2: the file ends without an S9 record."},
      {lines({kS0, kAt1000, "S70500000100F9"}) + "\n\n",
       "Line 3: the file ends without an S9 record."},
      {lines({kS0, kAt1000, "S80401234592"}), "Line 3: the file ends without an S9 record."},
      {lines({kS0, kAt1000, kSameAt1002, "S5030003F9", kS9}),
       "Line 4: S5 count 3, but 2 data records come before it."},
      {lines({kS0, kAt1000, "S604000002F9", kSameAt1002, kS9}),
       "Line 3: S6 count 2, but 1 data record comes before it."},
      {lines({kS0, kAt1000, kOtherAt1002, kS9}),
       "Line 3: address 1003 given 09 here and 04 on line 2."},
      // The first fault in file order: the conflict on line 3 before the comment on line 4, the
      // comment before the conflict on line 5.
      {lines({kS0, kAt1000, kOtherAt1002, "#", kS9}),
       "Line 3: address 1003 given 09 here and 04 on line 2."},
      {lines({kS0, kAt1000, kSameAt1002, "#", kOtherAt1002, kS9}), "Line 4: not an S-record."},
      // The same address as an S2 record, on one line with the first.
      {std::string(kS0) + "\n" + std::string(kAt1000) + " S20500100307E0\n" + std::string(kS9),
       "Line 2: address 1003 given 07 here and 04 on line 2."},
  };
  for (const auto& c : cases) {
    const SRecordCheck check = checkSRecordFile(c.file);
    EXPECT_FALSE(check.image) << c.file;
    EXPECT_EQ(check.problem, c.problem) << c.file;
  }
  EXPECT_TRUE(checkSRecordFile(lines({kS0, longest, kS9})).image);
}

TEST(SRecordFile, OverlapsAndRanges) {
  const struct {
    std::vector<std::string_view> records;
    std::vector<AddressRange> ranges;
    std::size_t dataRecords;
    std::uint64_t dataBytes;
  } cases[] = {
      // The same bytes twice, and an S5 record counting the two.
      {{kS0, kAt1000, kSameAt1002, "S5030002FA", kS9}, {{0x1000, 0x1004}}, 2, 7},
      // Adjacent runs merge; a gap keeps them apart; the order of the file does not matter.
      {{kS0, "S10420007F5C", "S104100405E2", kAt1000, "S105FFFEAABB98", kS9},
       {{0x1000, 0x1004}, {0x2000, 0x2000}, {0xFFFE, 0xFFFF}},
       4,
       8},
      {{kS0, "S306FFFFFFFF01FC", "S80401234592", kS9}, {{0xFFFFFFFF, 0xFFFFFFFF}}, 1, 1},
      {{kS0, "S604000000FB", kS9}, {}, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string file = lines(c.records);
    const SRecordImage image = accepted(checkSRecordFile(file));
    EXPECT_EQ(image.ranges, c.ranges) << file;
    EXPECT_EQ(image.dataRecords, c.dataRecords) << file;
    EXPECT_EQ(image.dataBytes, c.dataBytes) << file;
  }
}

TEST(SRecordFile, RecordsAfterTheFirstS9) {
  const std::string file = lines({"S00700000168697FA7", kAt1000, kS9, "S10420007F5C", kS9});
  const SRecordImage image = accepted(checkSRecordFile(file));
  EXPECT_EQ(image.header, ".hi.");
  EXPECT_EQ(image.records.size(), 5u);
  EXPECT_EQ(image.sent, 3u);
  EXPECT_EQ(image.leftOut(), 2u);
  EXPECT_EQ(image.dataRecords, 1u);
  EXPECT_EQ(image.dataBytes, 4u);
  EXPECT_EQ(image.ranges, (std::vector<AddressRange>{{0x1000, 0x1003}}));

  // Checked all the same: a conflict, a fault, a count there refuses the file.
  const struct {
    std::string file;
    const char* problem;
  } refused[] = {
      {lines({kS0, kAt1000, kS9, kOtherAt1002}),
       "Line 4: address 1003 given 09 here and 04 on line 2."},
      {lines({kS0, kS9, "garbage"}), "Line 3: not an S-record."},
      {lines({kS0, kAt1000, kS9, kAt1000, "S5030001FB"}),
       "Line 5: S5 count 1, but 2 data records come before it."},
  };
  for (const auto& c : refused) EXPECT_EQ(checkSRecordFile(c.file).problem, c.problem) << c.file;
}

TEST(SRecordFile, ManyRecordsOneConflictAtTheEnd) {
  // 40 000 records over 640 000 bytes, then the first byte again with another value.
  std::string file = std::string(kS0) + "\n";
  const std::vector<std::uint8_t> data(16, 0x5A);
  for (std::uint32_t a = 0; a < 40'000; ++a) {
    file += encodeSRecord({0, 0, "", 3, a * 16, data}) + "\n";
  }
  file += std::string(kS9) + "\n";
  const SRecordImage image = accepted(checkSRecordFile(file));
  EXPECT_EQ(image.ranges, (std::vector<AddressRange>{{0, 640'000 - 1}}));
  EXPECT_EQ(image.dataBytes, 640'000u);

  file += encodeSRecord({0, 0, "", 3, 0, {0x5B}}) + "\n";
  EXPECT_EQ(checkSRecordFile(file).problem,
            "Line 40003: address 0000 given 5B here and 5A on line 2.");
}

TEST(SRecordFile, EncodedAsTheFileHasIt) {
  const SRecordImage image = accepted(checkSRecordFile(kMadeImage));
  for (const SRecord& r : image.records) EXPECT_EQ(encodeSRecord(r), r.text);
  EXPECT_EQ(encodeSRecord({0, 0, "", 2, 0xABCDEF, {0xFE}}, true), "S205abcdeffe95");
  EXPECT_EQ(encodeSRecord({0, 0, "", 7, 0x12345678, {}}), "S70512345678E6");
  const int widths[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
  for (int type = 0; type <= 9; ++type) EXPECT_EQ(srecordAddressBytes(type), widths[type]);
}

}  // namespace
}  // namespace halvern

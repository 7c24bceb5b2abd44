#include "sim/firmware_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/test_replies.h"
#include "support/instrument_bench.h"
#include "wire/crc32_mpeg2.h"
#include "wire/text_format.h"

namespace halvern::sim {
namespace {

using namespace std::chrono_literals;

// An S-record of `type` at `address` with `data`, its count and checksum worked out, without its
// line feed.
std::string record(int type, std::uint32_t address, const std::vector<std::uint8_t>& data) {
  const std::size_t addressBytes = type == 2 || type == 6 || type == 8 ? 3
                                   : type == 3 || type == 7            ? 4
                                                                       : 2;
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(addressBytes + data.size() + 1)};
  for (std::size_t i = addressBytes; i-- > 0;) {
    bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
  }
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  bytes.push_back(static_cast<std::uint8_t>(~sum));
  std::string text = "S" + std::to_string(type);
  for (std::uint8_t b : bytes) text += formatText("%02X", b);
  return text;
}

std::string signature(const std::vector<std::uint8_t>& bytes) {
  return formatText("%08X", static_cast<unsigned>(Crc32Mpeg2::of(bytes)));
}

// The instrument as the computer's update drives it, one write at a time.
class LoaderTest : public test::InstrumentBench {
 protected:
  LoaderTest() : InstrumentBench(DateTime{2026, 3, 14, 9, 0, 0}) {}

  void addFault(std::string_view option) { ASSERT_EQ(instrument.faults().parse(option), ""); }
  std::string ask(std::string_view line) {
    send(line);
    return drain();
  }
  // The wake-up, "CMD980" and the erase, each answered as it should be.
  void enterAndErase() {
    ASSERT_EQ(ask(" \r"), "C");
    ASSERT_EQ(ask("CMD980\r"), "***");
    send("FLS");
    clock.advance(250ms);
  }
  // One record and its line feed; what came back within 100 ms.
  std::string sendRecord(const std::string& text) { return ask(text + "\n"); }
  // What has reached the computer by `at`, the clock moved on to it.
  std::string arrivedBy(Clock::TimePoint at) {
    clock.sleepUntil(at);
    std::string out;
    std::uint8_t buffer[256];
    while (std::size_t n = instrument.takeOutput(at, buffer, sizeof buffer)) {
      out.append(reinterpret_cast<char*>(buffer), n);
    }
    return out;
  }
  const FirmwareLoader& loader() { return instrument.firmwareLoader(); }
};

// --- The records as the loader reads them ---

TEST(LoaderRecordTest, ReadsGoodRecordsOfEveryType) {
  // Worked by hand: 05 + 10 + 00 + AB + CD = 18D, its low byte 8D, the complement 72.
  auto s1 = readLoaderRecord("S1051000ABCD72");
  ASSERT_TRUE(s1);
  EXPECT_EQ(s1->type, 1);
  EXPECT_EQ(s1->address, 0x1000u);
  EXPECT_EQ(s1->data, (std::vector<std::uint8_t>{0xAB, 0xCD}));
  // Lower-case digits are read too.
  EXPECT_TRUE(readLoaderRecord("S1051000abcd72"));

  auto s2 = readLoaderRecord(record(2, 0x123456, {1, 2, 3}));
  ASSERT_TRUE(s2);
  EXPECT_EQ(s2->address, 0x123456u);
  EXPECT_EQ(s2->data.size(), 3u);
  auto s3 = readLoaderRecord(record(3, 0x89ABCDEF, {9}));
  ASSERT_TRUE(s3);
  EXPECT_EQ(s3->address, 0x89ABCDEFu);
  EXPECT_EQ(s3->data, std::vector<std::uint8_t>{9});
  for (int type : {0, 5, 6, 7, 8, 9}) {
    SCOPED_TRACE(type);
    auto r = readLoaderRecord(record(type, 0x0100, {}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, type);
    EXPECT_EQ(r->address, 0x0100u);
  }
}

TEST(LoaderRecordTest, RefusesBadRecords) {
  const std::string good = "S1051000ABCD72";
  const std::string bad[] = {
      "S1051000ABCD73",    // checksum off by one
      "S1061000ABCD71",    // count one more than the pairs that follow
      "S1041000ABCD73",    // count one less
      "S1051000ABCD7",     // odd number of digits
      "S1051000ABGD72",    // not a hex digit
      "S4051000ABCD72",    // no such type
      "SX051000ABCD72",    // no type digit
      "T1051000ABCD72",    // no "S"
      "S10210ED",          // count too small for the address and checksum
      "S1",                // nothing after the type
      " S1051000ABCD72",   // a blank before it
      "S1051000ABCD72\r",  // a carriage return left in it
  };
  ASSERT_TRUE(readLoaderRecord(good));
  for (const auto& text : bad) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(readLoaderRecord(text));
  }
}

// --- A whole update ---

TEST_F(LoaderTest, WholeUpdateProgramsTheImageAndChangesTheRomSignature) {
  EXPECT_EQ(ask("CMD900\r"), std::string(TestReplies::kRomSignature) + "\r");
  EXPECT_EQ(ask(" \r"), "C");
  EXPECT_FALSE(loader().active());
  EXPECT_EQ(ask("CMD980\r"), "***");
  EXPECT_TRUE(loader().active());
  send("FLS");
  EXPECT_EQ(drain(), "");  // the erase is not answered
  clock.advance(150ms);
  EXPECT_EQ(loader().erases(), 1);

  // Out of address order, an S2 beyond 64 KiB, and header and count records that program
  // nothing.
  const std::vector<std::string> records{record(0, 0, {'h', 'd', 'r'}),
                                         record(1, 0x1000, {0xAB, 0xCD}),
                                         record(1, 0x0FFE, {0x01, 0x02}),
                                         record(2, 0x010000, {0x55}),
                                         record(5, 3, {}),
                                         record(8, 0x000000, {})};
  for (const auto& text : records) {
    SCOPED_TRACE(text);
    EXPECT_EQ(sendRecord(text), "*");
  }
  EXPECT_EQ(loader().recordsTaken(), 6);
  EXPECT_TRUE(loader().active());
  // Command lines go to the loader while it runs: nothing answers them.
  EXPECT_EQ(ask("CMD900\r"), "");

  EXPECT_EQ(sendRecord(record(9, 0, {})), std::string(FirmwareLoader::kClosingText));
  EXPECT_FALSE(loader().active());
  EXPECT_EQ(loader().updates(), 1);
  const std::vector<std::uint8_t> image{0x01, 0x02, 0xAB, 0xCD, 0x55};
  EXPECT_EQ(loader().imageBytes(), image);
  EXPECT_EQ(loader().image().begin()->first, 0x0FFEu);
  EXPECT_EQ(loader().image().rbegin()->first, 0x010000u);

  // Back on command lines, with the new firmware's signature.
  const std::string expected = signature(image);
  EXPECT_NE(expected, TestReplies::kRomSignature);
  EXPECT_EQ(loader().firmwareSignature(), expected);
  EXPECT_EQ(instrument.tests().romSignature(), expected);
  EXPECT_EQ(ask("CMD900\r"), expected + "\r");
}

TEST_F(LoaderTest, ClosingTextIsOneShortLineSoonAfterTheS9) {
  enterAndErase();
  ASSERT_EQ(sendRecord(record(1, 0, {7})), "*");
  send(record(9, 0, {}) + "\n");
  const Clock::TimePoint s9 = clock.now();
  EXPECT_EQ(arrivedBy(s9 + 100ms), std::string(FirmwareLoader::kClosingText));
  const std::string_view text = FirmwareLoader::kClosingText;
  EXPECT_LT(text.size(), 400u);
  EXPECT_EQ(text.find('\r'), text.size() - 1);
  for (char c : text) EXPECT_TRUE(c == '\r' || (c >= 0x20 && c < 0x7F));
}

TEST_F(LoaderTest, BadRecordIsNotAcknowledgedNorProgrammed) {
  enterAndErase();
  ASSERT_EQ(sendRecord(record(1, 0x2000, {1, 2})), "*");
  // The right record with its checksum spoiled.
  std::string spoiled = record(1, 0x2010, {3, 4});
  spoiled.back() = spoiled.back() == '0' ? '1' : '0';
  EXPECT_EQ(sendRecord(spoiled), "");
  clock.advance(90s);
  EXPECT_EQ(drain(), "");
  EXPECT_EQ(loader().recordsReceived(), 2);
  EXPECT_EQ(loader().recordsTaken(), 1);
  EXPECT_EQ(loader().image().count(0x2010), 0u);
  // The loader still takes the next good record, and a bad S9 does not end the update.
  EXPECT_EQ(sendRecord(record(1, 0x2010, {3, 4})), "*");
  std::string badEnd = record(9, 0, {});
  badEnd[3] = '4';
  EXPECT_EQ(sendRecord(badEnd), "");
  EXPECT_TRUE(loader().active());
  EXPECT_EQ(instrument.tests().romSignature(), TestReplies::kRomSignature);
}

TEST_F(LoaderTest, OverlongLineIsDroppedWhole) {
  enterAndErase();
  EXPECT_EQ(sendRecord("S1" + std::string(FirmwareLoader::kMaxLineLength, '0')), "");
  EXPECT_EQ(loader().recordsReceived(), 0);
  EXPECT_EQ(sendRecord(record(1, 0, {1})), "*");
}

// --- Timing: the erase, the silences ---

TEST_F(LoaderTest, RecordDuringTheEraseIsAcknowledgedWhenItEnds) {
  ASSERT_EQ(ask(" \r"), "C");
  ASSERT_EQ(ask("CMD980\r"), "***");
  send("FLS");
  const Clock::TimePoint erase = clock.now();
  clock.advance(10ms);
  send(record(1, 0, {1, 2, 3}) + "\n");
  EXPECT_EQ(arrivedBy(erase + FirmwareLoader::kEraseTime - 1ms), "");
  EXPECT_EQ(arrivedBy(erase + FirmwareLoader::kEraseTime + 10ms), "*");
}

TEST_F(LoaderTest, SlowEraseHoldsTheAcknowledgementsBack) {
  addFault("980:slowerase");
  ASSERT_EQ(ask(" \r"), "C");
  ASSERT_EQ(ask("CMD980\r"), "***");
  send("FLS");
  const Clock::TimePoint erase = clock.now();
  clock.advance(250ms);
  send(record(1, 0, {1}) + "\n");
  EXPECT_EQ(arrivedBy(erase + FirmwareLoader::kSlowEraseTime - 1ms), "");
  EXPECT_EQ(arrivedBy(erase + FirmwareLoader::kSlowEraseTime + 10ms), "*");
  EXPECT_EQ(loader().eraseEnd(), erase + FirmwareLoader::kSlowEraseTime);

  // With a time given; the S9 waits for the erase too.
  addFault("980:slowerase:1:1500");
  ASSERT_EQ(ask("CMD980\r"), "***");
  send("FLS");
  const Clock::TimePoint second = clock.now();
  send(record(9, 0, {}) + "\n");
  EXPECT_EQ(arrivedBy(second + 1499ms), "");
  EXPECT_EQ(arrivedBy(second + 1600ms), std::string(FirmwareLoader::kClosingText));
  EXPECT_FALSE(loader().active());
  // The fault was used once: the next erase is quick again.
  EXPECT_EQ(instrument.faults().peek(980), nullptr);
}

TEST_F(LoaderTest, LoaderWaitsThroughLongSilences) {
  enterAndErase();
  ASSERT_EQ(sendRecord(record(1, 0, {1})), "*");
  clock.advance(8s);
  EXPECT_EQ(sendRecord(record(1, 1, {2})), "*");
  clock.advance(60s);
  EXPECT_TRUE(loader().active());
  EXPECT_EQ(sendRecord(record(9, 0, {})), std::string(FirmwareLoader::kClosingText));
  EXPECT_EQ(loader().imageBytes(), (std::vector<std::uint8_t>{1, 2}));
}

// --- Starting again ---

TEST_F(LoaderTest, NewUpdateAfterAnInterruptedOne) {
  enterAndErase();
  ASSERT_EQ(sendRecord(record(0, 0, {})), "*");
  ASSERT_EQ(sendRecord(record(1, 0x4000, {0xEE, 0xEE})), "*");
  // The computer gave up half way and starts over: the loader still answers its lines.
  clock.advance(120s);
  EXPECT_EQ(ask(" \r"), "C");
  EXPECT_EQ(ask("CMD980\r"), "***");
  EXPECT_EQ(loader().recordsReceived(), 0);
  send("FLS");
  clock.advance(250ms);
  EXPECT_EQ(loader().erases(), 2);
  EXPECT_TRUE(loader().image().empty());
  ASSERT_EQ(sendRecord(record(1, 0x0100, {0x10, 0x20})), "*");
  ASSERT_EQ(sendRecord(record(9, 0, {})), std::string(FirmwareLoader::kClosingText));
  // Only the second update's bytes make the firmware.
  EXPECT_EQ(ask("CMD900\r"), signature({0x10, 0x20}) + "\r");
}

TEST_F(LoaderTest, LinesOutsideTheLoader) {
  // The erase word and records mean nothing outside the loader; nor does "CMD980" with
  // arguments or a line of blanks.
  EXPECT_EQ(ask("FLS"), "");
  EXPECT_EQ(ask(record(1, 0, {1}) + "\n\r"), "");
  EXPECT_EQ(ask("CMD980 1\r"), "");
  EXPECT_EQ(ask("  \r"), "");
  EXPECT_FALSE(loader().active());
  EXPECT_EQ(ask("CMD905\r").size(), 9u);  // other commands are answered as before
  EXPECT_EQ(ask(" \r"), "C");
  EXPECT_FALSE(loader().active());
}

// --- Faults ---

TEST_F(LoaderTest, NoWakeFault) {
  addFault("980:nowake:1");
  EXPECT_EQ(ask(" \r"), "");
  EXPECT_EQ(ask(" \r"), "C");
  // In the loader too.
  addFault("980:nowake:1");
  ASSERT_EQ(ask("CMD980\r"), "***");
  EXPECT_EQ(ask(" \r"), "");
  EXPECT_EQ(ask(" \r"), "C");
}

TEST_F(LoaderTest, FaultsOfTheLoadersAnswer) {
  struct Case {
    std::string option;
    std::string reply;
  };
  const Case cases[] = {
      {"980:onestar:1", "*"},          {"980:wrong:1", "**x**"}, {"980:wrong:1:*?*", "*?*"},
      {"980:silence:1", ""},           {"980:short:1", "**"},    {"980:stray:1", "?#***"},
      {"980:trailing:1:\\r", "***\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    addFault(c.option);
    EXPECT_EQ(ask("CMD980\r"), c.reply);
    // The loader is entered all the same, and answers the next "CMD980" as it should.
    EXPECT_TRUE(loader().active());
    EXPECT_EQ(ask("CMD980\r"), "***");
  }
}

TEST_F(LoaderTest, NoStarFaultWithholdsOneRecordsAcknowledgement) {
  addFault("980:nostar:1:3");
  enterAndErase();
  EXPECT_EQ(sendRecord(record(0, 0, {})), "*");
  EXPECT_EQ(sendRecord(record(1, 0, {1})), "*");
  EXPECT_EQ(sendRecord(record(1, 1, {2})), "");  // record 3
  clock.advance(90s);
  EXPECT_EQ(drain(), "");
  // It was programmed all the same, and the next update is not struck.
  EXPECT_EQ(loader().image().count(1), 1u);
  ASSERT_EQ(ask("CMD980\r"), "***");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(sendRecord(record(1, i, {1})), "*");
}

TEST_F(LoaderTest, NoCloseFaultStillCompletesTheUpdate) {
  addFault("980:noclose");
  enterAndErase();
  ASSERT_EQ(sendRecord(record(1, 0, {0x42})), "*");
  EXPECT_EQ(sendRecord(record(9, 0, {})), "");
  clock.advance(5s);
  EXPECT_EQ(drain(), "");
  EXPECT_FALSE(loader().active());
  EXPECT_EQ(ask("CMD900\r"), signature({0x42}) + "\r");
}

TEST_F(LoaderTest, LoaderFaultsFromTheOption) {
  const char* good[] = {"980:nowake",       "980:onestar:2",     "980:noclose:1",
                        "980:nostar:1:250", "980:slowerase::10", "980:slowerase:-1:600000"};
  for (const char* option : good) {
    SCOPED_TRACE(option);
    FaultPlan plan;
    EXPECT_EQ(plan.parse(option), "");
  }
  FaultPlan plan;
  ASSERT_EQ(plan.parse("980:nostar:1:12"), "");
  EXPECT_EQ(plan.peek(980)->kind, FaultKind::NoStar);
  EXPECT_EQ(plan.peek(980)->number, 12);
  EXPECT_EQ(plan.peek(980)->count, 1);
  ASSERT_EQ(plan.parse("980:slowerase::4500"), "");
  EXPECT_EQ(plan.peek(980)->kind, FaultKind::SlowErase);
  EXPECT_EQ(plan.peek(980)->number, 4500);

  const char* bad[] = {"980:nostar::0",         "980:nostar::x",  "980:slowerase::0",
                       "980:slowerase::600001", "980:noclose::5", "980:onestar::1",
                       "980:nowake::text"};
  for (const char* option : bad) {
    SCOPED_TRACE(option);
    FaultPlan refused;
    EXPECT_NE(refused.parse(option), "");
    EXPECT_TRUE(refused.empty());
  }
}

}  // namespace
}  // namespace halvern::sim

#include "sim/simulated_instrument.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "support/instrument_bench.h"
#include "wire/wire.h"

namespace halvern::sim {
namespace {

using namespace std::chrono_literals;
using Settings = SimulatedInstrument::Settings;

// The instrument with its clock half an hour before a leap day.
class InstrumentTest : public test::InstrumentBench {
 protected:
  InstrumentTest() : InstrumentBench(DateTime{2024, 2, 28, 23, 30, 0}) {}

  std::string ask(const std::string& line) {
    send(line + "\r");
    return drain();
  }
  void addFault(std::string_view option) { ASSERT_EQ(instrument.faults().parse(option), ""); }
};

// A record-format block laid out as the wire carries it.
std::string block(std::string_view label, int type, int width, int precision) {
  std::string b(wire::kRecordFormatBlockSize, '\0');
  b.replace(0, label.size(), label);
  b[28] = static_cast<char>(type);
  b[29] = static_cast<char>(width);
  b[30] = static_cast<char>(precision);
  return b;
}

TEST_F(InstrumentTest, ValueQueriesReplyWithFixedSizes) {
  struct Case {
    std::string line;
    std::function<void(Settings&)> change;
    std::string reply;
  };
  const Case cases[] = {
      {"CMD275", nullptr, "02-28-24\r"},
      {"CMD285", nullptr, "23:30:00\r"},
      {"CMD225", nullptr, "  96\r"},
      {"CMD225", [](Settings& s) { s.com1Code = -96; }, " -96\r"},
      {"CMD225", [](Settings& s) { s.com1Code = -115; }, "-115\r"},
      {"CMD225", [](Settings& s) { s.com1Code = 230; }, " 230\r"},
      {"CMD235", nullptr, " 96\r"},
      {"CMD235", [](Settings& s) { s.com2Code = 115; }, "115\r"},
      {"CMD245", [](Settings& s) { s.stopOnError = 1; }, " 1"},
      {"CMD255", [](Settings& s) { s.interval = 99; }, "99"},
      {"CMD265", nullptr, " 0"},
      {"CMD315", nullptr, " 4"},
      {"CMD331", [](Settings& s) { s.autoScroll = 1; }, " 1"},
      {"CMD333", nullptr, " 5"},
      {"CMD335", nullptr, " 8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Settings saved = instrument.settings();
    if (c.change) c.change(instrument.settings());
    EXPECT_EQ(ask(c.line), c.reply);
    instrument.settings() = saved;
  }
}

TEST_F(InstrumentTest, EachDialectWordsTheSameValuesItsOwnWay) {
  struct Case {
    const char* dialect;
    std::string line;
    std::string reply;
  };
  // The clock reads the same for the first asks: each takes 100 ms.
  const Case cases[] = {
      {"terse", "CMD285", "23/30/00\r"}, {"zeros", "CMD285", "23-30-00\r"},
      {"terse", "CMD275", "02/28/24\r"}, {"zeros", "CMD275", "02:28:24\r"},
      {"terse", "CMD245", "0\r"},        {"terse", "CMD255", "1\r"},
      {"terse", "CMD225", "   96"},      {"terse", "CMD235", "  96"},
      {"zeros", "CMD245", "00"},         {"zeros", "CMD333", "05"},
      {"zeros", "CMD225", "0096\r"},     {"zeros", "CMD235", "096\r"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.dialect) + " " + c.line);
    ASSERT_EQ(instrument.dialect().choose(c.dialect), "");
    EXPECT_EQ(ask(c.line), c.reply);
  }
  // What follows a block.
  ASSERT_EQ(instrument.dialect().choose("terse"), "");
  std::string formats = ask("CMD325");
  EXPECT_EQ(formats.size(), wire::kRecordFormatsSize + 1);
  EXPECT_EQ(formats.back(), '\r');
  ASSERT_EQ(instrument.dialect().choose("zeros"), "");
  EXPECT_EQ(ask("CMD215").substr(wire::kScreensSize), "\r\n");
  formats = ask("CMD325");
  EXPECT_EQ(formats.substr(0, 4), "DATE");
  EXPECT_EQ(formats.substr(wire::kRecordFormatsSize), "\r\n");
}

TEST_F(InstrumentTest, TheSlowDialectTakesLongerToAnswer) {
  auto firstByteAfter = [&](const char* dialect) {
    EXPECT_EQ(instrument.dialect().choose(dialect), "");
    send("CMD255\r");
    const auto sent = clock.now();
    const auto first = instrument.nextOutputTime();
    drain();
    return first ? *first - sent : Clock::Duration::max();
  };
  EXPECT_EQ(firstByteAfter("standard"), SimulatedInstrument::kProcessingDelay + wire::kByteTime);
  EXPECT_EQ(firstByteAfter("zeros"), 30ms + wire::kByteTime);
}

TEST_F(InstrumentTest, SettingsAreCheckedStoredAndAcknowledged) {
  struct Case {
    std::string line;
    bool accepted;
    std::string query;
    std::string value;
  };
  const Case cases[] = {
      {"CMD220 -96", true, "CMD225", " -96\r"}, {"CMD220 -230", true, "CMD225", "-230\r"},
      {"CMD220 57", false, "CMD225", "-230\r"}, {"CMD220", false, "CMD225", "-230\r"},
      {"CMD230 19", true, "CMD235", " 19\r"},   {"CMD230 -96", false, "CMD235", " 19\r"},
      {"CMD250 99", true, "CMD255", "99"},      {"CMD250 0", true, "CMD255", " 0"},
      {"CMD250 100", false, "CMD255", " 0"},    {"CMD250 5 6", false, "CMD255", " 0"},
      {"CMD250 x", false, "CMD255", " 0"},      {"CMD250  5", false, "CMD255", " 0"},
      {"CMD260 1", true, "CMD265", " 1"},       {"CMD260 2", false, "CMD265", " 1"},
      {"CMD310 25", true, "CMD315", "25"},      {"CMD310 0", false, "CMD315", "25"},
      {"CMD310 26", false, "CMD315", "25"},     {"CMD330 1", true, "CMD331", " 1"},
      {"CMD332 07", true, "CMD333", " 7"},      {"CMD334 0", true, "CMD335", " 0"},
      {"CMD334 9", false, "CMD335", " 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ask(c.line), c.accepted ? "*" : "");
    EXPECT_EQ(ask(c.query), c.value);
  }
}

TEST_F(InstrumentTest, IgnoresGarbageAndRecordsLines) {
  for (const char* line : {"HELLO", "CMD25", "cmd255", "CMD999", "CMD255 1", "CMD25X"}) {
    EXPECT_EQ(ask(line), "") << line;
  }
  // An overlong line is dropped whole, and the next line is read normally.
  EXPECT_EQ(ask("CMD255" + std::string(SimulatedInstrument::kMaxLineLength, ' ')), "");
  EXPECT_EQ(ask("CMD255"), " 1");
  const auto& lines = instrument.linesReceived();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines.front(), "HELLO");
  EXPECT_EQ(lines.back(), "CMD255");
}

TEST_F(InstrumentTest, ReplyBytesAreScheduledOnTheWire) {
  send("CMD225\r");
  const auto carriageReturn = clock.now();
  const auto first = carriageReturn + SimulatedInstrument::kProcessingDelay + wire::kByteTime;
  EXPECT_EQ(instrument.nextOutputTime(), first);
  std::uint8_t buffer[8];
  EXPECT_EQ(instrument.takeOutput(first - 1ns, buffer, 8), 0u);
  EXPECT_EQ(instrument.takeOutput(first + wire::kByteTime, buffer, 8), 2u);
  // A purge drops what has arrived; the bytes still on the wire come later.
  instrument.discardOutput(first + 2 * wire::kByteTime);
  EXPECT_EQ(instrument.takeOutput(first + 10 * wire::kByteTime, buffer, 8), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "6\r");
  EXPECT_FALSE(instrument.nextOutputTime());
}

TEST_F(InstrumentTest, ClockRunsAcrossMidnightAndLeapDay) {
  clock.advance(45min);
  EXPECT_EQ(ask("CMD275"), "02-29-24\r");
  EXPECT_EQ(ask("CMD285"), "00:15:00\r");

  EXPECT_EQ(ask("CMD280 23 59 30"), "*");
  EXPECT_EQ(ask("CMD270 12 31 23"), "*");  // keeps the time just set
  clock.advance(2h);
  EXPECT_EQ(ask("CMD275"), "01-01-24\r");
  EXPECT_EQ(ask("CMD285"), "01:59:30\r");
  EXPECT_EQ(instrument.dateTimeAt(clock.now()), (DateTime{2024, 1, 1, 1, 59, 30}));

  for (const char* bad : {"CMD270 02 29 23", "CMD270 04 31 24", "CMD270 13 01 24",
                          "CMD270 00 10 24", "CMD270 01 01 100", "CMD280 24 00 00",
                          "CMD280 12 60 00", "CMD280 12 00 60", "CMD280 12 00"}) {
    EXPECT_EQ(ask(bad), "") << bad;
  }
  EXPECT_EQ(ask("CMD270 02 29 28"), "*");
  EXPECT_EQ(ask("CMD275"), "02-29-28\r");
}

TEST_F(InstrumentTest, RecordFormatsDownloadInBlocks) {
  std::string reply = ask("CMD325");
  ASSERT_EQ(reply.size(), wire::kRecordFormatsSize);
  EXPECT_EQ(reply.substr(0, 32), block("DATE", 1, 8, 0));
  EXPECT_EQ(reply.substr(2 * 32, 32), block("WIND SPEED", 0, 5, 1));
  EXPECT_EQ(reply.substr(24 * 32, 32), block("FIELD 25", 0, 7, 1));
}

TEST_F(InstrumentTest, RecordFormatsUploadRoundTrip) {
  std::string blocks;
  for (int i = 0; i < 25; ++i) {
    std::string label = i == 0 ? std::string("ABCDEFGHIJKLMNOPQRSTUVWXY") : "F" + std::to_string(i);
    blocks += block(label, i % 3, 1 + i % 9, i % 7);
  }
  EXPECT_EQ(ask("CMD320"), "!");
  std::string marks;
  for (int i = 0; i < 25; ++i) {
    send(blocks.substr(i * 32, 32));
    marks += drain();
  }
  EXPECT_EQ(marks, std::string(24, '!') + "*");
  EXPECT_EQ(instrument.settings().formats[0].label, "ABCDEFGHIJKLMNOPQRSTUVWXY");
  EXPECT_EQ(instrument.settings().formats[24].width, 1 + 24 % 9);
  EXPECT_EQ(ask("CMD325"), blocks);
}

TEST_F(InstrumentTest, BrokenOrAbandonedUploadKeepsFormats) {
  const std::string before = ask("CMD325");
  std::string garbageAfterLabel = block("X", 0, 7, 1);
  garbageAfterLabel[5] = 'Z';
  const std::string bad[] = {block("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 0, 7, 1),
                             block("X", 3, 7, 1),
                             block("X", 0, 0, 1),
                             block("X", 0, 10, 1),
                             block("X", 0, 7, 7),
                             garbageAfterLabel};
  for (const auto& b : bad) {
    EXPECT_EQ(ask("CMD320"), "!");
    send(block("GOOD", 0, 7, 1));
    EXPECT_EQ(drain(), "!");
    send(b);
    EXPECT_EQ(drain(), "");
    // Back at command lines at once.
    EXPECT_EQ(ask("CMD255"), " 1");
  }
  // A sender that stops for more than a second is given up on.
  EXPECT_EQ(ask("CMD320"), "!");
  send(block("GOOD", 0, 7, 1));
  clock.advance(SimulatedInstrument::kBinaryGapLimit);
  EXPECT_EQ(ask("CMD255"), "!" + std::string(" 1"));
  EXPECT_EQ(ask("CMD325"), before);
}

TEST_F(InstrumentTest, FaultsSpoilReplies) {
  struct Case {
    std::string fault;
    std::string line;
    std::string reply;
  };
  const Case cases[] = {
      {"275:wrong", "CMD275", "13-28-24\r"},
      {"285:wrong", "CMD285", "24:30:00\r"},
      {"225:silence", "CMD225", ""},
      {"225:short", "CMD225", "  96"},
      {"225:wrong", "CMD225", " -57\r"},
      {"225:wrong:1:57", "CMD225", "57   "},
      {"225:wrong:1:-115\\r", "CMD225", "-115\r"},
      {"235:wrong", "CMD235", " 57\r"},
      {"245:wrong", "CMD245", "-1"},
      {"315:wrong", "CMD315", "99"},
      {"335:wrong", "CMD335", "99"},
      {"255:stray", "CMD255", "?# 1"},
      {"255:stray:1:\\x15", "CMD255", "\x15 1"},
      {"255:trailing", "CMD255", " 1?#"},
      {"225:trailing:1:\\r\\n", "CMD225", "  96\r\r\n"},
      {"255:nostar", "CMD255", " 1"},
      {"250:wrong", "CMD250 3", "?"},
      {"250:stray", "CMD250 3", "?#*"},
      {"250:short", "CMD250 3", ""},
      {"320:stray", "CMD320", "?#!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    instrument.faults().clearAll();
    addFault(c.fault);
    EXPECT_EQ(ask(c.line), c.reply);
  }
  clock.advance(2s);  // lets the upload started above lapse
  instrument.faults().clearAll();
  addFault("325:short");
  EXPECT_EQ(ask("CMD325").size(), wire::kRecordFormatsSize - 1);
  addFault("325:wrong");
  EXPECT_EQ(static_cast<int>(ask("CMD325")[28]), 3);
}

TEST_F(InstrumentTest, FaultCountsAndSettingsUnderFaults) {
  addFault("255:silence:2");
  EXPECT_EQ(ask("CMD255"), "");
  EXPECT_EQ(ask("CMD255"), "");
  EXPECT_EQ(ask("CMD255"), " 1");
  addFault("265:short");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ask("CMD265"), " ");

  // A silenced setting is not taken; one without its "*" is.
  addFault("250:silence:1");
  EXPECT_EQ(ask("CMD250 7"), "");
  EXPECT_EQ(ask("CMD255"), " 1");
  addFault("250:nostar:1");
  EXPECT_EQ(ask("CMD250 7"), "");
  EXPECT_EQ(ask("CMD255"), " 7");
  // A refused argument does not use up a fault.
  addFault("260:nostar:1");
  EXPECT_EQ(ask("CMD260 5"), "");
  EXPECT_EQ(ask("CMD260 1"), "");
  EXPECT_EQ(ask("CMD260 1"), "*");

  // The upload without its closing "*" still stores the formats.
  addFault("320:nostar:1");
  EXPECT_EQ(ask("CMD320"), "!");
  std::string marks;
  for (int i = 0; i < 25; ++i) {
    send(block("NEW", 0, 7, 1));
    marks += drain();
  }
  EXPECT_EQ(marks, std::string(24, '!'));
  EXPECT_EQ(instrument.settings().formats[3].label, "NEW");
  addFault("320:silence:1");
  EXPECT_EQ(ask("CMD320"), "");
  EXPECT_EQ(ask("CMD255"), " 7");
}

TEST(FaultPlanTest, ParsesOptions) {
  struct Case {
    std::string option;
    bool ok;
    FaultKind kind;
    int count;
    std::string text;
  };
  const Case cases[] = {
      {"225:short:3", true, FaultKind::Short, 3, ""},
      {"275:wrong", true, FaultKind::WrongValue, -1, ""},
      {"220:nostar", true, FaultKind::NoStar, -1, ""},
      {"255:silence:-1", true, FaultKind::Silence, -1, ""},
      {"225:wrong:6:57", true, FaultKind::WrongValue, 6, "57"},
      {"225:wrong::a:b\\r", true, FaultKind::WrongValue, -1, "a:b\r"},
      {"225:stray:1:\\x06\\\\", true, FaultKind::Stray, 1, "\x06\\"},
      {"", false, {}, 0, ""},
      {"225", false, {}, 0, ""},
      {"22:short", false, {}, 0, ""},
      {"2x5:short", false, {}, 0, ""},
      {"225:loud", false, {}, 0, ""},
      {"225:short:0", false, {}, 0, ""},
      {"225:short:-2", false, {}, 0, ""},
      {"225:short:x", false, {}, 0, ""},
      {"225:short:1:text", false, {}, 0, ""},
      {"225:wrong:1:\\q", false, {}, 0, ""},
      {"225:wrong:1:\\x1", false, {}, 0, ""},
      {"225:cut", true, FaultKind::Cut, -1, ""},
      {"325:hangup::400", true, FaultKind::HangUp, -1, ""},
      {"225:cut:2", false, {}, 0, ""},
      {"225:cut::x", false, {}, 0, ""},
      {"225:hangup::-1", false, {}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    FaultPlan plan;
    std::string error = plan.parse(c.option);
    EXPECT_EQ(error.empty(), c.ok) << error;
    EXPECT_EQ(plan.empty(), !c.ok);
    if (!c.ok) continue;
    auto fault = plan.take(std::stoi(c.option.substr(0, 3)));
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->kind, c.kind);
    EXPECT_EQ(fault->count, c.count);
    EXPECT_EQ(fault->text, c.text);
  }
  FaultPlan plan;
  ASSERT_EQ(plan.parse("115:cut::1500"), "");
  EXPECT_EQ(plan.peek(115)->bytesBeforeCut, 1500u);
}

}  // namespace
}  // namespace halvern::sim

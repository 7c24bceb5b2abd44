// The instrument's side of the program transfers, driven byte by byte.
#include "sim/program_memory.h"

#include <gtest/gtest.h>

#include "sim/simulated_instrument.h"
#include "support/instrument_bench.h"
#include "wire/crc32_mpeg2.h"

namespace halvern::sim {
namespace {

using namespace std::chrono_literals;

class ProgramMemoryTest : public test::InstrumentBench {
 protected:
  ProgramMemoryTest() : InstrumentBench(DateTime{2026, 3, 1, 12, 0, 0}) {}

  static std::string block(std::size_t n, const ProgramMemory::Image& image) {
    std::string b = n == 0 ? "\xAB\xCD" : "\xEF\xAB";
    b.append(reinterpret_cast<const char*>(image.data()) + n * 1024, 1024);
    auto crc = Crc32Mpeg2::of({reinterpret_cast<const std::uint8_t*>(b.data()), b.size()});
    for (int i = 0; i < 4; ++i) b += static_cast<char>(crc >> (24 - 8 * i));
    return b;
  }
};

TEST(ReadBackFaults, OptionsOfTheSendsStoredOtherwise) {
  const struct {
    const char* option;
    int code;
    bool ok;
    FaultKind kind;
    int count;
  } cases[] = {
      {"210:droprow", 210, true, FaultKind::DropRow, -1},
      {"210:droprow:2", 210, true, FaultKind::DropRow, 2},
      {"110:changeparam:1", 110, true, FaultKind::ChangeParam, 1},
      {"110:changeparam:1:x", 110, false, {}, 0},
      {"210:droprows", 210, false, {}, 0},
  };
  for (const auto& c : cases) {
    FaultPlan plan;
    EXPECT_EQ(plan.parse(c.option).empty(), c.ok) << c.option;
    if (!c.ok) continue;
    const Fault* f = plan.peek(c.code);
    ASSERT_NE(f, nullptr) << c.option;
    EXPECT_EQ(f->kind, c.kind) << c.option;
    EXPECT_EQ(f->count, c.count) << c.option;
  }
}

TEST_F(ProgramMemoryTest, FaultOptionsOfTheProgramTransfers) {
  const struct {
    const char* option;
    bool ok;
    FaultKind kind;
    int count, block;
  } cases[] = {
      {"115:corrupt:2:5", true, FaultKind::Corrupt, 2, 5},
      {"110:nakstorm", true, FaultKind::NakStorm, -1, -1},
      {"115:silence:3:66", true, FaultKind::Silence, 3, 66},
      {"115:dies::12", true, FaultKind::Dies, -1, 12},
      {"115:badend:1", true, FaultKind::BadEnd, 1, -1},
      {"115:dies::67", false, {}, 0, 0},
      {"115:corrupt:1:x", false, {}, 0, 0},
      {"115:badend:1:3", false, {}, 0, 0},
  };
  for (const auto& c : cases) {
    FaultPlan plan;
    EXPECT_EQ(plan.parse(c.option).empty(), c.ok) << c.option;
    if (!c.ok) continue;
    const Fault* f = plan.peek(c.option[2] == '5' ? 115 : 110);
    ASSERT_NE(f, nullptr) << c.option;
    EXPECT_EQ(f->kind, c.kind) << c.option;
    EXPECT_EQ(f->count, c.count) << c.option;
    EXPECT_EQ(f->block, c.block) << c.option;
  }
}

TEST_F(ProgramMemoryTest, UploadIsStoredOnlyAfterAGoodEndBlock) {
  ProgramMemory::Image image;
  image.fill(0xFF);
  image[0] = 0;
  image[1] = 0;  // slot 0: PGM END
  image[65536] = 0;
  image[65537] = 0;
  for (const char* end : {"\xCD\xEF\x23\xEE\xE8\x4A", "\xCD\xEF\x4A\xE8\xEE\x23"}) {
    send("CMD110\r");
    EXPECT_EQ(drain(), "\x15");
    for (std::size_t n = 0; n < 66; ++n) {
      send(block(n, image));
      ASSERT_EQ(drain(), "\x06") << n;
    }
    send(std::string(end, 6));
    drain();
  }
  // The first end block carried its CRC the wrong way round; the second was taken.
  EXPECT_EQ(instrument.programMemory().uploads(), 1);
  EXPECT_EQ(instrument.programMemory().program().size(), 1u);
  // Kept in the instrument's own slot, not slot 0.
  const auto& kept = instrument.programMemory().image();
  EXPECT_EQ(kept[65536] << 8 | kept[65537], 77);
}

TEST_F(ProgramMemoryTest, ShortStrayAndWrongRepliesOfTheTransfers) {
  const auto& image = instrument.programMemory().image();
  const std::string block0 = block(0, image);
  const std::string block1 = block(1, image);
  const std::string nak = "\x15", ack = "\x06";
  const struct {
    const char* fault;
    std::vector<std::string> sent;     // the command line, then what the computer sends
    std::vector<std::string> replies;  // the instrument's answer to each
  } cases[] = {
      {"115:short:2",
       {"CMD115\r", nak, ack},
       {block0.substr(0, 1029), block0.substr(0, 1029), block1}},
      {"115:stray:1", {"CMD115\r", nak}, {"?#" + block0, block0}},
      {"115:stray::\\x06", {"CMD115\r"}, {ack + block0}},
      // Garbage in place of the first block; a NAK still asks for it.
      {"115:wrong", {"CMD115\r", nak}, {"?", block0}},
      {"110:stray", {"CMD110\r"}, {"?#" + nak}},
      // Garbage in place of the ACK, and the block is not taken: block 0 is asked for again.
      {"110:wrong:1:X", {"CMD110\r", block0, block0, block1}, {nak, "X", ack, ack}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    instrument.faults().clearAll();
    ASSERT_EQ(instrument.faults().parse(c.fault), "");
    for (std::size_t i = 0; i < c.sent.size(); ++i) {
      send(c.sent[i]);
      EXPECT_EQ(drain(), c.replies[i]) << i;
    }
    // A line ends the transfer before the next case.
    clock.advance(2s);
    send("CMD255\r");
    EXPECT_EQ(drain(), " 1");
  }
}

TEST_F(ProgramMemoryTest, ACommandLineEndsATransfer) {
  send("CMD115\r");
  EXPECT_EQ(drain().substr(0, 2), "\xAB\xCD");
  send("CMD255\r");
  EXPECT_EQ(drain(), " 1");
  send("CMD110\r");
  EXPECT_EQ(drain(), "\x15");
  // A block begun and abandoned: after a second of quiet, a line is heard again.
  send(std::string("\xAB\xCD", 2) + "xyz");
  clock.advance(2s);
  send("CMD255\r");
  EXPECT_EQ(drain(), " 1");
}

}  // namespace
}  // namespace halvern::sim

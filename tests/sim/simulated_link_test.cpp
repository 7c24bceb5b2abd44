#include "sim/simulated_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "sim/simulated_instrument.h"
#include "support/computer_bench.h"
#include "wire/wire.h"

namespace halvern::sim {
namespace {

using namespace std::chrono_literals;

class SimulatedLinkTest : public ::testing::Test, protected test::InstrumentOnLink {
 protected:
  SimulatedLinkTest() : InstrumentOnLink(DateTime{2024, 6, 1, 12, 0, 0}) {}
  void SetUp() override { ASSERT_TRUE(link.open()); }

  void writeLine(std::string_view line) {
    link.write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
  }
  std::string read(std::size_t n) {
    std::string buffer(n, '\0');
    buffer.resize(link.read(reinterpret_cast<std::uint8_t*>(buffer.data()), n));
    return buffer;
  }
};

TEST_F(SimulatedLinkTest, ReadReturnsOnceTheCountHasArrived) {
  const auto start = clock.now();
  writeLine("CMD225\r");
  EXPECT_EQ(read(5), "  96\r");
  // Seven bytes out, the instrument's delay, five bytes back.
  EXPECT_EQ(clock.now() - start, 12 * wire::kByteTime + SimulatedInstrument::kProcessingDelay);
  EXPECT_EQ(instrument.linesReceived(), std::vector<std::string>{"CMD225"});
}

TEST_F(SimulatedLinkTest, ShortReadEndsAtTheReadTimeout) {
  writeLine("CMD225\r");
  const auto start = clock.now();
  EXPECT_EQ(read(6), "  96\r");
  EXPECT_EQ(clock.now() - start, wire::kReadTimeout);
  // Nothing at all: the whole time-out too.
  EXPECT_EQ(read(1), "");
  EXPECT_EQ(clock.now() - start, 2 * wire::kReadTimeout);
}

TEST_F(SimulatedLinkTest, WritesQueueBehindEachOtherOnTheWire) {
  // Two lines written at the same instant reach the instrument one after the other.
  writeLine("CMD255\r");
  writeLine("CMD265\r");
  EXPECT_EQ(read(4), " 1 0");
  EXPECT_EQ(instrument.linesReceived().size(), 2u);
}

TEST_F(SimulatedLinkTest, PurgeDropsArrivedBytesButNotThoseInFlight) {
  writeLine("CMD325\r");
  // Let the first three blocks arrive.
  clock.advance(7 * wire::kByteTime + SimulatedInstrument::kProcessingDelay + 96 * wire::kByteTime);
  link.purge();
  std::string rest = read(wire::kRecordFormatsSize);
  ASSERT_EQ(rest.size(), wire::kRecordFormatsSize - 96);
  // Byte 96 starts the fourth block.
  EXPECT_EQ(rest.substr(0, 8), "WIND DIR");
}

TEST_F(SimulatedLinkTest, UnpluggedOrClosedLinkTransfersNothingAtOnce) {
  writeLine("CMD255\r");
  link.unplug();
  const auto start = clock.now();
  EXPECT_EQ(read(2), "");
  EXPECT_EQ(link.write(std::uint8_t{'C'}), 0u);
  EXPECT_EQ(clock.now(), start);
  EXPECT_FALSE(link.lastError().empty());

  ASSERT_TRUE(link.open());
  EXPECT_TRUE(link.lastError().empty());
  writeLine("CMD255\r");
  EXPECT_EQ(read(2), " 1");

  link.close();
  EXPECT_FALSE(link.isOpen());
  EXPECT_EQ(read(2), "");
  EXPECT_EQ(link.write(std::uint8_t{'C'}), 0u);
}

TEST(SimulatedLinkCut, TheFirstBytesComeAtOnceThenTheLinkIsDeadOrClosed) {
  std::string formatBlock(wire::kRecordFormatBlockSize, '\0');
  formatBlock.replace(0, 3, "NEW");
  formatBlock[29] = 7;  // width
  const struct {
    const char* fault;
    std::string written;
    std::string got;
    bool open;  // a cut leaves the port open, a hang-up closes it
  } cases[] = {
      {"225:cut::2", "CMD225\r", "  ", true},
      {"225:hangup::2", "CMD225\r", "  ", false},
      {"255:cut", "CMD255\r", "", true},
      {"255:hangup", "CMD255\r", "", false},
      // The bytes are counted over the replies that follow: the record-format upload's marks.
      {"320:cut::3", "CMD320\r" + formatBlock + formatBlock + formatBlock, "!!!", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    test::InstrumentOnLink bench{DateTime{2024, 6, 1, 12, 0, 0}};
    VirtualClock& clock = bench.clock;
    SimulatedInstrument& instrument = bench.instrument;
    SimulatedLink& link = bench.link;
    ASSERT_TRUE(link.open());
    ASSERT_EQ(instrument.faults().parse(c.fault), "");
    auto read = [&](std::size_t n) {
      std::string buffer(n, '\0');
      buffer.resize(link.read(reinterpret_cast<std::uint8_t*>(buffer.data()), n));
      return buffer;
    };
    // Only the command with the fault is struck.
    link.write(reinterpret_cast<const std::uint8_t*>("CMD265\r"), 7);
    EXPECT_EQ(read(2), " 0");

    link.write(reinterpret_cast<const std::uint8_t*>(c.written.data()), c.written.size());
    auto start = clock.now();
    EXPECT_EQ(read(100), c.got);
    // Nothing more can come, so the read does not wait out its time-out.
    EXPECT_LT(clock.now() - start, wire::kReadTimeout);
    EXPECT_TRUE(instrument.linkDead());
    EXPECT_EQ(link.isOpen(), c.open);
    EXPECT_FALSE(link.lastError().empty());

    start = clock.now();
    EXPECT_EQ(read(1), "");
    EXPECT_EQ(link.write(reinterpret_cast<const std::uint8_t*>("CMD265\r"), 7), 0u);
    EXPECT_EQ(clock.now(), start);
    EXPECT_EQ(instrument.linesReceived().back(), c.written.substr(0, 6));
    // A bridge that hung up cannot be opened again.
    EXPECT_EQ(link.open(), c.open);
  }
}

TEST_F(SimulatedLinkTest, OpenCanBeMadeToFail) {
  link.close();
  link.setOpenFails(true);
  EXPECT_FALSE(link.open());
  EXPECT_FALSE(link.isOpen());
  EXPECT_FALSE(link.lastError().empty());
  link.setOpenFails(false);
  EXPECT_TRUE(link.open());
}

}  // namespace
}  // namespace halvern::sim

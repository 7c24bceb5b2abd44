// SerialLink on pseudo-terminal pairs: the test holds the master side and plays the instrument.
// These run in real time; each time-out costs a quarter of a second.

#include "link/serial_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using SteadyClock = std::chrono::steady_clock;

class PtyPair {
 public:
  PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
      m_slavePath = ::ptsname(m_master);
    }
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return !m_slavePath.empty(); }
  const std::string& slavePath() const { return m_slavePath; }

  void send(const Bytes& bytes) {
    ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void send(const std::string& text) { send(Bytes(text.begin(), text.end())); }

  // What the link sent, collected until `n` bytes are in or a second has passed.
  Bytes receive(std::size_t n) {
    Bytes got;
    const auto deadline = SteadyClock::now() + 1s;
    while (got.size() < n && SteadyClock::now() < deadline) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      std::uint8_t chunk[512];
      const ssize_t r = ::read(m_master, chunk, std::min(sizeof chunk, n - got.size()));
      if (r <= 0) break;
      got.insert(got.end(), chunk, chunk + r);
    }
    return got;
  }

  void closeMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }

 private:
  int m_master = -1;
  std::string m_slavePath;
};

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_pty.ok());
    ASSERT_TRUE(m_link.open()) << m_link.lastError();
  }

  // Reads `n` bytes through the link; `elapsed` is how long the read took.
  Bytes readLink(std::size_t n, SteadyClock::duration* elapsed = nullptr) {
    Bytes buffer(n + 8, 0xEE);
    const auto start = SteadyClock::now();
    const std::size_t got = m_link.read(buffer.data(), n);
    if (elapsed) *elapsed = SteadyClock::now() - start;
    EXPECT_EQ(buffer[n], 0xEE) << "read wrote past the count";
    buffer.resize(got);
    return buffer;
  }

  static Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

  SystemClock m_clock;
  PtyPair m_pty;
  SerialLink m_link{m_clock, m_pty.slavePath()};
};

TEST_F(SerialLinkTest, APseudoTerminalHasNoLowLatencyToGrant) {
  // No serial driver to ask: nothing to say about it.
  EXPECT_EQ(m_link.lowLatency(), std::nullopt);
}

TEST_F(SerialLinkTest, ReadTakesExactlyTheCountAndLeavesTheRestForTheNextRead) {
  m_pty.send("ABCDEFGH");
  SteadyClock::duration elapsed{};
  EXPECT_EQ(readLink(5, &elapsed), bytes("ABCDE"));
  EXPECT_LT(elapsed, 150ms) << "a complete read must not wait for the time-out";
  EXPECT_EQ(readLink(3, &elapsed), bytes("FGH"));
  EXPECT_LT(elapsed, 150ms);
}

TEST_F(SerialLinkTest, ShortReplyReturnsWhatArrivedAtTheTimeOut) {
  m_pty.send("12345");
  SteadyClock::duration elapsed{};
  EXPECT_EQ(readLink(6, &elapsed), bytes("12345"));
  EXPECT_GE(elapsed, 200ms);
  EXPECT_LT(elapsed, 600ms);
}

TEST(SerialLinkClockTest, ReadTimeOutHoldsEvenOnAClockThatDoesNotMove) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  VirtualClock clock;
  SerialLink link(clock, pty.slavePath());
  ASSERT_TRUE(link.open()) << link.lastError();
  pty.send("1");
  std::uint8_t buffer[2] = {};
  const auto start = SteadyClock::now();
  EXPECT_EQ(link.read(buffer, 2), 1u);
  EXPECT_LT(SteadyClock::now() - start, 600ms);
}

TEST_F(SerialLinkTest, PiecesArrivingWithinTheTimeOutAreGatheredIntoOneRead) {
  std::thread instrument([this] {
    m_pty.send("AB");
    std::this_thread::sleep_for(60ms);
    m_pty.send("CD");
    std::this_thread::sleep_for(60ms);
    m_pty.send("EFG");
  });
  SteadyClock::duration elapsed{};
  const Bytes got = readLink(6, &elapsed);
  instrument.join();
  EXPECT_EQ(got, bytes("ABCDEF"));
  EXPECT_GE(elapsed, 100ms);
  EXPECT_LT(elapsed, 240ms) << "the read must end when its count is in, not at the time-out";
  EXPECT_EQ(readLink(1), bytes("G"));
}

TEST_F(SerialLinkTest, PurgeDropsBytesHeldByTheDriverAndByTheLink) {
  // Some bytes already taken into the link's own buffer, more waiting in the driver.
  m_pty.send("abcdef");
  EXPECT_EQ(readLink(2), bytes("ab"));
  m_pty.send("ghij");
  std::this_thread::sleep_for(30ms);
  m_link.purge();
  EXPECT_EQ(readLink(1), Bytes{});

  // The link still receives what comes after the purge.
  m_pty.send("Z");
  EXPECT_EQ(readLink(1), bytes("Z"));
}

TEST_F(SerialLinkTest, AvailableCountsWhatIsWaitingWithoutTakingIt) {
  EXPECT_EQ(m_link.available(), 0u);
  // Part taken into the link's own buffer by a read, part left with the driver.
  m_pty.send("abcdef");
  EXPECT_EQ(readLink(2), bytes("ab"));
  m_pty.send("gh");
  std::this_thread::sleep_for(30ms);
  const auto start = SteadyClock::now();
  EXPECT_EQ(m_link.available(), 6u);
  EXPECT_LT(SteadyClock::now() - start, 20ms) << "a look must not wait";
  EXPECT_EQ(readLink(6), bytes("cdefgh"));
  EXPECT_EQ(m_link.available(), 0u);

  m_pty.send("ij");
  std::this_thread::sleep_for(30ms);
  m_link.purge();
  EXPECT_EQ(m_link.available(), 0u);
  m_link.close();
  EXPECT_EQ(m_link.available(), 0u);
}

TEST_F(SerialLinkTest, EveryByteValueCrossesUnchangedBothWays) {
  // Carriage returns, line feeds, XON/XOFF, DEL and 8-bit values must pass untouched.
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);

  EXPECT_EQ(m_link.write(all.data(), all.size()), all.size());
  EXPECT_EQ(m_link.write(std::uint8_t{0x0D}), 1u);
  Bytes expected = all;
  expected.push_back(0x0D);
  EXPECT_EQ(m_pty.receive(expected.size()), expected);

  m_pty.send(all);
  EXPECT_EQ(readLink(all.size()), all);
}

TEST_F(SerialLinkTest, CyclePortOnAPseudoTerminalLeavesTheLinkOpenAndWorking) {
  m_link.cyclePort();
  ASSERT_TRUE(m_link.isOpen());
  m_pty.send("ok");
  EXPECT_EQ(readLink(2), bytes("ok"));
}

TEST_F(SerialLinkTest, CloseAndOpenAgainGivesAFreshLink) {
  m_pty.send("stale");
  std::this_thread::sleep_for(30ms);
  m_link.close();
  EXPECT_FALSE(m_link.isOpen());
  EXPECT_EQ(readLink(1), Bytes{});
  EXPECT_EQ(m_link.write(std::uint8_t{'x'}), 0u);

  ASSERT_TRUE(m_link.open()) << m_link.lastError();
  EXPECT_EQ(m_link.devicePath(), m_pty.slavePath());
  m_pty.send("new");
  EXPECT_EQ(readLink(3), bytes("new")) << "open must purge what arrived before it";
}

// The device vanishing is noticed by whichever call meets it first.
class SerialLinkDeviceGoneTest : public SerialLinkTest,
                                 public ::testing::WithParamInterface<const char*> {};

TEST_P(SerialLinkDeviceGoneTest, ClosesTheLinkAndReportsOnce) {
  int lost = 0;
  m_link.setOnDeviceLost([&] { ++lost; });
  m_pty.closeMaster();

  const std::string call = GetParam();
  SteadyClock::duration elapsed{};
  if (call == "read") {
    EXPECT_EQ(readLink(4, &elapsed), Bytes{});
  } else {
    const auto start = SteadyClock::now();
    EXPECT_EQ(m_link.write(bytes("CMD").data(), 3), 0u);
    elapsed = SteadyClock::now() - start;
  }
  EXPECT_LT(elapsed, 100ms);
  EXPECT_FALSE(m_link.isOpen());
  EXPECT_EQ(lost, 1);
  EXPECT_NE(m_link.lastError().find(m_pty.slavePath()), std::string::npos) << m_link.lastError();

  // Everything after that fails at once, without another report.
  EXPECT_EQ(readLink(4, &elapsed), Bytes{});
  EXPECT_LT(elapsed, 20ms);
  EXPECT_EQ(m_link.write(std::uint8_t{'x'}), 0u);
  m_link.purge();
  EXPECT_EQ(lost, 1);
}

INSTANTIATE_TEST_SUITE_P(Calls, SerialLinkDeviceGoneTest, ::testing::Values("read", "write"));

TEST(SerialLinkOpenTest, OpenFailuresLeaveAClosedLinkThatSaysWhy) {
  SystemClock clock;
  SerialLink missing(clock, "/dev/halvern-no-such-port");
  EXPECT_FALSE(missing.open());
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.lastError(), "/dev/halvern-no-such-port: No such file or directory");
  std::uint8_t b = 0;
  EXPECT_EQ(missing.read(&b, 1), 0u);
  EXPECT_EQ(missing.write(b), 0u);

  for (const SerialPortEntry& port : SerialLink::enumeratePorts()) {
    if (port.isInstrument) GTEST_SKIP() << "an instrument is attached at " << port.device;
  }
  SerialLink byDescription(clock);
  EXPECT_FALSE(byDescription.open());
  byDescription.setDeviceFolder("/nonexistent");
  EXPECT_FALSE(byDescription.open());
  EXPECT_EQ(byDescription.lastError(),
            "no serial port with the USB description \"ZELKA 40100 USB\" and no "
            "/dev/zelka40100-* link");
}

// Two bridges found by their stable links (ptys here): the chooser picks one, a reconnect keeps
// it without asking, and without a chooser the open names both.
TEST(SerialLinkBridges, SeveralBridgesAreChosenOnceAndRemembered) {
  for (const SerialPortEntry& port : SerialLink::enumeratePorts()) {
    if (port.isInstrument) GTEST_SKIP() << "an instrument is attached at " << port.device;
  }
  PtyPair first;
  PtyPair second;
  ASSERT_TRUE(first.ok() && second.ok());
  char pattern[] = "/tmp/halvern_dev_XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string linkA = folder + "/zelka40100-A1";
  const std::string linkB = folder + "/zelka40100-B2";
  ASSERT_EQ(::symlink(first.slavePath().c_str(), linkA.c_str()), 0);
  ASSERT_EQ(::symlink(second.slavePath().c_str(), linkB.c_str()), 0);

  SystemClock clock;
  SerialLink link(clock);
  link.setDeviceFolder(folder);
  int asked = 0;
  link.setBridgeChooser([&asked](const std::vector<Bridge>& bridges) {
    ++asked;
    EXPECT_EQ(bridges.size(), 2u);
    return std::optional<std::size_t>(1);
  });
  ASSERT_TRUE(link.open()) << link.lastError();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(link.devicePath(), second.slavePath());
  EXPECT_EQ(link.bridgesFound(), 2u);
  ASSERT_TRUE(link.bridgeInUse().has_value());
  EXPECT_EQ(link.bridgeInUse()->serialNumber, "B2");
  EXPECT_EQ(link.bridgeInUse()->stableLink, linkB);
  link.write(std::uint8_t{'Z'});
  EXPECT_EQ(second.receive(1), Bytes{'Z'});

  ASSERT_TRUE(link.open());  // the reconnect's open
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(link.devicePath(), second.slavePath());

  SerialLink unattended(clock);
  unattended.setDeviceFolder(folder);
  EXPECT_FALSE(unattended.open());
  EXPECT_EQ(unattended.lastError(), "2 bridges are attached (A1 on " + first.slavePath() +
                                        ", B2 on " + second.slavePath() +
                                        "); name one with --port");

  ::unlink(linkA.c_str());
  ::unlink(linkB.c_str());
  ::rmdir(folder.c_str());
}

}  // namespace
}  // namespace halvern

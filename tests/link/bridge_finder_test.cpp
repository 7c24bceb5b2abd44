#include "link/bridge_finder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_folder.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& path) { std::ofstream(path) << ""; }

// A fake /dev: two bridge ports, a modem, and the links the udev rule leaves.
class BridgeFinderTest : public ::testing::Test {
 protected:
  BridgeFinderTest() : m_dev("bridges") {
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0"}) touch(m_dev / name);
  }
  std::string dev(const std::string& name) const { return (m_dev / name).string(); }
  void link(const std::string& name, const fs::path& target) {
    fs::create_symlink(target, m_dev / name);
  }
  test::TestFolder m_dev;
};

TEST_F(BridgeFinderTest, StableLinksAreTheLiveLinksWithTheirSerialNumbers) {
  link("zelka40100-B2", "ttyUSB1");                 // relative, as udev makes them
  link("zelka40100-A1", m_dev.path() / "ttyUSB0");  // absolute
  link("zelka40100-GONE", "ttyUSB9");               // its bridge unplugged
  link("zelka40100-", "ttyUSB0");                   // no serial number: not ours
  link("serial-by-id", "ttyACM0");
  touch(m_dev / "zelka40100-FILE");  // not a link

  const std::vector<StableLink> links = findStableLinks(m_dev.path());
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].serial, "A1");
  EXPECT_EQ(links[0].device, dev("ttyUSB0"));
  EXPECT_EQ(links[0].path, dev("zelka40100-A1"));
  EXPECT_EQ(links[1].serial, "B2");
  EXPECT_EQ(links[1].device, dev("ttyUSB1"));

  EXPECT_TRUE(findStableLinks(m_dev / "missing").empty());
}

TEST_F(BridgeFinderTest, PortsByDescriptionFirstThenLinksToOtherPorts) {
  const std::vector<SerialPortEntry> ports = {
      {dev("ttyACM0"), "USB Modem", "M1", false},
      {dev("ttyUSB1"), "ZELKA 40100 USB", "", true},  // the enumeration lost its serial number
      {dev("ttyUSB1"), "ZELKA 40100 USB", "", true},  // listed twice
  };
  link("zelka40100-B2", "ttyUSB1");
  link("zelka40100-A1", "ttyUSB0");  // its description unread: found by the link alone

  const std::vector<Bridge> bridges = findBridges(ports, findStableLinks(m_dev.path()));
  ASSERT_EQ(bridges.size(), 2u);
  EXPECT_EQ(bridges[0].device, dev("ttyUSB1"));
  EXPECT_EQ(bridges[0].serialNumber, "B2");
  EXPECT_EQ(bridges[0].stableLink, dev("zelka40100-B2"));
  EXPECT_EQ(bridgeLabel(bridges[0]), "B2 on " + dev("ttyUSB1"));
  EXPECT_EQ(bridges[1].device, dev("ttyUSB0"));
  EXPECT_EQ(bridges[1].serialNumber, "A1");

  // A port that tells its own serial number keeps it; its link lends only its path.
  const std::vector<Bridge> own =
      findBridges({{dev("ttyUSB0"), "ZELKA 40100 USB", "P9", true}}, findStableLinks(m_dev.path()));
  ASSERT_EQ(own.size(), 2u);
  EXPECT_EQ(own[0].serialNumber, "P9");
  EXPECT_EQ(own[0].stableLink, dev("zelka40100-A1"));

  EXPECT_EQ(bridgeLabel({"/dev/ttyUSB3", "", ""}), "/dev/ttyUSB3");
  EXPECT_TRUE(findBridges({ports[0]}, {}).empty());
}

TEST(BridgePick, OneIsTakenSeveralAreRememberedOrChosen) {
  const std::vector<Bridge> one = {{"/dev/ttyUSB0", "A1", ""}};
  const std::vector<Bridge> two = {{"/dev/ttyUSB0", "A1", ""}, {"/dev/ttyUSB1", "B2", ""}};
  int asked = 0;
  const BridgeChooser second = [&asked](const std::vector<Bridge>&) {
    ++asked;
    return std::optional<std::size_t>(1);
  };

  const BridgePick none = pickBridge({}, "", second);
  EXPECT_FALSE(none.index);
  EXPECT_NE(none.problem.find("\"ZELKA 40100 USB\""), std::string::npos) << none.problem;

  EXPECT_EQ(pickBridge(one, "", second).index, 0u);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(pickBridge(two, "B2", second).index, 1u);  // the last one, still attached
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(pickBridge(two, "C3", second).index, 1u);  // the last one is gone: asked
  EXPECT_EQ(asked, 1);

  const BridgePick cancelled =
      pickBridge(two, "", [](const std::vector<Bridge>&) { return std::optional<std::size_t>(); });
  EXPECT_FALSE(cancelled.index);
  EXPECT_EQ(cancelled.problem, "no bridge was chosen");
  // A pick past the last bridge, by far or by one, is none.
  for (std::size_t picked : {std::size_t{5}, two.size()}) {
    const BridgePick outOfRange = pickBridge(two, "", [picked](const std::vector<Bridge>&) {
      return std::optional<std::size_t>(picked);
    });
    EXPECT_FALSE(outOfRange.index) << picked;
  }

  const BridgePick unattended = pickBridge(two, "", nullptr);
  EXPECT_FALSE(unattended.index);
  EXPECT_EQ(
      unattended.problem,
      "2 bridges are attached (A1 on /dev/ttyUSB0, B2 on /dev/ttyUSB1); name one with --port");
}

}  // namespace
}  // namespace halvern

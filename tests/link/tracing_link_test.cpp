#include "link/tracing_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/scripted_link.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(TracingLink, LogsEveryByteBothWaysWithTimeAndDirection) {
  VirtualClock clock;
  test::ScriptedLink inner(clock);
  inner.answer = [](const std::string&) { return std::string("  96\r"); };
  const std::string path = ::testing::TempDir() + "trace_" + std::to_string(getpid()) + ".txt";
  {
    TracingLink link(inner, clock, path);
    ASSERT_TRUE(link.ok());
    ASSERT_TRUE(link.open());
    link.purge();
    const std::string line = "CMD225\r";
    clock.advance(1ms);
    link.write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    clock.advance(50ms);
    std::uint8_t reply[6];
    EXPECT_EQ(link.read(reply, 6), 5u);
    // Everything passes through unchanged.
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 5), "  96\r");
    EXPECT_EQ(inner.lines, std::vector<std::string>{"CMD225\r"});
  }
  std::istringstream trace(readFile(path));
  std::vector<std::string> lines;
  for (std::string l; std::getline(trace, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[0].find("open"), std::string::npos);
  EXPECT_NE(lines[1].find("purge"), std::string::npos);
  EXPECT_NE(lines[2].find("1.000000 >  43 4D 44 32 32 35 0D"), std::string::npos) << lines[2];
  EXPECT_NE(lines[2].find("CMD225."), std::string::npos);
  EXPECT_NE(lines[3].find("<  20 20 39 36 0D"), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find("< (5 of 6, time-out)"), std::string::npos) << lines[4];
  // The read's line carries the time it ended: 250 ms after it began at 51 ms.
  EXPECT_NE(lines[4].find("301.000000"), std::string::npos) << lines[4];
  std::remove(path.c_str());
}

// A bridge whose driver answers the request for low latency as asked.
class BridgeLink : public test::ScriptedLink {
 public:
  using ScriptedLink::ScriptedLink;
  std::optional<bool> lowLatency() const override { return granted; }
  std::optional<bool> granted;
};

TEST(TracingLink, RecordsWhetherLowLatencyWasGranted) {
  const struct {
    std::optional<bool> granted;
    const char* line;  // nullptr: nothing about it
  } cases[] = {{true, "low latency granted"},
               {false, "low latency refused by the driver"},
               {std::nullopt, nullptr}};
  for (const auto& c : cases) {
    VirtualClock clock;
    BridgeLink inner(clock);
    inner.granted = c.granted;
    const std::string path = ::testing::TempDir() + "trace_ll_" + std::to_string(getpid()) + ".txt";
    {
      TracingLink link(inner, clock, path);
      ASSERT_TRUE(link.open());
      EXPECT_EQ(link.lowLatency(), c.granted);
    }
    const std::string trace = readFile(path);
    if (c.line) {
      EXPECT_NE(trace.find(c.line), std::string::npos) << trace;
    } else {
      EXPECT_EQ(trace.find("low latency"), std::string::npos) << trace;
    }
    std::remove(path.c_str());
  }
}

TEST(TracingLink, BytesFoundWaitingPassThroughWithALine) {
  VirtualClock clock;
  test::ScriptedLink inner(clock);
  const std::string path = ::testing::TempDir() + "trace_av_" + std::to_string(getpid()) + ".txt";
  {
    TracingLink link(inner, clock, path);
    ASSERT_TRUE(link.open());
    EXPECT_EQ(link.available(), 0u);
    inner.sendUnasked("?#");
    clock.advance(1ms);
    EXPECT_EQ(link.available(), 2u);
    std::uint8_t byte = 0;
    EXPECT_EQ(link.read(&byte, 1), 1u);
    EXPECT_EQ(link.available(), 1u);
  }
  std::istringstream trace(readFile(path));
  std::vector<std::string> lines;
  for (std::string l; std::getline(trace, l);) lines.push_back(l);
  // Nothing waiting says nothing.
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[1].find("< (2 waiting)"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("<  3F"), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find("< (1 waiting)"), std::string::npos) << lines[3];
  std::remove(path.c_str());
}

TEST(TracingLink, ReportsAFileItCannotWrite) {
  VirtualClock clock;
  test::ScriptedLink inner(clock);
  TracingLink link(inner, clock, "/nonexistent-folder/trace.txt");
  EXPECT_FALSE(link.ok());
  EXPECT_TRUE(link.open());  // the link itself still works
}

}  // namespace
}  // namespace halvern

// halvern-cli get setup / send setup against halvern-sim on a pseudo-terminal, in real time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

std::int32_t intAt(const std::string& bytes, std::size_t offset) {
  std::uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
  return static_cast<std::int32_t>(u);
}

void putInt(std::string& bytes, std::size_t offset, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

TEST(SetupCliAgainstSimulator, GetSendGetRoundTripsEveryValue) {
  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string port = "--port " + sim.device() + " ";
  const std::string first = tempPath("first.set");
  const std::string edited = tempPath("edited.set");
  const std::string again = tempPath("again.set");

  CliRun run = runCli(port + "get setup " + first);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("GET SETUP...\nFINISHED GETTING SETUP.\n"), std::string::npos) << run.out;
  std::string bytes = readFile(first);
  ASSERT_EQ(bytes.size(), 990u);
  // The simulated instrument's own setup: 4 fields per record, the first one "DATE".
  EXPECT_EQ(intAt(bytes, 16), 4);
  EXPECT_EQ(bytes.substr(32, 5), std::string("DATE\0", 5));

  // Every item changed, then sent and read back.
  putInt(bytes, 0, 7);    // COM2 230.4K
  putInt(bytes, 8, 1);    // keypad lock
  putInt(bytes, 12, 42);  // interval
  putInt(bytes, 16, 2);   // fields per record
  putInt(bytes, 20, 1);   // auto scroll
  putInt(bytes, 24, 99);  // scroll pause
  putInt(bytes, 28, 3);   // scroll end
  const std::string label = "TWENTY-FIVE CHARACTERS OK";
  bytes.replace(32 + 24 * 38, 26, label + std::string(1, '\0'));
  putInt(bytes, 32 + 24 * 38 + 26, 2);
  putInt(bytes, 32 + 24 * 38 + 30, 9);
  putInt(bytes, 32 + 24 * 38 + 34, 6);
  putInt(bytes, 982, 6);  // COM1 115.2K
  putInt(bytes, 986, 1);  // RS-485
  writeFile(edited, bytes);

  run = runCli(port + "send setup " + edited);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "SEND SETTINGS...\nFINISHED SENDING SETTINGS.\n");

  run = runCli(port + "get setup " + again + " --instrument-time");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "GET SETUP...\nFINISHED GETTING SETUP.\n");
  EXPECT_NE(run.err.find("instrument date "), std::string::npos) << run.err;
  EXPECT_EQ(readFile(again), bytes);

  for (const auto& p : {first, edited, again}) std::remove(p.c_str());
}

TEST(SetupCliAgainstSimulator, FailuresAndRefusals) {
  SimulatorProcess sim("--fault 335:short");
  const std::string port = "--port " + sim.device() + " ";
  const std::string path = tempPath("failed.set");

  // A failed get writes no file.
  CliRun run = runCli(port + "get setup " + path);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("CANNOT GET AUTO SCROLL END\nGET SETUP FAILED.\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("warning: Cannot communicate with 40100."), std::string::npos) << run.err;
  EXPECT_FALSE(std::ifstream(path).good());

  // A file that is not a setup file is refused before the instrument is touched.
  writeFile(path, std::string(981, '\0'));
  run = runCli(port + "send setup " + path);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("is not a setup file"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  std::remove(path.c_str());

  for (const char* args : {"get setup", "send setup", "get setup a.set b.set", "get setup --x a",
                           "send setup a.set b.set"}) {
    EXPECT_EQ(runCli(args).status, 2) << args;
  }
}

}  // namespace

namespace {

TEST(GetCommands, ASaveThatFailsSaysTheTransferFinishedAndTheSaveFailed) {
  const struct {
    const char* command;
    const char* finished;
    const char* what;
  } gets[] = {
      {"get setup", "FINISHED GETTING SETUP.", "setup"},
      {"get screens", "FINISHED GETTING SCREENS.", "screens"},
      {"get program", "FINISHED GETTING USER PROGRAM.", "user program"},
  };
  for (const auto& g : gets) {
    const auto run = runCli(std::string("--simulate ") + g.command + " /nonexistent/f.x");
    EXPECT_EQ(run.status, 2) << g.command;
    EXPECT_NE(run.out.find(g.finished), std::string::npos) << g.command << ": " << run.out;
    const std::string says = std::string("error: The ") + g.what +
                             " came from the 40100 whole, but it could not be saved.\n"
                             "Cannot save the ";
    EXPECT_NE(run.err.find(says), std::string::npos) << g.command << ": " << run.err;
  }
}

}  // namespace

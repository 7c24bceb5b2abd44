// halvern-cli against halvern-sim on a pseudo-terminal, through the real serial port code, in real
// time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;

TEST(CliAgainstSimulator, LineProbeOverAPseudoTerminal) {
  SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string trace = ::testing::TempDir() + "e2e_trace_" + std::to_string(getpid());

  CliRun run = runCli("--port " + sim.device() + " --trace " + trace + " line CMD255 --read 2");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("sent: \"CMD255\\r\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("received 2 of 2 bytes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("text: \" 1\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("hex:  20 31"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("status: ZELKA 40100 USB: Port Open"), std::string::npos) << run.err;

  // The trace holds the paced command line and the reply.
  const std::string traced = readFile(trace);
  EXPECT_NE(traced.find(">  43"), std::string::npos) << traced;
  EXPECT_NE(traced.find("<  20 31"), std::string::npos) << traced;
  std::remove(trace.c_str());

  // A setting goes through and reads back.
  run = runCli("--port " + sim.device() + " line 'CMD250 42' --read 1");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("text: \"*\""), std::string::npos) << run.out;
  run = runCli("--port " + sim.device() + " line CMD255 --read 2");
  EXPECT_NE(run.out.find("text: \"42\""), std::string::npos) << run.out;
}

TEST(CliAgainstSimulator, SilentInstrumentEndsWithFailureNotAHang) {
  SimulatorProcess sim("--fault 255:silence");
  CliRun run = runCli("--port " + sim.device() + " line CMD255 --read 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("received 0 of 2 bytes (no reply)"), std::string::npos) << run.out;
}

TEST(Cli, MissingPortIsAClearFailure) {
  CliRun run = runCli("--port /dev/halvern-no-such-device line CMD255 --read 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("warning: Cannot open ZELKA 40100 USB port."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("status: USB port closed"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("error: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("/dev/halvern-no-such-device"), std::string::npos) << run.err;
}

TEST(Cli, SimulatedInstrumentAnswersInProcess) {
  CliRun run = runCli("--simulate line CMD225 --read 5");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("text: \"  96\\r\""), std::string::npos) << run.out;
}

TEST(Cli, UsageErrorsExitWithTwo) {
  for (const char* args : {"", "frobnicate", "line", "line CMD255 --read", "line CMD255 --read x",
                           "--port", "--fault 255:silence line CMD255"}) {
    CliRun run = runCli(args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_NE(run.err.find("halvern-cli: "), std::string::npos) << args;
  }
  CliRun help = runCli("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* word : {"--port", "--simulate", "--yes", "--trace", "ports", "line", "--read",
                           "--wait", "HALVERN_PORT"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

}  // namespace

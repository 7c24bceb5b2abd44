// halvern-cli test against halvern-sim on a pseudo-terminal: the results as the Tests page shows
// them, the exit status, and the usage errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace halvern {
namespace {

using e2e::CliRun;
using e2e::runCli;
using e2e::SimulatorProcess;

TEST(TestCommandsAgainstSimulator, ResultsAsTheTestsPageShowsThem) {
  SimulatorProcess sim;
  struct Row {
    std::string args;
    int status;
    std::string out;
  };
  const std::vector<Row> rows = {
      {"test input se 7", 0, "1762.5 mV\n"},
      {"test input wd 3", 0, "3262.5 mV\n"},
      {"test input diff 11", 0, "36.1 mV\n"},
      {"test input lowfreq 1", 0, "Count: 107\n"},
      {"test ram", 0, "RAM OK\n"},
      {"test rom-checksum", 0, "ROM Signature: 0x5EC0A417\n"},
      {"test output 3 12mA", 0, ""},
      {"test reset-outputs", 0, ""},
      {"test switch 2 off", 0, ""},
      {"test pulldown 3 off", 0, ""},
      {"test display", 0, ""},
  };
  for (const auto& row : rows) {
    const CliRun run = runCli("--port " + sim.device() + " " + row.args);
    EXPECT_EQ(run.status, row.status) << row.args << ": " << run.err;
    EXPECT_EQ(run.out, row.out) << row.args;
  }
  const CliRun pgm = runCli("--port " + sim.device() + " test program-checksum");
  EXPECT_EQ(pgm.status, 0) << pgm.err;
  EXPECT_EQ(pgm.out.rfind("PGM Signature: 0x", 0), 0u) << pgm.out;
  EXPECT_EQ(pgm.out.size(), std::string("PGM Signature: 0x12345678\n").size()) << pgm.out;
}

TEST(TestCommands, NoResponseFailsAndBadArgumentsAreUsageErrors) {
  CliRun run = runCli("--simulate --fault 940:silence test input ttlfreq 3");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "No Response\n");
  for (const std::string args :
       {"test input diff 4", "test input wd 5", "test input se 17", "test output 5 0mV",
        "test output 1 3mA", "test switch 1 maybe", "test pulldown 0 on"}) {
    run = runCli("--simulate " + args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.out, "") << args;
  }
}

}  // namespace
}  // namespace halvern

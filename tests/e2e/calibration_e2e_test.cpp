// halvern-cli calibrate and cal-data against the simulated instrument: the lines and reports on
// standard output, the password refused before anything is sent, the exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace halvern {
namespace {

using e2e::CliRun;
using e2e::runCli;

TEST(CalibrationCommands, StepsChecksAndTheTable) {
  struct Row {
    std::string args;
    int status;
    std::string out;  // the start of standard output
    std::string err;  // a line standard error holds
  };
  const std::vector<Row> rows = {
      {"--simulate --yes calibrate se-full-scale --password pmk73914 --reference 4998.37", 0,
       "SE FULL SCALE CAL FINISHED.\n", "confirmation: Replace all SE Full Scale calibration"},
      {"--simulate calibrate vout --password pmk73914", 0, "VOUT CAL FINISHED.\n", ""},
      // No terminal to ask on: No, nothing sent.
      {"--simulate calibrate wd-zero --password pmk73914", 1, "", "confirmation: Replace all WD"},
      {"--simulate calibrate wd-check --password pmk73914", 0, "WD 1 ", ""},
      {"--simulate calibrate iout-fs-check --password pmk73914", 0, "IOUT 1 +0019.", ""},
      {"--simulate calibrate se-zero --password PMK73914", 1, "", "warning: Incorrect Password"},
      {"--simulate cal-data", 0,
       "Ch\tSe0\tDiff0\tWd0\tSeMult\tDiffMult\tWdMult\tVMult\tVOffset\tIMult\tIOffset\n1\t", ""},
      {"--simulate --fault 805:silence cal-data", 1, "", ""},
      {"--simulate calibrate se-full-scale --password pmk73914 --reference 5x", 2, "",
       "not a reference"},
      {"--simulate calibrate se-sero --password pmk73914", 2, "", "STEP"},
  };
  for (const auto& row : rows) {
    const CliRun run = runCli(row.args);
    EXPECT_EQ(run.status, row.status) << row.args << ": " << run.err;
    EXPECT_EQ(run.out.rfind(row.out, 0), 0u) << row.args << ": " << run.out;
    EXPECT_NE(run.err.find(row.err), std::string::npos) << row.args << ": " << run.err;
  }
}

// The bytes written towards the instrument, as a trace of single-byte writes shows them.
std::string written(const std::string& trace) {
  std::istringstream lines(trace);
  std::string line, out;
  while (std::getline(lines, line)) {
    const std::size_t at = line.find(" > ");
    if (at == std::string::npos) continue;
    std::istringstream fields(line.substr(at + 3));
    std::string hex;
    if (fields >> hex) out += static_cast<char>(std::stoi(hex, nullptr, 16));
  }
  return out;
}

TEST(CalibrationCommands, TheReferenceIsFilledToItsMaskOrRefusedBeforeTheLink) {
  const struct {
    const char* reference;
    const char* line;  // the line the trace shows; nullptr: refused with exit 2
  } cases[] = {
      {"4998.37", "CMD815 4998.370117"},
      {"25", "CMD815 25.000000"},
      {"5000", "CMD815 5000.000000"},
      {"12345", nullptr},
      {"-5", nullptr},
      {"1.234", nullptr},
      {"25__.__", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reference);
    const std::string trace = e2e::tempPath("calibrate_reference.trace");
    std::remove(trace.c_str());
    const CliRun run =
        runCli(std::string("--simulate --yes --trace ") + trace +
               " calibrate se-full-scale --password pmk73914 --reference " + c.reference);
    if (!c.line) {
      EXPECT_EQ(run.status, 2) << run.err;
      EXPECT_NE(run.err.find("not a reference"), std::string::npos) << run.err;
      // Not even the link was opened.
      EXPECT_EQ(e2e::readFile(trace).find(" > "), std::string::npos);
      continue;
    }
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(written(e2e::readFile(trace)).find(c.line), std::string::npos)
        << written(e2e::readFile(trace));
  }
}

TEST(CalibrationCommands, TheTableHasSixteenRowsAndNoDoubledLineEnds) {
  const CliRun run = runCli("--simulate cal-data");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 17);
  EXPECT_EQ(run.out.find("\n\n"), std::string::npos);
}

TEST(CalibrationCommands, AWrongPasswordSendsNothing) {
  const std::string trace = e2e::tempPath("calibrate_refused.trace");
  const CliRun run = runCli("--simulate --trace " + trace + " calibrate vout --password pmk73914x");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(e2e::readFile(trace).find(" > "), std::string::npos);
}

}  // namespace
}  // namespace halvern

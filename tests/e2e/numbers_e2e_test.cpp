// halvern-cli on a desktop whose language writes a decimal comma (German): the records file and
// the calibration line keep the point. QCoreApplication takes the locale from LANG, LC_ALL and
// LC_NUMERIC at start, as on a user's desktop. The locale is made with localedef into the build
// folder when the system has none (scripts/comma-locale.sh); scripts/test.sh also runs every
// end-to-end test once under it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace halvern {
namespace {

using e2e::CliRun;
using e2e::runCli;

// The environment of a German desktop, or nothing when the locale cannot be had (`why` says).
std::string commaEnvironment(std::string& why) {
  const std::string command =
      std::string("'") + HALVERN_COMMA_LOCALE_SCRIPT + "' '" + HALVERN_COMMA_LOCALE_DIR + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    why = "cannot run scripts/comma-locale.sh";
    return {};
  }
  std::string out;
  char buffer[256];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) {
    why = out;
    return {};
  }
  const std::string env = std::string("LOCPATH=") + HALVERN_COMMA_LOCALE_DIR +
                          " LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8";
  // The C library of a program started so writes the comma.
  const CliRun probe = e2e::runProgram("printf", "'%.1f' 2.5", env);
  if (probe.out != "2,5") {
    why = "printf under " + env + " writes \"" + probe.out + "\" " + probe.err;
    return {};
  }
  return env;
}

// The bytes the computer sent, from a trace's "> " lines.
std::string sentBytes(const std::string& trace) {
  std::string sent;
  std::size_t start = 0;
  while (start < trace.size()) {
    std::size_t end = trace.find('\n', start);
    if (end == std::string::npos) end = trace.size();
    const std::string line = trace.substr(start, end - start);
    start = end + 1;
    // "%14.6f > " then up to 16 " %02X".
    if (line.size() < 17 || line[15] != '>') continue;
    for (std::size_t i = 17; i + 2 < line.size() && line[i] == ' ' && line[i + 1] != ' '; i += 3)
      sent += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
  }
  return sent;
}

class CommaDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    env = commaEnvironment(why);
    if (env.empty()) GTEST_SKIP() << "no decimal-comma locale to test under: " << why;
  }
  std::string env;
};

TEST_F(CommaDesktop, TheRecordsFileKeepsThePoint) {
  e2e::SimulatorProcess sim;
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string path = e2e::tempPath("comma_records.txt");
  const CliRun run =
      runCli("--port " + sim.device() + " records 3 " + path + " --delimiter comma", env);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string file = e2e::readFile(path);
  std::remove(path.c_str());
  const std::size_t labels = file.find("DATE,TIME,WIND SPEED,WIND DIR\r\n");
  ASSERT_NE(labels, std::string::npos) << file;
  EXPECT_EQ(file.substr(labels),
            "DATE,TIME,WIND SPEED,WIND DIR\r\n"
            "12/01/2026,00:00:00,004.0,200\r\n"
            "12/01/2026,00:01:00,004.4,201\r\n"
            "12/01/2026,00:02:00,004.7,201\r\n");
}

// The reference typed with a point, read with it, sent through single precision and "%f", and
// read by the simulated instrument in the same process.
TEST_F(CommaDesktop, TheCalibrationLineKeepsThePoint) {
  const std::string trace = e2e::tempPath("comma_calibrate.trace");
  const CliRun run = runCli("--simulate --yes --trace " + trace +
                                " calibrate se-full-scale --password pmk73914 --reference 4998.37",
                            env);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "SE FULL SCALE CAL FINISHED.\n");
  const std::string traced = e2e::readFile(trace);
  std::remove(trace.c_str());
  EXPECT_EQ(sentBytes(traced), "CMD815 4998.370117\r") << traced;
  // Each line's time in milliseconds, "%14.6f".
  std::size_t lines = 0;
  for (std::size_t at = 0; at < traced.size();) {
    ASSERT_GT(traced.size(), at + 14) << traced;
    EXPECT_EQ(traced[at + 7], '.') << traced.substr(at, 14);
    ++lines;
    const std::size_t end = traced.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  EXPECT_GT(lines, 19u);
}

}  // namespace
}  // namespace halvern

// halvern-cli against halvern-sim speaking each of its dialects over a pseudo-terminal: every
// form the wire allows is read at the first ask.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;
namespace fs = std::filesystem;

// How often each command line reached the instrument, from halvern-sim's --verbose log.
std::map<std::string, int> linesReceived(const std::string& log) {
  std::map<std::string, int> count;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("< ", 0) == 0) ++count[line.substr(2)];
  }
  return count;
}

class DialectCli : public ::testing::TestWithParam<const char*> {};

TEST_P(DialectCli, SetupRecordsScreensAndTheGroupComeAtTheFirstAsk) {
  const fs::path folder = tempPath(std::string("dialect_") + GetParam());
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string log = (folder / "sim.log").string();
  SimulatorProcess sim(std::string("--records 40 --verbose --dialect ") + GetParam() + " 2>" + log);
  ASSERT_EQ(sim.device().rfind("/dev/", 0), 0u) << sim.device();
  const std::string port = "--port " + sim.device() + " ";

  // The instrument's own date and time are asked for too.
  CliRun run = runCli(port + "get setup " + (folder / "a.set").string() + " --instrument-time");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "GET SETUP...\nFINISHED GETTING SETUP.\n");
  const std::string setup = readFile((folder / "a.set").string());
  ASSERT_EQ(setup.size(), 990u);
  EXPECT_EQ(setup[16], 4);   // fields per record
  EXPECT_EQ(setup[982], 3);  // COM1 9600
  EXPECT_EQ(setup[0], 3);    // COM2 9600
  EXPECT_EQ(setup.substr(32, 5), std::string("DATE\0", 5));

  run = runCli(port + "records 40 " + (folder / "r.txt").string() + " --delimiter comma");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const std::string records = readFile((folder / "r.txt").string());
  EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 43) << records;

  run = runCli(port + "get screens " + (folder / "s.scr").string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(fs::file_size(folder / "s.scr"), 1920u);

  run = runCli(port + "--yes get all " + (folder / "site.ssp").string());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("FINISHED GETTING SETUP/SCREENS/PROGRAM."), std::string::npos);

  sim.signalAndWait(SIGTERM);
  const auto lines = linesReceived(readFile(log));
  const std::map<std::string, int> expected{
      {"CMD275", 1}, {"CMD285", 1}, {"CMD225", 2},    {"CMD235", 2}, {"CMD245", 2},
      {"CMD265", 2}, {"CMD255", 2}, {"CMD315", 3},    {"CMD325", 3}, {"CMD331", 2},
      {"CMD333", 2}, {"CMD335", 2}, {"CMD340 40", 1}, {"CMD215", 2}, {"CMD115", 1}};
  EXPECT_EQ(lines, expected);
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(EveryForm, DialectCli,
                         ::testing::Values("standard", "terse", "zeros", "mixed:5"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), ':', '_');
                           return name;
                         });

TEST(DialectCli, ALoneCarriageReturnIsStopOnErrorOff) {
  SimulatorProcess sim("--fault '245:wrong::\\r'");
  const std::string path = tempPath("lone.set");
  const CliRun run = runCli("--port " + sim.device() + " get setup " + path);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "GET SETUP...\nFINISHED GETTING SETUP.\n");
  EXPECT_EQ(readFile(path)[4], 0);
  std::remove(path.c_str());
}

}  // namespace

// halvern-cli get all, send all and group show, through the simulated instrument and real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;
namespace fs = std::filesystem;

TEST(CollectionCli, GetAllWritesTheGroupThatSendAllAndGroupShowRead) {
  const fs::path folder = tempPath("group");
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string group = (folder / "site.ssp").string();

  const auto got = runCli("--simulate --yes get all " + group);
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_NE(got.out.find("FINISHED GETTING SETUP/SCREENS/PROGRAM."), std::string::npos);
  EXPECT_EQ(readFile(group), "40100Group");
  for (const char* member : {"site.set", "site.scr", "site.pgm", "site.txt", "site.nts",
                             "site Screen 1.bmp", "site Screen 8.bmp"})
    EXPECT_TRUE(fs::exists(folder / member)) << member;
  EXPECT_EQ(fs::file_size(folder / "site.scr"), 1920u);

  const auto shown = runCli("group show " + group);
  ASSERT_EQ(shown.status, 0) << shown.err;
  for (const char* part : {"Group site", "Setup", "COM1 Baud", "Record fields", "WIND SPEED",
                           "Screen 8", "Program", "PGM END", "Notes"})
    EXPECT_NE(shown.out.find(part), std::string::npos) << part;

  const auto sent = runCli("--simulate --yes send all " + group);
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_NE(sent.out.find("FINISHED SENDING SETUP/SCREENS/PROGRAM."), std::string::npos);

  // Without --yes, and no terminal to ask: No, and nothing is sent.
  const auto refused = runCli("--simulate send all " + group);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out.find("SEND SETUP/SCREENS/PROGRAM..."), std::string::npos);

  // A file that is not a group is refused before anything is sent.
  writeFile((folder / "bad.ssp").string(), "40100Grou!");
  const auto bad = runCli("--simulate --yes send all " + (folder / "bad.ssp").string());
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("Incorrect file type."), std::string::npos);
  EXPECT_TRUE(bad.out.empty());
  fs::remove_all(folder);
}

// A send from files sends all or nothing: a member that cannot be read stops it before a byte
// reaches the instrument, naming the member and why.
TEST(CollectionCli, ASendWithAnUnreadableFileSendsNoByte) {
  const fs::path folder = tempPath("whole");
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string group = (folder / "site.ssp").string();
  const std::string trace = (folder / "trace.txt").string();
  // The global options after the command, as people type them.
  const auto got = runCli("get all " + group + " --yes --simulate");
  ASSERT_EQ(got.status, 0) << got.err;

  // With every member in place the send goes out, and the trace shows its bytes.
  auto sent = runCli("--simulate --yes send all " + group + " --trace " + trace);
  ASSERT_EQ(sent.status, 0) << sent.err;
  EXPECT_NE(readFile(trace).find(" > "), std::string::npos);

  const std::string program = (folder / "site.pgm").string();
  const std::string setup = (folder / "site.set").string();
  const std::string shortFile = (folder / "short").string();
  fs::remove(program);
  writeFile(shortFile, "short");
  const struct {
    std::string args;
    std::string named;
    std::string why;
  } cases[] = {
      // The system's reason follows in the desktop's language.
      {"send all " + group, program, "Cannot open the program file"},
      {"send program " + program, program, "Cannot open the program file"},
      {"send program " + setup, "", "This is not a program file"},
      {"send screens " + shortFile, shortFile, "It holds 5 bytes"},
      {"send setup " + shortFile, shortFile, "is not a setup file"},
  };
  for (const auto& c : cases) {
    std::remove(trace.c_str());
    const auto refused = runCli("--simulate --yes " + c.args + " --trace " + trace);
    EXPECT_EQ(refused.status, 2) << c.args;
    EXPECT_EQ(refused.err.rfind("error: ", 0), 0u) << c.args << "\n" << refused.err;
    EXPECT_NE(refused.err.find(c.named), std::string::npos) << c.args << "\n" << refused.err;
    EXPECT_NE(refused.err.find(c.why), std::string::npos) << c.args << "\n" << refused.err;
    EXPECT_EQ(refused.out, "") << c.args;
    EXPECT_EQ(readFile(trace).find(" > "), std::string::npos) << c.args;
  }
  fs::remove_all(folder);
}

}  // namespace

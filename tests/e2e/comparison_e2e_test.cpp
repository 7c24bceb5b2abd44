// halvern-cli compare against the simulated instrument and between files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;
namespace fs = std::filesystem;

class CompareCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const auto got = runCli("--simulate --yes get all " + file("site.ssp"));
    ASSERT_EQ(got.status, 0) << got.err;
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string file(const std::string& name) const { return (folder / name).string(); }
  // A copy of the group "site" as "changed", its setup's keypad lock on and screen 2's first
  // cell an "X".
  void writeChangedCopy() const {
    for (const char* extension : {".ssp", ".set", ".scr", ".pgm", ".nts"})
      fs::copy_file(file(std::string("site") + extension),
                    file(std::string("changed") + extension));
    std::string setup = readFile(file("changed.set"));
    setup[8] = setup[8] == 0 ? 1 : 0;  // keypad lock
    writeFile(file("changed.set"), setup);
    std::string screens = readFile(file("changed.scr"));
    screens[240] = screens[240] == 'X' ? 'Y' : 'X';
    writeFile(file("changed.scr"), screens);
  }

  const fs::path folder = tempPath("compare");
};

TEST_F(CompareCli, AGroupJustReadIsTheInstrumentsAndAChangedCopyIsNot) {
  const auto same = runCli("--simulate compare all " + file("site.ssp"));
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.out.find("No differences.\n"), std::string::npos) << same.out;
  for (const char* statement :
       {"Date and time are not compared.", "The screen shown for editing is not compared.",
        "Program notes are not compared."})
    EXPECT_NE(same.out.find(statement), std::string::npos) << statement;

  // Each part on its own.
  for (const char* args :
       {"compare setup site.set", "compare screens site.scr", "compare program site.pgm"}) {
    const std::string words(args);
    const auto part = runCli("--simulate " + words.substr(0, words.rfind(' ') + 1) +
                             file(words.substr(words.rfind(' ') + 1)));
    EXPECT_EQ(part.status, 0) << args << "\n" << part.out << part.err;
    EXPECT_NE(part.out.find("No differences."), std::string::npos) << args;
  }

  writeChangedCopy();
  const auto changed = runCli("--simulate compare all " + file("changed.ssp"));
  EXPECT_EQ(changed.status, 1) << changed.err;
  EXPECT_NE(changed.out.find("Setup, Keypad Lock\n"), std::string::npos) << changed.out;
  EXPECT_NE(changed.out.find("Screen 2, row 1\n-|X"), std::string::npos) << changed.out;
  EXPECT_EQ(changed.out.find("No differences."), std::string::npos);
  EXPECT_NE(changed.out.find("Date and time are not compared."), std::string::npos);
}

TEST_F(CompareCli, TwoFilesWithoutTheInstrument) {
  writeChangedCopy();
  const struct {
    std::string args;
    int status;
    std::string shown;
  } cases[] = {
      {"compare files " + file("site.set") + " " + file("site.set"), 0, "No differences."},
      {"compare files " + file("site.set") + " " + file("changed.set"), 1, "Setup, Keypad Lock"},
      {"compare files " + file("site.scr") + " " + file("changed.scr"), 1, "Screen 2, row 1"},
      {"compare files " + file("site.pgm") + " " + file("changed.pgm"), 0, "No differences."},
      {"compare files " + file("site.ssp") + " " + file("changed.ssp"), 1, "Setup, Keypad Lock"},
  };
  for (const auto& c : cases) {
    const auto run = runCli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
    EXPECT_NE(run.out.find(c.shown), std::string::npos) << c.args << "\n" << run.out;
  }
}

TEST_F(CompareCli, ErrorsShowNothingHalfCompared) {
  const struct {
    std::string args;
    std::string said;
  } cases[] = {
      {"compare files " + file("site.set") + " " + file("site.scr"), "two files of one kind"},
      {"compare files " + file("site.set") + " " + file("missing.set"), "missing.set"},
      {"--simulate compare setup " + file("missing.set"), "missing.set"},
      {"--simulate --fault 215:silence compare all " + file("site.ssp"),
       "the screens could not be read from the instrument"},
      {"--simulate --fault 115:silence compare program " + file("site.pgm"),
       "the program could not be read from the instrument"},
  };
  for (const auto& c : cases) {
    const auto run = runCli(c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.args << "\n" << run.err;
    EXPECT_EQ(run.out.find("No differences."), std::string::npos) << c.args;
    EXPECT_EQ(run.out.find("not compared."), std::string::npos) << c.args;
  }
}

}  // namespace

namespace {

// A send that the instrument takes as good but stores otherwise is found by comparing what was
// sent with what it holds.
TEST(CompareAgainstSimulator, AReadBackFindsWhatASendDidNotStore) {
  const fs::path folder = tempPath("readback");
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string group = (folder / "site.ssp").string();
  ASSERT_EQ(runCli("--simulate --yes get all " + group).status, 0);
  // The last row of screen 8 changed, so that keeping the old one shows.
  std::string screens = readFile((folder / "site.scr").string());
  screens.replace(screens.size() - 5, 5, "LAST!");
  writeFile((folder / "site.scr").string(), screens);

  SimulatorProcess sim("--fault 210:droprow:1 --fault 110:changeparam:1");
  const std::string port = "--port " + sim.device() + " ";
  const auto sent = runCli(port + "--yes send all " + group);
  ASSERT_EQ(sent.status, 0) << sent.err;
  const auto compared = runCli(port + "compare all " + group);
  EXPECT_EQ(compared.status, 1) << compared.err;
  EXPECT_NE(compared.out.find("Screen 8, row 6\n-|"), std::string::npos) << compared.out;
  EXPECT_NE(compared.out.find("LAST!|\n+|"), std::string::npos) << compared.out;
  // Exactly one program line removed and one added.
  std::size_t removed = 0;
  std::size_t added = 0;
  std::istringstream lines(compared.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("-    ", 0) == 0) ++removed;
    if (line.rfind("+    ", 0) == 0) ++added;
  }
  EXPECT_EQ(removed, 1u) << compared.out;
  EXPECT_EQ(added, 1u) << compared.out;

  // Each fault struck once: the same send again is stored as sent.
  ASSERT_EQ(runCli(port + "--yes send all " + group).status, 0);
  const auto again = runCli(port + "compare all " + group);
  EXPECT_EQ(again.status, 0) << again.out;
  fs::remove_all(folder);
}

}  // namespace

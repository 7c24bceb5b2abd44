// halvern-cli compare against the simulated instrument and between files.
#include <gtest/gtest.h>

#include <filesystem>
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

// halvern-cli compare against the simulated instrument and between files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

namespace {

// Sends guarded by a backup and a read-back, against one simulated instrument on a pty.
class SafeSendCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directories(folder);
    ASSERT_EQ(run("--yes get all " + file("before.ssp")).status, 0);
    // "other": the same group with the keypad lock flipped, a screen cell and the last row of
    // screen 8 changed.
    for (const char* extension : {".ssp", ".set", ".scr", ".pgm", ".nts"})
      fs::copy_file(file(std::string("before") + extension),
                    file(std::string("other") + extension));
    std::string setup = readFile(file("other.set"));
    setup[8] = setup[8] == 0 ? 1 : 0;
    writeFile(file("other.set"), setup);
    std::string screens = readFile(file("other.scr"));
    screens[240] = screens[240] == 'X' ? 'Y' : 'X';
    screens.replace(screens.size() - 5, 5, "LAST!");
    writeFile(file("other.scr"), screens);
  }
  void TearDown() override { fs::remove_all(folder); }

  CliRun run(const std::string& args) { return runCli("--port " + sim->device() + " " + args); }
  std::string file(const std::string& name) const { return (folder / name).string(); }
  std::string backups() const { return file("backups"); }
  // The names `backups --from` lists.
  std::vector<std::string> listed() {
    std::vector<std::string> names;
    std::istringstream lines(runCli("backups --from " + backups()).out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("20", 0) == 0) names.push_back(line.substr(0, line.find(' ')));
    return names;
  }

  const fs::path folder = tempPath("safesend");
  std::unique_ptr<SimulatorProcess> sim =
      std::make_unique<SimulatorProcess>("--fault 210:droprow:1 --fault 110:changeparam:1");
};

TEST_F(SafeSendCli, ABackupRestoredBringsTheInstrumentBackByteForByte) {
  // The first send strikes both faults; --verify catches them.
  const auto verified = run("--yes send all " + file("other.ssp") + " --verify");
  EXPECT_EQ(verified.status, 1);
  const std::string said = verified.out + verified.err;
  EXPECT_NE(said.find("Screen 8, row 6\n-|"), std::string::npos) << said;
  EXPECT_NE(said.find("+    flag#="), std::string::npos) << said;
  EXPECT_NE(said.find("VERIFY FAILED."), std::string::npos) << said;
  EXPECT_EQ(said.find("VERIFIED."), std::string::npos) << said;

  // Sent again with a backup first: what the instrument held is kept, and the send verifies.
  const auto sent =
      run("--yes send all " + file("other.ssp") + " --backup " + backups() + " --verify");
  ASSERT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_NE((sent.out + sent.err).find("BACKUP SAVED: " + backups() + "/"), std::string::npos);
  EXPECT_NE((sent.out + sent.err).find("VERIFIED."), std::string::npos);
  const std::vector<std::string> names = listed();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_NE(names[0].find("_all"), std::string::npos);
  EXPECT_EQ(run("compare all " + file("other.ssp")).status, 0);

  // "before" sent with a backup first keeps "other" as the instrument held it; restored, the
  // instrument holds "other" again.
  ASSERT_EQ(run("--yes send all " + file("before.ssp") + " --backup " + backups()).status, 0);
  ASSERT_EQ(listed().size(), 2u);
  const std::string beforeOther = listed()[0];  // made just before "before" was sent
  ASSERT_EQ(run("--yes restore " + beforeOther + " --from " + backups()).status, 0);
  EXPECT_EQ(run("compare all " + file("other.ssp")).status, 0);
  // Byte for byte: the setup, screen and program files read from the instrument now are the
  // ones "other" has.
  ASSERT_EQ(run("--yes get all " + file("after.ssp")).status, 0);
  for (const char* extension : {".set", ".scr", ".pgm"})
    EXPECT_EQ(readFile(file(std::string("after") + extension)),
              readFile(file(std::string("other") + extension)))
        << extension;
}

TEST_F(SafeSendCli, NoBackupNoSendAndDamagedBackupsAreNotRestored) {
  writeFile(file("plain"), "not a folder");
  const auto refused =
      run("--yes send screens " + file("other.scr") + " --backup " + file("plain") + "/backups");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Nothing was sent."), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("leave out --backup"), std::string::npos) << refused.err;
  EXPECT_EQ(run("compare all " + file("before.ssp")).status, 0);  // untouched

  // A backup whose program is gone is listed as damaged and sends nothing.
  ASSERT_EQ(run("--yes send setup " + file("other.set") + " --backup " + backups()).status, 0);
  const std::string name = listed().at(0);
  fs::remove(folder / "backups" / name / (name + ".pgm"));
  EXPECT_NE(runCli("backups --from " + backups()).out.find("DAMAGED"), std::string::npos);
  const auto restore = run("--yes restore " + name + " --from " + backups());
  EXPECT_EQ(restore.status, 2);
  EXPECT_NE(restore.err.find("damaged"), std::string::npos) << restore.err;
  EXPECT_EQ(run("compare setup " + file("other.set")).status, 0);  // not restored
  EXPECT_EQ(run("--yes restore 2026-01-01_000000_all --from " + backups()).status, 2);
  // Declined (no --yes and no terminal to ask on), a restore sends nothing.
  ASSERT_EQ(run("--yes send setup " + file("before.set") + " --backup " + backups()).status, 0);
  const auto declined = run("restore " + listed().at(0) + " --from " + backups());
  EXPECT_EQ(declined.status, 1);
  EXPECT_EQ(run("compare setup " + file("before.set")).status, 0);
}

}  // namespace

namespace {

// Two program files that differ in one parameter: exactly that change, as diff would.
TEST(ProgramDiffCli, OneChangedParameterIsExactlyThatChange) {
  const fs::path folder = tempPath("programdiff");
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string a = (folder / "a.pgm").string();
  const std::string b = (folder / "b.pgm").string();
  ASSERT_EQ(runCli("--simulate get program " + a).status, 0);
  {
    SimulatorProcess sim("--fault 110:changeparam:1");
    const std::string port = "--port " + sim.device() + " ";
    ASSERT_EQ(runCli(port + "send program " + a).status, 0);
    ASSERT_EQ(runCli(port + "get program " + b).status, 0);
  }
  const auto same = runCli("program diff " + a + " " + a);
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");
  const auto diff = runCli("program diff " + a + " " + b);
  EXPECT_EQ(diff.status, 1) << diff.err;
  EXPECT_EQ(diff.out, "--- " + a + "\n+++ " + b +
                          "\n@@ -1,5 +1,5 @@\n IF FLAG\n-    flag#= 01\n+    flag#= 02\n"
                          "     state= OFF\n LOC = VALUE\n     loc= 030\n");
  EXPECT_EQ(runCli("program diff " + a + " " + (folder / "none.pgm").string()).status, 2);
  fs::remove_all(folder);
}

}  // namespace

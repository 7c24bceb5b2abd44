// Collections over the link and through the group file, against the simulated instrument on
// virtual time and real files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "collection/collection_commands.h"
#include "collection/group_file.h"
#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "screens/screen_buffer.h"
#include "setup/setup_file.h"
#include "setup/setup_model.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/computer_bench.h"
#include "support/recording_shell.h"
#include "support/test_folder.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

using test::readFile;

class CollectionTest : public ::testing::Test, protected test::ComputerBench {
 protected:
  CollectionTest() : ComputerBench(DateTime{2026, 12, 7, 9, 5, 3}) {}
  void SetUp() override {
    ASSERT_TRUE(link.open());
    setup.setUsePcTime(false);
  }

  GroupParts group() { return {setup, screens, program, name}; }
  CollectionParts parts() { return {setup, screens, program, calendar}; }
  CommandResult run(bool get) {
    return runInstrumentCommand(
        exchange, shell,
        get ? getCollectionCommand(parts(), view) : sendCollectionCommand(parts(), view));
  }

  test::TestFolder scratch{"halvern_group"};
  const fs::path folder = scratch.path();
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  std::string name;
  std::vector<std::string> shown;  // the parts' pages, then "restored"
  std::vector<Clock::TimePoint> shownAt;
  CollectionView view{[this](CollectionPart part) {
                        static const char* kNames[] = {"setup", "screens", "program"};
                        shown.push_back(kNames[static_cast<int>(part)]);
                        shownAt.push_back(clock.now());
                      },
                      [this] { shown.push_back("restored"); }};
};

TEST_F(CollectionTest, GetBringsAllThreeShowingEachPageThenTheOneBefore) {
  shell.answers = {MessageResult::Yes};
  ASSERT_EQ(run(true), CommandResult::Done);
  EXPECT_EQ(shell.boxes[0].text,
            "Get Setup/Screens/Pgm from 40100.\nOverwrite settings in Halvern?");
  EXPECT_EQ(shown, (Lines{"setup", "screens", "program", "restored"}));
  EXPECT_EQ(shell.lines.front(), "GET SETUP/SCREENS/PROGRAM...");
  EXPECT_EQ(shell.lines.back(), "FINISHED GETTING SETUP/SCREENS/PROGRAM.");
  EXPECT_EQ(setup.fieldsPerRecord(), instrument.settings().fieldsPerRecord);
  EXPECT_EQ(screens.bytes(), instrument.screenMemory().cells());
  EXPECT_GT(program.instructionCount(), 1u);
}

TEST_F(CollectionTest, TheFirstFailureSkipsTheRestAndWarnsBeforeItsLine) {
  const ScreenBuffer screensBefore = screens;
  const auto treeBefore = program.tree();
  ASSERT_EQ(instrument.faults().parse("235:silence"), "");
  shell.answers = {MessageResult::Yes};
  ASSERT_EQ(run(true), CommandResult::Failed);
  EXPECT_EQ(shown, (Lines{"setup", "restored"}));
  EXPECT_EQ(screens, screensBefore);
  EXPECT_EQ(program.tree(), treeBefore);
  ASSERT_EQ(shell.boxes.size(), 2u);
  EXPECT_EQ(shell.boxes[1].text, kCommErrorText);
  // The part's own lines, then the collection's.
  EXPECT_EQ(shell.lines[shell.lines.size() - 2], "GET SETUP FAILED.");
  EXPECT_EQ(shell.lines.back(), "GET SETUP/SCREENS/PROGRAM FAILED.");
}

TEST_F(CollectionTest, SendPausesASecondBetweenItsParts) {
  setup.setUsePcTime(true);  // the computer's date and time go with it
  shell.answers = {MessageResult::Yes};
  ASSERT_EQ(run(false), CommandResult::Done);
  EXPECT_EQ(shell.boxes[0].text, "Send Setup/Screens/Program.\nOverwrite settings in 40100?");
  EXPECT_EQ(shell.lines.back(), "FINISHED SENDING SETUP/SCREENS/PROGRAM.");
  ASSERT_EQ(shownAt.size(), 3u);
  EXPECT_GE(shownAt[1] - shownAt[0], 1s);
  EXPECT_GE(shownAt[2] - shownAt[1], 1s);
}

TEST_F(CollectionTest, RefusalsSendNothing) {
  // No to the question.
  EXPECT_EQ(run(true), CommandResult::Refused);
  EXPECT_EQ(run(false), CommandResult::Refused);
  link.close();
  shell.boxes.clear();
  EXPECT_EQ(run(true), CommandResult::Refused);
  EXPECT_EQ(run(false), CommandResult::Refused);
  ASSERT_EQ(shell.boxes.size(), 2u);
  EXPECT_EQ(shell.boxes[0].text, "Cannot Get Setup/Screens/Program.\nUSB port is closed.");
  EXPECT_EQ(shell.boxes[1].text, "Cannot Send Setup/Screens/Program.\nComm port is closed.");
  EXPECT_TRUE(instrument.linesReceived().empty());
}

TEST_F(CollectionTest, SavedGroupHoldsEveryMemberAndOpensBack) {
  setup.setInterval(42);
  screens.set(0, 0, 'H');
  program.insertInstruction(0, 13);
  program.notes() = {"site notes"};
  const std::string path = (folder / "a.ssp").string();
  ASSERT_TRUE(saveGroup(path, group(), shell));
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_EQ(name, "a");
  EXPECT_EQ(readFile(folder / "a.ssp"), "40100Group");
  EXPECT_EQ(readFile(folder / "a.set"), writeSetupBytes(setup));
  EXPECT_EQ(fs::file_size(folder / "a.scr"), 1920u);
  EXPECT_EQ(readFile(folder / "a.pgm"), writeProgramBytes(program));
  EXPECT_EQ(readFile(folder / "a.txt"), writeProgramBytes(program).substr(65536));
  EXPECT_EQ(readFile(folder / "a.nts"), "site notes\r\n");
  for (int s = 1; s <= 8; ++s) {
    const std::string bmp = readFile(folder / ("a Screen " + std::to_string(s) + ".bmp"));
    ASSERT_EQ(bmp.size(), 54u + 480 * 96 * 3) << s;
    EXPECT_EQ(bmp.substr(0, 2), "BM");
  }
  // Screen 1 has an 'H': some of its pixels are black; screen 2 is all white.
  const std::string one = readFile(folder / "a Screen 1.bmp");
  const std::string two = readFile(folder / "a Screen 2.bmp");
  EXPECT_NE(one.find(std::string(3, '\0'), 54), std::string::npos);
  EXPECT_EQ(two.find(std::string(3, '\0'), 54), std::string::npos);

  SetupModel setupBack;
  ScreenBuffer screensBack;
  ProgramDocument programBack;
  std::string nameBack;
  ASSERT_TRUE(openGroup(path, {setupBack, screensBack, programBack, nameBack}, shell));
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_EQ(nameBack, "a");
  EXPECT_EQ(setupBack.interval(), 42);
  EXPECT_EQ(screensBack, screens);
  EXPECT_EQ(programBack.tree(), program.tree());
  EXPECT_EQ(programBack.notes(), program.notes());
}

TEST_F(CollectionTest, OpeningReportsEachBadMemberAndLoadsTheRest) {
  program.insertInstruction(0, 13);
  program.notes() = {"kept"};
  setup.setInterval(7);
  const std::string path = (folder / "g.ssp").string();
  ASSERT_TRUE(saveGroup(path, group(), shell));
  fs::remove(folder / "g.pgm");
  {
    std::ofstream truncated(folder / "g.scr", std::ios::binary);
    truncated << "short";
  }
  SetupModel setupBack;
  ScreenBuffer screensBack;
  screensBack.set(0, 0, 'Z');
  const ScreenBuffer screensBefore = screensBack;
  ProgramDocument programBack;
  std::string nameBack;
  ASSERT_TRUE(openGroup(path, {setupBack, screensBack, programBack, nameBack}, shell));
  ASSERT_EQ(shell.boxes.size(), 2u);
  EXPECT_EQ(shell.boxes[0].text, group_file::kScreenMissing);
  EXPECT_EQ(shell.boxes[1].text, group_file::kProgramMissing);
  EXPECT_EQ(setupBack.interval(), 7);
  EXPECT_EQ(screensBack, screensBefore);
  EXPECT_EQ(programBack.instructionCount(), 1u);
  EXPECT_EQ(programBack.notes(), (std::vector<std::string>{"kept"}));
}

// A send takes the whole group or nothing: each member it carries that cannot be used is named
// with why; the notes are not sent, so their loss stops nothing.
TEST_F(CollectionTest, OpeningToSendNeedsEveryMemberItSends) {
  const std::string path = (folder / "g.ssp").string();
  ASSERT_TRUE(saveGroup(path, group(), shell));
  const struct {
    const char* member;
    const char* bytes;  // nullptr: removed; "/": a folder in its place
    const char* why;
  } cases[] = {
      {"g.set", nullptr, "No such file or directory"},
      {"g.set", "short", "is not a setup file"},
      {"g.scr", nullptr, "No such file or directory"},
      {"g.scr", "short", "It holds 5 bytes; a screen file holds 1920 bytes."},
      {"g.pgm", nullptr, "No such file or directory"},
      {"g.pgm", "/", "It is a folder."},
      {"g.pgm", "short", "This is not a program file: it holds 5 bytes"},
      {"g.nts", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.member) + " " + (c.bytes ? c.bytes : "removed"));
    const fs::path member = folder / c.member;
    const fs::path kept = folder / "kept";
    fs::rename(member, kept);
    if (c.bytes && std::string(c.bytes) == "/")
      fs::create_directory(member);
    else if (c.bytes)
      std::ofstream(member, std::ios::binary) << c.bytes;

    const std::string problem = openGroupToSend(path, group());
    if (c.why == nullptr) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_EQ(problem.rfind("The group's ", 0), 0u) << problem;
      EXPECT_NE(problem.find(member.string() + " cannot be used, so nothing was sent.\n"),
                std::string::npos)
          << problem;
      EXPECT_NE(problem.find(c.why), std::string::npos) << problem;
    }
    fs::remove_all(member);
    fs::rename(kept, member);
  }
  EXPECT_EQ(openGroupToSend(path, group()), "");
  EXPECT_TRUE(shell.boxes.empty());  // nothing is asked or warned: the caller tells it
  std::ofstream(folder / "bad.ssp", std::ios::binary) << "40100Grou!";
  EXPECT_EQ(openGroupToSend((folder / "bad.ssp").string(), group()), group_file::kWrongType);
}

TEST_F(CollectionTest, AWrongGroupFileChangesNothing) {
  name = "before";
  for (const std::string bytes : {"40100Grou", "40100group", "something else", ""}) {
    const fs::path path = folder / "x.ssp";
    std::ofstream(path, std::ios::binary) << bytes;
    shell.boxes.clear();
    setup.setInterval(3);
    EXPECT_FALSE(openGroup(path.string(), group(), shell)) << bytes;
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, group_file::kWrongType);
    EXPECT_EQ(name, "before");
    EXPECT_EQ(setup.interval(), 3);
  }
  // A longer file is read for its first ten bytes only.
  std::ofstream(folder / "y.ssp", std::ios::binary) << "40100Group and more";
  EXPECT_TRUE(openGroup((folder / "y.ssp").string(), group(), shell));
  EXPECT_EQ(name, "y");
}

TEST_F(CollectionTest, AFolderThatCannotBeWrittenGetsOneWarning) {
  const std::string path = (folder / "missing" / "a.ssp").string();
  EXPECT_FALSE(saveGroup(path, group(), shell));
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(name, "");
}

}  // namespace
}  // namespace halvern

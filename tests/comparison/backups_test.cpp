// Backups on disk: their names, the listing, damaged ones, the whole-or-nothing write and the
// pruning that keeps the newest.
#include "comparison/backups.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "support/test_folder.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;
using test::TestFolder;

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(BackupNames, RoundTripAndRefuseWhatTheyDidNotMake) {
  const std::vector<std::pair<BackupName, std::string>> made{
      {{{2026, 12, 8, 14, 5, 12}, "A1B2C3D4", "setup", 1}, "2026-12-08_140512_A1B2C3D4_setup"},
      {{{2026, 1, 2, 3, 4, 5}, "", "all", 2}, "2026-01-02_030405_all_2"},
      {{{2030, 6, 30, 23, 59, 59}, "FT9X", "program", 12}, "2030-06-30_235959_FT9X_program_12"},
  };
  for (const auto& [name, text] : made) {
    EXPECT_EQ(formatBackupName(name), text);
    const auto parsed = parseBackupName(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(*parsed, name) << text;
  }
  // A serial number keeps its letters and digits only, so the name splits back as it was made.
  EXPECT_EQ(formatBackupName({{2026, 12, 8, 14, 5, 12}, "A1_B2-C3 /x", "screens", 1}),
            "2026-12-08_140512_A1B2C3x_screens");
  for (const char* other :
       {"", "notes", "2026-12-08_140512", "2026-12-08_140512_setup_1", "2026-12-08_140512_setup_02",
        "2026-12-08_140512_A1_B2_setup", "2026-13-08_140512_setup", "2026-12-08_250512_setup",
        "2026-12-08_14051_setup", "2026-12-08_140512_setup_", ".2026-12-08_140512_setup.saving",
        "2026-12-08_140512_setup_2_3", "2026-12-08_140512_firmware"})
    EXPECT_FALSE(parseBackupName(other)) << other;
}

TEST(BackupFolder, FollowsXdgDataHome) {
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string keep = saved ? saved : "";
  setenv("XDG_DATA_HOME", "/srv/data", 1);
  EXPECT_EQ(defaultBackupFolder(), "/srv/data/halvern/backups");
  // Relative paths are ignored, as the base directory rules say.
  setenv("XDG_DATA_HOME", "relative", 1);
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : ".";
  EXPECT_EQ(defaultBackupFolder(), home + "/.local/share/halvern/backups");
  if (saved) {
    setenv("XDG_DATA_HOME", keep.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

class BackupsOnDisk : public ::testing::Test {
 protected:
  WrittenBackup write(DateTime when, const std::string& what = "setup") {
    return writeBackup(folder.path().string(), {when, "SN1", what, 1}, contents);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const Backup& b : listBackups(folder.path().string())) out.push_back(b.name);
    return out;
  }

  TestFolder folder{"backups"};
  BackupContents contents;
};

TEST_F(BackupsOnDisk, WrittenWholeReadBackAndListedNewestFirst) {
  contents.setup->setInterval(7);
  contents.screens->setCell(0, 0, 0, 'Q');
  const WrittenBackup first = write({2026, 12, 8, 10, 0, 0});
  ASSERT_EQ(first.problem, "");
  EXPECT_EQ(first.groupPath,
            (folder / "2026-12-08_100000_SN1_setup" / "2026-12-08_100000_SN1_setup.ssp").string());
  // The same name again gets the next copy; an older time sorts last.
  ASSERT_EQ(write({2026, 12, 8, 10, 0, 0}).problem, "");
  ASSERT_EQ(write({2026, 12, 7, 9, 0, 0}, "all").problem, "");
  // Not backups: a stray folder, a file, a half-written one.
  fs::create_directories(folder / "photos");
  fs::create_directories(folder / ".2026-12-09_100000_setup.saving");
  writeText(folder / "2026-12-09_100000_setup", "a file");
  EXPECT_EQ(names(),
            (std::vector<std::string>{"2026-12-08_100000_SN1_setup_2",
                                      "2026-12-08_100000_SN1_setup", "2026-12-07_090000_SN1_all"}));
  for (const char* f : {"ssp", "set", "scr", "pgm", "txt", "nts"})
    EXPECT_TRUE(fs::exists(folder / "2026-12-08_100000_SN1_setup" /
                           (std::string("2026-12-08_100000_SN1_setup.") + f)))
        << f;
  // The pictures are drawn from the screen file; a backup does without them.
  EXPECT_FALSE(fs::exists(folder / "2026-12-08_100000_SN1_setup" /
                          "2026-12-08_100000_SN1_setup Screen 8.bmp"));
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    const std::string name = entry.path().filename().string();
    if (name != ".2026-12-09_100000_setup.saving") {
      EXPECT_EQ(name.find(".saving"), std::string::npos) << name;
    }
  }

  const auto found = findBackup(folder.path().string(), "2026-12-08_100000_SN1_setup");
  ASSERT_TRUE(found);
  EXPECT_FALSE(found->damaged());
  BackupContents back;
  ASSERT_EQ(openBackup(*found, back), "");
  EXPECT_EQ(back.setup->interval(), 7);
  EXPECT_EQ(back.screens->bytes(), contents.screens->bytes());
  EXPECT_FALSE(findBackup(folder.path().string(), "photos"));
  EXPECT_FALSE(findBackup(folder.path().string(), "2026-01-01_000000_setup"));
}

TEST_F(BackupsOnDisk, ADamagedBackupIsListedAsDamaged) {
  ASSERT_EQ(write({2026, 12, 8, 10, 0, 0}).problem, "");
  ASSERT_EQ(write({2026, 12, 8, 11, 0, 0}).problem, "");
  const fs::path base = folder / "2026-12-08_100000_SN1_setup" / "2026-12-08_100000_SN1_setup";
  fs::remove(base.string() + ".pgm");
  writeText(folder / "2026-12-08_110000_SN1_setup" / "2026-12-08_110000_SN1_setup.scr", "short");
  const std::vector<Backup> listed = listBackups(folder.path().string());
  ASSERT_EQ(listed.size(), 2u);
  for (const Backup& b : listed) EXPECT_TRUE(b.damaged()) << b.name;
  EXPECT_NE(listed[0].problem.find(".scr"), std::string::npos) << listed[0].problem;
  EXPECT_NE(listed[1].problem.find(".pgm"), std::string::npos) << listed[1].problem;
}

TEST_F(BackupsOnDisk, AFolderThatCannotBeWrittenLeavesNothing) {
  writeText(folder / "file", "x");
  const WrittenBackup written =
      writeBackup((folder / "file" / "backups").string(), {{2026, 1, 1}, "", "all", 1}, contents);
  EXPECT_EQ(written.groupPath, "");
  EXPECT_NE(written.problem.find("cannot be made"), std::string::npos) << written.problem;
  EXPECT_NE(backupFolderProblem((folder / "file").string()), "");
  EXPECT_EQ(backupFolderProblem((folder / "new" / "deeper").string()), "");
  EXPECT_TRUE(fs::is_directory(folder / "new" / "deeper"));
}

TEST_F(BackupsOnDisk, PruningKeepsTheNewestAndTouchesNothingElse) {
  for (int minute = 0; minute < 7; ++minute)
    ASSERT_EQ(write({2026, 12, 8, 10, minute, 0}).problem, "");
  fs::create_directories(folder / "keep me");
  // Named as a backup, but without its group file: not a backup's folder.
  fs::create_directories(folder / "2020-01-01_000000_all");
  writeText(folder / "2020-01-01_000000_all" / "notes.txt", "mine");
  // The oldest backup with a file of the user's put in it: that file and its folder stay.
  writeText(folder / "2026-12-08_100000_SN1_setup" / "photo.jpg", "mine");
  EXPECT_EQ(pruneBackups(folder.path().string(), 3), 3);
  EXPECT_TRUE(fs::exists(folder / "keep me"));
  EXPECT_TRUE(fs::exists(folder / "2020-01-01_000000_all" / "notes.txt"));
  EXPECT_TRUE(fs::exists(folder / "2026-12-08_100000_SN1_setup" / "photo.jpg"));
  EXPECT_FALSE(
      fs::exists(folder / "2026-12-08_100000_SN1_setup" / "2026-12-08_100000_SN1_setup.ssp"));
  const std::vector<std::string> left = names();
  ASSERT_EQ(left.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(left.begin(), left.begin() + 3),
            (std::vector<std::string>{"2026-12-08_100600_SN1_setup", "2026-12-08_100500_SN1_setup",
                                      "2026-12-08_100400_SN1_setup"}));

  // A backup made while the clock stood earlier sorts oldest: spared, it stays.
  ASSERT_EQ(write({2025, 1, 1, 0, 0, 0}).problem, "");
  EXPECT_EQ(pruneBackups(folder.path().string(), 3, {"2025-01-01_000000_SN1_setup"}), 0);
  EXPECT_TRUE(findBackup(folder.path().string(), "2025-01-01_000000_SN1_setup"));
}

TEST(BackupTexts, SayWhenAndBeforeWhat) {
  Backup b;
  b.name = "2026-12-08_140512_A1_screens";
  b.parsed = *parseBackupName(b.name);
  EXPECT_EQ(backupTime(b.parsed), "2026-12-08 14:05:12");
  EXPECT_EQ(backupBefore(b.parsed), "Send Screens");
  EXPECT_EQ(restoreQuestion(b),
            "Restore the backup 2026-12-08_140512_A1_screens\n(made 2026-12-08 14:05:12 before "
            "Send Screens)?\nThis overwrites the setup, screens and program in the 40100.");
}

}  // namespace
}  // namespace halvern

#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <filesystem>
#include <fstream>

#include "app/file_folders.h"

namespace halvern {
namespace {

// The window's two and the records page's two, as they declare them: all in one section.
Settings windowSettings(int top = 100, int left = 100, int show = 0, int count = 100) {
  return {{"40100 Setup", "Top", top},
          {"40100 Setup", "Left", left},
          {"40100 Setup", "Show Records", show},
          {"40100 Setup", "Num of Records", count}};
}

TEST(SettingsFile, ReadsWhatItCanAndDefaultsTheRest) {
  const struct {
    std::string text;
    Settings expected;
  } cases[] = {
      {"", windowSettings()},
      {"[40100 Setup]\r\nTop=5\r\nLeft=-20\r\nShow Records=7\r\nNum of Records=42\r\n",
       windowSettings(5, -20, 7, 42)},
      {"[other]\nTop=5\n[40100 SETUP]\ntop = 6\nNUM OF RECORDS=9\n", windowSettings(6, 100, 0, 9)},
      {"[40100 Setup]\nTop=abc\nLeft=\nShow Records=0\nNum of Records=12x\n",
       windowSettings(100, 100, 0, 12)},
      {"Top=5\n[40100 Setup]\nLeft=99999999999999\n", windowSettings()},
      {"\xff\xfe garbage without sections or equals", windowSettings()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettingsFile::parse(c.text, windowSettings()), c.expected) << c.text;
  }
  // Found regardless of case.
  EXPECT_EQ(SettingsFile::value(cases[1].expected, "40100 setup", "show records", -1), 7);
  EXPECT_EQ(SettingsFile::read("/nonexistent/Halvern.ini", windowSettings()), windowSettings());
}

TEST(SettingsFile, TextValuesAndTheFoldersOfOurOwnSection) {
  // Folders with blanks, "=" and non-ASCII letters come back as they went, other keys kept.
  Settings settings = windowSettings();
  SettingsFile::setText(settings, "Halvern", "Folder setup", "/home/t/Sites = North/Ærø");
  SettingsFile::setText(settings, "Halvern", "Folder group", "/data/a\nb");  // no line break
  const std::string written =
      SettingsFile::format(settings, "[Halvern]\nFolder records=/r\n[40100 Setup]\nTop=3\n");
  EXPECT_EQ(written,
            "[Halvern]\nFolder setup=/home/t/Sites = North/Ærø\nFolder group=/data/ab\n"
            "Folder records=/r\n[40100 Setup]\nTop=100\nLeft=100\nShow Records=0\n"
            "Num of Records=100\n");
  const auto entries =
      SettingsFile::sectionTexts(written + "[halvern]\nFolder setup=/later\n", "HALVERN");
  const std::vector<std::pair<std::string, std::string>> expected{
      {"Folder setup", "/home/t/Sites = North/Ærø"},
      {"Folder group", "/data/ab"},
      {"Folder records", "/r"}};
  EXPECT_EQ(entries, expected);
  Settings declared = windowSettings();
  declared.push_back(SettingsValue::ofText("Halvern", "Folder group", "/default"));
  EXPECT_EQ(SettingsFile::parse(written, declared).back().text, "/data/ab");

  // The folders a file remembers: absolute ones only, found again whatever the key's case.
  FileFolders folders(QString::fromStdString(::testing::TempDir()));
  folders.load({{"Folder Setup", ::testing::TempDir()},
                {"Folder program", "relative/dir"},
                {"Other", "/tmp"}});
  EXPECT_EQ(folders.startFolder("setup"),
            QDir::cleanPath(QString::fromStdString(::testing::TempDir())));
  EXPECT_EQ(folders.startFolder("program"),
            QDir::cleanPath(QString::fromStdString(::testing::TempDir())));
  folders.remember("group", "/tmp/site.ssp", {"notes"});
  Settings saved;
  folders.save(saved);
  EXPECT_EQ(SettingsFile::format(saved),
            "[Halvern]\nFolder group=/tmp\nFolder notes=/tmp\nFolder setup=" +
                QDir::cleanPath(QString::fromStdString(::testing::TempDir())).toStdString() + "\n");
}

TEST(SettingsFile, WriteKeepsOtherSectionsAndKeys) {
  const std::string existing =
      "; kept\n[Other]\nA=1\n[40100 Setup]\nTop=1\nExtra=yes\nLeft=2\n[Last]\nB=2\n";
  const std::string written = SettingsFile::format(windowSettings(10, 20, 0, 30), existing);
  EXPECT_EQ(written,
            "; kept\n[Other]\nA=1\n[40100 Setup]\nTop=10\nLeft=20\nShow Records=0\n"
            "Num of Records=30\nExtra=yes\n[Last]\nB=2\n");
  // Written again from its own text: the same bytes.
  EXPECT_EQ(SettingsFile::format(windowSettings(10, 20, 0, 30), written), written);
}

TEST(SettingsFile, OurSectionTwiceIsReadAndWrittenOnce) {
  // The same section again, its name in other case and blanks.
  const std::string existing =
      "[40100 Setup]\nTop=1\nLeft=2\nKeep=a\n[Other]\nA=1\n[ 40100 setup ]\nTop=7\nLeft=8\n"
      "Show Records=1\nAlso=b\n";
  const Settings read = SettingsFile::parse(existing, windowSettings());
  EXPECT_EQ(SettingsFile::value(read, "40100 Setup", "Top", 0), 1);
  EXPECT_EQ(SettingsFile::value(read, "40100 Setup", "Left", 0), 2);
  const Settings saved = windowSettings(10, 20, 1, 30);
  const std::string written = SettingsFile::format(saved, existing);
  EXPECT_EQ(written,
            "[40100 Setup]\nTop=10\nLeft=20\nShow Records=1\nNum of Records=30\nKeep=a\nAlso=b\n"
            "[Other]\nA=1\n");
  // What was saved is what the next start reads.
  EXPECT_EQ(SettingsFile::parse(written, windowSettings()), saved);
}

TEST(SettingsFile, ExtraCarriageReturnsAreDroppedSoASecondSaveChangesNothing) {
  const std::string existing = "[Other]\r\r\nA=1\r\r\r\n[40100 Setup]\r\nTop=5\r\r\n";
  EXPECT_EQ(
      SettingsFile::value(SettingsFile::parse(existing, windowSettings()), "40100 Setup", "Top", 0),
      5);
  const Settings saved = windowSettings(10, 20, 0, 30);
  const std::string written = SettingsFile::format(saved, existing);
  EXPECT_EQ(written,
            "[Other]\nA=1\n[40100 Setup]\nTop=10\nLeft=20\nShow Records=0\nNum of Records=30\n");
  EXPECT_EQ(SettingsFile::format(saved, written), written);
}

// A module may keep its own section: written where the file has it, else after the others, read
// apart from the window's section even where the key names are the same.
TEST(SettingsFile, AModulesOwnSectionStandsWhereTheFileHasIt) {
  Settings settings = windowSettings(1, 2, 0, 3);
  SettingsFile::set(settings, "Probe", "Top", 9);
  const struct {
    std::string existing;
    std::string written;
  } cases[] = {
      {"", "[40100 Setup]\nTop=1\nLeft=2\nShow Records=0\nNum of Records=3\n[Probe]\nTop=9\n"},
      {"[probe]\nTop=5\nOld=x\n[Other]\nA=1\n",
       "[Probe]\nTop=9\nOld=x\n[Other]\nA=1\n[40100 Setup]\nTop=1\nLeft=2\nShow Records=0\n"
       "Num of Records=3\n"},
  };
  for (const auto& c : cases) {
    const std::string written = SettingsFile::format(settings, c.existing);
    EXPECT_EQ(written, c.written) << c.existing;
    EXPECT_EQ(SettingsFile::parse(written, windowSettings()), windowSettings(1, 2, 0, 3));
    Settings declared = windowSettings();
    SettingsFile::set(declared, "Probe", "Top", 0);
    EXPECT_EQ(SettingsFile::parse(written, declared), settings);
  }
}

TEST(SettingsFile, WritesThroughATemporaryFileAndCreatesTheFolder) {
  const auto folder = std::filesystem::path(::testing::TempDir()) /
                      ("halvern_settings_" + std::to_string(getpid())) / "halvern";
  std::filesystem::remove_all(folder.parent_path());
  const std::string path = (folder / "Halvern.ini").string();
  ASSERT_TRUE(SettingsFile::write(path, windowSettings(1, 2, 1, 3)));
  EXPECT_EQ(SettingsFile::read(path, windowSettings()), windowSettings(1, 2, 1, 3));
  EXPECT_FALSE(std::filesystem::exists(path + ".saving"));

  // A folder where the file should be: the write fails and changes nothing.
  EXPECT_FALSE(SettingsFile::write(folder.string(), windowSettings()));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  std::filesystem::remove_all(folder.parent_path());
}

TEST(SettingsFile, LivesInTheUsersConfigurationFolder) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string keep = saved ? saved : "";
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(SettingsFile::defaultPath(), "/tmp/cfg/halvern/Halvern.ini");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/tech", 1);
  EXPECT_EQ(SettingsFile::defaultPath(), "/home/tech/.config/halvern/Halvern.ini");
  if (saved) setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
  setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace halvern

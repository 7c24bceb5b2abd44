#include "app/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace halvern {
namespace {

TEST(SettingsFile, ReadsWhatItCanAndDefaultsTheRest) {
  const struct {
    std::string text;
    WindowSettings expected;
  } cases[] = {
      {"", {}},
      {"[40100 Setup]\r\nTop=5\r\nLeft=-20\r\nShow Records=7\r\nNum of Records=42\r\n",
       {5, -20, true, 42}},
      {"[other]\nTop=5\n[40100 SETUP]\ntop = 6\nNUM OF RECORDS=9\n", {6, 100, false, 9}},
      {"[40100 Setup]\nTop=abc\nLeft=\nShow Records=0\nNum of Records=12x\n",
       {100, 100, false, 12}},
      {"Top=5\n[40100 Setup]\nLeft=99999999999999\n", {}},
      {"\xff\xfe garbage without sections or equals", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettingsFile::parse(c.text), c.expected) << c.text;
  }
  EXPECT_EQ(SettingsFile::read("/nonexistent/Halvern.ini"), WindowSettings{});
}

TEST(SettingsFile, WriteKeepsOtherSectionsAndKeys) {
  const std::string existing =
      "; kept\n[Other]\nA=1\n[40100 Setup]\nTop=1\nExtra=yes\nLeft=2\n[Last]\nB=2\n";
  const std::string written = SettingsFile::format({10, 20, false, 30}, existing);
  EXPECT_EQ(written,
            "; kept\n[Other]\nA=1\n[40100 Setup]\nTop=10\nLeft=20\nShow Records=0\n"
            "Num of Records=30\nExtra=yes\n[Last]\nB=2\n");
  // Written again from its own text: the same bytes.
  EXPECT_EQ(SettingsFile::format({10, 20, false, 30}, written), written);
}

TEST(SettingsFile, OurSectionTwiceIsReadAndWrittenOnce) {
  // The same section again, its name in other case and blanks.
  const std::string existing =
      "[40100 Setup]\nTop=1\nLeft=2\nKeep=a\n[Other]\nA=1\n[ 40100 setup ]\nTop=7\nLeft=8\n"
      "Show Records=1\nAlso=b\n";
  EXPECT_EQ(SettingsFile::parse(existing).top, 1);
  EXPECT_EQ(SettingsFile::parse(existing).left, 2);
  const WindowSettings saved{10, 20, true, 30};
  const std::string written = SettingsFile::format(saved, existing);
  EXPECT_EQ(written,
            "[40100 Setup]\nTop=10\nLeft=20\nShow Records=1\nNum of Records=30\nKeep=a\nAlso=b\n"
            "[Other]\nA=1\n");
  // What was saved is what the next start reads.
  EXPECT_EQ(SettingsFile::parse(written), saved);
}

TEST(SettingsFile, ExtraCarriageReturnsAreDroppedSoASecondSaveChangesNothing) {
  const std::string existing = "[Other]\r\r\nA=1\r\r\r\n[40100 Setup]\r\nTop=5\r\r\n";
  EXPECT_EQ(SettingsFile::parse(existing).top, 5);
  const WindowSettings saved{10, 20, false, 30};
  const std::string written = SettingsFile::format(saved, existing);
  EXPECT_EQ(written,
            "[Other]\nA=1\n[40100 Setup]\nTop=10\nLeft=20\nShow Records=0\nNum of Records=30\n");
  EXPECT_EQ(SettingsFile::format(saved, written), written);
}

TEST(SettingsFile, WritesThroughATemporaryFileAndCreatesTheFolder) {
  const auto folder = std::filesystem::path(::testing::TempDir()) /
                      ("halvern_settings_" + std::to_string(getpid())) / "halvern";
  std::filesystem::remove_all(folder.parent_path());
  const std::string path = (folder / "Halvern.ini").string();
  ASSERT_TRUE(SettingsFile::write(path, {1, 2, true, 3}));
  EXPECT_EQ(SettingsFile::read(path), (WindowSettings{1, 2, true, 3}));
  EXPECT_FALSE(std::filesystem::exists(path + ".saving"));

  // A folder where the file should be: the write fails and changes nothing.
  EXPECT_FALSE(SettingsFile::write(folder.string(), {}));
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

// The screen file: its bytes, round trips, and files that are not screen files.
#include "screens/screen_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "screens/screen_buffer.h"

namespace halvern {
namespace {

class ScreenFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::path(::testing::TempDir()) /
             ("halvern_scr_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string path(const char* name) const { return (folder / name).string(); }
  static std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void write(const std::string& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }

  std::filesystem::path folder;
};

ScreenBuffer mixedScreens() {
  ScreenBuffer buffer;
  for (int s = 0; s < 8; ++s) {
    buffer.setCurrentScreen(s);
    buffer.set(0, 0, static_cast<std::uint8_t>('1' + s));
    buffer.setLargeCell(4, 38, 0xC1 + s);
    buffer.set(5, 0, 0x7E);
  }
  return buffer;
}

TEST_F(ScreenFile, BlankScreensAre1920Blanks) {
  ASSERT_EQ(saveScreenFile(path("blank.scr"), ScreenBuffer()), "");
  EXPECT_EQ(read(path("blank.scr")), std::string(1920, ' '));
}

TEST_F(ScreenFile, WriteReadWriteGivesTheSameBytes) {
  const ScreenBuffer original = mixedScreens();
  ASSERT_EQ(saveScreenFile(path("a.scr"), original), "");
  const std::string bytes = read(path("a.scr"));
  ASSERT_EQ(bytes.size(), 1920u);
  // Screen by screen, row by row, column by column.
  EXPECT_EQ(bytes[7 * 240], '8');
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[7 * 240 + 5 * 40 + 39]), 0xC8);

  ScreenBuffer loaded;
  loaded.setCurrentScreen(4);
  ASSERT_EQ(loadScreenFile(path("a.scr"), loaded), "");
  EXPECT_TRUE(loaded == original);
  EXPECT_EQ(loaded.currentScreen(), 0);
  ASSERT_EQ(saveScreenFile(path("b.scr"), loaded), "");
  EXPECT_EQ(read(path("b.scr")), bytes);
}

TEST_F(ScreenFile, FilesThatAreNotScreenFilesChangeNothing) {
  const ScreenBuffer original = mixedScreens();
  struct Bad {
    const char* name;
    std::string bytes;
    const char* problem;
  };
  const Bad bad[] = {
      {"empty.scr", "", "holds 0 bytes; a screen file holds 1920 bytes.\nNothing was changed."},
      {"short.scr", std::string(1919, 'x'), "holds 1919 bytes"},
  };
  for (const auto& b : bad) {
    write(path(b.name), b.bytes);
    ScreenBuffer buffer = original;
    buffer.setCurrentScreen(3);
    const std::string problem = loadScreenFile(path(b.name), buffer);
    EXPECT_NE(problem.find(b.problem), std::string::npos) << problem;
    EXPECT_NE(problem.find(path(b.name)), std::string::npos) << problem;
    EXPECT_TRUE(buffer == original) << b.name;
    EXPECT_EQ(buffer.currentScreen(), 3) << b.name;
  }
  ScreenBuffer buffer = original;
  EXPECT_NE(loadScreenFile(path("missing.scr"), buffer).find("Cannot open the screen file"),
            std::string::npos);
  EXPECT_NE(loadScreenFile(folder.string(), buffer).find("It is a folder."), std::string::npos);
  EXPECT_TRUE(buffer == original);
}

TEST_F(ScreenFile, BytesAfterTheBlockAreIgnored) {
  std::string bytes(1920, 'k');
  write(path("long.scr"), bytes + "tail");
  ScreenBuffer buffer;
  ASSERT_EQ(loadScreenFile(path("long.scr"), buffer), "");
  EXPECT_EQ(std::string(buffer.bytes().begin(), buffer.bytes().end()), bytes);
}

TEST_F(ScreenFile, StreamLoadReadsFromWhereTheStreamIs) {
  std::istringstream in("head" + std::string(1920, 'm'));
  in.seekg(4);
  ScreenBuffer buffer;
  ASSERT_EQ(loadScreenStream(in, buffer), "");
  EXPECT_EQ(buffer.cell(7, 5, 39), 'm');
}

TEST_F(ScreenFile, FailedSaveLeavesTheEarlierFile) {
  ASSERT_EQ(saveScreenFile(path("keep.scr"), mixedScreens()), "");
  const std::string before = read(path("keep.scr"));
  const std::string problem = saveScreenFile(path("nowhere/keep.scr"), ScreenBuffer());
  EXPECT_NE(problem.find("Cannot save the screen file"), std::string::npos);
  // A folder in the way of the rename: the file is not replaced and no temporary is left.
  std::filesystem::create_directories(path("dir.scr"));
  EXPECT_NE(saveScreenFile(path("dir.scr"), ScreenBuffer()), "");
  EXPECT_FALSE(std::filesystem::exists(path("dir.scr.saving")));
  EXPECT_EQ(read(path("keep.scr")), before);
}

}  // namespace
}  // namespace halvern

// The setup file: exact bytes, both forms, round trips and files that are not what they claim.
#include "setup/setup_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace halvern {
namespace {

std::string le(std::int32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i)
    s += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

std::string entry(const std::string& label, int type, int width, int precision) {
  std::string e = label;
  e.resize(26, '\0');
  return e + le(type) + le(width) + le(precision);
}

SetupModel sample() {
  SetupModel s;
  s.setCom2BaudIndex(7);
  s.setStopOnError(true);
  s.setKeypadLock(true);
  s.setInterval(42);
  s.setFieldsPerRecord(5);
  s.setAutoScroll(true);
  s.setScrollPause(99);
  s.setScrollEnd(3);
  s.setFormat(0, {std::string(25, 'Q'), 2, 9, 6});
  s.setFormat(24, {"\xB0"
                   "C AIR",
                   1, 1, 0});
  s.setCom1BaudIndex(6);
  s.setCom1Type(1);
  return s;
}

std::string sampleBytes() {
  std::string b = le(7) + le(1) + le(1) + le(42) + le(5) + le(1) + le(99) + le(3);
  b += entry(std::string(25, 'Q'), 2, 9, 6);
  for (int n = 2; n <= 24; ++n)
    b += entry("FIELD " + std::string(n < 10 ? "0" : "") + std::to_string(n), 0, 7, 1);
  b += entry(
      "\xB0"
      "C AIR",
      1, 1, 0);
  return b + le(6) + le(1);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(SetupFile, BytesExactlyAndRoundTrip) {
  const std::string bytes = writeSetupBytes(sample());
  ASSERT_EQ(bytes.size(), 990u);
  EXPECT_EQ(bytes, sampleBytes());
  // The byte after a 25-character label is its terminating zero.
  EXPECT_EQ(bytes[32 + 25], '\0');

  SetupModel loaded;
  EXPECT_EQ(readSetupBytes(bytes, loaded), "");
  EXPECT_EQ(loaded, sample());
  EXPECT_EQ(writeSetupBytes(loaded), bytes);
  // Rows beyond the fields per record are loaded all the same, and stay disabled.
  EXPECT_FALSE(loaded.isRowEnabled(5));
  EXPECT_EQ(loaded.format(24).label,
            "\xB0"
            "C AIR");
}

TEST(SetupFile, TheOlderFormKeepsTheCom1Selection) {
  SetupModel model;
  model.setCom1Type(1);
  model.setCom1BaudIndex(0);
  const std::string older = sampleBytes().substr(0, 982);
  EXPECT_EQ(readSetupBytes(older, model), "");
  EXPECT_EQ(model.com1Type(), 1);
  EXPECT_EQ(model.com1BaudIndex(), 0);
  EXPECT_EQ(model.interval(), 42);
  EXPECT_EQ(model.format(0).label, std::string(25, 'Q'));
}

TEST(SetupFile, SizesThatWouldNeedMissingBytesAreRefusedAndChangeNothing) {
  const std::string full = sampleBytes();
  for (std::size_t size : {0u, 1u, 32u, 981u, 983u, 989u}) {
    SetupModel model;
    int notified = 0;
    model.setOnChanged([&] { ++notified; });
    const std::string warning = readSetupBytes(full.substr(0, size), model, "x.set");
    EXPECT_NE(warning.find("x.set is not a setup file"), std::string::npos) << size;
    EXPECT_NE(warning.find("holds " + std::to_string(size) + " bytes"), std::string::npos) << size;
    EXPECT_EQ(model, SetupModel()) << size;
    EXPECT_EQ(notified, 0) << size;
  }
  // Bytes after the image are never needed.
  SetupModel model;
  EXPECT_EQ(readSetupBytes(full + std::string(1000, '\xFF'), model), "");
  EXPECT_EQ(model, sample());
}

TEST(SetupFile, ValuesOutOfRangeAreClampedAsTheControlsClampThem) {
  std::string b = le(-3) + le(5) + le(-1) + le(1000) + le(0) + le(2) + le(0) + le(9);
  b += std::string(26, 'G') + le(3) + le(0) + le(7);  // 26 characters, no terminator
  b += entry("", -1, 10, -5);
  for (int n = 3; n <= 25; ++n) b += entry("", 0, 7, 1);
  b += le(8) + le(2);
  SetupModel model;
  ASSERT_EQ(readSetupBytes(b, model), "");
  EXPECT_EQ(model.com2BaudIndex(), 0);
  EXPECT_TRUE(model.stopOnError());
  EXPECT_TRUE(model.keypadLock());
  EXPECT_EQ(model.interval(), 99);
  EXPECT_EQ(model.fieldsPerRecord(), 1);
  EXPECT_TRUE(model.autoScroll());
  EXPECT_EQ(model.scrollPause(), 1);
  EXPECT_EQ(model.scrollEnd(), 8);
  EXPECT_EQ(model.format(0), (RecordFormat{std::string(25, 'G'), 2, 1, 6}));
  EXPECT_EQ(model.format(1), (RecordFormat{"", 0, 9, 0}));
  EXPECT_EQ(model.com1BaudIndex(), 7);
  EXPECT_EQ(model.com1Type(), 1);
  // What is written back is a valid image.
  SetupModel again;
  ASSERT_EQ(readSetupBytes(writeSetupBytes(model), again), "");
  EXPECT_EQ(again, model);
}

class SetupFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::path(::testing::TempDir()) /
          ("setup_file_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(SetupFileOnDisk, SaveAndLoadThroughFiles) {
  const std::string path = (dir / "site.set").string();
  EXPECT_EQ(saveSetupFile(path, sample()), "");
  EXPECT_EQ(readAll(path), sampleBytes());
  SetupModel model;
  EXPECT_EQ(loadSetupFile(path, model), "");
  EXPECT_EQ(model, sample());
  // Only the file itself is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

  writeAll(path, "garbage");
  SetupModel untouched;
  EXPECT_NE(loadSetupFile(path, untouched), "");
  EXPECT_EQ(untouched, SetupModel());
  EXPECT_NE(loadSetupFile((dir / "missing.set").string(), untouched), "");
  EXPECT_NE(loadSetupFile(dir.string(), untouched), "");
  EXPECT_EQ(untouched, SetupModel());
}

TEST_F(SetupFileOnDisk, AFailedSaveLeavesThePreviousFileIntact) {
  const std::string path = (dir / "kept.set").string();
  writeAll(path, sampleBytes());
  // The temporary file cannot be created where a folder of its name stands.
  std::filesystem::create_directory(path + ".saving");
  EXPECT_NE(saveSetupFile(path, SetupModel()), "");
  EXPECT_EQ(readAll(path), sampleBytes());
  // Nor can a file be saved into a folder that does not exist.
  EXPECT_NE(saveSetupFile((dir / "no" / "such.set").string(), SetupModel()), "");
}

}  // namespace
}  // namespace halvern

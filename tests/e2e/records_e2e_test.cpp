// halvern-cli records with its CSV and archive, and records stats, against the simulated
// instrument; the CSV read back by Python's csv module.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/e2e_support.h"

namespace {

using namespace halvern::e2e;
namespace fs = std::filesystem;

class RecordsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string file(const std::string& name) const { return (folder / name).string(); }

  const fs::path folder = tempPath("records");
};

TEST_F(RecordsCli, TheCsvDescribesItselfAndReadsBackInPython) {
  const auto run = runCli("--simulate --yes records 120 " + file("site.txt") + " --csv");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_TRUE(fs::exists(file("site.txt")));
  // The csv module reads it: comments first, then the header and 120 rows of 5 cells, times
  // in ISO 8601 a minute apart.
  const std::string script =
      "import csv,sys,datetime\n"
      "rows=list(csv.reader(open(sys.argv[1],newline='')))\n"
      "comments=[r for r in rows if r and r[0].startswith('#')]\n"
      "data=[r for r in rows if r and not r[0].startswith('#')]\n"
      "print(len(comments), data[0], len(data)-1, {len(r) for r in data})\n"
      "t=[datetime.datetime.fromisoformat(r[0]) for r in data[1:]]\n"
      "print(all((b-a).total_seconds()==60 for a,b in zip(t,t[1:])))\n";
  writeFile(file("check.py"), script);
  const auto python = runProgram("python3", file("check.py") + " " + file("site.csv"));
  ASSERT_EQ(python.status, 0) << python.err;
  EXPECT_EQ(python.out, "8 ['Time', 'DATE', 'TIME', 'WIND SPEED', 'WIND DIR'] 120 {5}\nTrue\n");
  const std::string csv = readFile(file("site.csv"));
  for (const char* said : {"# Fields per record: 4\r\n", "# Field 3: WIND SPEED, Number, width 5",
                           "# Downloaded: 20", "# Records: 120\r\n"})
    EXPECT_NE(csv.find(said), std::string::npos) << said;

  // Not overwritten without asking: no --yes, no terminal to ask on.
  const auto again = runCli("--simulate records 10 " + file("site.txt") + " --csv");
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(readFile(file("site.csv")), csv);
}

TEST_F(RecordsCli, AnArchiveOnlyGrows) {
  const std::string archive = file("north.csv");
  const auto first = runCli("--simulate --yes records 50 " + archive + " --csv --append");
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.err.find("50 new records added"), std::string::npos) << first.err;
  EXPECT_TRUE(fs::exists(file("north.txt")));
  const auto more = runCli("--simulate --yes records 80 " + archive + " --csv --append");
  EXPECT_NE(more.err.find("30 new records added"), std::string::npos) << more.err;
  const std::string grown = readFile(archive);
  const auto same = runCli("--simulate --yes records 80 " + archive + " --csv --append");
  EXPECT_EQ(same.status, 0);
  EXPECT_NE(same.err.find("0 new records added"), std::string::npos) << same.err;
  EXPECT_EQ(readFile(archive), grown);
  // The archive equals one CSV of all 80.
  ASSERT_EQ(runCli("--simulate --yes records 80 " + file("all.txt") + " --csv").status, 0);
  const auto body = [](const std::string& text) { return text.substr(text.find("Time,")); };
  EXPECT_EQ(body(grown), body(readFile(file("all.csv"))));
  EXPECT_EQ(runCli("--simulate --yes records 5 " + archive + " --append").status, 2);
}

TEST_F(RecordsCli, StatsOfAFileAndItsRange) {
  ASSERT_EQ(runCli("--simulate --yes records 60 " + file("r.txt") + " --delimiter tab").status, 0);
  const auto all = runCli("records stats " + file("r.txt"));
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("60 records of 4 fields\n"), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("WIND SPEED (field 3)\n  values   60\n  gaps     0\n  minimum  "),
            std::string::npos)
      << all.out;
  const auto part =
      runCli("records stats " + file("r.txt") + " --from 2026-12-01T00:10 --to 2026-12-01T00:19");
  EXPECT_NE(part.out.find("  values   10\n"), std::string::npos) << part.out;
  // A file that is not a records file: its line and why.
  writeFile(file("bad.txt"), "3 RECORDS\r\nyesterday\r\n");
  const auto bad = runCli("records stats " + file("bad.txt"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 2: the second line is not the date and time"), std::string::npos)
      << bad.err;
  EXPECT_EQ(runCli("records stats " + file("r.txt") + " --from noon").status, 2);
  EXPECT_EQ(runCli("records").status, 2);
}

}  // namespace

// halvern-cli records with its CSV and archive, records stats and records plot, against the
// simulated instrument; the CSV read back by Python's csv module, the plot's PNG decoded and its
// SVG parsed by Python.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

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

// The width and height a PNG file's header gives; {0, 0} when it is not a PNG file.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      bytes.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  const auto at = [&bytes](std::size_t i) {
    std::uint32_t n = 0;
    for (std::size_t k = 0; k < 4; ++k) n = n << 8 | static_cast<unsigned char>(bytes[i + k]);
    return n;
  };
  return {at(16), at(20)};
}

TEST_F(RecordsCli, APlotIsAPngOrAnSvgOfTheSizeAndFieldsAsked) {
  ASSERT_EQ(runCli("--simulate --yes records 120 " + file("site.txt")).status, 0);
  const auto png = runCli("records plot " + file("site.txt") + " " + file("site.png"));
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_NE(png.err.find("plot written to " + file("site.png")), std::string::npos) << png.err;
  const std::string pngBytes = readFile(file("site.png"));
  EXPECT_EQ(pngSize(pngBytes), std::make_pair(1000u, 600u));
  // The same file, fields and range make the same picture.
  ASSERT_EQ(runCli("records plot " + file("site.txt") + " " + file("again.png")).status, 0);
  EXPECT_EQ(readFile(file("again.png")), pngBytes);
  // Another range is another picture; another size, another image.
  ASSERT_EQ(runCli("records plot " + file("site.txt") + " " + file("part.PNG") +
                   " --from 2026-12-01T00:10 --to 2026-12-01T00:40")
                .status,
            0);
  EXPECT_NE(readFile(file("part.PNG")), pngBytes);
  ASSERT_EQ(runCli("records plot " + file("site.txt") + " " + file("small.png") + " --size 640x480")
                .status,
            0);
  EXPECT_EQ(pngSize(readFile(file("small.png"))), std::make_pair(640u, 480u));

  const auto svg = runCli("records plot " + file("site.txt") + " " + file("site.svg") +
                          " --fields 4,3 --size 800x400");
  ASSERT_EQ(svg.status, 0) << svg.err;
  const std::string text = readFile(file("site.svg"));
  // A lane for each field asked, each named; unless asked, the first number field's alone.
  for (const char* label : {"WIND SPEED", "WIND DIR"})
    EXPECT_NE(text.find(label), std::string::npos) << label;
  ASSERT_EQ(runCli("records plot " + file("site.txt") + " " + file("first.svg")).status, 0);
  const std::string first = readFile(file("first.svg"));
  EXPECT_NE(first.find("WIND SPEED"), std::string::npos);
  EXPECT_EQ(first.find("WIND DIR"), std::string::npos);
  // Python's XML parser reads it whole: an <svg> root with the picture's box and its title.
  writeFile(file("check.py"),
            "import sys,xml.etree.ElementTree as E\n"
            "r=E.parse(sys.argv[1]).getroot()\n"
            "n='{http://www.w3.org/2000/svg}'\n"
            "print(r.tag==n+'svg', r.get('viewBox'), r.find(n+'title').text)\n");
  const auto python = runProgram("python3", file("check.py") + " " + file("site.svg"));
  ASSERT_EQ(python.status, 0) << python.err;
  EXPECT_EQ(python.out, "True 0 0 800 400 Records of site.txt\n");
}

// A PNG's pixels of one colour (RGB) above the row `above` and right of the column `from`: the
// columns where they are, from Python's own decoding of the file (`script` is written for it).
std::string columnsOfColour(const std::string& script, const std::string& png, const char* colour,
                            int from, int above) {
  writeFile(script,
            "import sys,struct,zlib\n"
            "d=open(sys.argv[1],'rb').read()\n"
            "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
            "p=8;idat=b''\n"
            "while p<len(d):\n"
            "  n,=struct.unpack('>I',d[p:p+4]);t=d[p+4:p+8];b=d[p+8:p+8+n];p+=12+n\n"
            "  if t==b'IHDR': w,h,depth,kind,_,_,lace=struct.unpack('>IIBBBBB',b)\n"
            "  elif t==b'IDAT': idat+=b\n"
            "assert depth==8 and kind in (2,6) and lace==0\n"
            "bpp=4 if kind==6 else 3;stride=w*bpp;raw=zlib.decompress(idat)\n"
            "prev=bytearray(stride);i=0;want=bytes.fromhex(sys.argv[2])\n"
            "first=int(sys.argv[3]);last=int(sys.argv[4]);found=set()\n"
            "for y in range(h):\n"
            "  f=raw[i];r=bytearray(raw[i+1:i+1+stride]);i+=1+stride\n"
            "  for x in range(stride):\n"
            "    a=r[x-bpp] if x>=bpp else 0;b=prev[x];c=prev[x-bpp] if x>=bpp else 0\n"
            "    if f==1: r[x]=(r[x]+a)&255\n"
            "    elif f==2: r[x]=(r[x]+b)&255\n"
            "    elif f==3: r[x]=(r[x]+(a+b)//2)&255\n"
            "    elif f==4:\n"
            "      q=a+b-c;pa=abs(q-a);pb=abs(q-b);pc=abs(q-c)\n"
            "      r[x]=(r[x]+(a if pa<=pb and pa<=pc else b if pb<=pc else c))&255\n"
            "  prev=r\n"
            "  if y<last:\n"
            "    for x in range(first,w):\n"
            "      if r[x*bpp:x*bpp+3]==want: found.add(x)\n"
            "print(sorted(found))\n");
  const auto run = runProgram("python3", script + " " + png + " " + colour + " " +
                                             std::to_string(from) + " " + std::to_string(above));
  return run.status == 0 ? run.out : "python: " + run.err;
}

TEST_F(RecordsCli, AOneRecordSpikeShowsInAPlotOfThousandsAndGoesWithItsRange) {
  // 3000 records without times, one of them far above the rest.
  std::string records = "3000 RECORDS\r\n12-08-2026 14:05:00\r\nLEVEL,FLOW\r\n";
  for (int r = 1; r <= 3000; ++r) records += (r == 1500 ? "90" : "10") + std::string(",5\r\n");
  writeFile(file("level.txt"), records);
  // 400x300: 332 columns, the lane from row 6 to row 265, its scale 5.2 to 94.8; the value 50
  // stands at row 135. The first field's colour is 1f5fbf.
  const auto all = runCli("records plot " + file("level.txt") + " " + file("all.png") +
                          " --size 400x300 --fields 1");
  ASSERT_EQ(all.status, 0) << all.err;
  // Right of its name, only the spike's column (and the one before, joined to it) rises there.
  const std::string columns =
      columnsOfColour(file("decode.py"), file("all.png"), "1f5fbf", 120, 135);
  EXPECT_TRUE(columns == "[223]\n" || columns == "[223, 224]\n" || columns == "[224]\n" ||
              columns == "[224, 225]\n")
      << columns;
  // Records 2000 to 3000 hold no spike: nothing rises.
  ASSERT_EQ(runCli("records plot " + file("level.txt") + " " + file("late.png") +
                   " --size 400x300 --from 2000 --to 3000")
                .status,
            0);
  EXPECT_EQ(columnsOfColour(file("decode.py"), file("late.png"), "1f5fbf", 120, 135), "[]\n");
}

TEST_F(RecordsCli, APlotIsRefusedForAnOutputFieldSizeRangeOrFileItCannotTake) {
  ASSERT_EQ(runCli("--simulate --yes records 30 " + file("r.txt")).status, 0);
  writeFile(file("kept.png"), "before");
  const auto refused = [this](const std::string& options, const std::string& said) {
    const auto run = runCli("records plot " + options);
    EXPECT_EQ(run.status, 2) << options << "\n" << run.err;
    EXPECT_NE(run.err.find(said), std::string::npos) << options << "\n" << run.err;
    // Nothing written over the file there.
    EXPECT_EQ(readFile(file("kept.png")), "before") << options;
  };
  const std::string r = file("r.txt") + " ";
  refused(r + file("r.gif"), "OUT must end in .png or .svg");
  refused(r + file("kept"), "OUT must end in .png or .svg");
  refused(r + file("kept.png") + " --fields 1", "field 1 (DATE) is not a number field");
  refused(r + file("kept.png") + " --fields 3,5", "there is no field 5; the file has 4 fields");
  refused(r + file("kept.png") + " --fields 3,", "\"\" is not a field number");
  refused(r + file("kept.png") + " --fields 0", "there is no field 0");
  refused(r + file("kept.png") + " --size 100x600", "--size 100x600");
  refused(r + file("kept.png") + " --size 1000", "--size 1000");
  refused(r + file("kept.png") + " --size 9000x600", "--size 9000x600");
  refused(r + file("kept.png") + " --from 2030-01-01", "no records between --from and --to");
  refused(r + file("kept.png") + " --from 2026-12-01T00:20 --to 2026-12-01T00:10",
          "--from is after --to");
  refused(r + file("kept.png") + " --to noon", "--to noon");
  EXPECT_FALSE(fs::exists(file("r.gif")));
  // A file that is not a records file: its line and why.
  writeFile(file("bad.txt"), "3 RECORDS\r\n12-08-2026 14:05:00\r\nA,B\r\n1,2\r\n3\r\n");
  refused(file("bad.txt") + " " + file("kept.png"), "bad.txt: line 5: ");
  refused(file("none.txt") + " " + file("kept.png"), "none.txt");
  writeFile(file("times.txt"),
            "1 RECORDS\r\n12-08-2026 14:05:00\r\nDATE,TIME\r\n"
            "12/08/2026,14:05:00\r\n");
  refused(file("times.txt") + " " + file("kept.png"), "has no number field to plot");
}

}  // namespace

#include "program/program_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "program/program_image.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A program as a receive leaves it: a degree sign in a text line, padded list entries, and
// records after "PGM END" that still hold an older program's bytes.
ProgramDocument receivedProgram() {
  ProgramDocument source;
  source.insertInstruction(0, 48);  // SERIAL BUFFER TEXT
  source.insertInstruction(1, 2);   // AVERAGE: type= BLOCK + 4 blanks
  source.insertInstruction(2, 27);  // INPUT SERIAL NUM
  ProgramRecord text = source.store()[0];
  text.setText("T=20~C");
  source.setParameter(0, 0, text, "text= T=20~C");
  auto image = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(source.store(), *image);
  auto converted = ProgramImage::convert(*image);
  ProgramDocument d;
  EXPECT_TRUE(d.replaceProgram(converted.store, converted.tree));
  return d;
}

TEST(ProgramFile, StartUpProgramAndFirstLines) {
  EXPECT_EQ(writeProgramBytes(ProgramDocument()), std::string(65536, '\0') + "PGM END\r\n");
  ProgramDocument d;
  d.insertInstruction(0, 3);  // BEEP
  const std::string bytes = writeProgramBytes(d);
  EXPECT_EQ(bytes.substr(65536), "BEEP\r\n\tnum= 1\r\nPGM END\r\n");
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x03\x00", 2));
  EXPECT_EQ(bytes.substr(6, 2), std::string("1\0", 2));
}

TEST(ProgramFile, RoundTripsByteForByte) {
  ProgramDocument d = receivedProgram();
  const std::string bytes = writeProgramBytes(d);
  EXPECT_NE(bytes.find("\ttext= T=20\xB0"
                       "C\r\n"),
            std::string::npos);
  EXPECT_NE(bytes.find("\ttype= BLOCK    \r\n"), std::string::npos);
  ProgramDocument back;
  ASSERT_EQ(readProgramBytes(bytes, back), "");
  EXPECT_EQ(back.tree(), d.tree());
  EXPECT_EQ(back.store(), d.store());
  EXPECT_EQ(writeProgramBytes(back), bytes);

  // Records after "PGM END" go through as they are.
  std::string withOld = bytes;
  withOld[5 * 128 + 9] = '\x5A';
  ASSERT_EQ(readProgramBytes(withOld, back), "");
  EXPECT_EQ(writeProgramBytes(back), withOld);
}

TEST(ProgramFile, AnyLineEndAndBlankIndents) {
  ProgramDocument d;
  d.insertInstruction(0, 13);  // FLAG SET
  const std::string records = writeProgramBytes(d).substr(0, 65536);
  for (const char* text : {"FLAG SET\n\tflag#= 01\n\tstate= OFF\nPGM END",
                           "FLAG SET\r flag#= 01\r\tstate= OFF\r\rPGM END\r"}) {
    ProgramDocument back;
    EXPECT_EQ(readProgramBytes(records + text, back), "") << text;
    EXPECT_EQ(back.tree(), d.tree());
  }
}

TEST(ProgramFile, RefusedFilesChangeNothing) {
  ProgramDocument d;
  d.insertInstruction(0, 13);  // FLAG SET
  const std::string good = writeProgramBytes(d);
  const std::string records = good.substr(0, 65536);
  auto withOpcode = [&](int k, std::uint16_t opcode) {
    std::string b = good;
    b[static_cast<std::size_t>(k) * 128] = static_cast<char>(opcode);
    b[static_cast<std::size_t>(k) * 128 + 1] = static_cast<char>(opcode >> 8);
    return b;
  };
  const struct {
    const char* what;
    std::string bytes;
    const char* says;
  } cases[] = {
      {"short", good.substr(0, 65535), "65535 bytes"},
      {"empty", "", "0 bytes"},
      {"two levels down", records + "FLAG SET\r\n\t\tflag#= 01\r\n", "level 2 of line 2"},
      {"indented first line", records + "\tFLAG SET\r\n", "level 1 of line 1"},
      {"below a parameter", records + "FLAG SET\r\n\tflag#= 01\r\n\t\tx\r\n", "below a parameter"},
      {"missing parameter", records + "FLAG SET\r\n\tflag#= 01\r\nPGM END\r\n", "parameter lines"},
      {"wrong name", records + "IF FLAG\r\n\tflag#= 01\r\n\tstate= OFF\r\nPGM END\r\n", "IF FLAG"},
      {"no tree", records, "instruction lines"},
      {"opcode 53", withOpcode(0, 53), "unknown opcode 53"},
      {"opcode 0x3500", withOpcode(0, 0x3500), "unknown opcode 13568"},
      {"no PGM END",
       [&] {
         std::string b = good;
         for (std::size_t k = 0; k < 512; ++k) b[k * 128] = 11;  // ELSE everywhere
         return b;
       }(),
       "no PGM END"},
  };
  const std::string huge(3'000'000, 'X');
  const struct {
    const char* what;
    std::string bytes;
    const char* says;
  } longLines[] = {
      {"a huge first line", records + huge + "\r\nPGM END\r\n", "XXX... (3000000 characters)"},
      {"a huge indented line", records + "\t\t" + huge + "\r\n", "... (3000000 characters)"},
      {"a huge parameter line",
       records + "FLAG SET\r\n\t" + huge + "\r\n\t" + huge + "\r\nPGM END\r\n",
       "... (3000000 characters)"},
  };
  ProgramDocument target = receivedProgram();
  const auto tree = target.tree();
  const auto store = target.store();
  for (const auto& c : longLines) {
    // The warning quotes a short excerpt of the line, never the line.
    const std::string problem = readProgramBytes(c.bytes, target);
    EXPECT_NE(problem.find(c.says), std::string::npos) << c.what << ": " << problem.substr(0, 200);
    EXPECT_LT(problem.size(), 300u) << c.what;
    EXPECT_EQ(target.tree(), tree) << c.what;
  }
  for (const auto& c : cases) {
    const std::string problem = readProgramBytes(c.bytes, target);
    EXPECT_NE(problem.find(c.says), std::string::npos) << c.what << ": " << problem;
    EXPECT_EQ(target.tree(), tree) << c.what;
    EXPECT_EQ(target.store(), store) << c.what;
  }
}

TEST(ProgramFile, APastedTextHoldingALineEndStillSavesAFileThatOpens) {
  // A record's text as a file's store may hold it; the line of a paste is made from it.
  ProgramDocument d;
  d.insertInstruction(0, 48);  // SERIAL BUFFER TEXT
  ProgramRecord text = d.store()[0];
  text.setText("a\r\nb");
  d.setParameter(0, 0, text, "text= a");
  ASSERT_EQ(d.copyInstruction(0), ProgramDocument::Edit::Done);
  ASSERT_EQ(d.pasteInstruction(0), ProgramDocument::Edit::Done);
  EXPECT_EQ(d.tree()[0].children, std::vector<std::string>{"text= a  b"});
  ProgramDocument back;
  ASSERT_EQ(readProgramBytes(writeProgramBytes(d), back), "");
  EXPECT_EQ(back.tree(), d.tree());
  EXPECT_EQ(back.store(), d.store());
}

TEST(NotesFile, LinesWithCrLf) {
  EXPECT_EQ(writeNotesBytes(ProgramDocument().notes()), "Add User Program Notes here...\r\n");
  EXPECT_EQ(readNotesBytes("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(readNotesBytes("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(readNotesBytes("").empty());
  const std::vector<std::string> notes{
      "20\xB0"
      "C",
      "", "x"};
  EXPECT_EQ(readNotesBytes(writeNotesBytes(notes)), notes);
}

class FilesOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("halvern_pgm_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(FilesOnDisk, SaveOpenAndAFailedSaveKeepsTheOldFile) {
  const std::string path = (dir / "p.pgm").string();
  ProgramDocument d = receivedProgram();
  d.notes() = {"line one", "line two"};
  ASSERT_EQ(saveProgramFile(path, d), "");
  ASSERT_EQ(saveNotesFile((dir / "p.nts").string(), d), "");
  EXPECT_EQ(readAll(path), writeProgramBytes(d));
  EXPECT_EQ(readAll((dir / "p.nts").string()), "line one\r\nline two\r\n");

  ProgramDocument back;
  ASSERT_EQ(loadProgramFile(path, back), "");
  ASSERT_EQ(loadNotesFile((dir / "p.nts").string(), back), "");
  EXPECT_EQ(back.tree(), d.tree());
  EXPECT_EQ(back.notes(), d.notes());

  // The temporary file cannot be made: the save fails and the old file stays whole.
  fs::create_directory(path + ".saving");
  EXPECT_NE(saveProgramFile(path, ProgramDocument()), "");
  EXPECT_EQ(readAll(path), writeProgramBytes(d));

  EXPECT_NE(loadProgramFile((dir / "missing.pgm").string(), back), "");
  // Endless input is refused at its bound, not read whole.
  const std::string endless = loadProgramFile("/dev/zero", back);
  EXPECT_NE(endless.find("larger than any program file"), std::string::npos) << endless;
  EXPECT_NE(loadNotesFile("/dev/zero", back).find("larger than any notes file"), std::string::npos);
  EXPECT_NE(loadNotesFile(dir.string(), back), "");
  EXPECT_EQ(back.notes(), d.notes());
}

}  // namespace
}  // namespace halvern

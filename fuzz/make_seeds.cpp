// Writes the seed corpora of the fuzzing harnesses, each file made by the program's own writers
// (or, for the replies and options, as the instrument and the shell give them):
//   halvern-fuzz-seeds DIR        writes DIR/<harness>/<seed> and nothing else.
// The seeds include the inputs of faults once found in the readers, so every run tries them.
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "firmware/srecord_file.h"
#include "program/instruction_catalogue.h"
#include "program/program_file.h"
#include "program/program_image.h"
#include "screens/screen_buffer.h"
#include "setup/setup_file.h"
#include "setup/setup_transfer.h"

namespace {

using namespace halvern;
namespace fs = std::filesystem;

fs::path g_root;
bool g_failed = false;

void seed(const std::string& harness, const std::string& name, std::string_view bytes) {
  const fs::path folder = g_root / harness;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "halvern-fuzz-seeds: cannot write %s\n", (folder / name).c_str());
    g_failed = true;
  }
}

template <std::size_t N>
std::string_view bytesOf(const std::array<std::uint8_t, N>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), N};
}

SetupModel editedSetup() {
  SetupModel setup;
  setup.setCom1Type(1);
  setup.setCom1BaudIndex(7);
  setup.setCom2BaudIndex(2);
  setup.setStopOnError(true);
  setup.setInterval(15);
  setup.setFieldsPerRecord(4);
  setup.setAutoScroll(true);
  setup.setScrollPause(5);
  setup.setScrollEnd(2);
  setup.setFormat(0, {"DATE", RecordFormat::Date, 9, 0});
  setup.setFormat(1, {"TIME", RecordFormat::Time, 8, 0});
  setup.setFormat(2, {"AIR TEMP \xB0"
                      "C",
                      RecordFormat::Number, 6, 2});
  setup.setFormat(3, {"WIND SPEED AT TEN METRES", RecordFormat::Number, 5, 6});
  return setup;
}

void setupSeeds() {
  seed("setup_file", "default.set", writeSetupBytes(SetupModel()));
  const SetupModel setup = editedSetup();
  const std::string edited = writeSetupBytes(setup);
  seed("setup_file", "edited.set", edited);
  seed("setup_file", "older.set", edited.substr(0, setup_file::kOlderSize));
  // Numbers outside every range and a label filling its 26 bytes, as another writer may leave.
  std::string wild = edited;
  for (std::size_t offset : {0, 12, 16, 24, 28, 982, 986}) wild[offset + 3] = '\x80';
  wild.replace(32, 26, std::string(26, 'L'));
  wild[32 + 26 + 4] = '\x7F';
  seed("setup_file", "out_of_range.set", wild);

  std::string blocks;
  for (const RecordFormat& format : setup.formats()) {
    blocks += bytesOf(encodeRecordFormat(format));
  }
  seed("record_format", "received.bin", blocks);
  RecordFormatBlock edge = encodeRecordFormat({std::string(25, 'W'), RecordFormat::Time, 9, 6});
  edge[wire::kRecordLabelField + 1] = 0;  // width 0 and precision 7 are taken and clamped
  edge[wire::kRecordLabelField + 2] = 7;
  seed("record_format", "edge.bin", bytesOf(edge));
  RecordFormatBlock bad = edge;
  bad[25] = bad[26] = 'X';  // a label of 27 characters
  bad[wire::kRecordLabelField] = 3;
  seed("record_format", "bad.bin", bytesOf(bad));
}

ProgramDocument fewInstructions() {
  ProgramDocument d;
  d.insertInstruction(0, 48);  // SERIAL BUFFER TEXT
  d.insertInstruction(1, 34);  // LOC = VALUE: integer and decimal
  d.insertInstruction(2, 14);  // FLAG SET MASK: hexadecimal and list
  d.insertInstruction(3, 3);   // BEEP
  d.editFieldParameter(0, 0,
                       "T=20\xB0"
                       "C");
  d.editFieldParameter(1, 0, "70");
  d.editFieldParameter(1, 1, "-2.5");
  d.editFieldParameter(2, 0, "BEEF");
  return d;
}

void programSeeds() {
  const ProgramDocument few = fewInstructions();
  const std::string file = writeProgramBytes(few);
  seed("program_file", "few_instructions.pgm", file);
  // A first tree line of 35 000 characters: its warning once quoted it whole.
  seed("program_file", "long_first_line.pgm",
       file.substr(0, ProgramStore::kSize) + std::string(35'000, 'X') + "\r\nPGM END\r\n");

  seed("notes_file", "initial.nts", writeNotesBytes(ProgramDocument().notes()));
  seed("notes_file", "notes.nts",
       writeNotesBytes({"Station 4, north mast", "",
                        "Calibrated 03-14-2024 \xB0"
                        "C",
                        "\tindented"}));
  seed("notes_file", "line_ends.nts", "unix\nmac\rdos\r\n\r\nlast without an end");

  // Every instruction once. Line ends in a received value text and text: their lines once split
  // in a saved file, which then could not be opened.
  ProgramDocument every;
  for (std::uint16_t op = 1; op <= InstructionCatalogue::kLastOpcode; ++op) {
    every.insertInstruction(op - 1, op);
  }
  ProgramRecord beep = every.store()[2];  // BEEP
  beep.setValueText(0, "12\n");
  every.setParameter(2, 0, beep, "num= 12");
  ProgramRecord text = every.store()[47];  // SERIAL BUFFER TEXT
  text.setText("a\r\nb~\r");
  every.setParameter(47, 0, text, "text= a");
  auto image = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(every.store(), *image);
  seed("program_image", "every_instruction.img", bytesOf(*image));
}

void screenSeeds() {
  seed("screen_file", "blank.scr", bytesOf(ScreenBuffer().bytes()));
  ScreenBuffer buffer;
  const std::string line = "WIND 12.5 M/S  TEMP 20~C";
  for (int s = 0; s < ScreenBuffer::kScreens; ++s) {
    buffer.setCurrentScreen(s);
    for (std::size_t c = 0; c < line.size(); ++c) {
      buffer.set(0, static_cast<int>(c), static_cast<std::uint8_t>(line[c]));
    }
    buffer.setLargeCell(2, 4, static_cast<std::uint8_t>(0xC1 + s));
    buffer.setLargeCell(4, 38, 0xFF);
  }
  const std::string_view screens = bytesOf(buffer.bytes());
  seed("screen_file", "text_and_large.scr", screens);
  seed("screen_file", "longer.scr", std::string(screens) + "trailing bytes");
  seed("screen_file", "short.scr", screens.substr(0, 1000));
}

void textSeeds() {
  seed("settings_file", "ours.ini",
       "[40100 Setup]\r\nTop=100\r\nLeft=100\r\nShow Records=0\r\nNum of Records=100\r\n");
  seed("settings_file", "other_sections.ini",
       "; kept\n[Other]\nA=1\n[40100 SETUP]\ntop = 6\nExtra=yes\nNUM OF RECORDS=9\n[Last]\nB=2\n");
  // Our section twice: the second copy was once read in place of the first.
  seed("settings_file", "section_twice.ini",
       "[40100 Setup]\nTop=1\nLeft=2\nKeep=a\n[Other]\nA=1\n[ 40100 setup ]\nTop=7\nLeft=8\n"
       "Show Records=1\nAlso=b\n");
  // Lines ending in CR CR LF: a save once kept one CR of them, so the next save differed.
  seed("settings_file", "extra_cr.ini", "[Other]\r\r\nA=1\r\r\r\n[40100 Setup]\r\nTop=5\r\r\n");
  seed("settings_file", "not_numbers.ini",
       "[40100 Setup]\nTop=abc\nLeft=\nShow Records=7\nNum of Records=99999999999\n");

  const std::vector<std::string> replies{"  96\r",        "-57\r",   "+0012\r", "99999999999\r",
                                         "-2147483649\r", "\t\n 5x", "0"};
  for (std::size_t i = 0; i < replies.size(); ++i) {
    seed("number_reply", "reply" + std::to_string(i + 1), replies[i]);
  }
  const std::vector<std::string> options{"115:corrupt:3:5",   "320:wrong:1:\\x41BC\\r",
                                         "361:dies",          "115:stray:-1:?#",
                                         "999:nakstorm:2:66", "116:short",
                                         "210:wrong::a:b",    "115:cut::12",
                                         "320:hangup",        "255:trailing:2:\\r\\n",
                                         "mixed:42",          "terse",
                                         "980:nostar:1:12",   "980:slowerase::5000",
                                         "210:droprow",       "110:changeparam:1"};
  for (std::size_t i = 0; i < options.size(); ++i) {
    seed("fault_option", "option" + std::to_string(i + 1), options[i]);
  }
  const std::vector<std::string> backupNames{
      "2026-12-08_140512_A1B2C3D4_setup", "2026-12-08_140512_all_2",
      "2026-01-01_000000_program",        "2026-12-08_140512_screens_0002",
      ".2026-12-08_140512_all.saving",    "2026-02-31_246060_x_all"};
  for (std::size_t i = 0; i < backupNames.size(); ++i) {
    seed("backup_name", "name" + std::to_string(i + 1), backupNames[i]);
  }
}

std::string srecordImage(const std::vector<SRecord>& records, std::string_view lineEnd,
                         bool lowerCase = false) {
  std::string file;
  for (const SRecord& r : records) (file += encodeSRecord(r, lowerCase)) += lineEnd;
  return file;
}

SRecord srecord(int type, std::uint32_t address, std::vector<std::uint8_t> data = {}) {
  SRecord r;
  r.type = type;
  r.address = address;
  r.data = std::move(data);
  return r;
}

void srecordSeeds() {
  const std::vector<std::uint8_t> header{'f', 'w', '.', 's', 'r', 'e', 'c'};
  std::vector<SRecord> s1{srecord(0, 0, header)};
  for (std::uint32_t a = 0; a < 0x60; a += 16) {
    std::vector<std::uint8_t> data;
    for (std::uint32_t k = 0; k < 16; ++k) data.push_back(static_cast<std::uint8_t>(a * 7 + k));
    s1.push_back(srecord(1, a, data));
  }
  s1.push_back(srecord(5, 6));
  s1.push_back(srecord(9, 0));
  seed("srecord_file", "s1.glo", srecordImage(s1, "\r\n"));
  seed("srecord_file", "s1_lower.glo", srecordImage(s1, "\n", true));

  // Wider addresses near the ends of their spaces, a run over bytes given before, the same again
  // after the S9 record.
  const std::vector<SRecord> wide{srecord(0, 0, {0x01, 'h', 'i', 0x7F}),
                                  srecord(2, 0xFFFFF0, std::vector<std::uint8_t>(16, 0xA5)),
                                  srecord(3, 0xFFFFFFFC, {1, 2, 3, 4}),
                                  srecord(3, 0xFFFFFFFE, {3, 4}),
                                  srecord(6, 3),
                                  srecord(8, 0x123456),
                                  srecord(9, 0),
                                  srecord(1, 0x1000, {9}),
                                  srecord(9, 0)};
  seed("srecord_file", "wide.glo", srecordImage(wide, " \t"));
  seed("srecord_file", "longest.glo",
       srecordImage({srecord(0, 0), srecord(3, 0, std::vector<std::uint8_t>(192, 0x5A)),
                     srecord(7, 0), srecord(9, 0)},
                    "\n"));

  // Refused: a changed digit, bytes given twice apart, no S9 record, a comment line.
  std::string changed = srecordImage(s1, "\n");
  changed[40] = changed[40] == '0' ? '1' : '0';
  seed("srecord_file", "checksum.glo", changed);
  std::vector<SRecord> twice = s1;
  twice.insert(twice.begin() + 3, srecord(1, 0x18, {0xEE}));
  seed("srecord_file", "conflict.glo", srecordImage(twice, "\n"));
  seed("srecord_file", "no_s9.glo", srecordImage({s1.begin(), s1.end() - 1}, "\n"));
  std::string comment = srecordImage(s1, "\n");
  comment.insert(comment.find('\n') + 1, "# image 4\n");
  seed("srecord_file", "comment.glo", comment);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: halvern-fuzz-seeds DIR\n");
    return 2;
  }
  g_root = argv[1];
  setupSeeds();
  programSeeds();
  screenSeeds();
  textSeeds();
  srecordSeeds();
  return g_failed ? 1 : 0;
}

// The demonstration site: the program and screens the simulated instrument starts with, and the
// same site as a group file among the examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <map>
#include <string>
#include <vector>

#include "collection/group_file.h"
#include "program/instruction_catalogue.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "program/program_image.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "support/computer_bench.h"
#include "support/test_folder.h"
#include "wire/byte_order.h"

namespace halvern {
namespace {

class DemonstrationSiteTest : public ::testing::Test, protected test::ComputerBench {
 protected:
  DemonstrationSiteTest() : ComputerBench(DateTime{2026, 3, 14, 14, 20, 5}) {}

  ProgramImage::Conversion decoded() {
    return ProgramImage::convert(instrument.programMemory().image());
  }

  // The text of a screen's row, a large character once for its two columns.
  std::string rowText(int screen, int row) {
    std::string text;
    for (int column = 0; column < ScreenBuffer::kColumns; ++column) {
      const std::uint8_t code =
          instrument.screenMemory().cells()[ScreenBuffer::indexOf(screen, row, column)];
      if (ScreenBuffer::isLarge(code) && column % 2 == 1) continue;
      text += static_cast<char>(code & 0x7F);
    }
    return text;
  }
};

// Every parameter holds what the window's own editor could have put there: integers as
// zero-padded digits of the parameter's width, decimals whose text reads as the number stored,
// list entries of the list, text within its width. Places on the display are on the display.
TEST_F(DemonstrationSiteTest, ProgramDecodesWithEveryParameterInRange) {
  const auto got = decoded();
  ASSERT_EQ(got.error, "");
  ASSERT_GE(got.tree.size(), 51u);
  EXPECT_EQ(got.tree.back().text, "PGM END");
  const auto slots = instrument.programMemory().program();
  ASSERT_EQ(slots.size(), got.tree.size());

  int depth = 0;
  for (std::size_t i = 0; i < got.tree.size(); ++i) {
    SCOPED_TRACE(std::to_string(i) + " " + got.tree[i].text);
    const ProgramRecord& record = got.store[i];
    const InstructionDef& def = InstructionCatalogue::instruction(record.opcode());
    std::map<std::string, int> place;  // scrn=, row=, col=, width= and font= by label
    for (std::size_t j = 0; j < def.parameterCount; ++j) {
      const ParamDef& p = def.parameters[j];
      SCOPED_TRACE(std::string(p.label));
      switch (p.paramKind()) {
        case ParamKind::Integer: {
          const std::string text = record.valueText(j);
          EXPECT_EQ(text, integerText(p.width, record.intValue(j)));
          EXPECT_EQ(text.size(), p.width);
          EXPECT_EQ(byte_order::big16(&slots[i][2 + 12 * j]), record.intValue(j));
          place[std::string(p.label)] = record.intValue(j);
          break;
        }
        case ParamKind::Decimal: {
          const std::string text = record.valueText(j);
          ASSERT_FALSE(text.empty());
          EXPECT_LE(text.size(), p.width);
          float typed = 0;
          const auto read = std::from_chars(text.data(), text.data() + text.size(), typed);
          EXPECT_EQ(read.ptr, text.data() + text.size()) << text;
          const auto stored = std::bit_cast<float>(byte_order::big32(&slots[i][2 + 12 * j]));
          EXPECT_EQ(stored, typed) << text;
          break;
        }
        case ParamKind::List:
          EXPECT_LT(static_cast<std::size_t>(record.intValue(j)),
                    InstructionCatalogue::valueList(p.kind).size());
          place[std::string(p.label)] = record.intValue(j);
          break;
        case ParamKind::Text:
          EXPECT_FALSE(record.text().empty());
          EXPECT_LE(record.text().size(), p.width);
          break;
        case ParamKind::Hex:
        case ParamKind::None:
          break;
      }
    }
    if (place.contains("scrn=")) {
      EXPECT_GE(place["scrn="], 1);
      EXPECT_LE(place["scrn="], ScreenBuffer::kScreens);
      EXPECT_GE(place["row="], 1);
      EXPECT_LE(place["row="], ScreenBuffer::kRows);
      EXPECT_GE(place["col="], 1);
      const bool big = place["font="] == 1;
      const int cells = (place.contains("width=") ? place["width="] : 8) * (big ? 2 : 1);
      EXPECT_LE(place["col="] - 1 + cells, ScreenBuffer::kColumns);
      // A large character starts an aligned block of 2 x 2 cells.
      if (big) {
        EXPECT_EQ(place["row="] % 2, 1);
        EXPECT_EQ(place["col="] % 2, 1);
      }
    }
    // Every IF closes, and ELSE stands inside one.
    const std::string& name = got.tree[i].text;
    if (name.starts_with("IF ")) ++depth;
    if (name == "ELSE") {
      EXPECT_GT(depth, 0);
    }
    if (name == "END IF") {
      EXPECT_GT(depth--, 0);
    }
  }
  EXPECT_EQ(depth, 0);

  // What the window got it sends back as it was.
  ProgramImage::Bytes again;
  ProgramImage::build(got.store, again);
  EXPECT_EQ(ProgramImage::convert(again).tree, got.tree);
}

TEST_F(DemonstrationSiteTest, ProgramReadsScalesAveragesAlarmsShowsAndLogs) {
  const auto got = decoded();
  ASSERT_EQ(got.error, "");
  std::map<std::string, int> count;
  for (const auto& node : got.tree) ++count[node.text];
  for (const char* name :
       {"INPUT WIND SPEED (FREQ)", "INPUT WIND DIR (VOLTAGE)", "LOC1 = LOC2 OPER VALUE", "AVERAGE",
        "MAXIMUM", "MINIMUM", "ALARM", "DISPLAY VALUE", "DISPLAY TEXT", "RECORD TIME",
        "RECORD VALUE", "SERIAL BUFFER OUT"})
    EXPECT_GE(count[name], 1) << name;
  // Air temperature and battery voltage.
  EXPECT_GE(count["INPUT VOLTAGE"], 2);

  // What a record holds matches the instrument's record formats, field by field: dates, times,
  // then numbers, as many as the formats name.
  const auto& formats = instrument.settings().formats;
  std::size_t field = 0;
  for (std::size_t i = 0; i < got.tree.size(); ++i) {
    const std::string& name = got.tree[i].text;
    if (name != "RECORD TIME" && name != "RECORD VALUE") continue;
    ASSERT_LT(field, formats.size());
    const int type = name == "RECORD VALUE" ? 0 : 1 + got.store[i].intValue(0);
    EXPECT_EQ(formats[field].type, type) << formats[field].label;
    EXPECT_FALSE(formats[field].label.starts_with("FIELD")) << field;
    ++field;
  }
  EXPECT_EQ(field, 7u);
  EXPECT_TRUE(formats[field].label.starts_with("FIELD"));

  // Stored text keeps the display's degree sign; the tree shows the computer's.
  bool degrees = false;
  for (std::size_t i = 0; i < got.tree.size(); ++i) {
    if (got.store[i].text() != "~C") continue;
    degrees = true;
    EXPECT_EQ(got.tree[i].text, "DISPLAY TEXT");
    EXPECT_EQ(got.tree[i].children[3],
              "text= \xB0"
              "C");
  }
  EXPECT_TRUE(degrees);
}

TEST_F(DemonstrationSiteTest, ScreensHoldTheLabelsAndWholeLargeCharacters) {
  std::string all;
  for (int screen = 0; screen < ScreenBuffer::kScreens; ++screen) {
    std::string screenText;
    for (int row = 0; row < ScreenBuffer::kRows; ++row) screenText += rowText(screen, row) + '\n';
    EXPECT_NE(screenText.find("NORTH RIDGE"), std::string::npos) << screen;
    all += screenText;
  }
  for (const char* label : {"WIND SPD", "WIND DIR", "AIR TEMP", "BATTERY", "MPH", "~C", " V"})
    EXPECT_NE(all.find(label), std::string::npos) << label;

  const auto& cells = instrument.screenMemory().cells();
  int large = 0;
  for (int screen = 0; screen < ScreenBuffer::kScreens; ++screen) {
    for (int row = 0; row < ScreenBuffer::kRows; ++row) {
      for (int column = 0; column < ScreenBuffer::kColumns; ++column) {
        const std::uint8_t code = cells[ScreenBuffer::indexOf(screen, row, column)];
        if (!ScreenBuffer::isLarge(code)) continue;
        ++large;
        // The other three cells of its aligned block hold the same code.
        const int top = row & ~1, left = column & ~1;
        for (int r = top; r < top + 2; ++r)
          for (int c = left; c < left + 2; ++c)
            EXPECT_EQ(cells[ScreenBuffer::indexOf(screen, r, c)], code)
                << screen << " " << row << " " << column;
      }
    }
  }
  EXPECT_GE(large, 4);
}

// The example group holds the same site, with the technician's notes.
TEST_F(DemonstrationSiteTest, ExampleGroupOpensWithItsNotes) {
  const std::string path = std::string(HALVERN_EXAMPLES_DIR) + "/north-ridge.ssp";
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  std::string name;
  ASSERT_TRUE(openGroup(path, {setup, screens, program, name}, shell));
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_EQ(name, "north-ridge");

  EXPECT_EQ(program.tree(), decoded().tree);
  EXPECT_EQ(screens.bytes(), instrument.screenMemory().cells());
  EXPECT_EQ(setup.fieldsPerRecord(), instrument.settings().fieldsPerRecord);
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(setup.format(static_cast<int>(i)).label, instrument.settings().formats[i].label) << i;

  const auto& notes = program.notes();
  ASSERT_GE(notes.size(), 4u);
  std::string joined;
  for (const auto& line : notes) joined += line + '\n';
  for (const char* part : {"North Ridge", "Wiring", "calibrat"})
    EXPECT_NE(joined.find(part), std::string::npos) << part;
  // The notes member is as the notes writer writes it.
  EXPECT_EQ(test::readFile(std::string(HALVERN_EXAMPLES_DIR) + "/north-ridge.nts"),
            writeNotesBytes(notes));
}

}  // namespace
}  // namespace halvern

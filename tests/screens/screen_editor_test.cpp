// The screen editor's cursor, typing and erase rules, as (start, key) -> (cells, cursor, label,
// sounds), and what it paints.
#include "screens/screen_editor.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "support/recording_shell.h"

namespace halvern {
namespace {

using Font = ScreenEditor::WriteFont;
using Cells = std::map<std::pair<int, int>, std::uint8_t>;
const Cells kBlank;
const std::vector<BeepKind> kNone;
const std::vector<BeepKind> kBeep = {BeepKind::Default};
const std::vector<BeepKind> kExclamation = {BeepKind::Exclamation};

// A large character's four cells.
Cells large(int row, int column, std::uint8_t code) {
  const int r = row & ~1, c = column & ~1;
  return {{{r, c}, code}, {{r, c + 1}, code}, {{r + 1, c}, code}, {{r + 1, c + 1}, code}};
}
Cells operator+(Cells a, const Cells& b) {
  for (const auto& [k, v] : b) a[k] = v;
  return a;
}

struct Case {
  std::string name;
  Cells before;     // on the current screen, the rest blank
  int row, column;  // the cursor before the key
  Font font;        // the write font
  std::function<void(ScreenEditor&)> key;
  Cells after;  // cells that differ from blank afterwards
  int wantRow, wantColumn;
  std::string label;  // empty: the label is not rewritten by the key
  std::vector<BeepKind> sounds;
};

// The editing keys by letter: Up, Down, Left, Right, Home, End, delete (X), Backspace.
std::function<void(ScreenEditor&)> key(char k) {
  static const std::map<char, void (ScreenEditor::*)()> keys = {
      {'U', &ScreenEditor::cursorUp},   {'D', &ScreenEditor::cursorDown},
      {'L', &ScreenEditor::cursorLeft}, {'R', &ScreenEditor::cursorRight},
      {'H', &ScreenEditor::cursorHome}, {'E', &ScreenEditor::cursorEnd},
      {'X', &ScreenEditor::deleteChar}, {'B', &ScreenEditor::backspaceChar}};
  return [run = keys.at(k)](ScreenEditor& e) { (e.*run)(); };
}
std::function<void(ScreenEditor&)> type(std::uint8_t code) {
  return [code](ScreenEditor& e) { e.typeChar(code); };
}

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      // Edges of small cells.
      {"up at row 0", kBlank, 0, 5, Font::Small, key('U'), kBlank, 0, 5, "", kBeep},
      {"down at row 5", kBlank, 5, 5, Font::Small, key('D'), kBlank, 5, 5, "", kBeep},
      {"left at column 0", kBlank, 2, 0, Font::Small, key('L'), kBlank, 2, 0,
       "Row 3  Column 01 Small", kBeep},
      {"right at column 39", kBlank, 2, 39, Font::Small, key('R'), kBlank, 2, 39,
       "Row 3  Column 40 Small", kBeep},
      {"small moves", kBlank, 2, 7, Font::Small, key('U'), kBlank, 1, 7, "Row 2  Column 08 Small",
       kNone},
      {"home", kBlank, 3, 17, Font::Small, key('H'), kBlank, 3, 0, "Row 4  Column 01 Small", kNone},
      {"end", kBlank, 3, 17, Font::Small, key('E'), kBlank, 3, 39, "Row 4  Column 40 Small", kNone},
      {"end onto a large character", large(2, 38, 0xC2), 3, 1, Font::Small, key('E'),
       large(2, 38, 0xC2), 3, 38, "Row 2  Column 20 Large", kNone},
      // Large blocks, moved by the block.
      {"up from a block's lower row", large(2, 4, 0xC1), 3, 5, Font::Small, key('U'),
       large(2, 4, 0xC1), 1, 5, "Row 2  Column 06 Small", kNone},
      {"up from a block at the top", large(0, 4, 0xC1), 1, 4, Font::Small, key('U'),
       large(0, 4, 0xC1), 1, 4, "", kBeep},
      {"down from a block's upper row", large(0, 4, 0xC1), 0, 4, Font::Small, key('D'),
       large(0, 4, 0xC1), 2, 4, "Row 3  Column 05 Small", kNone},
      {"down from a block at the bottom", large(4, 4, 0xC1), 4, 5, Font::Small, key('D'),
       large(4, 4, 0xC1), 4, 5, "", kBeep},
      {"left from a block skips to two columns left of it", large(0, 4, 0xC1), 1, 5, Font::Small,
       key('L'), large(0, 4, 0xC1), 1, 2, "Row 2  Column 03 Small", kNone},
      {"left from a block at column 0", large(0, 0, 0xC1), 0, 1, Font::Small, key('L'),
       large(0, 0, 0xC1), 0, 0, "Row 1  Column 01 Large", kBeep},
      {"right from a block's right column", large(0, 4, 0xC1), 0, 5, Font::Small, key('R'),
       large(0, 4, 0xC1), 0, 6, "Row 1  Column 07 Small", kNone},
      {"right from the last block", large(0, 38, 0xC1), 0, 38, Font::Small, key('R'),
       large(0, 38, 0xC1), 0, 38, "Row 1  Column 20 Large", kBeep},
      // Typing.
      {"large A at the top left", kBlank, 0, 0, Font::Large, type('A'), large(0, 0, 0xC1), 0, 2,
       "Row 1  Column 03 Small", kNone},
      {"large at column 38", kBlank, 0, 38, Font::Large, type('A'), large(0, 38, 0xC1), 0, 38,
       "Row 1  Column 20 Large", kBeep},
      {"large at column 39", kBlank, 1, 39, Font::Large, type('A'), large(0, 38, 0xC1), 1, 38,
       "Row 1  Column 20 Large", kBeep},
      {"large over small characters", Cells{{{2, 2}, 'x'}, {{3, 3}, 'y'}, {{2, 4}, 'z'}}, 3, 3,
       Font::Large, type('7'), large(2, 2, 0xB7) + Cells{{{2, 4}, 'z'}}, 3, 4,
       "Row 4  Column 05 Small", kNone},
      {"small B on a large A's lower right cell", large(0, 0, 0xC1), 1, 1, Font::Small, type('B'),
       Cells{{{1, 1}, 'B'}}, 1, 2, "Row 2  Column 03 Small", kNone},
      {"small at column 39", kBlank, 4, 39, Font::Small, type('q'), Cells{{{4, 39}, 'q'}}, 4, 39,
       "Row 5  Column 40 Small", kBeep},
      {"degree sign stored as the display's", kBlank, 0, 0, Font::Small, type(0xB0),
       Cells{{{0, 0}, 0x7E}}, 0, 1, "Row 1  Column 02 Small", kNone},
      {"large degree sign", kBlank, 0, 0, Font::Large, type(0xB0), large(0, 0, 0xFE), 0, 2,
       "Row 1  Column 03 Small", kNone},
      {"tilde is the degree sign too", kBlank, 0, 0, Font::Small, type('~'), Cells{{{0, 0}, 0x7E}},
       0, 1, "Row 1  Column 02 Small", kNone},
      {"bar refused", Cells{{{0, 3}, 'k'}}, 0, 3, Font::Small, type('|'), Cells{{{0, 3}, 'k'}}, 0,
       3, "", kExclamation},
      {"brace refused", kBlank, 0, 3, Font::Large, type('{'), kBlank, 0, 3, "", kExclamation},
      {"0x7F refused", kBlank, 0, 3, Font::Small, type(0x7F), kBlank, 0, 3, "", kExclamation},
      {"e acute refused", kBlank, 0, 3, Font::Small, type(0xE9), kBlank, 0, 3, "", kExclamation},
      {"control code refused", kBlank, 0, 3, Font::Small, type(0x07), kBlank, 0, 3, "",
       kExclamation},
      // Erasing.
      {"delete small", Cells{{{2, 9}, 'k'}}, 2, 9, Font::Small, key('X'), kBlank, 2, 9, "", kNone},
      {"delete large keeps a blank block", large(2, 8, 0xC1), 3, 9, Font::Small, key('X'),
       large(2, 8, 0xA0), 3, 9, "", kNone},
      {"backspace blanks under the cursor", Cells{{{2, 8}, 'a'}, {{2, 9}, 'b'}}, 2, 9, Font::Small,
       key('B'), Cells{{{2, 8}, 'a'}}, 2, 8, "Row 3  Column 09 Small", kNone},
      {"backspace at column 0", Cells{{{2, 0}, 'a'}}, 2, 0, Font::Small, key('B'), kBlank, 2, 0,
       "Row 3  Column 01 Small", kBeep},
      {"backspace on a large character", large(0, 2, 0xC1), 0, 3, Font::Small, key('B'),
       large(0, 2, 0xA0), 0, 0, "Row 1  Column 01 Small", kNone},
  };
  return all;
}

class ScreenEditorRules : public ::testing::TestWithParam<Case> {};

TEST_P(ScreenEditorRules, KeyGivesCellsCursorLabelAndSound) {
  const Case& c = GetParam();
  ScreenBuffer buffer;
  buffer.setCurrentScreen(4);
  test::RecordingShell shell;
  ScreenEditor editor(buffer, shell);
  editor.startEdit();
  // The cursor walks over blank cells to its place; the cells are filled in afterwards.
  for (int r = 0; r < c.row; ++r) editor.cursorDown();
  for (int k = 0; k < c.column; ++k) editor.cursorRight();
  ASSERT_EQ(editor.cursorRow(), c.row);
  ASSERT_EQ(editor.cursorColumn(), c.column);
  for (const auto& [cell, code] : c.before) buffer.set(cell.first, cell.second, code);
  editor.selectWriteFont(c.font);
  shell.beeps.clear();
  const std::string labelBefore = editor.label();

  c.key(editor);

  ScreenBuffer expected;
  for (const auto& [cell, code] : c.after) expected.setCell(4, cell.first, cell.second, code);
  expected.setCurrentScreen(4);
  for (int r = 0; r < 6; ++r)
    for (int k = 0; k < 40; ++k)
      EXPECT_EQ(buffer.at(r, k), expected.at(r, k)) << "cell " << r << "," << k;
  EXPECT_TRUE(buffer == expected) << "another screen changed";
  EXPECT_EQ(editor.cursorRow(), c.wantRow);
  EXPECT_EQ(editor.cursorColumn(), c.wantColumn);
  EXPECT_EQ(editor.label(), c.label.empty() ? labelBefore : c.label);
  EXPECT_EQ(shell.beeps, c.sounds);
}

INSTANTIATE_TEST_SUITE_P(Keys, ScreenEditorRules, ::testing::ValuesIn(cases()),
                         [](const auto& info) {
                           std::string name;
                           for (char ch : info.param.name) name += std::isalnum(ch) ? ch : '_';
                           return name;
                         });

class ScreenEditorTest : public ::testing::Test {
 protected:
  // The picture as it must be: the screen from the buffer, the cursor cell inverse.
  Bitmap expectedImage(bool withCursor) const {
    Bitmap image(screen_image::kWidth, screen_image::kHeight);
    drawScreen(image, buffer, buffer.currentScreen());
    if (withCursor)
      drawCellAt(image, editor.cursorRow(), editor.cursorColumn(),
                 buffer.at(editor.cursorRow(), editor.cursorColumn()), true);
    return image;
  }

  ScreenBuffer buffer;
  test::RecordingShell shell;
  ScreenEditor editor{buffer, shell};
};

TEST_F(ScreenEditorTest, StartTypeAndStopKeepThePictureInStep) {
  EXPECT_EQ(editor.label(), " ");
  editor.startEdit();
  EXPECT_TRUE(editor.editing());
  EXPECT_EQ(editor.label(), "Row 1  Column 01 Small");
  EXPECT_EQ(editor.screenImage().pixel(0, 0), Bitmap::kGreen);  // the inverse blank
  EXPECT_TRUE(editor.screenImage() == expectedImage(true));

  editor.typeChar('H');
  editor.selectWriteFont(Font::Large);
  editor.typeChar('i');
  editor.cursorDown();
  editor.selectWriteFont(Font::Small);
  editor.typeChar('!');
  editor.cursorLeft();
  editor.cursorUp();
  editor.deleteChar();
  EXPECT_TRUE(editor.screenImage() == expectedImage(true));

  editor.stopEdit();
  EXPECT_FALSE(editor.editing());
  EXPECT_EQ(editor.label(), " ");
  EXPECT_TRUE(editor.screenImage() == expectedImage(false));
  // Keys are ignored outside edit mode.
  editor.typeChar('Z');
  editor.cursorRight();
  EXPECT_EQ(buffer.at(0, 3), 0x20);
  EXPECT_TRUE(shell.beeps.empty());
}

TEST_F(ScreenEditorTest, FontSampleFollowsTheWriteFont) {
  editor.startEdit();
  Bitmap small(24, 28);
  drawLargeGlyph(small, 0, 0, 0xA0, false);
  drawSmallGlyph(small, 7, 6, 'T', false);
  EXPECT_TRUE(editor.fontSample() == small);
  editor.selectWriteFont(Font::Large);
  Bitmap big(24, 28);
  drawLargeGlyph(big, 0, 0, 0xD4, false);
  EXPECT_TRUE(editor.fontSample() == big);
  editor.stopEdit();
  EXPECT_TRUE(editor.fontSample() == Bitmap(24, 28));
}

TEST_F(ScreenEditorTest, ClearScreenBlanksTheCurrentScreenOnly) {
  buffer.setCell(0, 3, 3, 'a');
  buffer.setCell(1, 3, 3, 'b');
  ASSERT_TRUE(editor.stepScreen(2));
  editor.startEdit();
  editor.selectWriteFont(Font::Large);
  editor.cursorDown();
  editor.clearScreen();
  EXPECT_EQ(buffer.cell(1, 3, 3), 0x20);
  EXPECT_EQ(buffer.cell(0, 3, 3), 'a');
  EXPECT_EQ(editor.writeFont(), Font::Small);
  EXPECT_EQ(editor.cursorRow(), 0);
  EXPECT_EQ(editor.label(), "Row 1  Column 01 Small");
  EXPECT_TRUE(editor.screenImage() == expectedImage(true));
}

TEST_F(ScreenEditorTest, ScreenNumberStaysWithinOneToEight) {
  buffer.setCell(7, 0, 0, 'Q');
  for (int beyond : {0, 9}) {
    EXPECT_FALSE(editor.stepScreen(beyond));
    EXPECT_EQ(buffer.currentScreen(), 0);
  }
  EXPECT_EQ(shell.beeps, (std::vector<BeepKind>{BeepKind::Default, BeepKind::Default}));
  editor.startEdit();
  editor.cursorRight();
  EXPECT_TRUE(editor.stepScreen(8));
  EXPECT_EQ(buffer.currentScreen(), 7);
  EXPECT_EQ(editor.cursorColumn(), 0);
  EXPECT_EQ(editor.label(), "Row 1  Column 01 Small");
  EXPECT_TRUE(editor.screenImage() == expectedImage(true));
}

TEST_F(ScreenEditorTest, LoadedScreensShowScreenOneAndEndEditing) {
  editor.stepScreen(5);
  editor.startEdit();
  ScreenBuffer::Bytes bytes;
  bytes.fill('w');
  buffer.replace(bytes);
  editor.showLoadedScreens();
  EXPECT_EQ(buffer.currentScreen(), 0);
  EXPECT_FALSE(editor.editing());
  EXPECT_EQ(editor.label(), " ");
  EXPECT_TRUE(editor.screenImage() == expectedImage(false));
}

}  // namespace
}  // namespace halvern

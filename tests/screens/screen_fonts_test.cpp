// The display's two fonts: the rows the display itself defines, and the rules every glyph keeps.
#include "screens/screen_fonts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace halvern {
namespace {

std::vector<int> smallBytes(std::uint8_t code) {
  const std::uint8_t* g = smallGlyph(code);
  return {g, g + font::kSmallGlyphBytes};
}

std::vector<int> largeBytes(std::uint8_t code) {
  const std::uint8_t* g = largeGlyph(code);
  return {g, g + font::kLargeGlyphBytes};
}

TEST(ScreenFonts, TellingRowsByteForByte) {
  struct Row {
    std::uint8_t code;
    std::vector<int> small;
    std::vector<int> large;
  };
  const std::vector<Row> rows = {
      {0x20, {0, 0, 0, 0, 0, 0}, std::vector<int>(24, 0)},
      {0x30,
       {0x3E, 0x51, 0x49, 0x45, 0x3E, 0x00},
       {0xF8, 0xFE, 0x06, 0x03, 0x83, 0xC3, 0x63, 0x33, 0x1E, 0xFE, 0xF8, 0x00,
        0x07, 0x1F, 0x1E, 0x33, 0x31, 0x30, 0x30, 0x30, 0x18, 0x1F, 0x07, 0x00}},
      {0x41,
       {0x7E, 0x11, 0x11, 0x11, 0x7E, 0x00},
       {0x00, 0x00, 0x00, 0xE0, 0xFC, 0x1F, 0x1F, 0xFC, 0xE0, 0x00, 0x00, 0x00,
        0x00, 0x38, 0x3F, 0x07, 0x06, 0x06, 0x06, 0x06, 0x07, 0x3F, 0x38, 0x00}},
      {0x7E,
       {0x06, 0x09, 0x09, 0x06, 0x00, 0x00},
       {0x1E, 0x3F, 0x33, 0x33, 0x3F, 0x1E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {0x7F,
       {0x00, 0x00, 0x3E, 0x1C, 0x08, 0x00},
       {0x00, 0x00, 0x00, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01, 0x00, 0x00}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(smallBytes(row.code), row.small) << std::hex << int(row.code);
    EXPECT_EQ(largeBytes(row.code), row.large) << std::hex << int(row.code);
    // The large painter takes the code with its large bit.
    EXPECT_EQ(largeBytes(row.code | 0x80), row.large);
  }
  EXPECT_EQ(kSmallFont.size(), 576u);
  EXPECT_EQ(kLargeFont.size(), 2304u);
}

TEST(ScreenFonts, TheDisplaysOwnSymbols) {
  // Small: 0x7C a solid block, 0x7D a line at pixel row 3, 0x7B a hatch reaching every edge.
  EXPECT_EQ(smallBytes(0x7C), std::vector<int>(6, 0xFF));
  EXPECT_EQ(smallBytes(0x7D), std::vector<int>(6, 0x08));
  int hatchPixels = 0, hatchOr = 0;
  for (int i = 0; i < 6; ++i) {
    hatchOr |= smallGlyph(0x7B)[i];
    for (int j = 0; j < 8; ++j) hatchPixels += smallPixel(smallGlyph(0x7B), i, j);
  }
  EXPECT_EQ(hatchOr, 0xFF);
  EXPECT_NE(smallGlyph(0x7B)[0], 0);
  EXPECT_NE(smallGlyph(0x7B)[5], 0);
  EXPECT_GT(hatchPixels, 8);
  EXPECT_LT(hatchPixels, 40);

  // Large: 0x7B and 0x7C a bar over the two bottom rows, 11 columns wide; 0x7D rows 7 and 8.
  std::vector<int> bottomBar(24, 0);
  for (int i = 0; i < 11; ++i) bottomBar[12 + i] = 0xC0;
  EXPECT_EQ(largeBytes(0x7B), bottomBar);
  EXPECT_EQ(largeBytes(0x7C), bottomBar);
  std::vector<int> middleBar(24, 0);
  for (int i = 0; i < 12; ++i) middleBar[i] = 0x80, middleBar[12 + i] = 0x01;
  EXPECT_EQ(largeBytes(0x7D), middleBar);
}

TEST(ScreenFonts, PrintableGlyphsKeepTheirBoxesAndDifferFromEachOther) {
  std::set<std::vector<int>> seenSmall, seenLarge;
  for (int c = 0x21; c <= 0x7A; ++c) {
    const auto code = static_cast<std::uint8_t>(c);
    const std::uint8_t* s = smallGlyph(code);
    // A 5 x 7 design: the sixth column and the eighth row stay clear.
    EXPECT_EQ(s[5], 0) << char(c);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s[i] & 0x80, 0) << char(c);
    EXPECT_NE(smallBytes(code), smallBytes(' ')) << char(c);
    const std::uint8_t* l = largeGlyph(code);
    // The twelfth column keeps large characters apart.
    EXPECT_EQ(l[11] | l[23], 0) << char(c);
    EXPECT_NE(largeBytes(code), largeBytes(' ')) << char(c);
    EXPECT_TRUE(seenSmall.insert(smallBytes(code)).second) << "small " << char(c);
    EXPECT_TRUE(seenLarge.insert(largeBytes(code)).second) << "large " << char(c);
  }
}

TEST(ScreenFonts, CodesBelowTheFontPaintAsBlanks) {
  for (std::uint8_t code : {0x00, 0x0D, 0x1F, 0x80, 0x9F}) {
    EXPECT_EQ(smallGlyph(code), smallGlyph(' '));
    EXPECT_EQ(largeGlyph(code), largeGlyph(' '));
  }
}

}  // namespace
}  // namespace halvern

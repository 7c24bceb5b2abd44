// Painting cells in screen mode and ink mode, at the display's cell geometry.
#include "screens/glyph_painting.h"

#include <gtest/gtest.h>

#include "screens/screen_buffer.h"
#include "screens/screen_fonts.h"

namespace halvern {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000;

// Every pixel of the rectangle in `colour`, or the first that is not.
::testing::AssertionResult allPixels(const Bitmap& b, int x, int y, int w, int h,
                                     std::uint32_t colour) {
  for (int row = y; row < y + h; ++row)
    for (int column = x; column < x + w; ++column)
      if (b.pixel(column, row) != colour)
        return ::testing::AssertionFailure() << "pixel (" << column << ", " << row << ")";
  return ::testing::AssertionSuccess();
}

TEST(GlyphPainting, LargeCodeInAnOddCellPaintsItsWholeBlock) {
  // 0xC1 in cell (3, 7): the large "A" over rows 2-3 and columns 6-7, x 72..95, y 32..63.
  Bitmap image(screen_image::kWidth, screen_image::kHeight, kRed);
  drawLargeAt(image, 3, 7, 0xC1, false);
  const std::uint8_t* glyph = largeGlyph('A');
  for (int i = 0; i < 12; ++i) {
    for (int j = 0; j < 16; ++j) {
      const std::uint32_t want = largePixel(glyph, i, j) ? Bitmap::kGreen : Bitmap::kBlack;
      ASSERT_TRUE(allPixels(image, 72 + 2 * i, 32 + 2 * j, 2, 2, want)) << i << "," << j;
    }
  }
  // Nothing outside the block.
  EXPECT_TRUE(allPixels(image, 0, 0, 72, 98, kRed));
  EXPECT_TRUE(allPixels(image, 96, 0, 384, 98, kRed));
  EXPECT_TRUE(allPixels(image, 72, 0, 24, 32, kRed));
  EXPECT_TRUE(allPixels(image, 72, 64, 24, 34, kRed));
}

TEST(GlyphPainting, SmallGlyphPixelsAndInverse) {
  Bitmap image(screen_image::kWidth, screen_image::kHeight, kRed);
  drawSmallAt(image, 1, 2, '0', false);
  // Column 0 of "0" is 0x3E: rows 1..5 set; its pixels are 2 x 2 blocks at x 24, y 16.
  EXPECT_TRUE(allPixels(image, 24, 16, 2, 2, Bitmap::kBlack));
  EXPECT_TRUE(allPixels(image, 24, 18, 2, 10, Bitmap::kGreen));
  EXPECT_TRUE(allPixels(image, 24, 28, 2, 4, Bitmap::kBlack));
  // The sixth column is the gap.
  EXPECT_TRUE(allPixels(image, 34, 16, 2, 16, Bitmap::kBlack));

  // The inverse "0" swaps the colours of every one of the cell's pixels.
  Bitmap inverse(screen_image::kWidth, screen_image::kHeight, kRed);
  drawSmallAt(inverse, 1, 2, '0', true);
  for (int y = 16; y < 32; ++y)
    for (int x = 24; x < 36; ++x)
      EXPECT_EQ(inverse.pixel(x, y),
                image.pixel(x, y) == Bitmap::kGreen ? Bitmap::kBlack : Bitmap::kGreen);

  // A glyph over another leaves no trace of it: a blank inverse over the "0" is all green.
  drawSmallAt(image, 1, 2, ' ', true);
  EXPECT_TRUE(allPixels(image, 24, 16, 12, 16, Bitmap::kGreen));
}

TEST(GlyphPainting, LargeBlanksPaintAsSmallBlanksAndControlCodesAsBlanks) {
  ScreenBuffer large, small, control;
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 40; ++c) {
      large.setCell(0, r, c, 0xA0);
      control.setCell(0, r, c, static_cast<std::uint8_t>((r * 40 + c) % 32));
    }
  }
  Bitmap a(480, 98, kRed), b(480, 98, kRed), d(480, 98, kRed);
  drawScreen(a, large, 0);
  drawScreen(b, small, 0);
  drawScreen(d, control, 0);
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(d == b);
  EXPECT_TRUE(allPixels(b, 0, 0, 480, 96, Bitmap::kBlack));
  // The two rows below the cells are not the screen's.
  EXPECT_TRUE(allPixels(b, 0, 96, 480, 2, kRed));
}

TEST(GlyphPainting, InkModeTouchesOnlySetBits) {
  Bitmap canvas(480, 96, kRed);
  inkSmallAt(canvas, 0, 0, ' ');
  inkLargeAt(canvas, 2, 2, 0xA0);
  EXPECT_TRUE(allPixels(canvas, 0, 0, 480, 96, kRed));

  inkSmallAt(canvas, 5, 39, 0x7C);  // the solid block: the whole cell black
  EXPECT_TRUE(allPixels(canvas, 468, 80, 12, 16, Bitmap::kBlack));
  inkSmallAt(canvas, 0, 0, 0x7D);  // a line at pixel row 3: image rows 6 and 7
  EXPECT_TRUE(allPixels(canvas, 0, 6, 12, 2, Bitmap::kBlack));
  EXPECT_TRUE(allPixels(canvas, 0, 0, 12, 6, kRed));
  EXPECT_TRUE(allPixels(canvas, 0, 8, 12, 8, kRed));
  // The large middle bar from an odd cell lands on its block (rows 2-3, columns 4-5).
  inkLargeAt(canvas, 3, 5, 0xFD);
  EXPECT_TRUE(allPixels(canvas, 48, 32 + 14, 24, 4, Bitmap::kBlack));
  EXPECT_TRUE(allPixels(canvas, 48, 32, 24, 14, kRed));
}

TEST(GlyphPainting, InkScreenIsBlackOnWhite) {
  ScreenBuffer buffer;
  buffer.setCell(3, 0, 0, 'A');
  Bitmap canvas(480, 96, kRed);
  inkScreen(canvas, buffer, 3);
  int black = 0;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 480; ++x) {
      const auto p = canvas.pixel(x, y);
      ASSERT_TRUE(p == Bitmap::kWhite || p == Bitmap::kBlack);
      black += p == Bitmap::kBlack;
    }
  // "A" (7E 11 11 11 7E) has 18 set pixels, 4 image pixels each.
  EXPECT_EQ(black, 18 * 4);
}

TEST(GlyphPainting, PaintingIsCutToTheCanvas) {
  // The font sample: a large "T" on 24 x 28 shows its upper 14 rows only.
  Bitmap sample(24, 28, kRed);
  drawLargeGlyph(sample, 0, 0, 0xD4, false);
  EXPECT_TRUE(allPixels(sample, 22, 0, 2, 28, Bitmap::kBlack));  // column 11 is the gap
  drawSmallGlyph(sample, 20, 20, 0x7C, false);
  EXPECT_TRUE(allPixels(sample, 20, 20, 4, 8, Bitmap::kGreen));
}

TEST(ScreenBuffer, SetLargeCellWritesTheAlignedBlockOnly) {
  ScreenBuffer buffer;
  buffer.setCurrentScreen(2);
  buffer.setLargeCell(5, 39, 0xC1);
  for (int s = 0; s < 8; ++s)
    for (int r = 0; r < 6; ++r)
      for (int c = 0; c < 40; ++c) {
        const bool inBlock = s == 2 && r >= 4 && c >= 38;
        EXPECT_EQ(buffer.cell(s, r, c), inBlock ? 0xC1 : 0x20) << s << " " << r << " " << c;
      }
  EXPECT_EQ(ScreenBuffer::indexOf(7, 5, 39), 1919u);
  buffer.clearScreen(2);
  EXPECT_TRUE(buffer == ScreenBuffer());
}

}  // namespace
}  // namespace halvern

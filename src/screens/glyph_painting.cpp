#include "screens/glyph_painting.h"

#include "screens/screen_buffer.h"
#include "screens/screen_fonts.h"

namespace halvern {

namespace {

using namespace screen_image;

void paintBlock(Bitmap& canvas, int x, int y, int i, int j, std::uint32_t colour) {
  canvas.fillRect(x + 2 * i, y + 2 * j, 2, 2, colour);
}

}  // namespace

void drawSmallGlyph(Bitmap& canvas, int x, int y, std::uint8_t code, bool inverse) {
  const std::uint8_t* glyph = smallGlyph(code);
  const std::uint32_t ink = inverse ? Bitmap::kBlack : Bitmap::kGreen;
  const std::uint32_t paper = inverse ? Bitmap::kGreen : Bitmap::kBlack;
  for (int i = 0; i < font::kSmallWidth; ++i)
    for (int j = 0; j < font::kSmallHeight; ++j)
      paintBlock(canvas, x, y, i, j, smallPixel(glyph, i, j) ? ink : paper);
}

void drawLargeGlyph(Bitmap& canvas, int x, int y, std::uint8_t code, bool inverse) {
  const std::uint8_t* glyph = largeGlyph(code);
  const std::uint32_t ink = inverse ? Bitmap::kBlack : Bitmap::kGreen;
  const std::uint32_t paper = inverse ? Bitmap::kGreen : Bitmap::kBlack;
  for (int i = 0; i < font::kLargeWidth; ++i)
    for (int j = 0; j < font::kLargeHeight; ++j)
      paintBlock(canvas, x, y, i, j, largePixel(glyph, i, j) ? ink : paper);
}

void drawSmallAt(Bitmap& canvas, int row, int column, std::uint8_t code, bool inverse) {
  drawSmallGlyph(canvas, kCellWidth * column, kCellHeight * row, code, inverse);
}

void drawLargeAt(Bitmap& canvas, int row, int column, std::uint8_t code, bool inverse) {
  drawLargeGlyph(canvas, kCellWidth * (column & ~1), kCellHeight * (row & ~1), code, inverse);
}

void drawCellAt(Bitmap& canvas, int row, int column, std::uint8_t code, bool inverse) {
  if (ScreenBuffer::isLarge(code)) {
    drawLargeAt(canvas, row, column, code, inverse);
  } else {
    drawSmallAt(canvas, row, column, code, inverse);
  }
}

void drawScreen(Bitmap& canvas, const ScreenBuffer& buffer, int screen) {
  for (int row = 0; row < ScreenBuffer::kRows; ++row)
    for (int column = 0; column < ScreenBuffer::kColumns; ++column)
      drawCellAt(canvas, row, column, buffer.cell(screen, row, column), false);
}

void inkSmallAt(Bitmap& canvas, int row, int column, std::uint8_t code) {
  const std::uint8_t* glyph = smallGlyph(code);
  for (int i = 0; i < font::kSmallWidth; ++i)
    for (int j = 0; j < font::kSmallHeight; ++j)
      if (smallPixel(glyph, i, j))
        paintBlock(canvas, kCellWidth * column, kCellHeight * row, i, j, Bitmap::kBlack);
}

void inkLargeAt(Bitmap& canvas, int row, int column, std::uint8_t code) {
  const std::uint8_t* glyph = largeGlyph(code);
  const int x = kCellWidth * (column & ~1);
  const int y = kCellHeight * (row & ~1);
  for (int i = 0; i < font::kLargeWidth; ++i)
    for (int j = 0; j < font::kLargeHeight; ++j)
      if (largePixel(glyph, i, j)) paintBlock(canvas, x, y, i, j, Bitmap::kBlack);
}

void inkScreen(Bitmap& canvas, const ScreenBuffer& buffer, int screen) {
  canvas.fill(Bitmap::kWhite);
  for (int row = 0; row < ScreenBuffer::kRows; ++row) {
    for (int column = 0; column < ScreenBuffer::kColumns; ++column) {
      const std::uint8_t code = buffer.cell(screen, row, column);
      if (ScreenBuffer::isLarge(code)) {
        inkLargeAt(canvas, row, column, code);
      } else {
        inkSmallAt(canvas, row, column, code);
      }
    }
  }
}

}  // namespace halvern

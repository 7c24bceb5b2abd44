#pragma once

#include <cstdint>

#include "screens/bitmap.h"

namespace halvern {

class ScreenBuffer;

// Painting the display's fonts. Every font pixel becomes a 2 x 2 block of image pixels, so a
// cell is 12 x 16 pixels and a screen of 6 x 40 cells 480 x 96.
//
// Screen mode paints every pixel of the glyph's area, set bits green and clear bits black (the
// other way round when inverse, which marks the editor's cursor), so a glyph fully replaces what
// was under it. Ink mode paints only the set bits, in black, for pictures on white.
namespace screen_image {

inline constexpr int kCellWidth = 12;
inline constexpr int kCellHeight = 16;
// The Screens page's picture: the cells fill its top 480 x 96 pixels.
inline constexpr int kWidth = 480;
inline constexpr int kHeight = 98;
// A screen on a canvas of its own (the screen pictures beside a group file).
inline constexpr int kCellsHeight = 96;

}  // namespace screen_image

// Screen mode, the glyph's top-left image pixel at (x, y). The large painter uses bits 0-6 of the
// code; codes below 0x20 paint as blanks.
void drawSmallGlyph(Bitmap& canvas, int x, int y, std::uint8_t code, bool inverse);
void drawLargeGlyph(Bitmap& canvas, int x, int y, std::uint8_t code, bool inverse);

// Screen mode at a cell: x = 12 x column, y = 16 x row. The large one first rounds the row and the
// column down to even, so it paints the whole block.
void drawSmallAt(Bitmap& canvas, int row, int column, std::uint8_t code, bool inverse);
void drawLargeAt(Bitmap& canvas, int row, int column, std::uint8_t code, bool inverse);
// The painter the code's bit 7 chooses.
void drawCellAt(Bitmap& canvas, int row, int column, std::uint8_t code, bool inverse);

// The 240 cells of one screen, row by row, in screen mode and not inverse.
void drawScreen(Bitmap& canvas, const ScreenBuffer& buffer, int screen);

// Ink mode at a cell.
void inkSmallAt(Bitmap& canvas, int row, int column, std::uint8_t code);
void inkLargeAt(Bitmap& canvas, int row, int column, std::uint8_t code);
// A screen as a picture of its own: the canvas filled white, the cells inked black.
void inkScreen(Bitmap& canvas, const ScreenBuffer& buffer, int screen);

}  // namespace halvern

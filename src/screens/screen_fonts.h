#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace halvern {

// The display's two fonts, 96 glyphs each for the codes 0x20..0x7F: printable ASCII up to 0x7A,
// then the display's own symbols (0x7B hatch, 0x7C block, 0x7D line; in the large font 0x7B and
// 0x7C a bar along the bottom and 0x7D a bar across the middle; 0x7E the degree sign; 0x7F a
// triangle pointing right).
//
// Small glyph: 6 bytes, one per pixel column from the left; bit j is pixel row j, bit 0 at the
// top. A 5 x 7 design; the sixth column and the eighth row keep characters and lines apart.
// Large glyph: 24 bytes; bytes 0..11 are the 12 columns of the upper 8 pixel rows, bytes 12..23
// the same columns of the lower 8 rows, bit 0 the top row of each half.
namespace font {

inline constexpr std::uint8_t kFirstCode = 0x20;
inline constexpr std::size_t kGlyphCount = 96;
inline constexpr int kSmallWidth = 6;
inline constexpr int kSmallHeight = 8;
inline constexpr int kLargeWidth = 12;
inline constexpr int kLargeHeight = 16;
inline constexpr std::size_t kSmallGlyphBytes = 6;
inline constexpr std::size_t kLargeGlyphBytes = 24;

}  // namespace font

extern const std::array<std::uint8_t, font::kGlyphCount * font::kSmallGlyphBytes> kSmallFont;
extern const std::array<std::uint8_t, font::kGlyphCount * font::kLargeGlyphBytes> kLargeFont;

// The glyph of bits 0-6 of a cell code. Codes below 0x20 have no glyph and get the blank's.
const std::uint8_t* smallGlyph(std::uint8_t code);
const std::uint8_t* largeGlyph(std::uint8_t code);

// Whether pixel (column i, row j) of a glyph is set.
bool smallPixel(const std::uint8_t* glyph, int i, int j);
bool largePixel(const std::uint8_t* glyph, int i, int j);

}  // namespace halvern

#include "screens/bitmap_file.h"

#include <cstdint>

#include "wire/byte_order.h"

namespace halvern {

namespace {

void put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v) {
  std::uint8_t b[4];
  byte_order::putLittle32(b, v);
  out.append(reinterpret_cast<const char*>(b), 4);
}

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
// 2835 pixels a metre: 72 dots an inch.
constexpr std::uint32_t kPixelsPerMetre = 2835;

}  // namespace

std::string windowsBitmap(const Bitmap& bitmap) {
  const auto width = static_cast<std::uint32_t>(bitmap.width());
  const auto height = static_cast<std::uint32_t>(bitmap.height());
  const std::uint32_t rowSize = (width * 3 + 3) / 4 * 4;
  const std::uint32_t imageSize = rowSize * height;
  std::string out;
  out.reserve(kFileHeaderSize + kInfoHeaderSize + imageSize);
  out += "BM";
  put32(out, kFileHeaderSize + kInfoHeaderSize + imageSize);
  put32(out, 0);  // reserved
  put32(out, kFileHeaderSize + kInfoHeaderSize);
  put32(out, kInfoHeaderSize);
  put32(out, width);
  put32(out, height);  // positive: the bottom row first
  put16(out, 1);       // planes
  put16(out, 24);      // bits a pixel
  put32(out, 0);       // no compression
  put32(out, imageSize);
  put32(out, kPixelsPerMetre);
  put32(out, kPixelsPerMetre);
  put32(out, 0);  // colours used
  put32(out, 0);  // colours that matter
  for (std::uint32_t row = height; row-- > 0;) {
    const std::size_t start = out.size();
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t argb = bitmap.pixel(static_cast<int>(x), static_cast<int>(row));
      out += static_cast<char>(argb & 0xFF);          // blue
      out += static_cast<char>((argb >> 8) & 0xFF);   // green
      out += static_cast<char>((argb >> 16) & 0xFF);  // red
    }
    out.append(rowSize - (out.size() - start), '\0');
  }
  return out;
}

}  // namespace halvern

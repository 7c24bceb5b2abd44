#pragma once

#include <cstdint>
#include <vector>

namespace halvern {

// A picture in memory, 32 bits a pixel as 0xAARRGGBB, rows top to bottom without padding (the
// layout a QImage of Format_RGB32 reads directly). Pixels outside it are ignored when painted.
class Bitmap {
 public:
  static constexpr std::uint32_t kBlack = 0xFF000000;
  static constexpr std::uint32_t kGreen = 0xFF00FF00;
  static constexpr std::uint32_t kWhite = 0xFFFFFFFF;

  Bitmap(int width, int height, std::uint32_t colour = kBlack);

  int width() const { return m_width; }
  int height() const { return m_height; }
  std::uint32_t pixel(int x, int y) const;
  void setPixel(int x, int y, std::uint32_t colour);
  // A rectangle, cut to the bitmap.
  void fillRect(int x, int y, int width, int height, std::uint32_t colour);
  void fill(std::uint32_t colour);

  const std::uint32_t* data() const { return m_pixels.data(); }
  bool operator==(const Bitmap& other) const = default;

 private:
  int m_width;
  int m_height;
  std::vector<std::uint32_t> m_pixels;
};

}  // namespace halvern

#include "screens/bitmap.h"

#include <algorithm>

namespace halvern {

Bitmap::Bitmap(int width, int height, std::uint32_t colour)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), colour) {}

std::uint32_t Bitmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
  return m_pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                  static_cast<std::size_t>(x)];
}

void Bitmap::setPixel(int x, int y, std::uint32_t colour) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
  m_pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
           static_cast<std::size_t>(x)] = colour;
}

void Bitmap::fillRect(int x, int y, int width, int height, std::uint32_t colour) {
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min(x + width, m_width);
  const int bottom = std::min(y + height, m_height);
  for (int row = top; row < bottom; ++row)
    for (int column = left; column < right; ++column) setPixel(column, row, colour);
}

void Bitmap::fill(std::uint32_t colour) { std::fill(m_pixels.begin(), m_pixels.end(), colour); }

}  // namespace halvern

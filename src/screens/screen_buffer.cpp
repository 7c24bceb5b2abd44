#include "screens/screen_buffer.h"

#include <algorithm>

namespace halvern {

void ScreenBuffer::setCurrentScreen(int screen) { m_current = std::clamp(screen, 0, kScreens - 1); }

void ScreenBuffer::setLargeCell(int row, int column, std::uint8_t code) {
  const int top = row & ~1;
  const int left = column & ~1;
  for (int r = top; r < top + 2; ++r)
    for (int c = left; c < left + 2; ++c) set(r, c, code);
}

void ScreenBuffer::clearScreen(int screen) {
  const auto first = m_cells.begin() + static_cast<std::ptrdiff_t>(indexOf(screen, 0, 0));
  std::fill(first, first + static_cast<std::ptrdiff_t>(kScreenSize), kSmallBlank);
}

void ScreenBuffer::replace(const Bytes& bytes) {
  m_cells = bytes;
  m_current = 0;
  ++m_replacements;
}

}  // namespace halvern

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "wire/wire.h"

namespace halvern {

// The eight screens of the instrument's character display, 6 rows of 40 cells each, one cell code
// per byte, screen by screen, row by row, column by column: the same 1920 bytes travel on the wire
// and make up a screen file.
//
// A cell code holds the character (0x20..0x7F) in bits 0-6; bit 7 marks one cell of a large
// character. A large character fills an aligned block of 2 x 2 cells (rows 2k, 2k+1 and columns
// 2m, 2m+1), all four holding the same code.
class ScreenBuffer {
 public:
  static constexpr int kScreens = 8;
  static constexpr int kRows = 6;
  static constexpr int kColumns = 40;
  static constexpr std::size_t kScreenSize = kRows * kColumns;
  static constexpr std::size_t kSize = kScreens * kScreenSize;
  static_assert(kSize == wire::kScreensSize);

  static constexpr std::uint8_t kLargeBit = 0x80;
  static constexpr std::uint8_t kSmallBlank = 0x20;
  static constexpr std::uint8_t kLargeBlank = 0xA0;

  using Bytes = std::array<std::uint8_t, kSize>;

  // Every cell of every screen blank, screen 1 current.
  ScreenBuffer() { m_cells.fill(kSmallBlank); }

  static constexpr bool isLarge(std::uint8_t code) { return (code & kLargeBit) != 0; }
  // Where a cell lives in the 1920 bytes. Rows and columns must be in range.
  static constexpr std::size_t indexOf(int screen, int row, int column) {
    return static_cast<std::size_t>(screen) * kScreenSize +
           static_cast<std::size_t>(row * kColumns + column);
  }

  std::uint8_t cell(int screen, int row, int column) const {
    return m_cells[indexOf(screen, row, column)];
  }
  void setCell(int screen, int row, int column, std::uint8_t code) {
    m_cells[indexOf(screen, row, column)] = code;
  }

  // The screen shown and edited, 0..7 (shown to the user as 1..8).
  int currentScreen() const { return m_current; }
  void setCurrentScreen(int screen);

  // A cell of the current screen.
  std::uint8_t at(int row, int column) const { return cell(m_current, row, column); }
  void set(int row, int column, std::uint8_t code) { setCell(m_current, row, column, code); }
  // Stores `code` into the four cells of the aligned 2 x 2 block of the current screen that holds
  // (row, column). Stores only.
  void setLargeCell(int row, int column, std::uint8_t code);

  // Blanks the 240 cells of one screen.
  void clearScreen(int screen);

  const Bytes& bytes() const { return m_cells; }
  // Replaces all eight screens; screen 1 becomes current.
  void replace(const Bytes& bytes);
  // Counts the replacements, so a view knows when to show the screens anew.
  std::uint64_t replacements() const { return m_replacements; }

  bool operator==(const ScreenBuffer& other) const { return m_cells == other.m_cells; }

 private:
  Bytes m_cells;
  int m_current = 0;
  std::uint64_t m_replacements = 0;
};

}  // namespace halvern

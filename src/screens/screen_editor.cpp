#include "screens/screen_editor.h"

#include <cstdio>

#include "platform/shell.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

constexpr int kLastRow = ScreenBuffer::kRows - 1;
constexpr int kLastColumn = ScreenBuffer::kColumns - 1;
constexpr std::uint8_t kSampleLetter = 'T';

}  // namespace

ScreenEditor::ScreenEditor(ScreenBuffer& buffer, Shell& shell)
    : m_buffer(buffer),
      m_shell(shell),
      m_image(screen_image::kWidth, screen_image::kHeight),
      m_sample(kSampleWidth, kSampleHeight) {
  drawScreen(m_image, m_buffer, m_buffer.currentScreen());
}

bool ScreenEditor::cursorIsLarge() const {
  return ScreenBuffer::isLarge(m_buffer.at(m_row, m_column));
}

void ScreenEditor::repaintCursorCell() {
  drawCellAt(m_image, m_row, m_column, m_buffer.at(m_row, m_column), false);
}

void ScreenEditor::showCursor() {
  drawCellAt(m_image, m_row, m_column, m_buffer.at(m_row, m_column), true);
  showRowCol();
}

void ScreenEditor::showRowCol() {
  m_label = cursorIsLarge()
                ? formatText("Row %1i  Column %02i Large", m_row / 2 + 1, m_column / 2 + 1)
                : formatText("Row %1i  Column %02i Small", m_row + 1, m_column + 1);
}

void ScreenEditor::paintSample() {
  if (m_font == WriteFont::Small) {
    drawLargeGlyph(m_sample, 0, 0, ScreenBuffer::kLargeBlank, false);
    drawSmallGlyph(m_sample, 7, 6, kSampleLetter, false);
  } else {
    drawLargeGlyph(m_sample, 0, 0, kSampleLetter | ScreenBuffer::kLargeBit, false);
  }
}

void ScreenEditor::startEdit() {
  m_editing = true;
  m_row = m_column = 0;
  m_font = WriteFont::Small;
  paintSample();
  showCursor();
}

void ScreenEditor::stopEdit() {
  repaintCursorCell();
  drawLargeGlyph(m_sample, 0, 0, ScreenBuffer::kLargeBlank, false);
  m_label = " ";
  m_editing = false;
}

void ScreenEditor::clearScreen() {
  if (!m_editing) return;
  m_buffer.clearScreen(m_buffer.currentScreen());
  m_image.fill(Bitmap::kBlack);
  m_row = m_column = 0;
  if (m_font != WriteFont::Small) selectWriteFont(WriteFont::Small);
  drawSmallAt(m_image, 0, 0, ScreenBuffer::kSmallBlank, true);
  showRowCol();
}

void ScreenEditor::selectWriteFont(WriteFont font) {
  m_font = font;
  paintSample();
}

bool ScreenEditor::stepScreen(int number) {
  if (number < 1 || number > ScreenBuffer::kScreens) {
    m_shell.beep(BeepKind::Default);
    return false;
  }
  const BusyCursor busy(m_shell);
  m_image.fill(Bitmap::kBlack);
  m_buffer.setCurrentScreen(number - 1);
  drawScreen(m_image, m_buffer, m_buffer.currentScreen());
  if (m_editing) {
    m_row = m_column = 0;
    showCursor();
  }
  return true;
}

void ScreenEditor::showLoadedScreens() {
  m_buffer.setCurrentScreen(0);
  m_image.fill(Bitmap::kBlack);
  drawScreen(m_image, m_buffer, 0);
  m_row = m_column = 0;
  stopEdit();
}

void ScreenEditor::cursorUp() {
  if (!m_editing) return;
  if (m_row == 0) {
    m_shell.beep(BeepKind::Default);
    return;
  }
  if (cursorIsLarge()) {
    if (m_row < 2) {
      m_shell.beep(BeepKind::Default);
      return;
    }
    repaintCursorCell();
    if (m_row % 2 == 1) --m_row;
  } else {
    repaintCursorCell();
  }
  --m_row;
  showCursor();
}

void ScreenEditor::cursorDown() {
  if (!m_editing) return;
  if (m_row >= kLastRow) {
    m_shell.beep(BeepKind::Default);
    return;
  }
  if (cursorIsLarge()) {
    if (m_row > 3) {
      m_shell.beep(BeepKind::Default);
      return;
    }
    repaintCursorCell();
    if (m_row % 2 == 0) ++m_row;
  } else {
    repaintCursorCell();
  }
  ++m_row;
  showCursor();
}

void ScreenEditor::cursorLeft() {
  if (!m_editing) return;
  repaintCursorCell();
  if (cursorIsLarge()) {
    // From a block to the left column of a block standing just left of it.
    if (m_column % 2 == 1) --m_column;
    if (m_column > 1) {
      m_column -= 2;
    } else {
      m_shell.beep(BeepKind::Default);
    }
  } else if (m_column > 0) {
    --m_column;
  } else {
    m_shell.beep(BeepKind::Default);
  }
  showCursor();
}

void ScreenEditor::cursorRight() {
  if (!m_editing) return;
  repaintCursorCell();
  if (cursorIsLarge()) {
    // To the column just right of the block.
    m_column += m_column % 2 == 0 ? 2 : 1;
    if (m_column > kLastColumn) {
      m_shell.beep(BeepKind::Default);
      m_column = kLastColumn - 1;
    }
  } else if (m_column < kLastColumn) {
    ++m_column;
  } else {
    m_shell.beep(BeepKind::Default);
  }
  showCursor();
}

void ScreenEditor::cursorHome() {
  if (!m_editing) return;
  repaintCursorCell();
  m_column = 0;
  showCursor();
}

void ScreenEditor::cursorEnd() {
  if (!m_editing) return;
  repaintCursorCell();
  m_column = kLastColumn;
  if (cursorIsLarge()) m_column = kLastColumn - 1;
  showCursor();
}

void ScreenEditor::deleteChar() {
  if (!m_editing) return;
  if (cursorIsLarge()) {
    m_buffer.setLargeCell(m_row, m_column, ScreenBuffer::kLargeBlank);
    drawLargeAt(m_image, m_row, m_column, ScreenBuffer::kLargeBlank, true);
  } else {
    m_buffer.set(m_row, m_column, ScreenBuffer::kSmallBlank);
    drawSmallAt(m_image, m_row, m_column, ScreenBuffer::kSmallBlank, true);
  }
}

void ScreenEditor::backspaceChar() {
  if (!m_editing) return;
  deleteChar();
  cursorLeft();
}

void ScreenEditor::typeChar(std::uint8_t code) {
  if (!m_editing) return;
  if (code == kTypedDegree) {
    code = kDisplayDegree;
  } else if (code < 0x20 || (code > 0x7A && code != kDisplayDegree)) {
    // Control codes, the display's symbols and everything above ASCII: nothing the display
    // shows as typed.
    m_shell.beep(BeepKind::Exclamation);
    return;
  }
  if (cursorIsLarge()) {
    // The whole block is undone first: four small blanks.
    drawLargeAt(m_image, m_row, m_column, ScreenBuffer::kLargeBlank, false);
    m_buffer.setLargeCell(m_row, m_column, ScreenBuffer::kSmallBlank);
  }
  if (m_font == WriteFont::Small) {
    m_buffer.set(m_row, m_column, code);
  } else {
    m_buffer.setLargeCell(m_row, m_column, code | ScreenBuffer::kLargeBit);
  }
  cursorRight();
}

}  // namespace halvern

#pragma once

#include <cstdint>
#include <string>

#include "screens/bitmap.h"

namespace halvern {

class ScreenBuffer;
class Shell;

// The keyboard screen editor: a cursor cell on the current screen, moved by the arrow keys,
// characters typed in the small or the large font, Backspace and Delete blanking characters, and
// the screen number stepped between 1 and 8. It keeps the picture of the current screen and the
// font sample painted as it goes: per key only the cells it touches are repainted, the cursor
// cell inverse. Edges get the default beep, a character the display cannot show the exclamation
// sound.
//
// A cursor on a large character may name any of the four cells of the block; every operation
// treats it by the block.
class ScreenEditor {
 public:
  enum class WriteFont { Small, Large };

  // The font sample's size; the large "T" shows only its upper 14 rows.
  static constexpr int kSampleWidth = 24;
  static constexpr int kSampleHeight = 28;
  // The degree sign as typed (Windows-1252) and as the display stores it.
  static constexpr std::uint8_t kTypedDegree = 0xB0;
  static constexpr std::uint8_t kDisplayDegree = 0x7E;

  ScreenEditor(ScreenBuffer& buffer, Shell& shell);

  bool editing() const { return m_editing; }
  int cursorRow() const { return m_row; }
  int cursorColumn() const { return m_column; }
  WriteFont writeFont() const { return m_font; }
  // The row/column label: a single blank unless editing.
  const std::string& label() const { return m_label; }
  const Bitmap& screenImage() const { return m_image; }
  const Bitmap& fontSample() const { return m_sample; }

  // Edit mode on: cursor at (0, 0), the small write font, its sample, the cursor shown.
  void startEdit();
  // Edit mode off: the cursor mark gone, the sample blank, the label a single blank.
  void stopEdit();
  // Blanks the current screen and puts the cursor at (0, 0) with the small write font.
  void clearScreen();
  // The write font radio buttons; each repaints the sample.
  void selectWriteFont(WriteFont font);

  // The screen number stepped to `number`; outside 1..8 it beeps and changes nothing (false).
  // Shows that screen; while editing the cursor goes to (0, 0).
  bool stepScreen(int number);
  // After the whole buffer was replaced: screen 1 shown, edit mode ended.
  void showLoadedScreens();

  // Keys, while editing (ignored otherwise).
  void cursorUp();
  void cursorDown();
  void cursorLeft();
  void cursorRight();
  void cursorHome();
  void cursorEnd();
  void deleteChar();
  void backspaceChar();
  // A typed character, as its Windows-1252 byte.
  void typeChar(std::uint8_t code);

 private:
  bool cursorIsLarge() const;
  // The cursor cell painted from the buffer, plain or marked.
  void repaintCursorCell();
  void showCursor();
  void showRowCol();
  void paintSample();

  ScreenBuffer& m_buffer;
  Shell& m_shell;
  Bitmap m_image;
  Bitmap m_sample;
  bool m_editing = false;
  int m_row = 0;
  int m_column = 0;
  WriteFont m_font = WriteFont::Small;
  std::string m_label = " ";
};

}  // namespace halvern

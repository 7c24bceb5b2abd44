#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/key_router.h"
#include "app/page_host.h"
#include "screens/screen_editor.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace halvern {

class ScreenBuffer;
class ScreenNumberWidget;
class Shell;

// The page among the window's tabs.
inline constexpr Page kScreensPage{"Screens", "TabSheetScreen"};

// The Screens page: the picture of the current screen as the display shows it, the cursor
// position, Start Edit / Stop Edit / Clear Screen, the write font with its sample, and the screen
// number. While editing, the window's keyboard routing sends the cursor keys and typed characters
// here, and the Commands menu is unavailable.
class ScreensPage : public QWidget, public PageView, public ScreenKeyTarget {
 public:
  ScreensPage(ScreenBuffer& buffer, Shell& shell, QWidget* parent = nullptr);
  ~ScreensPage() override;

  ScreenEditor& editor() { return m_editor; }
  // After the buffer was replaced as a whole (instrument, screen file, group file): screen 1,
  // the number 1, edit mode ended.
  void refresh() override;
  // Told when editing starts and ends.
  void setOnEditing(std::function<void(bool)> onEditing) { m_onEditing = std::move(onEditing); }

  // ScreenKeyTarget.
  bool isEditing() const override { return m_editor.editing(); }
  void cursorKey(Key key) override;
  void typeCharacter(std::uint8_t code) override;

  // The controls, by their role (for the window and the tests).
  QLabel* imageScreen() const { return m_imageScreen; }
  QLabel* labelRowCol() const { return m_labelRowCol; }
  QPushButton* startEdit() const { return m_startEdit; }
  QPushButton* stopEdit() const { return m_stopEdit; }
  QPushButton* clearScreen() const { return m_clearScreen; }
  QRadioButton* fontSmall() const { return m_fontSmall; }
  QRadioButton* fontLarge() const { return m_fontLarge; }
  QLabel* imageFont() const { return m_imageFont; }
  ScreenNumberWidget* screenNumber() const { return m_screenNumber; }

  // Keeps the space bar from pressing `button` (a blank is typed into the screen instead).
  void guardAgainstSpace(QWidget* button);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buttonStartEditClick();
  void buttonStopEditClick();
  void setEditControls();
  void showLoadedScreens();
  // The pictures and the label from the editor.
  void redraw();

  ScreenBuffer& m_buffer;
  ScreenEditor m_editor;
  std::uint64_t m_shownReplacements = 0;
  std::function<void(bool)> m_onEditing;
  QLabel* m_imageScreen = nullptr;
  QLabel* m_labelRowCol = nullptr;
  QPushButton* m_startEdit = nullptr;
  QPushButton* m_stopEdit = nullptr;
  QPushButton* m_clearScreen = nullptr;
  QRadioButton* m_fontSmall = nullptr;
  QRadioButton* m_fontLarge = nullptr;
  QLabel* m_imageFont = nullptr;
  ScreenNumberWidget* m_screenNumber = nullptr;
};

}  // namespace halvern

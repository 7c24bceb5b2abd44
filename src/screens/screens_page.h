#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "app/key_router.h"
#include "screens/screen_editor.h"

class QAction;
class QLabel;
class QPushButton;
class QRadioButton;

namespace halvern {

class MainWindow;
class ScreenBuffer;
class ScreenNumberWidget;
class Shell;

// The Screens page: the picture of the current screen as the display shows it, the cursor
// position, Start Edit / Stop Edit / Clear Screen, the write font with its sample, and the screen
// number. While editing, the window's keyboard routing sends the cursor keys and typed characters
// here, and the Commands menu is unavailable.
class ScreensPage : public QWidget, public ScreenKeyTarget {
 public:
  ScreensPage(ScreenBuffer& buffer, Shell& shell, QWidget* parent = nullptr);
  ~ScreensPage() override;

  ScreenEditor& editor() { return m_editor; }
  // Shows the buffer after it was replaced as a whole (instrument, screen file, group file):
  // screen 1, the number 1, edit mode ended.
  void showLoadedScreens();
  // Menus and items made unavailable while editing (the Commands menu and its items).
  void setEditLockedActions(std::vector<QAction*> actions) { m_lockedActions = std::move(actions); }

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
  // The pictures and the label from the editor.
  void refresh();

  ScreenEditor m_editor;
  QLabel* m_imageScreen = nullptr;
  QLabel* m_labelRowCol = nullptr;
  QPushButton* m_startEdit = nullptr;
  QPushButton* m_stopEdit = nullptr;
  QPushButton* m_clearScreen = nullptr;
  QRadioButton* m_fontSmall = nullptr;
  QRadioButton* m_fontLarge = nullptr;
  QLabel* m_imageFont = nullptr;
  ScreenNumberWidget* m_screenNumber = nullptr;
  std::vector<QAction*> m_lockedActions;
  std::vector<bool> m_lockedStates;
};

// Puts the Screens page into the window, routes the keyboard to it, and gives Get Screens, Send
// Screens, Open Screen File and Save Screen File their handlers.
void installScreensPage(MainWindow& window);

}  // namespace halvern

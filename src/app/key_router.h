#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

class QKeySequence;
class QWidget;

namespace halvern {

// The screen editor as the keyboard routing sees it.
class ScreenKeyTarget {
 public:
  enum class Key { Backspace, End, Home, Left, Up, Right, Down, Delete };
  virtual ~ScreenKeyTarget() = default;
  virtual bool isEditing() const = 0;
  virtual void cursorKey(Key key) = 0;
  // A character of 32..255 typed at the cursor, as its Windows-1252 byte.
  virtual void typeCharacter(std::uint8_t code) = 0;
};

// Application-wide key filter: while the screen editor is in edit mode and its page is shown, the
// cursor and erase keys go to the editor and typed characters are typed into the screen (control
// characters beep). Tab, function keys and menu shortcuts pass on, as does everything when not
// editing. Only the keys of `window`, which owns the filter, are routed: while a menu or another
// popup is open, a modal dialog runs, or the key goes to any other window, every key passes
// untouched. Without a window, the keys of any window are routed, popups and modal dialogs still
// aside. Alt and a letter claimed by a menu and a shown button alike presses the button.
class KeyRouter : public QObject {
 public:
  KeyRouter(std::function<void()> beep, QWidget* window = nullptr);

  // The editor the keys go to, and whether its page is shown.
  void setTarget(ScreenKeyTarget* target, std::function<bool()> targetShown) {
    m_target = target;
    m_targetShown = std::move(targetShown);
  }
  bool active() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // True when `watched` is the routed window's own: not a popup's, a dialog's or another window's.
  bool ownsKeyboard(QObject* watched) const;
  // Presses the routed window's shown and enabled button whose caption underlines `key`.
  bool pressMnemonicButton(QObject* watched, const QKeySequence& key) const;

  std::function<bool()> m_targetShown;
  std::function<void()> m_beep;
  QWidget* m_window = nullptr;
  ScreenKeyTarget* m_target = nullptr;
};

}  // namespace halvern

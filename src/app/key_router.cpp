#include "app/key_router.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "app/windows1252.h"

namespace halvern {

KeyRouter::KeyRouter(std::function<void()> beep, QWidget* window)
    : QObject(window), m_beep(std::move(beep)), m_window(window) {}

bool KeyRouter::active() const {
  return m_target && m_target->isEditing() && m_targetShown && m_targetShown();
}

bool KeyRouter::ownsKeyboard(QObject* watched) const {
  // An open menu or drop-down list, or a modal dialog, has the keyboard, even where the key is
  // first delivered to the window beneath it.
  if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) return false;
  if (!m_window) return true;
  if (auto* widget = qobject_cast<QWidget*>(watched)) return widget->window() == m_window;
  if (auto* handle = qobject_cast<QWindow*>(watched)) return handle == m_window->windowHandle();
  return false;
}

bool KeyRouter::pressMnemonicButton(QObject* watched, const QKeySequence& key) const {
  if (m_window == nullptr || !ownsKeyboard(watched)) return false;
  for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>()) {
    if (button->isVisible() && button->isEnabled() &&
        QKeySequence::mnemonic(button->text()) == key) {
      button->click();
      return true;
    }
  }
  return false;
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event) {
  // Alt and a letter that both a menu of the menu bar and a button of the page shown underline
  // ("&Commands", "&Clear Text"): the button is pressed, instead of the toolkit's turn-taking
  // that only moves the focus. Where no shown button has it, the menu opens as usual.
  if (event->type() == QEvent::Shortcut) {
    auto* shortcut = static_cast<QShortcutEvent*>(event);
    if (shortcut->isAmbiguous() && pressMnemonicButton(watched, shortcut->key())) return true;
    return QObject::eventFilter(watched, event);
  }
  if (event->type() != QEvent::KeyPress || !active() || !ownsKeyboard(watched))
    return QObject::eventFilter(watched, event);
  // A key press is seen first where it is delivered (the window, then the focused control); the
  // keys taken here are taken at the first sight and go no further, the others pass every time.
  auto* key = static_cast<QKeyEvent*>(event);
  using K = ScreenKeyTarget::Key;
  switch (key->key()) {
    case Qt::Key_Backspace:
      m_target->cursorKey(K::Backspace);
      return true;
    case Qt::Key_End:
      m_target->cursorKey(K::End);
      return true;
    case Qt::Key_Home:
      m_target->cursorKey(K::Home);
      return true;
    case Qt::Key_Left:
      m_target->cursorKey(K::Left);
      return true;
    case Qt::Key_Up:
      m_target->cursorKey(K::Up);
      return true;
    case Qt::Key_Right:
      m_target->cursorKey(K::Right);
      return true;
    case Qt::Key_Down:
      m_target->cursorKey(K::Down);
      return true;
    case Qt::Key_Delete:
      m_target->cursorKey(K::Delete);
      return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return false;
    default:
      break;
  }
  const QString text = key->text();
  if (text.isEmpty()) return false;  // function keys, modifiers: on their way
  const char32_t c = text.toUcs4().value(0);
  // Ctrl with a key types a control character, whatever text the platform attaches to it.
  const auto mods = key->modifiers();
  const bool control = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
  // Below 32 is a control character; 127 and up are typed, the editor judging the code.
  if (control || c < 32) {
    if (m_beep) m_beep();
    return true;
  }
  auto byte = Windows1252::byteOf(c);
  if (!byte) {
    if (m_beep) m_beep();
    return true;
  }
  m_target->typeCharacter(*byte);
  return true;
}

}  // namespace halvern

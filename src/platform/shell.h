#pragma once

#include <string>
#include <string_view>

namespace halvern {

enum class MessageKind { Warning, Error, Information, Confirmation };
// SaveDiscardCancel answers Yes for Save and No for Discard.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, SaveDiscardCancel };
enum class MessageResult { Ok, Cancel, Yes, No };
enum class BeepKind { Default, Exclamation };

// Text of the warning shown after a transfer fails.
inline constexpr std::string_view kCommErrorText =
    "Cannot communicate with 40100.\n\nDevice may be busy. Make sure\n40100 is in OPERATE "
    "mode.\nAttempt USB Reconnect from File menu and\nplease try again.";

// Everything an instrument operation tells the user or asks of the surroundings. The window
// implements it with its message area, boxes and bars; the command-line tool prints; tests record.
class Shell {
 public:
  virtual ~Shell() = default;

  // One line appended to the message area.
  virtual void addMessageLine(std::string_view line) = 0;
  // Text inserted at the message area's caret (instrument text streamed byte by byte).
  virtual void insertText(std::string_view text) = 0;
  virtual void setProgressMax(int maximum) = 0;
  virtual void setProgress(int position) = 0;
  // A message box centred over the main window; returns the button pressed.
  virtual MessageResult message(std::string_view text, MessageKind kind,
                                MessageButtons buttons) = 0;
  // A warning that the instrument's port could not be opened: a box with OK, beside which a
  // window offers its connection help.
  virtual MessageResult connectionWarning(std::string_view text) {
    return message(text, MessageKind::Warning, MessageButtons::Ok);
  }
  virtual void beep(BeepKind kind = BeepKind::Default) = 0;
  // Lets the window process pending events: timers tick, buttons can be pressed.
  virtual void processEvents() = 0;
  // The hourglass cursor on or off.
  virtual void setBusy(bool busy) = 0;
  // The status bar text ("ZELKA 40100 USB: Port Open", "USB port closed").
  virtual void setStatus(std::string_view text) = 0;
  // A long wait for the instrument: `secondsLeft` of `secondsTotal` remain, told each time the
  // count changes; a total of 0 says the wait is over. The window counts down on its progress
  // bar and status bar ("Waiting for 40100... 42 s"); others may ignore it.
  virtual void showWaiting(int secondsLeft, int secondsTotal) {
    (void)secondsLeft;
    (void)secondsTotal;
  }
  // True once the user asked the running operation to stop.
  virtual bool cancelled() const = 0;
  // Forgets a stop the user asked for, for an operation that refuses to stop at that point: the
  // next request raises cancelled() again.
  virtual void clearCancel() {}
  // Empties the message area.
  virtual void clearMessageArea() {}
  // While an operation runs that must not be interrupted (`on` true until it ends): the computer
  // is kept from sleeping and from suspending on a closed lid, for `why`, and the window asks
  // `closeQuestion` before it closes. Returns what could not be done, for the message area (empty
  // when nothing failed).
  virtual std::string setUninterruptible(bool on, std::string_view why,
                                         std::string_view closeQuestion) {
    (void)on;
    (void)why;
    (void)closeQuestion;
    return {};
  }
  // Stops or restarts the window's 500 ms clock timer (the clock display and its ticks), for
  // transfers that must not be disturbed. Waits themselves run on deadlines, not on its ticks.
  virtual void setClockTimer(bool running) = 0;
  // Locks out every other instrument command while one runs (menus and buttons disabled, a
  // pending cancel forgotten), and lets them in again. Calls nest.
  virtual void setInstrumentBusy(bool busy) = 0;
};

// The warning after a failed transfer.
// The hourglass for as long as it lives.
class BusyCursor {
 public:
  explicit BusyCursor(Shell& shell) : m_shell(shell) { m_shell.setBusy(true); }
  ~BusyCursor() { m_shell.setBusy(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Shell& m_shell;
};

inline void commError(Shell& shell) {
  shell.message(kCommErrorText, MessageKind::Warning, MessageButtons::Ok);
}

}  // namespace halvern

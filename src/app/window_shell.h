#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "link/sleep_inhibitor.h"
#include "platform/shell.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace halvern {

// The main window's side of the Shell: the message area, the progress bar, the status bar, the
// message boxes centred over the window, beeps and the hourglass.
class WindowShell final : public Shell {
 public:
  using BoxAnswerer = std::function<MessageResult(std::string_view, MessageKind, MessageButtons)>;

  WindowShell(QWidget* window, QPlainTextEdit* messageArea, QProgressBar* progress, QLabel* status);

  void addMessageLine(std::string_view line) override;
  void insertText(std::string_view text) override;
  void setProgressMax(int maximum) override;
  void setProgress(int position) override;
  MessageResult message(std::string_view text, MessageKind kind, MessageButtons buttons) override;
  // The box of `message` with a "Connection Help..." button beside its OK, when a help was given.
  MessageResult connectionWarning(std::string_view text) override;
  void beep(BeepKind kind) override;
  void processEvents() override;
  void setBusy(bool busy) override;
  void setStatus(std::string_view text) override;
  // The progress bar counts the seconds down, the status bar says "Waiting for 40100... N s";
  // both are given back as they were when the wait ends.
  void showWaiting(int secondsLeft, int secondsTotal) override;
  bool cancelled() const override { return m_cancelled; }
  void setClockTimer(bool running) override;
  void setInstrumentBusy(bool busy) override;

  // What the window does when an operation processes events, holds its clock timer or locks
  // the other commands out.
  struct Hooks {
    std::function<void()> eventsProcessed;
    std::function<void(bool)> clockTimer;
    std::function<void(bool)> instrumentBusy;
  };
  void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
  // What the "Connection Help..." button of a connection warning opens, after the box closes.
  void setConnectionHelp(std::function<void()> help) { m_connectionHelp = std::move(help); }

  // A Cancel button pressed during an operation; cleared when the next one starts.
  void requestCancel() { m_cancelled = true; }
  void clearCancel() override { m_cancelled = false; }
  void clearMessageArea() override;
  // Holds the sleep inhibitor and keeps the close question while `on`.
  std::string setUninterruptible(bool on, std::string_view why,
                                 std::string_view closeQuestion) override;
  // What to ask before the window closes; empty when it may close without asking.
  const std::string& closeQuestion() const { return m_closeQuestion; }

  // Boxes answered without showing them (screenshots, tests). Unset: modal boxes.
  void setBoxAnswerer(BoxAnswerer answerer) { m_answerer = std::move(answerer); }

  // Where a box of `box` size goes over a window at `main`: centred, halves rounded toward zero.
  static QPoint centredOver(const QRect& main, const QSize& box);

 private:
  MessageResult showBox(std::string_view text, MessageKind kind, MessageButtons buttons,
                        bool offerHelp);
  // Tab stops for the columns of every tab-separated line in the message area (a table the
  // instrument sent), so that its columns stand aligned.
  void alignColumns();

  QWidget* m_window;
  QPlainTextEdit* m_messageArea;
  QProgressBar* m_progress;
  QLabel* m_status;
  BoxAnswerer m_answerer;
  Hooks m_hooks;
  std::function<void()> m_connectionHelp;
  bool m_cancelled = false;
  int m_busyDepth = 0;
  // The caret stands after inserted text rather than after an added line.
  bool m_lineEnded = false;
  // While a wait counts down: what the bars showed before it.
  struct Before {
    QString status;
    int maximum = 0;
    int value = 0;
  };
  std::optional<Before> m_beforeWait;
  SleepInhibitor m_sleepInhibitor;
  std::string m_closeQuestion;
};

}  // namespace halvern

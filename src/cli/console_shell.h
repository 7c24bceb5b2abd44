#pragma once

#include <cstdio>
#include <string>

#include "link/sleep_inhibitor.h"
#include "platform/shell.h"

namespace halvern::cli {

// The command-line tool's Shell. Message-area lines go to standard output, one per line, exactly
// as the window adds them; message boxes go to standard error as "warning: TEXT" (error,
// information, confirmation likewise) with each "\n" as a line break. Confirmations are answered
// Yes by --yes, asked on a terminal, and answered No otherwise. Ctrl+C cancels the running
// operation at its next wait.
class ConsoleShell final : public Shell {
 public:
  ConsoleShell(std::FILE* out, std::FILE* err, bool assumeYes);

  void addMessageLine(std::string_view line) override;
  void insertText(std::string_view text) override;
  void setProgressMax(int maximum) override { m_progressMax = maximum; }
  void setProgress(int position) override;
  MessageResult message(std::string_view text, MessageKind kind, MessageButtons buttons) override;
  void beep(BeepKind kind) override;
  void processEvents() override {}
  void setBusy(bool) override {}
  void setStatus(std::string_view text) override;
  bool cancelled() const override;
  void clearCancel() override;
  // Holds the sleep inhibitor while `on`; a terminal has no window to close.
  std::string setUninterruptible(bool on, std::string_view why,
                                 std::string_view closeQuestion) override;
  // A terminal has no clock display and no other command to lock out.
  void setClockTimer(bool) override {}
  void setInstrumentBusy(bool) override {}

  // Status bar texts go to standard error as "status: TEXT" when set.
  void setShowStatus(bool show) { m_showStatus = show; }
  // Installs the Ctrl+C handler that raises `cancelled()`.
  static void installInterruptHandler();

 private:
  void endPartialLine();

  std::FILE* m_out;
  std::FILE* m_err;
  bool m_assumeYes;
  bool m_showStatus = true;
  bool m_midLine = false;
  bool m_progressShown = false;
  int m_progressMax = 100;
  SleepInhibitor m_sleepInhibitor;
};

}  // namespace halvern::cli

#include "cli/console_shell.h"

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>

namespace halvern::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) {
  // A second Ctrl+C ends the program the usual way.
  if (g_interrupted) std::_Exit(130);
  g_interrupted = 1;
}

const char* kindWord(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning:
      return "warning";
    case MessageKind::Error:
      return "error";
    case MessageKind::Information:
      return "information";
    case MessageKind::Confirmation:
      return "confirmation";
  }
  return "message";
}

}  // namespace

ConsoleShell::ConsoleShell(std::FILE* out, std::FILE* err, bool assumeYes)
    : m_out(out), m_err(err), m_assumeYes(assumeYes) {}

void ConsoleShell::installInterruptHandler() { std::signal(SIGINT, onInterrupt); }

void ConsoleShell::endPartialLine() {
  if (m_midLine) {
    std::fputc('\n', m_out);
    m_midLine = false;
  }
}

void ConsoleShell::addMessageLine(std::string_view line) {
  endPartialLine();
  std::fwrite(line.data(), 1, line.size(), m_out);
  std::fputc('\n', m_out);
  std::fflush(m_out);
}

void ConsoleShell::insertText(std::string_view text) {
  if (text.empty()) return;
  // The instrument ends its lines with a carriage return; a terminal wants a line feed.
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A carriage return with its line feed is one line end.
    if (text[i] == '\n' && i > 0 && text[i - 1] == '\r') continue;
    std::fputc(text[i] == '\r' ? '\n' : text[i], m_out);
  }
  m_midLine = text.back() != '\r' && text.back() != '\n';
  std::fflush(m_out);
}

void ConsoleShell::setProgress(int position) {
  // Progress is drawn only on an interactive terminal, on standard error.
  if (!isatty(fileno(m_err))) return;
  if (position <= 0 || m_progressMax <= 0) {
    if (m_progressShown) std::fputs("\r          \r", m_err);
    m_progressShown = false;
  } else {
    std::fprintf(m_err, "\r%3d%%", position * 100 / m_progressMax);
    m_progressShown = true;
  }
  std::fflush(m_err);
}

MessageResult ConsoleShell::message(std::string_view text, MessageKind kind,
                                    MessageButtons buttons) {
  endPartialLine();
  std::fflush(m_out);
  std::fprintf(m_err, "%s: ", kindWord(kind));
  std::fwrite(text.data(), 1, text.size(), m_err);
  std::fputc('\n', m_err);
  std::fflush(m_err);
  switch (buttons) {
    case MessageButtons::Ok:
      return MessageResult::Ok;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
    case MessageButtons::SaveDiscardCancel:
      break;
  }
  const bool okCancel = buttons == MessageButtons::OkCancel;
  const MessageResult yes = okCancel ? MessageResult::Ok : MessageResult::Yes;
  const MessageResult no = okCancel ? MessageResult::Cancel : MessageResult::No;
  if (m_assumeYes) return yes;
  if (!isatty(fileno(stdin))) return no;
  std::fputs(okCancel ? "[ok/Cancel] " : "[y/N] ", m_err);
  std::fflush(m_err);
  std::string answer;
  if (!std::getline(std::cin, answer)) return no;
  if (answer == "y" || answer == "Y" || answer == "yes" || answer == "ok") return yes;
  return no;
}

void ConsoleShell::beep(BeepKind) {
  if (isatty(fileno(m_err))) {
    std::fputc('\a', m_err);
    std::fflush(m_err);
  }
}

void ConsoleShell::setStatus(std::string_view text) {
  if (!m_showStatus) return;
  endPartialLine();
  std::fflush(m_out);
  std::fprintf(m_err, "status: %.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(m_err);
}

bool ConsoleShell::cancelled() const { return g_interrupted != 0; }

void ConsoleShell::clearCancel() { g_interrupted = 0; }

std::string ConsoleShell::setUninterruptible(bool on, std::string_view why, std::string_view) {
  if (!on) {
    m_sleepInhibitor.release();
    return {};
  }
  return m_sleepInhibitor.acquire(why);
}

}  // namespace halvern::cli

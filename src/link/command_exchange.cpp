#include "link/command_exchange.h"

#include <climits>

#include "platform/shell.h"
#include "platform/link.h"
#include "wire/wire.h"

namespace halvern {

CommandExchange::CommandExchange(Link& link, Clock& clock, Shell& shell)
    : m_link(link), m_clock(clock), m_shell(shell) {}

bool CommandExchange::linkOpen() const { return m_link.isOpen(); }

void CommandExchange::sendCommandLine(std::string_view line) {
  // Whatever the instrument sent unasked, and whatever is still queued, goes first.
  m_link.purge();
  m_clock.sleepFor(kByteGap);
  for (char c : line) {
    m_link.write(static_cast<std::uint8_t>(c));
    m_clock.sleepFor(kByteGap);
  }
}

bool CommandExchange::waitForAck(std::uint8_t expected, int seconds) {
  m_stopWaitFlag = false;
  const auto deadline = m_clock.now() + std::chrono::seconds(seconds);
  for (;;) {
    std::uint8_t byte = 0;
    const auto readStart = m_clock.now();
    const std::size_t got = m_link.read(&byte, 1);
    if (got == 1 && byte == expected) return true;
    // A link that returns at once (closed, or the device gone) must not spin: the turn lasts the
    // read time-out it would have taken.
    if (got == 0) m_clock.sleepUntil(readStart + wire::kReadTimeout);
    m_shell.processEvents();
    if (m_shell.cancelled()) m_stopWaitFlag = true;
    if (m_stopWaitFlag) return false;
    if (m_clock.now() >= deadline) break;
  }
  m_shell.beep(BeepKind::Default);
  return false;
}

std::optional<std::string> CommandExchange::queryOnce(std::string_view line, std::size_t n,
                                                      Pause pause) {
  sendCommandLine(line);
  if (pause == Pause::Before) m_clock.sleepFor(kQueryPause);
  std::string reply(n, '\0');
  std::size_t got = m_link.read(reinterpret_cast<std::uint8_t*>(reply.data()), n);
  if (got != n) return std::nullopt;
  return reply;
}

std::optional<std::string> CommandExchange::queryFixedReply(std::string_view line, std::size_t n,
                                                            std::string_view failureLine,
                                                            Pause pause) {
  for (int send = 0; send < kMaxSends; ++send) {
    if (auto reply = queryOnce(line, n, pause)) return reply;
  }
  if (!failureLine.empty()) m_shell.addMessageLine(failureLine);
  return std::nullopt;
}

std::optional<int> CommandExchange::queryNumber(std::string_view line, std::size_t n,
                                                std::string_view failureLine, Pause pause) {
  auto reply = queryFixedReply(line, n, failureLine, pause);
  if (!reply) return std::nullopt;
  return parseNumber(*reply);
}

bool CommandExchange::sendSetting(std::string_view line) {
  for (int send = 0; send < kMaxSends; ++send) {
    sendCommandLine(line);
    if (waitForAck(wire::kCompletionMark, kSettingAckSeconds)) return true;
    if (m_stopWaitFlag) return false;
  }
  return false;
}

int CommandExchange::parseNumber(std::string_view text) {
  std::size_t i = 0;
  // Leading white space is skipped as the C library's number parsing does.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int>(value);
}

}  // namespace halvern

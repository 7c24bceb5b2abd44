#include "link/command_exchange.h"

#include <algorithm>
#include <climits>

#include "platform/link.h"
#include "platform/shell.h"
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
    write(static_cast<std::uint8_t>(c));
    m_clock.sleepFor(kByteGap);
  }
}

std::size_t CommandExchange::write(std::span<const std::uint8_t> bytes) {
  const std::size_t written = m_link.write(bytes.data(), bytes.size());
  m_sentBy = std::max(m_sentBy, m_clock.now()) + wire::kByteTime * static_cast<long>(written);
  return written;
}

void CommandExchange::purge() { m_link.purge(); }

void CommandExchange::awaitSent() {
  if (m_clock.now() < m_sentBy) m_clock.sleepUntil(m_sentBy);
}

void CommandExchange::pause(Clock::Duration duration) { m_clock.sleepFor(duration); }

std::size_t CommandExchange::readBlock(std::uint8_t* buffer, std::size_t n) {
  if (!m_link.isOpen()) return 0;
  const auto start = m_clock.now();
  const std::size_t got = m_link.read(buffer, n);
  // A link that returns at once with nothing must not let a loop spin: the read lasts the
  // time-out it would have taken.
  if (got == 0) m_clock.sleepUntil(start + wire::kReadTimeout);
  return got;
}

std::size_t CommandExchange::queryBlock(std::string_view line, std::uint8_t* buffer, std::size_t n,
                                        BlockRetry retry) {
  std::size_t got = 0;
  for (int attempt = 0; attempt < retry.attempts && m_link.isOpen(); ++attempt) {
    // Ask again after a fresh purge and a pause.
    m_link.purge();
    m_clock.sleepFor(retry.pause);
    sendCommandLine(line);
    got = m_link.read(buffer, n);
    if (got == n) {
      // What follows the block is no part of it: the bytes right behind it go before the next
      // line, which could otherwise be sent before they have come and read them as its reply.
      purgeTail();
      break;
    }
  }
  return got;
}

void CommandExchange::purgeTail() {
  m_clock.sleepFor(kTailGrace);
  m_link.purge();
}

bool CommandExchange::waitForMark(std::uint8_t mark, Clock::Duration timeout, OnTimeout onTimeout) {
  const char marks[] = {static_cast<char>(mark)};
  return waitForAnyMark(std::string_view(marks, 1), timeout, onTimeout).has_value();
}

std::optional<std::uint8_t> CommandExchange::waitForAnyMark(std::string_view marks,
                                                            Clock::Duration timeout,
                                                            OnTimeout onTimeout) {
  m_stopWaitFlag = false;
  const auto deadline = m_clock.now() + timeout;
  while (m_link.isOpen()) {
    std::uint8_t byte = 0;
    if (readBlock(&byte, 1) == 1 && marks.find(static_cast<char>(byte)) != marks.npos) return byte;
    m_shell.processEvents();
    if (m_shell.cancelled()) m_stopWaitFlag = true;
    if (m_stopWaitFlag) return std::nullopt;
    if (m_clock.now() >= deadline) {
      if (onTimeout == OnTimeout::Beep) m_shell.beep(BeepKind::Default);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool CommandExchange::sendUntilMark(std::string_view line, std::uint8_t mark, int seconds,
                                    int sends) {
  for (int send = 0; send < sends && m_link.isOpen(); ++send) {
    sendCommandLine(line);
    if (waitForAck(mark, seconds)) return true;
    if (m_stopWaitFlag) return false;
  }
  return false;
}

bool CommandExchange::sendSetting(std::string_view line) {
  return sendUntilMark(line, wire::kCompletionMark, kSettingAckSeconds);
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
  for (int send = 0; send < kMaxSends && m_link.isOpen(); ++send) {
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

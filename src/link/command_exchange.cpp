#include "link/command_exchange.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/link.h"
#include "platform/shell.h"
#include "wire/wire.h"

namespace halvern {

CommandExchange::CommandExchange(Link& link, Clock& clock, Shell& shell)
    : m_link(link), m_clock(clock), m_shell(shell) {}

bool CommandExchange::linkOpen() const { return m_link.isOpen(); }

bool CommandExchange::openLink() { return m_link.open(); }

void CommandExchange::closeLink() { m_link.close(); }

void CommandExchange::cycleLink() { m_link.cyclePort(); }

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
  std::optional<std::uint8_t> found;
  waitReading(1, timeout, onTimeout, [&](std::span<const std::uint8_t> piece) {
    // Other bytes are dropped.
    if (piece.size() == 1 && marks.find(static_cast<char>(piece[0])) != marks.npos) {
      found = piece[0];
    }
    return found.has_value();
  });
  return found;
}

CommandExchange::WaitEnd CommandExchange::copyReportUntil(
    std::uint8_t mark, Clock::Duration timeout, std::size_t readSize,
    const std::function<void(std::span<const std::uint8_t>)>& sink) {
  return waitReading(readSize, timeout, OnTimeout::Beep, [&](std::span<const std::uint8_t> piece) {
    const auto end = std::find(piece.begin(), piece.end(), mark);
    if (end != piece.begin()) sink(piece.first(static_cast<std::size_t>(end - piece.begin())));
    return end != piece.end();
  });
}

CommandExchange::WaitEnd CommandExchange::waitReading(
    std::size_t readSize, Clock::Duration timeout, OnTimeout onTimeout,
    const std::function<bool(std::span<const std::uint8_t>)>& take) {
  m_stopWaitFlag = false;
  const auto deadline = m_clock.now() + timeout;
  // A wait this long says that it waits, and for how long still.
  const bool countdown = timeout >= kCountdownFrom;
  const auto secondsTo = [](Clock::Duration d) {
    using namespace std::chrono;
    return static_cast<int>(ceil<seconds>(std::max(d, Clock::Duration::zero())).count());
  };
  const int total = secondsTo(timeout);
  int shown = -1;
  struct EndCountdown {
    Shell& shell;
    bool on;
    ~EndCountdown() {
      if (on) shell.showWaiting(0, 0);
    }
  } endCountdown{m_shell, countdown};
  std::vector<std::uint8_t> buffer(readSize);
  while (m_link.isOpen()) {
    if (countdown) {
      const int left = secondsTo(deadline - m_clock.now());
      if (left != shown) m_shell.showWaiting(shown = left, total);
    }
    const std::size_t got = readBlock(buffer.data(), buffer.size());
    if (take(std::span<const std::uint8_t>(buffer.data(), got))) return WaitEnd::Mark;
    // Stop Calibration and the cancel are noticed between reads.
    m_shell.processEvents();
    if (m_shell.cancelled()) m_stopWaitFlag = true;
    if (m_stopWaitFlag) return WaitEnd::Stopped;
    if (m_clock.now() >= deadline) {
      if (onTimeout == OnTimeout::Beep) m_shell.beep(BeepKind::Default);
      return WaitEnd::TimedOut;
    }
  }
  return WaitEnd::Closed;
}

std::int64_t CommandExchange::wholeSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(m_clock.now().time_since_epoch()).count();
}

std::size_t CommandExchange::readPiece(std::uint8_t* buffer, std::size_t n, SilentReads& silence) {
  const std::size_t got = readBlock(buffer, n);
  silence.count = got > 0 ? 0 : silence.count + 1;
  return got;
}

void CommandExchange::drainUntilQuiet(Clock::Duration limit, std::size_t piece) {
  const auto deadline = m_clock.now() + limit;
  // What still comes is of no use: read to make room for it, and dropped.
  std::vector<std::uint8_t> dropped(piece);
  while (readBlock(dropped.data(), dropped.size()) > 0 && m_clock.now() < deadline) {
    m_shell.processEvents();
  }
  m_link.purge();
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

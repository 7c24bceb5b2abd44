#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/link.h"
#include "wire/wire.h"

namespace halvern::test {

// A Link whose far end is a script: every command line written (up to its carriage return) is
// handed to `answer`, whose reply bytes arrive after `replyDelay`, 8 us apart. It records every
// write and purge with its time on the clock, so tests can check pacing and order.
class ScriptedLink : public Link {
 public:
  struct Event {
    enum Kind { Write, Purge, Read } kind;
    Clock::TimePoint at;
    std::uint8_t byte = 0;  // Write
    std::size_t asked = 0;  // Read
    std::size_t got = 0;    // Read
  };

  explicit ScriptedLink(Clock& clock) : m_clock(clock) {}

  // Given the line (with its carriage return), the bytes the far end sends back.
  std::function<std::string(const std::string&)> answer = [](const std::string&) {
    return std::string();
  };
  Clock::Duration replyDelay = std::chrono::milliseconds(2);
  bool openFails = false;
  // Open, but every read comes back empty at once.
  bool dead = false;

  bool open() override {
    ++opens;
    if (openFails) return false;
    m_open = true;
    return true;
  }
  bool isOpen() const override { return m_open; }
  std::size_t read(std::uint8_t* buffer, std::size_t n) override {
    if (dead) {
      // A device gone while its handle is still held: nothing, at once.
      events.push_back({Event::Read, m_clock.now(), 0, n, 0});
      return 0;
    }
    const auto deadline = m_clock.now() + wire::kReadTimeout;
    std::size_t got = 0;
    while (got < n) {
      while (got < n && !m_pending.empty() && m_pending.front().first <= m_clock.now()) {
        buffer[got++] = m_pending.front().second;
        m_pending.pop_front();
      }
      if (got == n) break;
      if (!m_pending.empty() && m_pending.front().first <= deadline) {
        m_clock.sleepUntil(m_pending.front().first);
      } else {
        m_clock.sleepUntil(deadline);
        break;
      }
    }
    events.push_back({Event::Read, m_clock.now(), 0, n, got});
    return got;
  }
  std::size_t available() override {
    if (dead || !m_open) return 0;
    return static_cast<std::size_t>(
        std::count_if(m_pending.begin(), m_pending.end(),
                      [&](const auto& p) { return p.first <= m_clock.now(); }));
  }
  std::size_t write(const std::uint8_t* buffer, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i) {
      events.push_back({Event::Write, m_clock.now(), buffer[i]});
      m_line += static_cast<char>(buffer[i]);
      if (buffer[i] == '\r') {
        lines.push_back(m_line);
        schedule(answer(m_line));
        m_line.clear();
      }
    }
    return n;
  }
  using Link::write;
  void purge() override {
    events.push_back({Event::Purge, m_clock.now()});
    while (!m_pending.empty() && m_pending.front().first <= m_clock.now()) m_pending.pop_front();
  }
  void cyclePort() override { ++cycles; }
  void close() override {
    ++closes;
    m_open = false;
  }

  // Bytes that arrive after `delay` from now, unasked.
  void sendUnasked(const std::string& bytes, Clock::Duration delay = {}) {
    auto at = m_clock.now() + delay;
    for (char c : bytes) {
      m_pending.emplace_back(at, static_cast<std::uint8_t>(c));
      at += wire::kByteTime;
    }
  }

  std::vector<Event> events;
  std::vector<std::string> lines;
  int opens = 0, closes = 0, cycles = 0;

 private:
  void schedule(const std::string& bytes) {
    auto at = m_clock.now() + replyDelay;
    if (!m_pending.empty() && m_pending.back().first > at) at = m_pending.back().first;
    for (char c : bytes) {
      m_pending.emplace_back(at, static_cast<std::uint8_t>(c));
      at += wire::kByteTime;
    }
  }

  Clock& m_clock;
  bool m_open = false;
  std::string m_line;
  std::deque<std::pair<Clock::TimePoint, std::uint8_t>> m_pending;
};

}  // namespace halvern::test

#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/link.h"

namespace halvern {

// Wraps a Link and writes every byte that crosses it, both ways, to a trace file: one line per
// call with the time since the trace began, the direction and the bytes in hex and as text.
//
//      12.345678 >  43 4D 44 32 32 35 0D                              CMD225.
//      62.617000 <  20 20 39 36 0D                                     96.
//      62.700000 purge
//
// ">" is towards the instrument, "<" from it. A read that ends short adds a line with the counts
// ("< (3 of 5, time-out)"), so time-outs show in the trace; a look at the bytes waiting that
// finds some adds one too ("< (2 waiting)").
class TracingLink final : public Link {
 public:
  // Writes to `path` (created or truncated). `ok()` tells whether the file could be opened.
  TracingLink(Link& inner, const Clock& clock, const std::string& path);
  ~TracingLink() override;
  TracingLink(const TracingLink&) = delete;
  TracingLink& operator=(const TracingLink&) = delete;

  bool ok() const { return m_file != nullptr; }

  bool open() override;
  bool isOpen() const override { return m_inner.isOpen(); }
  std::size_t read(std::uint8_t* buffer, std::size_t n) override;
  std::size_t available() override;
  std::size_t write(const std::uint8_t* buffer, std::size_t n) override;
  using Link::write;
  void purge() override;
  void cyclePort() override;
  void close() override;
  std::optional<bool> lowLatency() const override { return m_inner.lowLatency(); }
  std::string lastError() const override { return m_inner.lastError(); }

 private:
  void note(const char* event);
  void bytes(char direction, const std::uint8_t* data, std::size_t n, Clock::TimePoint at);

  Link& m_inner;
  const Clock& m_clock;
  std::FILE* m_file = nullptr;
  Clock::TimePoint m_start;
};

}  // namespace halvern

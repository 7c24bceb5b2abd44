#include "link/tracing_link.h"

#include <chrono>

#include "wire/text_format.h"

namespace halvern {

namespace {
constexpr std::size_t kBytesPerLine = 16;
}

TracingLink::TracingLink(Link& inner, const Clock& clock, const std::string& path)
    : m_inner(inner), m_clock(clock), m_file(std::fopen(path.c_str(), "w")), m_start(clock.now()) {}

TracingLink::~TracingLink() {
  if (m_file) std::fclose(m_file);
}

void TracingLink::note(const char* event) {
  if (!m_file) return;
  const double ms = std::chrono::duration<double, std::milli>(m_clock.now() - m_start).count();
  // The time as in the C locale: a trace reads the same on every desktop.
  std::fputs(formatText("%14.6f %s\n", ms, event).c_str(), m_file);
  std::fflush(m_file);
}

void TracingLink::bytes(char direction, const std::uint8_t* data, std::size_t n,
                        Clock::TimePoint at) {
  if (!m_file) return;
  const double ms = std::chrono::duration<double, std::milli>(at - m_start).count();
  for (std::size_t line = 0; line < n; line += kBytesPerLine) {
    std::size_t count = std::min(kBytesPerLine, n - line);
    std::fputs(formatText("%14.6f %c ", ms, direction).c_str(), m_file);
    for (std::size_t i = 0; i < kBytesPerLine; ++i) {
      if (i < count)
        std::fprintf(m_file, " %02X", data[line + i]);
      else
        std::fputs("   ", m_file);
    }
    std::fputs("  ", m_file);
    std::fputs(
        escapedBytes({reinterpret_cast<const char*>(data + line), count}, ByteEscapes::Dot).c_str(),
        m_file);
    std::fputc('\n', m_file);
  }
  std::fflush(m_file);
}

bool TracingLink::open() {
  bool opened = m_inner.open();
  note(opened ? "open" : "open failed");
  if (opened) {
    if (const auto low = m_inner.lowLatency())
      note(*low ? "low latency granted" : "low latency refused by the driver");
  }
  return opened;
}

std::size_t TracingLink::read(std::uint8_t* buffer, std::size_t n) {
  std::size_t got = m_inner.read(buffer, n);
  if (got > 0) {
    bytes('<', buffer, got, m_clock.now());
  }
  if (got < n && m_file) {
    char text[64];
    std::snprintf(text, sizeof text, "< (%zu of %zu, time-out)", got, n);
    note(text);
  }
  return got;
}

std::size_t TracingLink::available() {
  const std::size_t waiting = m_inner.available();
  // Only bytes found waiting say something: that a reply was longer than its read.
  if (waiting > 0 && m_file) {
    char text[64];
    std::snprintf(text, sizeof text, "< (%zu waiting)", waiting);
    note(text);
  }
  return waiting;
}

std::size_t TracingLink::write(const std::uint8_t* buffer, std::size_t n) {
  auto at = m_clock.now();
  std::size_t written = m_inner.write(buffer, n);
  bytes('>', buffer, n, at);
  if (written < n && m_file) {
    char text[64];
    std::snprintf(text, sizeof text, "> (%zu of %zu written)", written, n);
    note(text);
  }
  return written;
}

void TracingLink::purge() {
  m_inner.purge();
  note("purge");
}

void TracingLink::cyclePort() {
  m_inner.cyclePort();
  note("cycle port");
}

void TracingLink::close() {
  m_inner.close();
  note("close");
}

}  // namespace halvern

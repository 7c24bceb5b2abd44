#include "sim/simulated_link.h"

#include <algorithm>

#include "sim/simulated_instrument.h"
#include "wire/wire.h"

namespace halvern::sim {

SimulatedLink::SimulatedLink(SimulatedInstrument& instrument, Clock& clock)
    : m_instrument(instrument), m_clock(clock) {}

bool SimulatedLink::open() {
  // A bridge that hung up is not there to be opened again.
  if (m_openFails || m_instrument.linkHungUp()) {
    m_open = false;
    m_lastError = "The simulated instrument is not connected.";
    return false;
  }
  m_open = true;
  m_unplugged = false;
  m_lastError.clear();
  purge();
  return true;
}

void SimulatedLink::followInstrument() {
  if (!m_instrument.linkDead()) return;
  if (m_instrument.linkHungUp()) {
    m_open = false;
    m_lastError = "The simulated instrument hung up.";
  } else if (!m_unplugged) {
    // What had come before it went can still be read.
    m_unplugged = true;
    m_lastError = "The simulated instrument was unplugged.";
  }
}

void SimulatedLink::takeArrived() {
  std::uint8_t byte = 0;
  while (m_instrument.takeOutput(m_clock.now(), &byte, 1) == 1) m_received.push_back(byte);
}

std::size_t SimulatedLink::available() {
  followInstrument();
  if (!m_open) return 0;
  if (!m_unplugged) takeArrived();
  return m_received.size();
}

std::size_t SimulatedLink::read(std::uint8_t* buffer, std::size_t n) {
  followInstrument();
  if (!m_open) return 0;
  std::size_t got = std::min(n, m_received.size());
  std::copy_n(m_received.begin(), got, buffer);
  m_received.erase(m_received.begin(), m_received.begin() + static_cast<std::ptrdiff_t>(got));
  if (got == n || m_unplugged) return got;
  const Clock::TimePoint deadline = m_clock.now() + wire::kReadTimeout;
  while (true) {
    got += m_instrument.takeOutput(m_clock.now(), buffer + got, n - got);
    if (got == n) return n;
    // Nothing more can come from an instrument that has gone.
    followInstrument();
    if (!m_open || m_unplugged) return got;
    const Clock::TimePoint now = m_clock.now();
    if (now >= deadline) return got;
    // Everything that has arrived is taken: sleep until the next byte lands or time runs out.
    Clock::TimePoint wake = deadline;
    if (auto next = m_instrument.nextOutputTime()) wake = std::min(wake, *next);
    m_clock.sleepUntil(wake);
  }
}

std::size_t SimulatedLink::write(const std::uint8_t* buffer, std::size_t n) {
  followInstrument();
  if (!m_open || m_unplugged) return 0;
  // Each byte occupies the wire for one byte time, after those written before it.
  Clock::TimePoint t = std::max(m_clock.now(), m_wireFree);
  for (std::size_t i = 0; i < n; ++i) {
    t += wire::kByteTime;
    m_instrument.receive(buffer[i], t);
  }
  m_wireFree = t;
  return n;
}

void SimulatedLink::unplug() {
  m_unplugged = true;
  m_lastError = "The simulated instrument was unplugged.";
  m_received.clear();
}

void SimulatedLink::purge() {
  m_received.clear();
  if (!m_open || m_unplugged) return;
  m_instrument.discardOutput(m_clock.now());
}

void SimulatedLink::close() {
  m_open = false;
  m_received.clear();
}

}  // namespace halvern::sim

#pragma once

#include <deque>

#include "platform/clock.h"
#include "platform/link.h"

namespace halvern::sim {

class SimulatedInstrument;

// A Link to a SimulatedInstrument in the same process. Written bytes reach the instrument after
// their time on the wire (8 microseconds each, one after another); reads wait on the clock for the
// instrument's reply bytes up to the 250 ms read time-out. On a VirtualClock nothing waits for
// real. An instrument that drops off the link ("dies", "cut") unplugs it: a read returns what had
// come until then at once, and later reads and writes transfer nothing while the link still
// counts as open, as a vanished device whose handle is still held. A "hangup" closes it, and it
// cannot be opened again. `available()` counts the reply bytes that have reached the computer by
// the clock's now, exactly.
class SimulatedLink final : public Link {
 public:
  SimulatedLink(SimulatedInstrument& instrument, Clock& clock);

  bool open() override;
  bool isOpen() const override { return m_open; }
  std::size_t read(std::uint8_t* buffer, std::size_t n) override;
  std::size_t available() override;
  std::size_t write(const std::uint8_t* buffer, std::size_t n) override;
  using Link::write;
  void purge() override;
  void cyclePort() override {}
  void close() override;
  std::string lastError() const override { return m_lastError; }

  // Faults of the link itself: the next opens fail, or the cable is pulled (reads and writes fail
  // at once until the link is opened again).
  void setOpenFails(bool fails) { m_openFails = fails; }
  void unplug();

 private:
  // Unplugs or closes the link as the instrument left it, once it has gone.
  void followInstrument();
  // Moves the reply bytes that have reached the computer into m_received.
  void takeArrived();

  SimulatedInstrument& m_instrument;
  Clock& m_clock;
  bool m_open = false;
  bool m_openFails = false;
  bool m_unplugged = false;
  std::string m_lastError;
  // When the wire towards the instrument is free again.
  Clock::TimePoint m_wireFree{};
  // Reply bytes taken from the instrument to be counted, not yet read: read before anything else.
  std::deque<std::uint8_t> m_received;
};

}  // namespace halvern::sim

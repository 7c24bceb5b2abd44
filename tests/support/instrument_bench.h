#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/simulated_instrument.h"
#include "wire/wire.h"

namespace halvern::test {

// The simulated instrument on virtual time, driven byte by byte as the wire would, with its
// clock starting at `at`.
class InstrumentBench : public ::testing::Test {
 protected:
  explicit InstrumentBench(DateTime at) : calendar(at) {}

  void send(std::string_view bytes) {
    for (char c : bytes) {
      clock.advance(wire::kByteTime);
      instrument.receive(static_cast<std::uint8_t>(c), clock.now());
    }
  }
  // Everything the instrument has sent by 100 ms from now.
  std::string drain() {
    clock.advance(std::chrono::milliseconds(100));
    std::string out;
    std::uint8_t buffer[2048];
    while (std::size_t n = instrument.takeOutput(clock.now(), buffer, sizeof buffer)) {
      out.append(reinterpret_cast<char*>(buffer), n);
    }
    return out;
  }

  VirtualClock clock;
  FixedCalendar calendar;
  sim::SimulatedInstrument instrument{calendar, clock};
};

}  // namespace halvern::test

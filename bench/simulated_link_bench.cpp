// How fast the link code moves bytes, as a ratio to what the wire can carry (125000 bytes/s).
// A ratio well above 1 means the computer's side never holds a transfer back.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "wire/commands.h"
#include "wire/wire.h"

namespace {

using namespace halvern;

// The record-format block (800 bytes) asked for and read back over the simulated link, on virtual
// time: the cost of the simulator and the link per byte.
void BM_SimulatedRecordFormats(benchmark::State& state) {
  VirtualClock clock;
  FixedCalendar calendar(DateTime{2026, 12, 7, 12, 0, 0});
  sim::SimulatedInstrument instrument(calendar, clock);
  sim::SimulatedLink link(instrument, clock);
  link.open();
  std::vector<std::uint8_t> buffer(wire::kRecordFormatsSize);
  const auto line = cmd::kGetRecordFormatsLine;
  std::size_t bytes = 0;
  for (auto _ : state) {
    link.purge();
    link.write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    bytes += link.read(buffer.data(), buffer.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["wire_ratio"] = benchmark::Counter(
      static_cast<double>(bytes) / wire::kBytesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimulatedRecordFormats);

}  // namespace

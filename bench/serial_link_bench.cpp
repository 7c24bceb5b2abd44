// Program-sized blocks (1030 bytes) read through the real serial port code from a
// pseudo-terminal, as a ratio to the wire's 125000 bytes/s.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "link/serial_link.h"
#include "platform/clock.h"
#include "wire/wire.h"

namespace {

using namespace halvern;

void BM_SerialLinkBlockRead(benchmark::State& state) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  const std::string device = ptsname(master);
  // Keep the far end raw, and open, for the whole run.
  int slave = open(device.c_str(), O_RDWR | O_NOCTTY);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);

  SystemClock clock;
  SerialLink link(clock, device);
  if (!link.open()) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  std::vector<std::uint8_t> block(wire::kProgramBlockSize, 0xA5), in(block.size());
  std::size_t bytes = 0;
  for (auto _ : state) {
    if (write(master, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
      state.SkipWithError("write failed");
      break;
    }
    bytes += link.read(in.data(), in.size());
  }
  link.close();
  close(slave);
  close(master);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["wire_ratio"] = benchmark::Counter(
      static_cast<double>(bytes) / wire::kBytesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SerialLinkBlockRead)->UseRealTime();

}  // namespace

// The transfers: CRC speed, image build and convert, and whole program and screens transfers
// through the real serial port code against the simulated instrument on a pseudo-terminal (which
// carries bytes at the wire's pace both ways). Reported as ratios of the wall time to
//   ratio_to_wire: the wire's lower bound: the bytes both ways at 125000 bytes/s, with the pauses
//                  and byte gaps the protocol prescribes;
//   ratio_to_wire_and_instrument: the same plus the simulated instrument's own reply delay.
#include <benchmark/benchmark.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "link/command_exchange.h"
#include "link/serial_link.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "program/program_image.h"
#include "program/program_transfer.h"
#include "screens/screen_buffer.h"
#include "screens/screen_transfer.h"
#include "sim/pty_server.h"
#include "sim/simulated_instrument.h"
#include "wire/crc32_mpeg2.h"
#include "wire/wire.h"

namespace {

using namespace halvern;
using bench::PtyInstrument;
using bench::QuietShell;

// A program of 511 instructions and "PGM END": every record of the store in use.
ProgramDocument fullProgram() {
  ProgramDocument d;
  for (std::size_t k = 0; k < 511; ++k)
    d.insertInstruction(k, static_cast<std::uint16_t>(k % 52 + 1));
  return d;
}

void BM_Crc32Mpeg2(benchmark::State& state) {
  std::vector<std::uint8_t> data(1 << 20);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 7);
  std::uint32_t crc = 0;
  for (auto _ : state) {
    crc ^= Crc32Mpeg2::of(data);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_Crc32Mpeg2);

void BM_ImageBuildAndConvert(benchmark::State& state) {
  const ProgramDocument d = fullProgram();
  auto image = std::make_unique<ProgramImage::Bytes>();
  for (auto _ : state) {
    ProgramImage::build(d.store(), *image);
    auto converted = ProgramImage::convert(*image);
    benchmark::DoNotOptimize(converted.tree.data());
  }
}
BENCHMARK(BM_ImageBuildAndConvert)->Unit(benchmark::kMicrosecond);

// One transfer's lower bounds, in seconds.
struct Bound {
  double bytes;       // on the wire, both ways
  double prescribed;  // pauses and byte gaps the protocol itself prescribes
  int replies;        // answers of the instrument, each after its processing delay
};

// The program: the command line, 66 blocks and the end block one way, one handshake byte per block
// and the end block the other way (the first NAK of a send included).
constexpr Bound kProgramBound{7 + 66 * 1030 + 6 + 67, 8 * 1.001e-3, 67};
// The screens get: purge, 100 ms, the command line, 1920 bytes.
constexpr Bound kGetScreensBound{7 + 1920, 0.100 + 8 * 1.001e-3, 1};
// The screens send: the command line, "*", 1920 bytes.
constexpr Bound kSendScreensBound{7 + 1 + 1920, 8 * 1.001e-3, 1};

template <typename Run>
void transferOverPty(benchmark::State& state, const Bound& bound, Run run) {
  PtyInstrument instrument;
  SystemClock clock;
  QuietShell shell;
  SerialLink link(clock, instrument.device());
  if (instrument.device().empty() || !link.open()) {
    state.SkipWithError("cannot serve or open the pseudo-terminal");
    return;
  }
  CommandExchange exchange(link, clock, shell);
  int failures = 0;
  for (auto _ : state) failures += run(exchange, shell) != CommandResult::Done;
  link.close();
  if (failures > 0) state.SkipWithError("a transfer failed");
  const double wire = bound.bytes / wire::kBytesPerSecond + bound.prescribed;
  const double instrumentDelay =
      bound.replies *
      std::chrono::duration<double>(sim::SimulatedInstrument::kProcessingDelay).count();
  auto ratio = [&](double lower) {
    return benchmark::Counter(static_cast<double>(state.iterations()) * lower,
                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  };
  state.counters["wire_s"] = wire;
  state.counters["ratio_to_wire"] = ratio(wire);
  state.counters["ratio_to_wire_and_instrument"] = ratio(wire + instrumentDelay);
  state.counters["beeps"] = shell.beeps;
}

void BM_GetProgramOverPty(benchmark::State& state) {
  ProgramDocument document = fullProgram();
  transferOverPty(state, kProgramBound, [&](CommandExchange& exchange, Shell& shell) {
    return getUserProgram(exchange, document, shell);
  });
}
void BM_SendProgramOverPty(benchmark::State& state) {
  const ProgramDocument document = fullProgram();
  transferOverPty(state, kProgramBound, [&](CommandExchange& exchange, Shell& shell) {
    return sendUserProgram(exchange, document, shell);
  });
}
void BM_GetScreensOverPty(benchmark::State& state) {
  ScreenBuffer screens;
  transferOverPty(state, kGetScreensBound, [&](CommandExchange& exchange, Shell& shell) {
    return getUserScreens(exchange, screens, shell);
  });
}
void BM_SendScreensOverPty(benchmark::State& state) {
  ScreenBuffer screens;
  transferOverPty(state, kSendScreensBound, [&](CommandExchange& exchange, Shell& shell) {
    return sendUserScreens(exchange, screens, shell);
  });
}
BENCHMARK(BM_GetProgramOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SendProgramOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_GetScreensOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SendScreensOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

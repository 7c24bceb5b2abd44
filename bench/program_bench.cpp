// The user program: CRC speed, image build and convert, and whole transfers through the real
// serial port code against the simulated instrument on a pseudo-terminal, as a ratio of the wall
// time to the wire's lower bound (the bytes both ways at 125000 bytes/s).
#include <benchmark/benchmark.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

#include "link/command_exchange.h"
#include "link/serial_link.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "program/program_image.h"
#include "program/program_transfer.h"
#include "sim/pty_server.h"
#include "sim/simulated_instrument.h"
#include "wire/crc32_mpeg2.h"
#include "wire/wire.h"

namespace {

using namespace halvern;

class QuietShell final : public Shell {
 public:
  void addMessageLine(std::string_view) override {}
  void insertText(std::string_view) override {}
  void setProgressMax(int) override {}
  void setProgress(int) override {}
  MessageResult message(std::string_view, MessageKind, MessageButtons) override {
    return MessageResult::Ok;
  }
  void beep(BeepKind) override { ++beeps; }
  void processEvents() override {}
  void setBusy(bool) override {}
  void setStatus(std::string_view) override {}
  bool cancelled() const override { return false; }
  int beeps = 0;
};

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

// The instrument on a pseudo-terminal, served from a thread for the life of the benchmark.
class PtyInstrument {
 public:
  PtyInstrument() : m_instrument(m_calendar, m_clock), m_server(m_instrument, m_clock) {
    if (!m_server.open()) return;
    m_thread = std::thread([this] { m_server.serve(m_stop, nullptr); });
  }
  ~PtyInstrument() {
    m_stop = 1;
    if (m_thread.joinable()) m_thread.join();
  }
  std::string device() const { return m_server.slavePath(); }

 private:
  SystemClock m_clock;
  SystemCalendar m_calendar;
  sim::SimulatedInstrument m_instrument;
  sim::PtyServer m_server;
  volatile std::sig_atomic_t m_stop = 0;
  std::thread m_thread;
};

// Bytes on the wire for one transfer, both ways: the command line, 66 blocks and the end block
// one way, one handshake byte per block and the end block the other way (the first NAK of a send
// included).
constexpr double kTransferBytes = 7 + 66 * 1030 + 6 + 67;

template <bool kGet>
void programTransfer(benchmark::State& state) {
  PtyInstrument instrument;
  SystemClock clock;
  QuietShell shell;
  SerialLink link(clock, instrument.device());
  if (instrument.device().empty() || !link.open()) {
    state.SkipWithError("cannot serve or open the pseudo-terminal");
    return;
  }
  CommandExchange exchange(link, clock, shell);
  ProgramDocument document = fullProgram();
  int failures = 0;
  for (auto _ : state) {
    const bool failed = (kGet ? getUserProgram(exchange, document, shell)
                              : sendUserProgram(exchange, document, shell)) != CommandResult::Done;
    failures += failed;
  }
  link.close();
  if (failures > 0 || shell.beeps > (kGet ? 0 : static_cast<int>(state.iterations()))) {
    state.SkipWithError("a transfer failed or retried");
  }
  const double lowerBound = kTransferBytes / wire::kBytesPerSecond;
  state.counters["wire_s"] = lowerBound;
  state.counters["ratio_to_wire"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * lowerBound,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_GetProgramOverPty(benchmark::State& state) { programTransfer<true>(state); }
void BM_SendProgramOverPty(benchmark::State& state) { programTransfer<false>(state); }
BENCHMARK(BM_GetProgramOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SendProgramOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

// The records: decoding and writing the text of 25 fields x 86507 records against a bare snprintf
// loop over the same values; showing them in the Get Records page, and in the whole window after
// the file as a download does; and a 1 MB download from the simulated instrument on a
// pseudo-terminal, as a ratio to the bytes' time on the wire.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "bench_support.h"
#include "link/command_exchange.h"
#include "link/serial_link.h"
#include "records/records_commands.h"
#include "records/records_file.h"
#include "records/records_page.h"
#include "records/records_transfer.h"
#include "setup/setup_model.h"
#include "sim/record_log.h"
#include "sim/simulated_link.h"

namespace {

using namespace halvern;

constexpr std::size_t kFields = 25;
constexpr std::size_t kLargest = 86507;

// The instrument's own 25 formats, and its records as they come over the wire.
struct LoggedRecords {
  std::vector<RecordFormat> formats;
  std::string bytes;

  explicit LoggedRecords(std::size_t records) {
    const FixedCalendar calendar{DateTime{2026, 12, 1, 0, 0, 0}};
    const SystemClock clock;
    const sim::SimulatedInstrument instrument(calendar, clock);
    std::vector<sim::RecordLog::FieldType> types;
    for (std::size_t i = 0; i < kFields; ++i) {
      const auto& f = instrument.settings().formats[i];
      formats.push_back({f.label, f.type, f.width, f.precision});
      types.push_back(static_cast<sim::RecordLog::FieldType>(f.type));
    }
    sim::RecordLog log;
    log.setCount(records);
    bytes = log.bytes(records, types);
  }
  std::span<const std::uint8_t> data() const {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
  }
};

const LoggedRecords& largest() {
  static const LoggedRecords records(kLargest);
  return records;
}

void BM_DecodeAndWriteRecords(benchmark::State& state) {
  const LoggedRecords& r = largest();
  std::string text;
  for (auto _ : state) {
    text = recordsFileHeader(kLargest, r.formats, ',', {});
    text.reserve(kLargest * kFields * 9);
    appendRecordLines(text, r.data(), kFields, r.formats, ',', 0, kLargest, false);
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["bytes_out"] = static_cast<double>(text.size());
}
BENCHMARK(BM_DecodeAndWriteRecords)->Unit(benchmark::kMillisecond);

// The same values and formats through snprintf alone: what the decoding cannot beat.
void BM_SnprintfLoopOfTheSameValues(benchmark::State& state) {
  const LoggedRecords& r = largest();
  std::string text;
  for (auto _ : state) {
    text.clear();
    text.reserve(kLargest * kFields * 9);
    char buffer[64];
    for (std::size_t rec = 0; rec < kLargest; ++rec) {
      for (std::size_t i = 0; i < kFields; ++i) {
        const float v = recordField(r.data(), kFields, rec, i);
        const RecordFormat& f = r.formats[i];
        int n;
        if (f.type == RecordFormat::Number) {
          n = std::snprintf(buffer, sizeof buffer, "%0*.*f", f.width, f.precision,
                            static_cast<double>(v));
        } else {
          const auto w = static_cast<unsigned>(v);
          n = std::snprintf(buffer, sizeof buffer, "%02i/%02i/%04i", int(w % 10000 / 100),
                            int(w % 100), int(2000 + w / 10000));
        }
        text.append(buffer, static_cast<std::size_t>(n));
        text += i + 1 < kFields ? ',' : '\r';
      }
      text += '\n';
    }
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_SnprintfLoopOfTheSameValues)->Unit(benchmark::kMillisecond);

// The shown text handed to the page as the download hands it: numbered lines in pieces. The
// application is bench_main's.
void BM_ShowRecordsInThePage(benchmark::State& state) {
  const LoggedRecords& r = largest();
  for (auto _ : state) {
    RecordsSettings settings;
    RecordsPage page(settings);
    page.show();
    std::string piece;
    for (std::size_t first = 0; first < kLargest; first += 2000) {
      piece.clear();
      appendRecordLines(piece, r.data(), kFields, r.formats, ',', first,
                        std::min(kLargest, first + 2000), true);
      page.appendRecordsText(piece);
      QApplication::processEvents();
    }
    benchmark::DoNotOptimize(page.records()->document()->blockCount());
  }
}
BENCHMARK(BM_ShowRecordsInThePage)->Unit(benchmark::kMillisecond)->Iterations(2);

// What Get Records does with "Show Records" checked once the bytes came, in the whole window: the
// file written and saved, then the records shown in the page, with the window's own shell (its
// progress bar, message area and the pages refreshed whenever events are processed).
void BM_SaveAndShowRecordsInTheWindow(benchmark::State& state) {
  const LoggedRecords& r = largest();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("halvern_bench_window_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  VirtualClock clock;
  const FixedCalendar calendar{DateTime{2026, 12, 8, 9, 5, 3}};
  sim::SimulatedInstrument instrument(calendar, clock);
  sim::SimulatedLink link(instrument, clock);
  bool saved = true;
  for (auto _ : state) {
    // A new window each time, made and closed outside the time taken.
    state.PauseTiming();
    auto window = std::make_unique<MainWindow>(MainWindow::Context{
        link, clock, calendar, (folder / "Halvern.ini").string(), false,
        [](std::string_view, MessageKind, MessageButtons) { return MessageResult::Ok; }});
    window->show();
    window->showPage(kRecordsPage);
    auto* page = dynamic_cast<RecordsPage*>(window->page(kRecordsPage));
    QApplication::processEvents();
    state.ResumeTiming();
    saved &= saveAndShowRecords(
        window->shell(), page->view(),
        {r.data(), kFields, static_cast<std::uint32_t>(kLargest), r.formats, ','},
        (folder / "records.txt").string(), calendar.now(), true);
    QApplication::processEvents();
    benchmark::DoNotOptimize(page->records()->document()->blockCount());
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
  if (!saved) state.SkipWithError("the records file could not be saved");
}
BENCHMARK(BM_SaveAndShowRecordsInTheWindow)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// 25 fields x 10000 records (1 MB) from the instrument on a pseudo-terminal.
void BM_DownloadRecordsOverPty(benchmark::State& state) {
  constexpr std::uint32_t kRecords = 10000;
  bench::PtyInstrument instrument([](sim::SimulatedInstrument& i) {
    i.settings().fieldsPerRecord = kFields;
    i.recordLog().setCount(kRecords);
  });
  SystemClock clock;
  SystemCalendar calendar;
  bench::QuietShell shell;
  SerialLink link(clock, instrument.device());
  if (instrument.device().empty() || !link.open()) {
    state.SkipWithError("cannot serve or open the pseudo-terminal");
    return;
  }
  CommandExchange exchange(link, clock, shell);
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("halvern_bench_" + std::to_string(getpid()) + ".txt"))
                               .string();
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kRecords) * kFields * 4);
  int failures = 0;
  for (auto _ : state) {
    std::size_t received = 0;
    failures += receiveRecords(exchange, shell, kRecords, buffer, received) != RecordsEnd::Complete;
  }
  link.close();
  std::filesystem::remove(path);
  if (failures > 0) state.SkipWithError("a download failed");
  const double wire = static_cast<double>(buffer.size() + 11) / wire::kBytesPerSecond;
  state.counters["wire_s"] = wire;
  state.counters["ratio_to_wire"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * wire,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DownloadRecordsOverPty)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

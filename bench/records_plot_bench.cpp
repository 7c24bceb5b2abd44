// The plot of the largest download, 86507 records of 25 fields (a Date, a Time and 23 numbers, a
// record a minute): the envelope and the statistics of every number field, a whole redraw into an
// image, a redraw zoomed in, and opening the records text in the plot's view from its text.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "records/records_plot.h"
#include "records/records_plot_view.h"
#include "records/records_table.h"

namespace {

using namespace halvern;

constexpr std::size_t kRecords = 86507;
constexpr std::size_t kNumbers = 23;
constexpr double kDecember1 = 9831.0 * 86400;
const QSize kImage(1000, 700);

double valueOf(std::size_t r, std::size_t i) {
  if (r % 997 == 13 && i % 3 == 0) return std::nan("");  // a gap now and then
  return 10.0 * std::sin(static_cast<double>(r) / (300.0 + 40.0 * static_cast<double>(i))) +
         static_cast<double>(i) + (r % 5000 == 7 ? 50.0 : 0.0);
}

std::shared_ptr<const RecordsTable> largestTable() {
  static const std::shared_ptr<const RecordsTable> table = [] {
    auto t = std::make_shared<RecordsTable>();
    t->requested = kRecords;
    t->downloaded = "12-01-2026 00:00:00";
    t->labels = {"Date", "Time"};
    t->kinds = {RecordFieldKind::Date, RecordFieldKind::Time};
    for (std::size_t i = 0; i < kNumbers; ++i) {
      t->labels.push_back("F" + std::to_string(i + 1));
      t->kinds.push_back(RecordFieldKind::Number);
    }
    t->records = kRecords;
    t->values.reserve(kRecords * t->fields());
    for (std::size_t r = 0; r < kRecords; ++r) {
      const double time = kDecember1 + 60.0 * static_cast<double>(r);
      const double day = std::floor(time / 86400) * 86400;
      t->values.push_back(day);
      t->values.push_back(time - day);
      for (std::size_t i = 0; i < kNumbers; ++i) t->values.push_back(valueOf(r, i));
      t->times.push_back(time);
    }
    return t;
  }();
  return table;
}

// The same records as the text a download writes.
const std::string& largestText() {
  static const std::string text = [] {
    const RecordsTable& t = *largestTable();
    std::string s = std::to_string(kRecords) + " RECORDS\r\n" + t.downloaded + "\r\n";
    for (std::size_t i = 0; i < t.fields(); ++i) s += (i ? "," : "") + t.labels[i];
    s += "\r\n";
    char buffer[64];
    for (std::size_t r = 0; r < kRecords; ++r) {
      const std::string iso = isoTime(t.times[r]);  // "2026-12-08T14:05:00"
      s += iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(0, 4) + "," +
           iso.substr(11, 8);
      for (std::size_t i = 0; i < kNumbers; ++i) {
        const double v = valueOf(r, i);
        const int n = std::isnan(v) ? std::snprintf(buffer, sizeof buffer, ",-99999")
                                    : std::snprintf(buffer, sizeof buffer, ",%.2f", v);
        s.append(buffer, static_cast<std::size_t>(n));
      }
      s += "\r\n";
    }
    return s;
  }();
  return text;
}

void BM_PlotEnvelopeOfEveryField(benchmark::State& state) {
  const auto table = largestTable();
  for (auto _ : state) {
    for (std::size_t i = 2; i < table->fields(); ++i) {
      const Envelope e = envelope(*table, i, table->times.front(), table->times.back(), 1000);
      benchmark::DoNotOptimize(e.low.data());
    }
  }
}
BENCHMARK(BM_PlotEnvelopeOfEveryField)->Unit(benchmark::kMillisecond);

void BM_PlotStatisticsOfEveryField(benchmark::State& state) {
  const auto table = largestTable();
  for (auto _ : state) {
    for (std::size_t i = 2; i < table->fields(); ++i) {
      const FieldStats s = fieldStats(*table, i, table->times.front(), table->times.back());
      benchmark::DoNotOptimize(s.mean);
    }
  }
}
BENCHMARK(BM_PlotStatisticsOfEveryField)->Unit(benchmark::kMillisecond);

// Every number field in its lane, the whole range, into a 1000 x 700 image.
void BM_PlotRedrawEveryFieldWhole(benchmark::State& state) {
  RecordsPlot plot;
  plot.setTable(largestTable());
  std::vector<std::size_t> fields;
  for (std::size_t i = 2; i < largestTable()->fields(); ++i) fields.push_back(i);
  plot.setFields(fields);
  for (auto _ : state) {
    const QImage image = plot.renderImage(kImage);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PlotRedrawEveryFieldWhole)->Unit(benchmark::kMillisecond);

// One wheel step in, then another: what each zoom costs with four fields chosen.
void BM_PlotRedrawOnZoom(benchmark::State& state) {
  RecordsPlot plot;
  plot.resize(kImage);
  plot.setTable(largestTable());
  plot.setFields({2, 3, 4, 5});
  const double middle = (plot.tableStart() + plot.tableEnd()) / 2;
  for (auto _ : state) {
    plot.zoomAround(middle, 0.8);
    if (plot.viewEnd() - plot.viewStart() < 3600) plot.resetView();
    const QImage image = plot.renderImage(kImage);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PlotRedrawOnZoom)->Unit(benchmark::kMillisecond);

// The records text read, handed to the view (its field list and statistics) and drawn once.
void BM_PlotOpenRecordsText(benchmark::State& state) {
  const std::string& text = largestText();
  for (auto _ : state) {
    RecordsRead read = readRecordsText(text);
    if (!read.table) {
      state.SkipWithError(("refused: " + read.problem).c_str());
      return;
    }
    RecordsPlotView view;
    view.resize(536, 350);
    view.setTable(std::make_shared<const RecordsTable>(std::move(*read.table)), "bench.txt");
    const QImage image = view.plot()->renderImage(kImage);
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_PlotOpenRecordsText)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

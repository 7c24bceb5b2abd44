// The records commands: download logged records into a records text file, and erase them; the
// statistics and the plot of a records text file.
#include "records/records_commands.h"

#include <CLI/CLI.hpp>
#include <QByteArray>
#include <QSize>
#include <QString>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "files/file_save.h"
#include "platform/shell.h"
#include "records/records_plot_picture.h"
#include "records/records_table.h"
#include "setup/setup_model.h"
#include "wire/windows1252.h"

namespace halvern::cli {

namespace {

struct RecordsArguments {
  std::uint32_t count = 100;
  std::string path;
  int delimiter = static_cast<int>(RecordsDelimiter::Comma);
  bool show = false;
  bool csv = false;
  bool append = false;
  CLI::Option* countOption = nullptr;
  CLI::Option* pathOption = nullptr;
};

// A number as its shortest exact text, "." whatever the locale.
std::string numberText(double value) {
  if (std::isnan(value)) return "-";
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

// The records text file just written, as a CSV beside it or appended to an archive.
int writeCsv(CliApp& app, const RecordsArguments& args, const std::string& textPath,
             const std::string& csvPath, const SetupModel& setup) {
  const RecordsRead read = readRecordsFile(textPath);
  if (!read.table)
    return app.fileError(textPath + ": line " + std::to_string(read.line) + ": " + read.problem);
  const RecordsTable& table = *read.table;
  std::vector<RecordFormat> formats = recordFormatsOf(setup, table.fields());
  const std::vector<std::string> comments =
      recordsCsvComments(table, {formats, app.bridgeSerial(), {}});
  if (args.append) {
    const ArchiveFileAppend appended = appendToArchiveFile(csvPath, table, comments);
    if (appended.fileError) return app.fileError(appended.problem);
    if (!appended.problem.empty()) {
      std::fprintf(app.err(), "error: %s: %s\n", csvPath.c_str(), appended.problem.c_str());
      return kExitFailed;
    }
    std::fprintf(app.err(), "%zu new records added to %s (%zu already there or older)\n",
                 appended.added, csvPath.c_str(), appended.skipped);
    return kExitOk;
  }
  if (std::filesystem::exists(csvPath) &&
      app.shell().message("The file " + csvPath + " exists.\nOverwrite it?",
                          MessageKind::Confirmation, MessageButtons::YesNo) != MessageResult::Yes) {
    std::fprintf(app.err(), "the CSV file was not written\n");
    return kExitFailed;
  }
  const double all = std::numeric_limits<double>::infinity();
  if (const std::string problem =
          saveFileBytes(csvPath, recordsCsv(table, comments, -all, all), "CSV file");
      !problem.empty())
    return app.fileError(problem);
  std::fprintf(app.err(), "CSV written to %s\n", csvPath.c_str());
  return kExitOk;
}

int commandRecords(CliApp& app, const RecordsArguments& args) {
  if (args.countOption->count() == 0 || args.pathOption->count() == 0)
    return app.usageError("records takes COUNT and FILE.txt (or: records plot, records stats)",
                          "records");
  if (args.append && !args.csv) return app.usageError("--append goes with --csv", "records");
  // With --csv the text file keeps its name (.txt for a FILE given as .csv) and the CSV is
  // FILE.csv.
  std::string textPath = args.path;
  std::string csvPath;
  if (args.csv) {
    std::filesystem::path p(args.path);
    if (p.extension() == ".csv") textPath = std::filesystem::path(p).replace_extension(".txt");
    csvPath = p.replace_extension(".csv").string();
  }
  if (!app.connect()) return kExitFailed;
  SetupModel setup;
  RecordsSettings settings;
  settings.numOfRecords = args.count;
  settings.showRecords = args.show;
  settings.delimiter = args.delimiter;
  std::FILE* out = app.out();
  const RecordsView view{[&textPath]() -> std::optional<std::string> { return textPath; },
                         [out](std::string_view text) {
                           // The shown lines on standard output, with the terminal's line ends.
                           for (char c : text)
                             if (c != '\r') std::fputc(c, out);
                         },
                         nullptr};
  const auto result = runInstrumentCommand(
      app.exchange(), app.shell(), getRecordsCommand(setup, app.calendar(), settings, view));
  if (result != CommandResult::Done) return exitStatus(result);
  std::fprintf(app.err(), "%u records written to %s\n", args.count, textPath.c_str());
  return args.csv ? writeCsv(app, args, textPath, csvPath, setup) : kExitOk;
}

CliCommand::Action defineRecords(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<RecordsArguments>();
  args->countOption =
      command.add_option("COUNT", args->count, "how many records to retrieve")
          ->check(CLI::Range(RecordsSettings::kMinRecords, RecordsSettings::kMaxRecords));
  args->pathOption =
      command.add_option("FILE.txt", args->path, "the records text file to write")->type_name("");
  const std::map<std::string, int> delimiters{{"space", static_cast<int>(RecordsDelimiter::Space)},
                                              {"comma", static_cast<int>(RecordsDelimiter::Comma)},
                                              {"tab", static_cast<int>(RecordsDelimiter::Tab)}};
  command
      .add_option("--delimiter", args->delimiter,
                  "between the fields: space, comma (the default) or tab")
      ->transform(CLI::CheckedTransformer(delimiters, CLI::ignore_case))
      ->type_name("space|comma|tab");
  command.add_flag("--show", args->show,
                   "also print the records as the window shows them, numbered, on standard output");
  command.add_flag("--csv", args->csv,
                   "also write the records as CSV, FILE.csv beside the text file: ISO 8601 times,\n"
                   "the labels as header, comment lines first saying what the file holds");
  command.add_flag("--append", args->append,
                   "with --csv, add to FILE.csv (an archive) only the records newer than its last");
  return [&app, args] { return commandRecords(app, *args); };
}

struct RangeArguments {
  std::string path;
  std::string from;
  std::string to;
};

// The x range asked for: the whole, or from/to as ISO times (for records with times) or record
// numbers.
bool rangeOf(CliApp& app, const RangeArguments& args, const RecordsTable& table, double& x0,
             double& x1) {
  x0 = -std::numeric_limits<double>::infinity();
  x1 = std::numeric_limits<double>::infinity();
  for (const auto& [text, into, name] :
       {std::tuple{args.from, &x0, "--from"}, std::tuple{args.to, &x1, "--to"}}) {
    if (text.empty()) continue;
    std::optional<double> value;
    if (table.hasTimes()) {
      value = parseIsoTime(text);
    } else {
      double n = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
      if (error == std::errc() && end == text.data() + text.size()) value = n;
    }
    if (!value) {
      app.usageError(std::string(name) + " " + text + ": not " +
                     (table.hasTimes() ? "a time like 2026-12-08T14:05" : "a record number"));
      return false;
    }
    *into = *value;
  }
  return true;
}

int commandStats(CliApp& app, const RangeArguments& args) {
  const RecordsRead read = readRecordsFile(args.path);
  if (!read.table) {
    return app.fileError(read.line == 0 ? read.problem
                                        : args.path + ": line " + std::to_string(read.line) + ": " +
                                              read.problem);
  }
  const RecordsTable& t = *read.table;
  double x0 = 0;
  double x1 = 0;
  if (!rangeOf(app, args, t, x0, x1)) return kExitUsage;
  const auto at = [&t](std::size_t r) {
    return t.hasTimes() ? isoTime(t.x(r)) : "record " + std::to_string(r + 1);
  };
  std::FILE* out = app.out();
  std::fprintf(out, "%zu records of %zu fields\n", t.records, t.fields());
  for (std::size_t i = 0; i < t.fields(); ++i) {
    if (t.kinds[i] != RecordFieldKind::Number) continue;
    const FieldStats s = fieldStats(t, i, x0, x1);
    std::fprintf(out, "\n%s (field %zu)\n", windows1252::toUtf8(t.labels[i]).c_str(), i + 1);
    std::fprintf(out, "  values   %zu\n  gaps     %zu\n", s.count, s.gaps);
    if (s.count == 0) continue;
    std::fprintf(out, "  minimum  %s at %s\n", numberText(s.min).c_str(), at(s.minRecord).c_str());
    std::fprintf(out, "  maximum  %s at %s\n", numberText(s.max).c_str(), at(s.maxRecord).c_str());
    // The mean to ten significant digits, not the sum's last bits.
    char mean[64];
    const auto end =
        std::to_chars(mean, mean + sizeof mean, s.mean, std::chars_format::general, 10).ptr;
    std::fprintf(out, "  mean     %.*s\n", static_cast<int>(end - mean), mean);
  }
  return kExitOk;
}

void addRangeOptions(CLI::App& command, RangeArguments& args) {
  command
      .add_option(
          "--from", args.from,
          "the first time (2026-12-08T14:05, or a record number for records\nwithout times)")
      ->type_name("TIME");
  command.add_option("--to", args.to, "the last time (or record number)")->type_name("TIME");
}

CliCommand::Action defineStats(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<RangeArguments>();
  command.add_option("FILE.txt", args->path, "the records text file")->required()->type_name("");
  addRangeOptions(command, *args);
  return [&app, args] { return commandStats(app, *args); };
}

// The smallest and the largest width and height of a plot.
constexpr int kLeastPlotSide = 200;
constexpr int kMostPlotSide = 8000;

struct PlotArguments {
  RangeArguments range;  // the records file and --from/--to
  std::string output;
  std::string fields;
  std::string size = "1000x600";
};

// A whole number of `text`, nothing else.
std::optional<long long> wholeNumber(std::string_view text) {
  long long n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return n;
}

// "WxH" within the bounds.
std::optional<QSize> plotSizeOf(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return {};
  const auto width = wholeNumber(std::string_view(text).substr(0, x));
  const auto height = wholeNumber(std::string_view(text).substr(x + 1));
  for (const auto& side : {width, height}) {
    if (!side || *side < kLeastPlotSide || *side > kMostPlotSide) return {};
  }
  return QSize(static_cast<int>(*width), static_cast<int>(*height));
}

// The fields of --fields (numbered from 1) as the table's indexes, each a Number field; an empty
// text for an empty list. Refused with a usage error.
bool plotFieldsOf(CliApp& app, const std::string& text, const RecordsTable& table,
                  std::vector<std::size_t>& fields) {
  const auto refuse = [&app, &text](const std::string& why) {
    app.usageError("--fields " + text + ": " + why, "records plot");
    return false;
  };
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string item = text.substr(at, comma - at);
    const auto number = wholeNumber(item);
    if (!number) return refuse("\"" + item + "\" is not a field number (1, 2, ...)");
    if (*number < 1 || static_cast<std::size_t>(*number) > table.fields()) {
      return refuse("there is no field " + item + "; the file has " +
                    std::to_string(table.fields()) + " fields");
    }
    const std::size_t field = static_cast<std::size_t>(*number - 1);
    if (table.kinds[field] != RecordFieldKind::Number) {
      return refuse("field " + item + " (" + windows1252::toUtf8(table.labels[field]) +
                    ") is not a number field");
    }
    fields.push_back(field);
    at = comma + 1;
  }
  return true;
}

int commandPlot(CliApp& app, const PlotArguments& args) {
  std::string extension = std::filesystem::path(args.output).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool svg = extension == ".svg";
  if (!svg && extension != ".png") {
    return app.usageError("OUT must end in .png or .svg: " + args.output, "records plot");
  }
  const std::optional<QSize> size = plotSizeOf(args.size);
  if (!size) {
    return app.usageError("--size " + args.size + ": not WIDTHxHEIGHT, each from " +
                              std::to_string(kLeastPlotSide) + " to " +
                              std::to_string(kMostPlotSide),
                          "records plot");
  }

  const std::string& path = args.range.path;
  RecordsRead read = readRecordsFile(path);
  if (!read.table) {
    return app.fileError(read.line == 0
                             ? read.problem
                             : path + ": line " + std::to_string(read.line) + ": " + read.problem);
  }
  auto table = std::make_shared<const RecordsTable>(std::move(*read.table));
  if (table->records == 0) return app.fileError(path + " holds no records to plot.");
  if (std::none_of(table->kinds.begin(), table->kinds.end(),
                   [](RecordFieldKind k) { return k == RecordFieldKind::Number; }))
    return app.fileError(path + " has no number field to plot.");

  // As the window shows a file: the first number field, all the records.
  RecordsPlotPicture picture(table);
  if (!args.fields.empty()) {
    std::vector<std::size_t> fields;
    if (!plotFieldsOf(app, args.fields, *table, fields)) return kExitUsage;
    picture.setFields(std::move(fields));
  }
  double x0 = 0;
  double x1 = 0;
  if (!rangeOf(app, args.range, *table, x0, x1)) return kExitUsage;
  if (x0 > x1) return app.usageError("--from is after --to", "records plot");
  const auto xText = [&table](double x) {
    return table->hasTimes() ? isoTime(x) : "record " + numberText(x);
  };
  const double from = std::max(x0, picture.tableStart());
  const double to = std::min(x1, picture.tableEnd());
  if (from > to) {
    return app.usageError("no records between --from and --to: the records run from " +
                              xText(picture.tableStart()) + " to " + xText(picture.tableEnd()),
                          "records plot");
  }
  picture.setView(from, to);

  const QByteArray bytes =
      svg ? picture.svgBytes(
                *size, QStringLiteral("Records of ") +
                           QString::fromStdString(std::filesystem::path(path).filename().string()))
          : picture.pngBytes(*size);
  if (bytes.isEmpty()) return app.fileError("Cannot make the image of the plot.");
  if (const std::string problem =
          saveFileBytes(args.output, std::string_view(bytes.constData(), bytes.size()),
                        svg ? "SVG image" : "PNG image");
      !problem.empty())
    return app.fileError(problem);
  std::fprintf(app.err(), "plot written to %s\n", args.output.c_str());
  return kExitOk;
}

CliCommand::Action definePlot(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<PlotArguments>();
  command.add_option("FILE.txt", args->range.path, "the records text file")
      ->required()
      ->type_name("");
  command.add_option("OUT", args->output, "the picture to write: PNG or SVG, by its extension")
      ->required()
      ->type_name("OUT.png|OUT.svg");
  command
      .add_option("--fields", args->fields,
                  "the number fields to draw, numbered from 1 as in the file, a lane each\n"
                  "(unless given, the first number field)")
      ->type_name("N,N...");
  addRangeOptions(command, args->range);
  command
      .add_option("--size", args->size,
                  "the picture's width and height in pixels, each from " +
                      std::to_string(kLeastPlotSide) + " to " + std::to_string(kMostPlotSide))
      ->type_name("WxH")
      ->capture_default_str();
  return [&app, args] { return commandPlot(app, *args); };
}

int commandEraseRecords(CliApp& app) {
  if (!app.connect()) return kExitFailed;
  return exitStatus(runInstrumentCommand(app.exchange(), app.shell(), eraseRecordsCommand()));
}

const CliCommand::Registration kRecords{
    {"records",
     "download COUNT logged records with the instrument's fields per record and record\n"
     "formats (which a setup of the window would take too) into a records text file:\n"
     "three header lines, then one line a record",
     &defineRecords}};
const CliCommand::Registration kRecordsStats{
    {"records stats",
     "read a records text file (any delimiter) and print, for each number field, how\n"
     "many values and gaps it has, its minimum and maximum with their times, and its\n"
     "mean; over --from/--to only when given",
     &defineStats}};
const CliCommand::Registration kRecordsPlot{
    {"records plot",
     "draw a records text file's plot as the window draws it, into a PNG or an SVG file:\n"
     "a lane for each field chosen with its own scale, over the records' times (or\n"
     "numbers), over --from/--to only when given",
     &definePlot, true}};
const CliCommand::Registration kEraseRecords{
    {"erase-records", "erase all the records logged in the instrument (asks unless --yes)",
     noArguments(&commandEraseRecords)}};

}  // namespace

}  // namespace halvern::cli

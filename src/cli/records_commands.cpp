// The records commands: download logged records into a records text file, and erase them.
#include "records/records_commands.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "files/file_load.h"
#include "files/file_save.h"
#include "platform/shell.h"
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

// The largest archive read back before records are appended to it.
constexpr std::size_t kArchiveMaxBytes = 1u << 30;

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
  std::string bytes;
  if (args.append) {
    const LoadedFile archive = std::filesystem::exists(csvPath)
                                   ? loadFileBytes(csvPath, kArchiveMaxBytes, "archive")
                                   : LoadedFile{};
    if (!archive.problem.empty()) return app.fileError(archive.problem);
    if (archive.longer) return app.fileError("The archive " + csvPath + " is too large to add to.");
    const ArchiveAppend appended = appendToArchive(archive.bytes, table, comments);
    if (!appended.problem.empty()) {
      std::fprintf(app.err(), "error: %s: %s\n", csvPath.c_str(), appended.problem.c_str());
      return kExitFailed;
    }
    if (appended.added > 0) {
      if (const std::string problem = saveFileBytes(csvPath, appended.bytes, "archive");
          !problem.empty())
        return app.fileError(problem);
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
const CliCommand::Registration kEraseRecords{
    {"erase-records", "erase all the records logged in the instrument (asks unless --yes)",
     noArguments(&commandEraseRecords)}};

}  // namespace

}  // namespace halvern::cli

// The records commands: download logged records into a records text file, and erase them.
#include "records/records_commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "setup/setup_model.h"

namespace halvern::cli {

namespace {

struct RecordsArguments {
  std::uint32_t count = 100;
  std::string path;
  int delimiter = static_cast<int>(RecordsDelimiter::Comma);
  bool show = false;
};

int commandRecords(CliApp& app, const RecordsArguments& args) {
  if (!app.connect()) return kExitFailed;
  SetupModel setup;
  RecordsSettings settings;
  settings.numOfRecords = args.count;
  settings.showRecords = args.show;
  settings.delimiter = args.delimiter;
  std::FILE* out = app.out();
  const RecordsView view{[&args]() -> std::optional<std::string> { return args.path; },
                         [out](std::string_view text) {
                           // The shown lines on standard output, with the terminal's line ends.
                           for (char c : text)
                             if (c != '\r') std::fputc(c, out);
                         },
                         nullptr};
  const auto result = runInstrumentCommand(
      app.exchange(), app.shell(), getRecordsCommand(setup, app.calendar(), settings, view));
  if (result == CommandResult::Done)
    std::fprintf(app.err(), "%u records written to %s\n", args.count, args.path.c_str());
  return exitStatus(result);
}

CliCommand::Action defineRecords(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<RecordsArguments>();
  command.add_option("COUNT", args->count, "how many records to retrieve")
      ->required()
      ->check(CLI::Range(RecordsSettings::kMinRecords, RecordsSettings::kMaxRecords));
  command.add_option("FILE.txt", args->path, "the records text file to write")
      ->required()
      ->type_name("");
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
  return [&app, args] { return commandRecords(app, *args); };
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
const CliCommand::Registration kEraseRecords{
    {"erase-records", "erase all the records logged in the instrument (asks unless --yes)",
     noArguments(&commandEraseRecords)}};

}  // namespace

}  // namespace halvern::cli

// The setup commands: read the instrument's setup into a setup file, and send a setup file.
#include "setup/setup_commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "link/instrument_command.h"
#include "setup/setup_file.h"
#include "setup/setup_model.h"

namespace halvern::cli {

namespace {

struct GetSetupArguments {
  std::string path;
  bool instrumentTime = false;
};

int commandGetSetup(CliApp& app, const GetSetupArguments& args) {
  if (!app.connect()) return kExitFailed;

  SetupModel setup;
  // The window starts with "Use PC System Time" on; the instrument's clock is read only on
  // request.
  setup.setUsePcTime(!args.instrumentTime);
  const auto result = runInstrumentCommand(app.exchange(), app.shell(), getSetupCommand(setup));
  if (result != CommandResult::Done) return exitStatus(result);
  if (args.instrumentTime) {
    std::fprintf(app.err(), "instrument date %s time %s\n", setup.dateText().c_str(),
                 setup.timeText().c_str());
  }
  const std::string problem = saveSetupFile(args.path, setup);
  if (!problem.empty()) return app.savedFileError("setup", problem);
  std::fprintf(app.err(), "setup written to %s\n", args.path.c_str());
  return kExitOk;
}

CliCommand::Action defineGetSetup(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<GetSetupArguments>();
  command.add_option("FILE.set", args->path, "the setup file to write")->required()->type_name("");
  command.add_flag("--instrument-time", args->instrumentTime,
                   "read the instrument's date and time too and print them");
  return [&app, args] { return commandGetSetup(app, *args); };
}

int commandSendSetup(CliApp& app, const std::string& path) {
  // The file is read before the instrument is touched.
  SetupModel setup;
  const std::string problem = loadSetupFile(path, setup);
  if (!problem.empty()) return app.fileError(problem);
  if (!app.connect()) return kExitFailed;
  // The date and time sent are the computer's, read just before they go.
  return exitStatus(app.runCommand(sendSetupCommand(setup, app.calendar())));
}

const CliCommand::Registration kGetSetup{
    {"get setup",
     "read the instrument's setup and write it to a setup file (990 bytes);\n"
     "--instrument-time reads the instrument's date and time too and prints them\n"
     "(the window's \"Use PC System Time\" unchecked); a setup file does not keep them",
     &defineGetSetup}};
const CliCommand::Registration kSendSetup{
    {"send setup",
     "send a setup file (990 bytes, or the older 982) to the instrument, with the\n"
     "computer's date and time",
     fileCommand("FILE.set", "the setup file to send", &commandSendSetup), false, true}};

}  // namespace

}  // namespace halvern::cli

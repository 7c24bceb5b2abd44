// The setup commands: read the instrument's setup into a setup file, and send a setup file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "link/instrument_command.h"
#include "setup/setup_commands.h"
#include "setup/setup_file.h"
#include "setup/setup_model.h"

namespace halvern::cli {

namespace {

int commandGetSetup(CliApp& app, const std::vector<std::string>& args) {
  std::string path;
  bool instrumentTime = false;
  for (const auto& a : args) {
    if (a == "--instrument-time") {
      instrumentTime = true;
    } else if (!a.empty() && a[0] == '-') {
      return app.usageError("get setup: unknown option '" + a + "'");
    } else if (path.empty()) {
      path = a;
    } else {
      return app.usageError("get setup takes one FILE.set");
    }
  }
  if (path.empty()) return app.usageError("get setup needs the FILE.set to write");
  if (!app.connect()) return kExitFailed;

  SetupModel setup;
  // The window starts with "Use PC System Time" on; the instrument's clock is read only on
  // request.
  setup.setUsePcTime(!instrumentTime);
  const auto result = runInstrumentCommand(app.exchange(), app.shell(), getSetupCommand(setup));
  if (result != CommandResult::Done) return exitStatus(result);
  if (instrumentTime) {
    std::fprintf(app.err(), "instrument date %s time %s\n", setup.dateText().c_str(),
                 setup.timeText().c_str());
  }
  const std::string problem = saveSetupFile(path, setup);
  if (!problem.empty()) {
    std::fprintf(app.err(), "error: %s\n", problem.c_str());
    return kExitUsage;
  }
  std::fprintf(app.err(), "setup written to %s\n", path.c_str());
  return kExitOk;
}

int commandSendSetup(CliApp& app, const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    return app.usageError("send setup takes one FILE.set");
  }
  // The file is read before the instrument is touched.
  SetupModel setup;
  const std::string problem = loadSetupFile(args[0], setup);
  if (!problem.empty()) {
    std::fprintf(app.err(), "error: %s\n", problem.c_str());
    return kExitUsage;
  }
  if (!app.connect()) return kExitFailed;
  // The date and time sent are the computer's, read just before they go.
  return exitStatus(
      runInstrumentCommand(app.exchange(), app.shell(), sendSetupCommand(setup, app.calendar())));
}

const CliCommand::Registration kGetSetup{
    {"get setup", "FILE.set [--instrument-time]",
     "read the instrument's setup and write it to a setup file (990 bytes);\n"
     "--instrument-time reads the instrument's date and time too and prints them\n"
     "(the window's \"Use PC System Time\" unchecked); a setup file does not keep them",
     &commandGetSetup}};
const CliCommand::Registration kSendSetup{
    {"send setup", "FILE.set",
     "send a setup file (990 bytes, or the older 982) to the instrument, with the\n"
     "computer's date and time",
     &commandSendSetup}};

}  // namespace

}  // namespace halvern::cli

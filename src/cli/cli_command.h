#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/instrument_command.h"

namespace CLI {
class App;
}

namespace halvern::cli {

class CliApp;

// One command of halvern-cli. Commands register themselves from their own files, one file per
// subsystem, so adding a command touches nothing else:
//
//   CliCommand::Action defineLine(CLI::App& command, CliApp& app) {
//     auto text = std::make_shared<std::string>();
//     command.add_option("TEXT", *text, "the command line to send")->required();
//     return [&app, text] { return sendLine(app, *text); };
//   }
//   const CliCommand::Registration kLine{{"line", "send TEXT as a command line", &defineLine}};
//
// `name` is one word or two; a two-word command is the subcommand of its first word ("get" ->
// "setup"). `define` adds the command's options and positional arguments to its subcommand and
// returns the action: it owns the values parsed into, runs once the whole command line has
// parsed and returns the exit status (kExitOk, kExitFailed, kExitUsage).
struct CliCommand {
  using Action = std::function<int()>;
  using Define = std::function<Action(CLI::App& command, CliApp& app)>;

  std::string name;
  std::string summary;  // one or more lines of help
  Define define = nullptr;
  // The command draws text (a report): the tool then starts Qt's GUI library, on no display.
  bool drawsText = false;
  // The command sends to the instrument (CliApp::runCommand): it takes --backup DIR and --verify.
  bool sends = false;

  struct Registration {
    explicit Registration(CliCommand command);
  };

  // Every registered command, in name order.
  static const std::vector<CliCommand>& all();
};

// What guards a send of halvern-cli when --backup or --verify is given: registered by the
// subsystem that makes backups and compares, which the sending commands cannot see.
struct CliSendGuard {
  using Wrap = std::function<InstrumentCommand(CliApp& app, const InstrumentCommand& send)>;
  struct Registration {
    explicit Registration(Wrap wrap);
  };
  // Empty when none is registered.
  static const Wrap& wrap();
};

// Commands named with this prefix serve the shell's completion: they are left out of the help.
inline constexpr std::string_view kUnlistedPrefix = "__";

// The definition of a command of no arguments.
CliCommand::Define noArguments(int (*run)(CliApp& app));

// The definition of a command whose one argument is a file, `argument` naming it in the help
// ("FILE.set"): `run` gets the file's path.
CliCommand::Define fileCommand(std::string argument, std::string help,
                               int (*run)(CliApp& app, const std::string& path));

}  // namespace halvern::cli

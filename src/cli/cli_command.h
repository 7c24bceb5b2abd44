#pragma once

#include <string>
#include <vector>

namespace halvern::cli {

class CliApp;

// One command of halvern-cli. Commands register themselves from their own files, one file per
// subsystem, so adding a command touches nothing else:
//
//   const CliCommand::Registration kGetSetup{{"get setup", "FILE.set",
//       "read the instrument's setup into a setup file", &getSetup}};
//
// `name` is one word or two ("get setup"). `run` gets the arguments after the name and returns
// the exit status (kExitOk, kExitFailed, kExitUsage).
struct CliCommand {
  using Run = int (*)(CliApp& app, const std::vector<std::string>& args);

  std::string name;
  std::string arguments;  // for the help text: "TEXT [--read N] [--wait MS]"
  std::string summary;    // one or more lines of help
  Run run = nullptr;

  struct Registration {
    explicit Registration(CliCommand command);
  };

  // Every registered command, in name order.
  static const std::vector<CliCommand>& all();
};

}  // namespace halvern::cli

#include "cli/cli_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

namespace halvern::cli {

namespace {
std::vector<CliCommand>& registry() {
  static std::vector<CliCommand> commands;
  return commands;
}
}  // namespace

CliCommand::Registration::Registration(CliCommand command) {
  auto& commands = registry();
  commands.push_back(std::move(command));
  std::sort(commands.begin(), commands.end(),
            [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
}

const std::vector<CliCommand>& CliCommand::all() { return registry(); }

namespace {
CliSendGuard::Wrap& sendGuard() {
  static CliSendGuard::Wrap wrap;
  return wrap;
}
}  // namespace

CliSendGuard::Registration::Registration(Wrap wrap) { sendGuard() = std::move(wrap); }

const CliSendGuard::Wrap& CliSendGuard::wrap() { return sendGuard(); }

CliCommand::Define noArguments(int (*run)(CliApp& app)) {
  return [run](CLI::App&, CliApp& app) -> CliCommand::Action {
    return [&app, run] { return run(app); };
  };
}

CliCommand::Define fileCommand(std::string argument, std::string help,
                               int (*run)(CliApp& app, const std::string& path)) {
  return [argument, help, run](CLI::App& command, CliApp& app) -> CliCommand::Action {
    auto path = std::make_shared<std::string>();
    command.add_option(argument, *path, help)->required()->type_name("");
    return [&app, path, run] { return run(app, *path); };
  };
}

}  // namespace halvern::cli

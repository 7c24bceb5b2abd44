#include "cli/cli_command.h"

#include <algorithm>

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

}  // namespace halvern::cli

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_command.h"

namespace {

// True when the command line names a command that draws text: fonts need Qt's GUI library,
// which is started without any display. A two-word command is its two words in a row, so that
// "records plot" starts it and "records" alone does not.
bool drawsText(const std::vector<std::string>& args) {
  for (const auto& command : halvern::cli::CliCommand::all()) {
    if (!command.drawsText) continue;
    const std::size_t space = command.name.find(' ');
    const std::string first = command.name.substr(0, space);
    const std::string second = space == std::string::npos ? "" : command.name.substr(space + 1);
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] != first) continue;
      if (second.empty() || (i + 1 < args.size() && args[i + 1] == second)) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::unique_ptr<QCoreApplication> app;
  if (drawsText(args)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  QCoreApplication::setApplicationName("halvern-cli");
  halvern::cli::CliApp cli(stdout, stderr);
  return cli.run(args);
}

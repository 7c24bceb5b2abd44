#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("halvern-cli");
  std::vector<std::string> args(argv + 1, argv + argc);
  halvern::cli::CliApp cli(stdout, stderr);
  return cli.run(args);
}

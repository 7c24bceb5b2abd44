// The user program commands: read the instrument's program into a program file, send a program
// file, and show a program file's tree.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "program/program_commands.h"
#include "wire/windows1252.h"

namespace halvern::cli {

namespace {

// The one FILE.pgm argument; false (with `status` the usage error's) when there is not one.
bool oneFile(CliApp& app, const std::vector<std::string>& args, const char* command,
             std::string& path, int& status) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    status = app.usageError(std::string(command) + " takes one FILE.pgm");
    return false;
  }
  path = args[0];
  return true;
}

int fileError(CliApp& app, const std::string& problem) {
  std::fprintf(app.err(), "error: %s\n", problem.c_str());
  return kExitUsage;
}

int commandGetProgram(CliApp& app, const std::vector<std::string>& args) {
  std::string path;
  int status = kExitOk;
  if (!oneFile(app, args, "get program", path, status)) return status;
  if (!app.connect()) return kExitFailed;
  ProgramDocument document;
  const auto result = runInstrumentCommand(app.exchange(), app.shell(), getProgramCommand(document));
  if (result != CommandResult::Done) return exitStatus(result);
  if (const std::string problem = saveProgramFile(path, document); !problem.empty()) {
    return fileError(app, problem);
  }
  std::fprintf(app.err(), "program of %zu instructions written to %s\n",
               document.instructionCount(), path.c_str());
  return kExitOk;
}

int commandSendProgram(CliApp& app, const std::vector<std::string>& args) {
  std::string path;
  int status = kExitOk;
  if (!oneFile(app, args, "send program", path, status)) return status;
  // The file is read before the instrument is touched.
  ProgramDocument document;
  if (const std::string problem = loadProgramFile(path, document); !problem.empty()) {
    return fileError(app, problem);
  }
  if (!app.connect()) return kExitFailed;
  return exitStatus(
      runInstrumentCommand(app.exchange(), app.shell(), sendProgramCommand(document)));
}

int commandShowProgram(CliApp& app, const std::vector<std::string>& args) {
  std::string path;
  int status = kExitOk;
  if (!oneFile(app, args, "program show", path, status)) return status;
  ProgramDocument document;
  if (const std::string problem = loadProgramFile(path, document); !problem.empty()) {
    return fileError(app, problem);
  }
  for (const ProgramNode& node : document.tree()) {
    std::fprintf(app.out(), "%s\n", windows1252::toUtf8(node.text).c_str());
    for (const std::string& line : node.children) {
      std::fprintf(app.out(), "\t%s\n", windows1252::toUtf8(line).c_str());
    }
  }
  return kExitOk;
}

const CliCommand::Registration kGetProgram{
    {"get program", "FILE.pgm",
     "read the instrument's user program (CRC-checked blocks) and write it to a\n"
     "program file",
     &commandGetProgram}};
const CliCommand::Registration kSendProgram{{"send program", "FILE.pgm",
                                             "send a program file's user program to the instrument",
                                             &commandSendProgram}};
const CliCommand::Registration kShowProgram{
    {"program show", "FILE.pgm",
     "print a program file's tree text: instruction lines, and their parameter lines\n"
     "indented by a TAB",
     &commandShowProgram}};

}  // namespace

}  // namespace halvern::cli

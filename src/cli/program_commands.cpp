// The user program commands: read the instrument's program into a program file, send a program
// file, and show a program file's tree.
#include "program/program_commands.h"

#include <cstdio>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "wire/windows1252.h"

namespace halvern::cli {

namespace {

int commandGetProgram(CliApp& app, const std::string& path) {
  if (!app.connect()) return kExitFailed;
  ProgramDocument document;
  const auto result =
      runInstrumentCommand(app.exchange(), app.shell(), getProgramCommand(document));
  if (result != CommandResult::Done) return exitStatus(result);
  if (const std::string problem = saveProgramFile(path, document); !problem.empty()) {
    return app.savedFileError("user program", problem);
  }
  std::fprintf(app.err(), "program of %zu instructions written to %s\n",
               document.instructionCount(), path.c_str());
  return kExitOk;
}

int commandSendProgram(CliApp& app, const std::string& path) {
  // The file is read before the instrument is touched.
  ProgramDocument document;
  if (const std::string problem = loadProgramFile(path, document); !problem.empty()) {
    return app.fileError(problem);
  }
  if (!app.connect()) return kExitFailed;
  return exitStatus(app.runCommand(sendProgramCommand(document)));
}

int commandShowProgram(CliApp& app, const std::string& path) {
  ProgramDocument document;
  if (const std::string problem = loadProgramFile(path, document); !problem.empty()) {
    return app.fileError(problem);
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
    {"get program",
     "read the instrument's user program (CRC-checked blocks) and write it to a\n"
     "program file",
     fileCommand("FILE.pgm", "the program file to write", &commandGetProgram)}};
const CliCommand::Registration kSendProgram{
    {"send program", "send a program file's user program to the instrument",
     fileCommand("FILE.pgm", "the program file to send", &commandSendProgram), false, true}};
const CliCommand::Registration kShowProgram{
    {"program show",
     "print a program file's tree text: instruction lines, and their parameter lines\n"
     "indented by a TAB",
     fileCommand("FILE.pgm", "the program file to show", &commandShowProgram)}};

}  // namespace

}  // namespace halvern::cli

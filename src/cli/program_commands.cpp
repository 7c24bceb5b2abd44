// The user program commands: read the instrument's program into a program file, send a program
// file, and show a program file's tree.
#include <cstdio>
#include <string>
#include <vector>

#include "app/shell.h"
#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "link/link.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "program/program_transfer.h"

namespace halvern::cli {

namespace {

// Windows-1252 text as UTF-8 for the terminal.
std::string utf8(std::string_view text) {
  // 0x80..0x9F, where Windows-1252 differs from Latin-1; 0 where it leaves the byte undefined.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (unsigned char c : text) {
    char32_t u = c;
    if (c >= 0x80 && c < 0xA0) u = kHigh[c - 0x80] != 0 ? kHigh[c - 0x80] : u'?';
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

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
  if (!app.link().isOpen()) {
    app.shell().message(program_text::kGetClosed, MessageKind::Warning, MessageButtons::Ok);
    return kExitFailed;
  }
  ProgramDocument document;
  if (getUserProgram(app.exchange(), document)) {
    app.shell().commError();
    return kExitFailed;
  }
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
  if (!app.link().isOpen()) {
    app.shell().message(program_text::kSendClosed, MessageKind::Warning, MessageButtons::Ok);
    return kExitFailed;
  }
  if (sendUserProgram(app.exchange(), document)) {
    app.shell().commError();
    return kExitFailed;
  }
  return kExitOk;
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
    std::fprintf(app.out(), "%s\n", utf8(node.text).c_str());
    for (const std::string& line : node.children) {
      std::fprintf(app.out(), "\t%s\n", utf8(line).c_str());
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

// The comparison commands: a setup, screen, program or group file compared with what the
// instrument holds, or two files of one kind compared with each other, by what they mean.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "collection/group_file.h"
#include "comparison/comparison.h"
#include "link/instrument_command.h"
#include "program/program_commands.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "screens/screen_file.h"
#include "setup/setup_commands.h"
#include "setup/setup_file.h"
#include "setup/setup_model.h"
#include "wire/windows1252.h"

namespace halvern::cli {

namespace {

// The exit statuses of a comparison.
constexpr int kExitSame = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitError = 2;

constexpr const char* kInstrument = "instrument";

// One side of a comparison.
struct Side {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  std::string groupName;
  ComparedParts parts() const { return {setup, screens, program}; }
};

enum class Kind { Setup, Screens, Program, Group };

// The difference lines, then what was not compared, on standard output (the terminal's UTF-8).
int report(CliApp& app, const Comparison& comparison) {
  for (const std::string& line : comparison.lines)
    std::fprintf(app.out(), "%s\n", windows1252::toUtf8(line).c_str());
  for (const std::string& line : comparison.notCompared)
    std::fprintf(app.out(), "%s\n", windows1252::toUtf8(line).c_str());
  return comparison.equal() ? kExitSame : kExitDifferent;
}

int fileProblem(CliApp& app, const std::string& problem) {
  app.fileError(problem);
  return kExitError;
}

// Reads one file of `kind` into `side`; empty when it loaded, else the problem.
std::string load(Kind kind, const std::string& path, Side& side) {
  std::string problem;
  switch (kind) {
    case Kind::Setup:
      problem = loadSetupFile(path, side.setup);
      break;
    case Kind::Screens:
      problem = loadScreenFile(path, side.screens);
      break;
    case Kind::Program:
      problem = loadProgramFile(path, side.program);
      break;
    case Kind::Group:
      problem = openGroupToSend(path, {side.setup, side.screens, side.program, side.groupName});
      break;
  }
  return problem.empty() ? problem : path + ": " + problem;
}

// Reads the instrument's part of `kind` (every part for a group) into `side`, part by part, the
// first failure ending the reads. True when every part came.
bool read(CliApp& app, Kind kind, Side& side) {
  const auto get = [&](const char* part, InstrumentCommand command) {
    if (runInstrumentCommand(app.exchange(), app.shell(), std::move(command)) ==
        CommandResult::Done)
      return true;
    std::fprintf(app.err(),
                 "error: the %s could not be read from the instrument; nothing compared\n", part);
    return false;
  };
  if ((kind == Kind::Setup || kind == Kind::Group) && !get("setup", getSetupCommand(side.setup)))
    return false;
  if ((kind == Kind::Screens || kind == Kind::Group) &&
      !get("screens", getScreensCommand(side.screens)))
    return false;
  if ((kind == Kind::Program || kind == Kind::Group) &&
      !get("program", getProgramCommand(side.program)))
    return false;
  return true;
}

Comparison compare(Kind kind, const Side& ours, const Side& theirs, const ComparedNames& names) {
  switch (kind) {
    case Kind::Setup:
      return compareSetups(ours.setup, theirs.setup);
    case Kind::Screens:
      return compareScreens(ours.screens, theirs.screens);
    case Kind::Program:
      return comparePrograms(ours.program, theirs.program, names);
    case Kind::Group:
      break;
  }
  return compareAll(ours.parts(), theirs.parts(), names);
}

// The file first, so a file that cannot be read touches nothing; then the instrument.
int withInstrument(CliApp& app, Kind kind, const std::string& path) {
  auto file = std::make_unique<Side>();
  if (const std::string problem = load(kind, path, *file); !problem.empty())
    return fileProblem(app, problem);
  if (!app.connect()) return kExitError;
  auto instrument = std::make_unique<Side>();
  if (!read(app, kind, *instrument)) return kExitError;
  return report(app, compare(kind, *file, *instrument, {path, kInstrument}));
}

int compareSetupFile(CliApp& app, const std::string& path) {
  return withInstrument(app, Kind::Setup, path);
}
int compareScreenFile(CliApp& app, const std::string& path) {
  return withInstrument(app, Kind::Screens, path);
}
int compareProgramFile(CliApp& app, const std::string& path) {
  return withInstrument(app, Kind::Program, path);
}
int compareGroupFile(CliApp& app, const std::string& path) {
  return withInstrument(app, Kind::Group, path);
}

// The kind of a file by its extension.
std::optional<Kind> kindOf(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension == ".set") return Kind::Setup;
  if (extension == ".scr") return Kind::Screens;
  if (extension == ".pgm") return Kind::Program;
  if (extension == ".ssp") return Kind::Group;
  return std::nullopt;
}

struct FilesArguments {
  std::string ours;
  std::string theirs;
};

int compareFiles(CliApp& app, const FilesArguments& args) {
  const std::optional<Kind> kind = kindOf(args.ours);
  if (!kind || kindOf(args.theirs) != kind) {
    return fileProblem(app, "compare files takes two files of one kind: .set, .scr, .pgm or .ssp");
  }
  auto ours = std::make_unique<Side>();
  auto theirs = std::make_unique<Side>();
  if (const std::string problem = load(*kind, args.ours, *ours); !problem.empty())
    return fileProblem(app, problem);
  if (const std::string problem = load(*kind, args.theirs, *theirs); !problem.empty())
    return fileProblem(app, problem);
  return report(app, compare(*kind, *ours, *theirs, {args.ours, args.theirs}));
}

// Two program files as a unified diff of their listings, nothing when they are the same.
int programDiff(CliApp& app, const FilesArguments& args) {
  auto ours = std::make_unique<Side>();
  auto theirs = std::make_unique<Side>();
  if (const std::string problem = load(Kind::Program, args.ours, *ours); !problem.empty())
    return fileProblem(app, problem);
  if (const std::string problem = load(Kind::Program, args.theirs, *theirs); !problem.empty())
    return fileProblem(app, problem);
  const Comparison comparison =
      comparePrograms(ours->program, theirs->program, {args.ours, args.theirs});
  if (comparison.equal()) return kExitSame;
  for (const std::string& line : comparison.lines)
    std::fprintf(app.out(), "%s\n", windows1252::toUtf8(line).c_str());
  return kExitDifferent;
}

CliCommand::Action defineProgramDiff(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<FilesArguments>();
  command.add_option("A.pgm", args->ours, "the first program file (lines shown with -)")
      ->required()
      ->type_name("");
  command.add_option("B.pgm", args->theirs, "the second program file (lines with +)")
      ->required()
      ->type_name("");
  return [&app, args] { return programDiff(app, *args); };
}

CliCommand::Action defineCompareFiles(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<FilesArguments>();
  command.add_option("FILE1", args->ours, "the first file (lines shown with -)")
      ->required()
      ->type_name("");
  command.add_option("FILE2", args->theirs, "the second file, of the same kind (lines with +)")
      ->required()
      ->type_name("");
  return [&app, args] { return compareFiles(app, *args); };
}

constexpr const char* kExits =
    "\nexit status 0 when they are the same, 1 when they differ, 2 when a file or a read\n"
    "failed";

const CliCommand::Registration kCompareSetup{
    {"compare setup",
     std::string("compare a setup file with the instrument's setup, item by item by the Setup\n"
                 "page's captions and the record fields in use; the date and time are not\n"
                 "compared") +
         kExits,
     fileCommand("FILE.set", "the setup file to compare", &compareSetupFile)}};
const CliCommand::Registration kCompareScreens{
    {"compare screens",
     std::string("compare a screen file with the instrument's screens, row by row; large\n"
                 "characters are shown in [ ]") +
         kExits,
     fileCommand("FILE.scr", "the screen file to compare", &compareScreenFile)}};
const CliCommand::Registration kCompareProgram{
    {"compare program",
     std::string("compare a program file with the instrument's program as a unified diff of\n"
                 "the program listing, values compared by what they are (2.5 = 2.50000);\n"
                 "the notes are not compared") +
         kExits,
     fileCommand("FILE.pgm", "the program file to compare", &compareProgramFile)}};
const CliCommand::Registration kCompareAll{
    {"compare all",
     std::string("compare a group file's setup, screens and program with the instrument's;\n"
                 "the group is read whole first, and a part that cannot be read from the\n"
                 "instrument ends the command with nothing compared") +
         kExits,
     fileCommand("FILE.ssp", "the group file to compare", &compareGroupFile)}};
const CliCommand::Registration kProgramDiff{
    {"program diff",
     "print the difference of two program files as a unified diff of their listings\n"
     "(parameters compared by value: 2.5 and 2.50000 are the same); nothing when they\n"
     "are the same. Exit status 0 the same, 1 different, 2 a file that cannot be read",
     &defineProgramDiff}};
const CliCommand::Registration kCompareFiles{
    {"compare files",
     std::string("compare two files of one kind (.set, .scr, .pgm or .ssp) without the\n"
                 "instrument") +
         kExits,
     &defineCompareFiles}};

}  // namespace

}  // namespace halvern::cli

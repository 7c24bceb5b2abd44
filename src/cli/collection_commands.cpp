// The collection commands: the setup, the screens and the program together from or to the
// instrument through a group file, and a group file shown for a person.
#include "collection/collection_commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "collection/group_file.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "wire/windows1252.h"

namespace halvern::cli {

namespace {

// What a group moves, for one command.
struct Collection {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  std::string groupName;
  GroupParts group() { return {setup, screens, program, groupName}; }
};

int commandGetAll(CliApp& app, const std::string& path) {
  if (!app.connect()) return kExitFailed;
  Collection c;
  const CollectionView view{};
  const auto result = runInstrumentCommand(
      app.exchange(), app.shell(),
      getCollectionCommand({c.setup, c.screens, c.program, app.calendar()}, view));
  if (result != CommandResult::Done) return exitStatus(result);
  if (!saveGroup(path, c.group(), app.shell())) return kExitUsage;
  std::fprintf(app.err(), "group %s written with its members\n", path.c_str());
  return kExitOk;
}

int commandSendAll(CliApp& app, const std::string& path) {
  // The group and every member it sends are read before the instrument is touched; a wrong
  // group or member sends nothing.
  Collection c;
  if (const std::string problem = openGroupToSend(path, c.group()); !problem.empty())
    return app.fileError(problem);
  if (!app.connect()) return kExitFailed;
  const CollectionView view{};
  return exitStatus(
      app.runCommand(sendCollectionCommand({c.setup, c.screens, c.program, app.calendar()}, view)));
}

int commandShowGroup(CliApp& app, const std::string& path) {
  Collection c;
  if (!openGroup(path, c.group(), app.shell())) return kExitUsage;
  std::FILE* out = app.out();
  const SetupModel& s = c.setup;
  std::fprintf(out, "Group %s\n\nSetup\n", c.groupName.c_str());
  std::fprintf(
      out, "  COM1 Type            %s\n",
      std::string(SetupModel::kCom1TypeCaptions[static_cast<std::size_t>(s.com1Type())]).c_str());
  std::fprintf(
      out, "  COM1 Baud            %s\n",
      std::string(SetupModel::kBaudCaptions[static_cast<std::size_t>(s.com1BaudIndex())]).c_str());
  std::fprintf(
      out, "  COM2 Baud            %s\n",
      std::string(SetupModel::kBaudCaptions[static_cast<std::size_t>(s.com2BaudIndex())]).c_str());
  std::fprintf(out, "  Stop On Error        %s\n", s.stopOnError() ? "on" : "off");
  std::fprintf(out, "  Keypad Lock          %s\n", s.keypadLock() ? "on" : "off");
  std::fprintf(out, "  Auto Screen Scroll   %s\n", s.autoScroll() ? "on" : "off");
  std::fprintf(out, "  Execution Interval   %d\n", s.interval());
  std::fprintf(out, "  Fields Per Record    %d\n", s.fieldsPerRecord());
  std::fprintf(out, "  Scroll Pause         %d\n", s.scrollPause());
  std::fprintf(out, "  Scroll End Screen    %d\n", s.scrollEnd());
  std::fprintf(out, "\nRecord fields\n");
  for (int i = 0; i < s.fieldsPerRecord(); ++i) {
    const RecordFormat& f = s.format(i);
    std::fprintf(out, "  %02d %-25s %-6s width %d precision %d\n", i + 1,
                 windows1252::toUtf8(f.label).c_str(),
                 std::string(SetupModel::kTypeCaptions[static_cast<std::size_t>(
                                 SetupModel::kTypeRange.clamp(f.type))])
                     .c_str(),
                 f.width, f.precision);
  }
  std::fprintf(out, "\nScreens (large characters in [ ])\n");
  for (int screen = 0; screen < ScreenBuffer::kScreens; ++screen) {
    std::fprintf(out, "  Screen %d\n", screen + 1);
    const auto& bytes = c.screens.bytes();
    for (int row = 0; row < 6; ++row) {
      std::string line;
      bool large = false;
      for (int column = 0; column < 40; ++column) {
        const std::uint8_t code = bytes[static_cast<std::size_t>(screen * 240 + row * 40 + column)];
        const bool isLarge = (code & 0x80) != 0;
        if (isLarge != large) line += isLarge ? '[' : ']';
        large = isLarge;
        // A large character stands on a 2 x 2 block of cells: shown once, at its top left.
        if (isLarge && (column % 2 == 1)) continue;
        if (isLarge && (row % 2 == 1)) {
          line += ' ';
          continue;
        }
        const std::uint8_t shown = code & 0x7F;
        // The display's degree sign is 0x7E; control codes show as blanks.
        if (shown == 0x7E) {
          line += "\xC2\xB0";
        } else {
          line += shown >= 0x20 ? static_cast<char>(shown) : ' ';
        }
      }
      if (large) line += ']';
      std::fprintf(out, "    |%s|\n", line.c_str());
    }
  }
  std::fprintf(out, "\nProgram\n");
  for (const ProgramNode& node : c.program.tree()) {
    std::fprintf(out, "  %s\n", windows1252::toUtf8(node.text).c_str());
    for (const std::string& line : node.children)
      std::fprintf(out, "    %s\n", windows1252::toUtf8(line).c_str());
  }
  std::fprintf(out, "\nNotes\n");
  for (const std::string& line : c.program.notes())
    std::fprintf(out, "  %s\n", windows1252::toUtf8(line).c_str());
  return kExitOk;
}

const CliCommand::Registration kGetAll{
    {"get all",
     "read the setup, the screens and the user program from the instrument (asks unless\n"
     "--yes) and save them as a group file (.ssp) with its members beside it: .set, .scr,\n"
     ".pgm, .txt, .nts and the eight pictures \"NAME Screen N.bmp\"",
     fileCommand("FILE.ssp", "the group file to write", &commandGetAll)}};
const CliCommand::Registration kSendAll{
    {"send all",
     "open a group file and its setup, screen and program files, then send them to the\n"
     "instrument (asks unless --yes); when any of the three cannot be read, nothing is sent",
     fileCommand("FILE.ssp", "the group file to send", &commandSendAll), false, true}};
const CliCommand::Registration kShowGroup{
    {"group show",
     "print what a group file holds: the setup with its captions, the record fields, the\n"
     "screens as text (large characters in [ ]), the program listing and the notes",
     fileCommand("FILE.ssp", "the group file to show", &commandShowGroup)}};

}  // namespace

}  // namespace halvern::cli

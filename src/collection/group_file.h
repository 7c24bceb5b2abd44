#pragma once

#include <string>
#include <string_view>

namespace halvern {

class ProgramDocument;
class ScreenBuffer;
class SetupModel;
class Shell;

// A group file (.ssp) holds the ten bytes "40100Group" and stands for its sibling files of the
// same base name: BASE.set, BASE.scr, BASE.pgm, BASE.txt (the program's tree text alone), BASE.nts
// and the pictures "BASE Screen 1.bmp" to "BASE Screen 8.bmp".
namespace group_file {
inline constexpr std::string_view kMagic = "40100Group";
inline constexpr std::string_view kOpenFilter =
    "Setup/Screens/Pgm File (*.ssp)|*.ssp|All Files (*.*)|*.*";
inline constexpr std::string_view kSaveFilter =
    "Setup/Screens/Pgm Files (*.ssp)|*.ssp|All Files (*.*)|*.*";
inline constexpr std::string_view kExtension = "ssp";
inline constexpr std::string_view kOpenTitle = "Open Setup/Screens/Pgm File";
inline constexpr std::string_view kSaveTitle = "Save Setup/Screens/Pgm File";
inline constexpr std::string_view kOpenQuestion = "Overwrite Setup/Screens/Pgm in Halvern?";
inline constexpr std::string_view kWrongType =
    "Incorrect file type.\nPlease select another file or open\nSetup, Screen, and Program "
    "files\nseparately.";
inline constexpr std::string_view kSetupMissing =
    "The Setup file cannot be opened.\nThe filename may have been changed\nor the file moved or "
    "erased. Please\nset Setup parameters manually.";
inline constexpr std::string_view kScreenMissing =
    "The Screen file cannot be opened.\nThe filename may have been changed\nor the file moved or "
    "erased. Please\nset Setup parameters manually.";
inline constexpr std::string_view kProgramMissing =
    "The Program file cannot be opened.\nThe filename may have been changed\nor the file moved or "
    "erased. Please\nset Setup parameters manually.";
inline constexpr std::string_view kNotesMissing =
    "The Program Notes file cannot be opened.\nPlease update Program Notes manually\non the User "
    "Program tab.";
inline constexpr std::string_view kSetupNotSaved = "The Setup file could not be saved.";
inline constexpr std::string_view kScreenNotSaved = "The Screen file could not be saved.";
inline constexpr std::string_view kProgramNotSaved = "The Program file could not be saved.";
}  // namespace group_file

// The collection's part of the window's document: the base name of the group file last opened or
// saved; empty until then. The report names the group with it.
struct CurrentGroup {
  std::string name;
};

// What a group file moves.
struct GroupParts {
  SetupModel& setup;
  ScreenBuffer& screens;
  ProgramDocument& program;
  std::string& currentGroupName;
};

// The base of a group file's members: its path without the extension ("/data/site.ssp" ->
// "/data/site"); the group's name is the base without its folder ("site").
std::string groupBase(const std::string& path);
std::string groupName(const std::string& path);

// Opens the group: nothing changes unless its first ten bytes are the magic text (else the
// wrong-type warning). Then the name becomes the current group name and the members are loaded in
// the order setup, screens, program, notes, each on its own: one that is missing or fails its
// own checks gets its warning and is skipped. True when the magic text was accepted.
[[nodiscard]] bool openGroup(const std::string& path, GroupParts parts, Shell& shell);

// Opens the group for a send, all or nothing: its magic text, then the members a send carries
// (setup, screens, program; not the notes), each of which must load. Empty when they all did,
// else the problem, naming the first member that did not and why; then `parts` may hold some
// members and not others, and nothing of them may be sent.
std::string openGroupToSend(const std::string& path, GroupParts parts);

// Saves the group: the group file first, then the members in the order setup, screens, program,
// tree text, notes and the eight pictures, each through the safe save (a failed one keeps its
// old file). A failed setup, screen or program member gets its warning; the others are skipped
// quietly, and the first picture that fails ends the pictures. A folder that cannot be written
// gets one warning and nothing is written. True when the group file itself was written.
[[nodiscard]] bool saveGroup(const std::string& path, GroupParts parts, Shell& shell);

// Saves the group whole, or says why not: the group file and every member (the pictures only
// with `pictures`), each through the safe save; the first that fails ends it. Empty when all
// were written.
std::string writeGroup(const std::string& path, GroupParts parts, bool pictures = true);

}  // namespace halvern

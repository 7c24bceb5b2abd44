#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "program/program_document.h"

namespace halvern {

namespace program_file {
// File dialogs of the program and notes files.
inline constexpr std::string_view kProgramFilter =
    "User Program Files (*.pgm)|*.pgm|All Files (*.*)|*.*";
inline constexpr std::string_view kProgramExtension = "pgm";
inline constexpr std::string_view kNotesFilter = "Pgm Notes (*.nts)|*.nts|All Files (*.*)|*.*";
inline constexpr std::string_view kNotesExtension = "nts";
inline constexpr std::string_view kNotesInitialName = "*.nts";
inline constexpr std::string_view kProgramSaveTitle = "Save User Pgm File";
inline constexpr std::string_view kProgramOpenTitle = "Open User Pgm File";
inline constexpr std::string_view kNotesSaveTitle = "Save Pgm Notes File";
inline constexpr std::string_view kNotesOpenTitle = "Open Pgm Notes File";
}  // namespace program_file

// A program file: the 65536 bytes of the store (records after "PGM END" as they are), then the
// tree text: one line per tree line, a TAB per level in front, CR LF after, Windows-1252 bytes.
std::string writeProgramBytes(const ProgramDocument& document);

// Reads a program file into the document's store and tree. The tree text's lines end at CR LF, CR
// or LF; a line's level is its count of leading TABs or blanks, and may be at most one deeper than
// the line before (empty lines are skipped). Refused, with the returned text and nothing changed:
// fewer than 65536 bytes, a level error, an opcode above 52 or no "PGM END" in the records, and
// a tree text that does not match the records. Returns an empty text on success.
std::string readProgramBytes(std::string_view bytes, ProgramDocument& document);

// A notes file: each line followed by CR LF, no header.
std::string writeNotesBytes(const std::vector<std::string>& notes);
// The lines of a notes file (CR LF, CR or LF end a line).
std::vector<std::string> readNotesBytes(std::string_view bytes);

// "Save User Pgm File...", "Open User Pgm File...", "Save Pgm Notes File...", "Open Pgm Notes
// File...": each returns an empty text on success and a warning text otherwise. A save writes a
// temporary file beside the target and renames it over the target, so a failed save leaves an
// earlier file as it was; a load that fails changes nothing.
std::string saveProgramFile(const std::string& path, const ProgramDocument& document);
std::string loadProgramFile(const std::string& path, ProgramDocument& document);
std::string saveNotesFile(const std::string& path, const ProgramDocument& document);
std::string loadNotesFile(const std::string& path, ProgramDocument& document);

}  // namespace halvern

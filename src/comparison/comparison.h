#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvern {

class ProgramDocument;
class ScreenBuffer;
class SetupModel;

// The part of the instrument's configuration a difference belongs to.
enum class ComparedPart { Setup, Screens, Program };

// One thing that differs. Texts are Windows-1252 bytes, as the models keep them.
//   Setup:   `item` is the Setup page's caption ("COM1 Baud", "Field 03 Width"), `ours` and
//            `theirs` the two values as the page shows them.
//   Screens: `item` is "Screen S, row R" (both from 1), `ours` and `theirs` the two rows as
//            text between bars, each large character once and a run of them in [ ].
//   Program: `item` is "Instruction N" (N from 1, ours when the line is ours, else theirs),
//            `ours` the removed line, `theirs` the added one; one of them is empty for a line
//            that only one side has.
struct Difference {
  ComparedPart part = ComparedPart::Setup;
  std::string item;
  std::string ours;
  std::string theirs;
};

// What a comparison found. `lines` is what is shown: each difference in turn, or the single line
// "No differences." when everything compared is equal. `notCompared` says what was left out of
// the comparison; it is never empty.
struct Comparison {
  std::vector<Difference> differences;
  std::vector<std::string> lines;
  std::vector<std::string> notCompared;

  bool equal() const { return differences.empty(); }
};

inline constexpr std::string_view kNoDifferences = "No differences.";

// The names of the two sides in the lines shown ("site.pgm", "instrument").
struct ComparedNames {
  std::string ours = "ours";
  std::string theirs = "theirs";
};

// The setup item by item, by caption on the Setup page, then the record fields of the rows in
// use on either side (label, type, width, precision). Each difference is shown as
//   Setup, CAPTION
//   -OURS
//   +THEIRS
Comparison compareSetups(const SetupModel& ours, const SetupModel& theirs);

// The eight screens row by row; only the rows that differ are shown, as
//   Screen S, row R
//   -|OURS|
//   +|THEIRS|
Comparison compareScreens(const ScreenBuffer& ours, const ScreenBuffer& theirs);

// The program tree as a unified diff of its lines (an instruction line, then its parameter lines
// indented by four blanks), three lines of context, "--- OURS" and "+++ THEIRS" and "@@" hunks.
// Lines are matched by what they mean, not by their text: an instruction by its opcode, a
// parameter by its instruction, its place and its stored value (the decimal 2.5 matches whether
// written "2.5" or "2.50000"). A line that matches is shown as ours.
Comparison comparePrograms(const ProgramDocument& ours, const ProgramDocument& theirs,
                           const ComparedNames& names = {});

// How a row of two programs side by side differs.
enum class AlignedKind { Same, Changed, Removed, Added };

// One row of two programs side by side: a line of each that match (Same), the same parameter of
// the same instruction with another value on each side (Changed), or a line that only ours
// (Removed) or only theirs (Added) has, with no line on the other side.
struct AlignedRow {
  std::optional<std::string> ours;
  std::optional<std::string> theirs;
  AlignedKind kind = AlignedKind::Same;
};

// The lines of both programs in order, matched as comparePrograms matches them, one row per line
// of either side. In each run of lines that differ, a removed parameter line and an added one of
// the same instruction and place share a Changed row, in their order; the others keep a row each,
// the removed ones first.
std::vector<AlignedRow> alignPrograms(const ProgramDocument& ours, const ProgramDocument& theirs);

// The three parts of one configuration.
struct ComparedParts {
  const SetupModel& setup;
  const ScreenBuffer& screens;
  const ProgramDocument& program;
};

// Setup, screens and program in that order: their differences and lines together ("No
// differences." once, when all three are equal) and every part's statements of what was not
// compared.
Comparison compareAll(ComparedParts ours, ComparedParts theirs, const ComparedNames& names = {});

// The Windows-1252 text shown for one row of a screen: the row's 40 cells between bars, the
// degree sign (0x7E) as 0xB0, control codes as blanks, a run of large characters in [ ] with
// each large character shown once (its block is two cells wide).
std::string screenRowText(const ScreenBuffer& screens, int screen, int row);

}  // namespace halvern

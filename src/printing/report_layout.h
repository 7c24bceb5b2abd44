#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "program/program_document.h"
#include "screens/bitmap.h"

namespace halvern {

class ScreenBuffer;
class SetupModel;

// The printed report of what the window holds, as drawing steps on pages in layout units: x in
// eighths of the printable width, y in 1/10.5 of the printable height, from its top-left corner.
// Positions are single precision and advanced by repeated addition; a printer, a preview or a
// PDF turns them into its own pixels.
enum class ReportColour : std::uint32_t {
  Black = 0xFF000000,
  Silver = 0xFFC0C0C0,
  Grey = 0xFF808080,
};

// Text with its top-left corner at (x, y), in the report's face.
struct ReportText {
  float x = 0;
  float y = 0;
  std::string text;  // Windows-1252 bytes
  ReportColour colour = ReportColour::Black;
  friend bool operator==(const ReportText&, const ReportText&) = default;
};
// Screen `screen` (0..7) as its picture (reportScreenPicture), stretched onto the rectangle.
struct ReportPicture {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;
  int screen = 0;
  friend bool operator==(const ReportPicture&, const ReportPicture&) = default;
};
struct ReportNewPage {
  friend bool operator==(const ReportNewPage&, const ReportNewPage&) = default;
};
using ReportStep = std::variant<ReportText, ReportPicture, ReportNewPage>;

// What the report shows; nothing of it is changed.
struct ReportInput {
  std::string groupName;                  // empty when no group file was opened or saved
  const std::vector<std::string>& notes;  // the program notes, line by line
  const SetupModel& setup;
  const std::vector<ProgramNode>& tree;  // the program's tree lines
  const ScreenBuffer& screens;
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;
};

namespace report_layout {
inline constexpr float kLineStep = 0.15f;
inline constexpr float kLeft = 0.75f;
inline constexpr float kTop = 0.6f;
// An instruction whose line would stand below this starts the next column.
inline constexpr float kColumnFoot = 9.1f;
inline constexpr float kColumnStep = 2.5f;
inline constexpr float kParameterIndent = 0.22f;
// The lowest line the printable area holds whole: text below it continues on a further column
// or page instead of being cut off.
inline constexpr float kLastLine = 10.3f;
// Layout units per page.
inline constexpr float kPageWidthUnits = 8.0f;
inline constexpr float kPageHeightUnits = 10.5f;
inline constexpr const char* kFontFamily = "Arial";
inline constexpr int kFontPoints = 8;
}  // namespace report_layout

// The date as the heading shows it: "mmmm dd, yyyy" with English month names ("December 08,
// 2026").
std::string reportDate(int year, int month, int day);

// The whole report: the first page (heading, notes, parameters, the field table), the program
// listing in up to three columns a page, then the two pages of screens with their rulers.
std::vector<ReportStep> layoutReport(const ReportInput& input);

// A screen's picture: 480 x 96 pixels on white, the grid of its cells (grey lines around the
// 2 x 2 blocks of large characters, silver between), its characters inked in black.
Bitmap reportScreenPicture(const ScreenBuffer& screens, int screen);

}  // namespace halvern

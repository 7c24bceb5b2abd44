#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;
class Shell;

namespace calibration_text {
inline constexpr std::string_view kPassword = "pmk73914";
inline constexpr std::string_view kIncorrectPassword = "Incorrect Password";
inline constexpr std::string_view kDefaultReference = "5000.00";
inline constexpr std::string_view kCalDataHeader =
    "Ch\tSe0\tDiff0\tWd0\tSeMult\tDiffMult\tWdMult\tVMult\tVOffset\tIMult\tIOffset";
// A closed link is refused before anything is sent.
inline constexpr std::string_view kCalibrateClosed = "Cannot calibrate because USB port is closed.";
inline constexpr std::string_view kCheckClosed =
    "Cannot check calibration because USB port is closed.";
inline constexpr std::string_view kCalDataClosed =
    "Cannot get calibration data because USB port is closed.";
// A check's report ended by Stop Calibration (or Cancel) before its "*".
inline constexpr std::string_view kCheckStopped = "CHECK STOPPED.";
}  // namespace calibration_text

// The calibration table as cells, for showing it as a table and saving it: the header's columns,
// and each line the instrument sent split at its tabs (lines end at a carriage return or a line
// feed; empty ones are left out). The cells are the instrument's bytes as they came.
struct CalDataTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
};
CalDataTable calDataTable(std::string_view received);
// The table as CSV: the header, then the rows, each line ended by CR LF; a cell holding a comma,
// a double quote, a line break or a blank at either end is quoted, its quotes doubled.
std::string calDataCsv(const CalDataTable& table);
// The table as tab-separated lines ended by a line feed, as a spreadsheet pastes it.
std::string calDataTabbed(const CalDataTable& table);

// The eight calibration steps, in the page's order.
enum class CalibrationStep {
  SeZero,
  SeFullScale,
  DiffZero,
  DiffFullScale,
  WdZero,
  WdExcitation,
  Vout,
  Iout
};

// The seven checks: three of the inputs, four of the outputs.
enum class CalibrationCheck { Se, Diff, Wd, VoutZero, VoutFs, IoutZero, IoutFs };

struct CalibrationStepDef {
  std::string_view question;  // asked when Confirm is checked; empty: never asked
  std::string_view line;      // the fixed command line; empty: built with the reference
  std::string_view successLine;
  std::string_view failureLine;
};

const CalibrationStepDef& calibrationStepDef(CalibrationStep step);

// "*" must come within this after a step's command line, and a check's report end within it.
inline constexpr std::chrono::seconds kCalibrationAckLimit{60};
// Pause after a step's line before the normal cursor comes back.
inline constexpr std::chrono::milliseconds kStepEndPause{100};
// Pause after each output is driven (beyond the drive's own), and before the outputs' report.
inline constexpr std::chrono::milliseconds kOutputSettlePause{200};
inline constexpr std::chrono::milliseconds kOutputReportPause{500};
// Pause between "CMD805" and the one read of the table.
inline constexpr std::chrono::milliseconds kCalDataPause{100};
// Bytes taken by one read of a report or of the table.
inline constexpr std::size_t kReportReadSize = 1000;

// True only for the password itself: the whole text, letter case and blanks included.
bool calibrationPasswordMatches(std::string_view typed);

// The full-scale reference as the line carries it: the text read as a C decimal number (0 when
// it holds none), through single precision; "." is its decimal point whatever the locale.
float calibrationReference(std::string_view text);

// The step's command line, carriage return included; `reference` is used by the SE and DIFF
// full-scale steps only.
std::string calibrationStepLine(CalibrationStep step, std::string_view reference);

// One calibration step: the line, "*" awaited 60 s (a beep when it does not come; Stop
// Calibration ends it at once), its success or failure line, 100 ms. Done, or Failed.
[[nodiscard]] CommandResult calibrate(CommandExchange& exchange, Shell& shell, CalibrationStep step,
                                      std::string_view reference);

// Copies the instrument's report into the message area at the caret up to "*" (dropped, with
// whatever follows it in that read), a line feed after each carriage return. Bounded by 60 s;
// Stop Calibration and the shell's cancel end it too. The outcome: Done once "*" came.
CommandResult copyReport(CommandExchange& exchange, Shell& shell);

// A check: the outputs driven first for the output checks (each channel, its pause; then
// 500 ms), the check's line, the report; the output checks end with a line of one blank.
CommandResult runCalibrationCheck(CommandExchange& exchange, Shell& shell, CalibrationCheck check);

// Get Cal Data: "CMD805", 100 ms, one read of up to 1000 bytes; the header line and the bytes
// (a line feed after each carriage return) when any came, nothing at all otherwise (Failed).
// `received`, when given, gets the bytes that came.
CommandResult getCalData(CommandExchange& exchange, Shell& shell, std::string* received = nullptr);

// The page's buttons as commands of the one command path. A full-scale step whose reference
// does not fill its mask is refused with a warning; a step asks its question first when `confirm`
// is set (No: Refused, nothing sent); its failure line is its report.
InstrumentCommand calibrationStepCommand(CalibrationStep step, bool confirm, std::string reference);
InstrumentCommand calibrationCheckCommand(CalibrationCheck check);
// `onData` hears the bytes of a table that came.
InstrumentCommand getCalDataCommand(std::function<void(std::string)> onData = nullptr);

}  // namespace halvern

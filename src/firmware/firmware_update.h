#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/srecord_file.h"
#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;
class Shell;

namespace firmware_text {
inline constexpr std::string_view kPortClosed = "USB port closed.\nFlash Update cancelled.";
inline constexpr std::string_view kCannotOpen = "Cannot open file.\nFlash Update cancelled.";
inline constexpr std::string_view kIncorrectType = "Incorrect file type.\nFlash Update cancelled.";
inline constexpr std::string_view kNoWakeUp =
    "Cannot communicate with 40100.\nFlash Update cancelled.\nCheck USB connection.";
inline constexpr std::string_view kConfirm =
    "IMPORTANT!\nPROCEED WITH CAUTION.\nTHIS OPERATION REPLACES\nTHE 40100 FIRMWARE.\n\nCONTINUE?";
inline constexpr std::string_view kNoResponse = "No response from 40100.\nFlash Update cancelled.";
inline constexpr std::string_view kTimeout = "Timeout error.\nFlash Update cancelled.";
// Any other refusal of the file, after the line and fault it names.
inline constexpr std::string_view kCancelledSuffix = "\nFlash Update cancelled.";
inline constexpr std::string_view kDoNotRemovePower = "DO NOT REMOVE POWER FROM 40100!";
inline constexpr std::string_view kDoNotInterrupt = "DO NOT STOP OR INTERRUPT THIS PROCESS!";
inline constexpr std::string_view kErasing = "ERASING flash memory...";
inline constexpr std::string_view kProgramming = "PROGRAMMING flash memory...";
inline constexpr std::string_view kNoReply = "NO REPLY from 40100";
inline constexpr std::string_view kFinished = "FINISHED FIRMWARE UPDATE.";
// After any cancellation once "CMD980" went out: where the instrument is and the way out.
inline constexpr std::string_view kStillInLoader =
    "THE 40100 IS STILL IN ITS LOADER: ITS FIRMWARE IS NOT COMPLETE.";
inline constexpr std::string_view kRunAgain =
    "RUN THE FIRMWARE UPDATE AGAIN WITH THE SAME FILE TO FINISH IT.";
// A first stop asked for while the loader runs is not taken: two lines.
inline constexpr std::string_view kStopIgnored =
    "STOP IGNORED: STOPPING NOW LEAVES THE 40100 WITHOUT FIRMWARE.";
inline constexpr std::string_view kStopAgain = "STOP AGAIN TO STOP ANYWAY.";
// Asked before the window closes while the loader runs.
inline constexpr std::string_view kCloseQuestion =
    "A firmware update is running.\n\nClosing now stops it: the 40100 stays in its loader "
    "without working firmware until the update is run again.\n\nClose anyway?";
// Why the computer is kept awake.
inline constexpr std::string_view kAwakeReason = "Firmware update of the 40100 in progress";
// Where the computer could not be kept awake: the reason follows the first line.
inline constexpr std::string_view kMaySleep = "SLEEP IS NOT BLOCKED: ";
inline constexpr std::string_view kKeepAwake =
    "KEEP THE COMPUTER AWAKE, ITS LID OPEN, TILL THE END.";
inline constexpr std::string_view kFilter = "Global S19 File (*.glo)|*.glo|All Files (*.*)|*.*";
inline constexpr std::string_view kExtension = "glo";
}  // namespace firmware_text

// The wake-up line and its answer.
inline constexpr std::string_view kWakeUpLine = " \r";
inline constexpr std::uint8_t kLoaderAwake = 'C';
inline constexpr int kWakeUpSeconds = 4;
inline constexpr std::string_view kEnterLoaderLine = "CMD980\r";
inline constexpr std::string_view kEraseLine = "FLS";
// Limits counted in whole seconds from the one start time, taken before "CMD980".
inline constexpr int kEnterLoaderSeconds = 5;
inline constexpr int kUpdateSeconds = 90;
inline constexpr std::chrono::milliseconds kErasePause{250};
inline constexpr std::chrono::milliseconds kClosingPause{250};
inline constexpr std::size_t kClosingReadSize = 400;
// For the estimate of the transfer's length: the wire's pace, each record's turnaround, and the
// loader's start (the stars and the erase).
inline constexpr std::uint64_t kWireBytesPerSecond = 125000;
inline constexpr std::chrono::milliseconds kRecordTurnaround{3};
inline constexpr std::chrono::milliseconds kLoaderStart{1000};

// An image file that passed its checks, as the update sends it.
struct FirmwareImage {
  SRecordImage image;
  std::uint64_t fileSize = 0;  // the bytes of the file: the progress figure's denominator
  std::string baseName;        // the file's name without folder and extension (the status bar)
};

// A firmware file read and checked whole, before anything reaches the instrument.
struct FirmwareFile {
  std::optional<FirmwareImage> image;  // when it passed
  std::string bytes;                   // what was read (for its fingerprint)
  // Why it did not pass: the warning to show ("Cannot open file.\nFlash Update cancelled.",
  // "Incorrect file type.\nFlash Update cancelled.", "Line 17: checksum 3A, expected 3B.\nFlash
  // Update cancelled.").
  std::string problem;
};
FirmwareFile loadFirmwareFile(const std::string& path);

// What the technician sees before saying Yes: the file's name, size and SHA-256 (`sha256`, in
// hexadecimal), the header's text, the data records, their address ranges and bytes, the records
// after the first S9 that are never sent, and about how long the transfer takes. Lines end with
// "\n".
std::string firmwareSummary(const FirmwareImage& image, std::string_view fileName,
                            std::string_view sha256);
// About how long the records take, from "CMD980" to the closing text.
std::chrono::milliseconds firmwareDuration(const SRecordImage& image);

// The progress figure after the records up to file offset `position`: the nearest whole percent.
int firmwareProgress(std::uint64_t position, std::uint64_t fileSize);

// The update from the wake-up line on, for an image that passed its checks: " \r" and "C" within
// 4 s; the confirmation (anything but Yes: Refused, nothing more sent); the message area cleared
// and the status bar showing the file's base name; "CMD980" and three "*" within 5 s; the
// warnings, "FLS", 250 ms; the records one per "*" within 90 s, each written raw with its line
// feed; after the first S9, 250 ms and one read of the closing text. Done when the S9 went out.
// Every cancellation after "CMD980" says the instrument is in its loader and how to go on; a
// first cancel of the user is refused with a line, a second one taken.
// From "CMD980" to the end the Shell keeps the update from being interrupted (sleep, a closed
// lid, the window's close).
CommandResult updateFirmware(CommandExchange& exchange, Shell& shell, const FirmwareImage& image);

// The update through the one command path: a closed link is refused with "USB port closed.\nFlash
// Update cancelled."; the operation reports its own failures.
InstrumentCommand firmwareUpdateCommand(const FirmwareImage& image);

}  // namespace halvern

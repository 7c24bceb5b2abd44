#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/instrument_command.h"
#include "setup/setup_model.h"

namespace halvern {

class Calendar;
class CommandExchange;
class Shell;

// Moving the setup between the instrument and the SetupModel, item by item. The whole transfers
// return a CommandResult; the single items return true when they FAILED and false on success.
// Each adds its own lines to the message area and leaves the items it read before a failure
// updated and the rest unchanged.

// Message-area lines.
namespace setup_text {
inline constexpr std::string_view kGetSetupStart = "GET SETUP...";
inline constexpr std::string_view kGetSetupFailed = "GET SETUP FAILED.";
inline constexpr std::string_view kGetSetupDone = "FINISHED GETTING SETUP.";
inline constexpr std::string_view kSendStart = "SEND SETTINGS...";
inline constexpr std::string_view kSendFailed = "SEND SETTINGS FAILED.";
inline constexpr std::string_view kSendDone = "FINISHED SENDING SETTINGS.";
inline constexpr std::string_view kCom1Info = "CANNOT GET COM1 INFO";
inline constexpr std::string_view kCom1WrongIndex = "CANNOT GET COM1 BAUD RATE. WRONG INDEX.";
inline constexpr std::string_view kCom2Info = "CANNOT GET COM2 INFO";
inline constexpr std::string_view kCom2WrongIndex = "CANNOT GET COM2 BAUD RATE. WRONG INDEX.";
inline constexpr std::string_view kStopOnError = "CANNOT GET STOP-ON-ERR";
inline constexpr std::string_view kKeylock = "CANNOT GET KEYLOCK";
inline constexpr std::string_view kInterval = "CANNOT GET INTERVAL";
inline constexpr std::string_view kFieldsPerRecord = "CANNOT GET FIELDS PER RECORD";
inline constexpr std::string_view kAutoScroll = "CANNOT GET AUTO SCROLL";
inline constexpr std::string_view kScrollPause = "CANNOT GET AUTO SCROLL PAUSE";
inline constexpr std::string_view kScrollEnd = "CANNOT GET AUTO SCROLL END";
inline constexpr std::string_view kDate = "CANNOT GET DATE";
inline constexpr std::string_view kTime = "CANNOT GET TIME";
// With the byte count of the last attempt.
// The record formats did not come whole: "CANNOT GET RECORD FORMATS. BYTES READ: %u".
std::string recordFormatsFailed(std::size_t bytesRead);
}  // namespace setup_text

// Rounds of up to 10 sends each that a serial port query gets while its replies carry a code not
// in the baud table; the sixth such reply fails it.
inline constexpr int kBaudCodeRounds = 6;
// Attempts of the record-format query, each after a purge and this pause.
inline constexpr int kRecordFormatAttempts = 5;
inline constexpr std::chrono::milliseconds kRecordFormatPause{100};
// Waits of the record-format upload: "!" after the command and after fields 1..24, "*" after
// the 25th.
inline constexpr int kRecordBlockAckSeconds = 2;
inline constexpr int kRecordFormatsDoneSeconds = 5;

// A record-format block on the wire, 32 bytes per field.
using RecordFormatBlock = std::array<std::uint8_t, 32>;
// The block of a format: label (zero-terminated, zero-padded to 28 bytes), type, width,
// precision, a zero byte.
RecordFormatBlock encodeRecordFormat(const RecordFormat& format);
// A received block as the get takes it: the label is bytes 0..26 up to the first zero (byte 27
// never belongs to it). `labelOk` is false for a label of more than 25 characters; `valuesOk` is
// false for a type above 2, a width above 9 or a precision above 7. The values are returned
// as they came, unclamped.
struct DecodedRecordFormat {
  RecordFormat format;
  bool labelOk = false;
  bool valuesOk = false;
};
DecodedRecordFormat decodeRecordFormat(const std::uint8_t* block);

// The whole setup: reads every item into `setup`: the date and time first unless "Use PC System
// Time" is on, then COM1, COM2, stop on error, keypad lock, execution interval, fields per record,
// record formats, auto scroll, scroll pause and scroll end screen. The progress bar (maximum 100)
// moves by a twelfth per item; the first failure stops the sequence. Ends with "FINISHED GETTING
// SETUP." or "GET SETUP FAILED.".
CommandResult getUserSettings(CommandExchange& exchange, SetupModel& setup, Shell& shell);

// Sends every item: date, time, keypad lock, execution interval, fields per record, auto scroll,
// scroll pause, scroll end screen, COM1, COM2 and the record formats; the progress bar moves by
// an eleventh per item; the first failure stops the sequence. With "Use PC System Time" on, the
// date and time fields are first refreshed from `calendar`. A date whose year is outside 2000 to
// 2099 is refused with a warning before anything is sent (Refused, no message-area line).
CommandResult sendUserSettings(CommandExchange& exchange, SetupModel& setup, Shell& shell,
                               const Calendar& calendar);

// The warning for a date field the instrument cannot take (year outside 2000..2099), or nothing.
std::optional<std::string> dateRefusal(const SetupModel& setup);
// With "Use PC System Time" on, the date and time fields from `calendar`. Then the date check:
// true (and the warning shown) when the date cannot be sent.
[[nodiscard]] bool refuseUnsendableDate(SetupModel& setup, Shell& shell, const Calendar& calendar);

// The single items, in the order the whole transfers use them: Done, or Failed when the item
// failed (its line, if it has one, added).
[[nodiscard]] CommandResult getInstrumentDate(CommandExchange& exchange, SetupModel& setup,
                                              Shell& shell);
[[nodiscard]] CommandResult getInstrumentTime(CommandExchange& exchange, SetupModel& setup,
                                              Shell& shell);
[[nodiscard]] CommandResult getCom1Settings(CommandExchange& exchange, SetupModel& setup,
                                            Shell& shell);
[[nodiscard]] CommandResult getCom2Baud(CommandExchange& exchange, SetupModel& setup, Shell& shell);
[[nodiscard]] CommandResult getStopOnError(CommandExchange& exchange, SetupModel& setup,
                                           Shell& shell);
[[nodiscard]] CommandResult getKeypadLock(CommandExchange& exchange, SetupModel& setup,
                                          Shell& shell);
[[nodiscard]] CommandResult getExecInterval(CommandExchange& exchange, SetupModel& setup,
                                            Shell& shell);
// Asked without the 50 ms pause before the read (the read still waits up to 250 ms). Also used
// before a record download.
[[nodiscard]] CommandResult getFieldsPerRecord(CommandExchange& exchange, SetupModel& setup,
                                               Shell& shell);
// Up to 5 attempts (purge, 100 ms, "CMD325", read 800 bytes) until the 800 bytes come; what
// follows them is purged. A bad block ends it silently,
// keeping the rows before it (and the bad row's label when only its numbers are wrong). Events
// are processed after each row. Also used before a record download.
[[nodiscard]] CommandResult getRecordFormats(CommandExchange& exchange, SetupModel& setup,
                                             Shell& shell);
[[nodiscard]] CommandResult getAutoScroll(CommandExchange& exchange, SetupModel& setup,
                                          Shell& shell);
[[nodiscard]] CommandResult getScrollPause(CommandExchange& exchange, SetupModel& setup,
                                           Shell& shell);
[[nodiscard]] CommandResult getScrollEnd(CommandExchange& exchange, SetupModel& setup,
                                         Shell& shell);

[[nodiscard]] CommandResult sendInstrumentDate(CommandExchange& exchange, SetupModel& setup,
                                               Shell& shell);
[[nodiscard]] CommandResult sendInstrumentTime(CommandExchange& exchange, SetupModel& setup,
                                               Shell& shell);
[[nodiscard]] CommandResult sendKeypadLock(CommandExchange& exchange, SetupModel& setup,
                                           Shell& shell);
[[nodiscard]] CommandResult sendExecInterval(CommandExchange& exchange, SetupModel& setup,
                                             Shell& shell);
[[nodiscard]] CommandResult sendFieldsPerRecord(CommandExchange& exchange, SetupModel& setup,
                                                Shell& shell);
[[nodiscard]] CommandResult sendAutoScroll(CommandExchange& exchange, SetupModel& setup,
                                           Shell& shell);
[[nodiscard]] CommandResult sendScrollPause(CommandExchange& exchange, SetupModel& setup,
                                            Shell& shell);
[[nodiscard]] CommandResult sendScrollEnd(CommandExchange& exchange, SetupModel& setup,
                                          Shell& shell);
[[nodiscard]] CommandResult sendCom1Settings(CommandExchange& exchange, SetupModel& setup,
                                             Shell& shell);
[[nodiscard]] CommandResult sendCom2Baud(CommandExchange& exchange, SetupModel& setup,
                                         Shell& shell);
// "CMD320" (up to 10 sends, "!" within 2 s each), then the 25 blocks written byte by byte
// without pacing, each followed by "!" within 2 s ("*" within 5 s after the last). The progress
// bar goes to kFormatsProgressStart + (n - 1) / 3 after block n.
inline constexpr double kFormatsProgressStart = 91.67;
inline constexpr double kFormatsPerProgressStep = 3.0;
[[nodiscard]] CommandResult sendRecordFormats(CommandExchange& exchange, SetupModel& setup,
                                              Shell& shell);

}  // namespace halvern

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;
class Shell;

// Texts of the records commands, exactly as the message area and boxes show them.
namespace records_text {
inline constexpr std::string_view kClosed = "Cannot get records because ZELKA USB port is closed.";
// "Showing %u records will be slow...": the question before showing 5000 records or more.
std::string slowShowQuestion(std::uint32_t records);
inline constexpr std::string_view kRetrievalWarning =
    "Records will be retrieved using\nFields-per-Record and Record Formats\nstored on 40100. "
    "Retrieved values\nfor these parameters will overwrite\nthose show on Setup tab.";
// "With %u Fields Per Record,\na maximum of %u records may\nbe retrieved."
std::string tooManyRecords(std::uint32_t fields, std::uint32_t most);
inline constexpr std::string_view kCannotOpen =
    "The named file cannot be opened.\nIt may be in use by another program.";
inline constexpr std::string_view kGetRecords = "GET RECORDS";
inline constexpr std::string_view kCannotAllocate = "CANNOT ALLOCATE MEMORY";
inline constexpr std::string_view kDownloading = "DOWNLOADING RECORDS...";
// "TOTAL BYTES: %u"
std::string totalBytes(std::size_t bytes);
inline constexpr std::string_view kWriting = "WRITING RECORDS TO FILE...";
inline constexpr std::string_view kShowing = "SHOWING RECORDS...";
inline constexpr std::string_view kFinished = "FINISHED";
inline constexpr std::string_view kCancelled = "RECORD DOWNLOAD CANCELLED.";
inline constexpr std::string_view kWaitingForQuiet = "WAITING FOR 40100 TO STOP SENDING...";
inline constexpr std::string_view kEraseClosed =
    "Cannot erase records because ZELKA USB port is closed.";
inline constexpr std::string_view kEraseQuestion = "Erase ALL Recorded Data in 40100?";
inline constexpr std::string_view kErasing = "ERASING ALL RECORDED DATA IN 40100...";
inline constexpr std::string_view kErased = "ALL RECORDS ERASED.";
inline constexpr std::string_view kEraseTimeout =
    "ERASE RECORDS FAILED. TIMEOUT ERROR. RECORDS MAY NOT BE ERASED.";
inline constexpr std::string_view kEraseCancelled =
    "ERASE RECORDS CANCELLED. RECORDS MAY NOT BE ERASED.";
}  // namespace records_text

// f x n must stay below this.
inline constexpr std::uint64_t kRecordFieldLimit = 2162688;
// The question comes from this many records shown.
inline constexpr std::uint32_t kSlowShowRecords = 5000;
// Largest read of the receive loop; the empty reads in a row that end it.
inline constexpr std::size_t kRecordsPiece = 100;
inline constexpr int kRecordsSilentReads = 11;
// After "CMD345": the pause, the progress maximum, and how long each "!" may take.
inline constexpr std::chrono::milliseconds kErasePause{500};
inline constexpr int kEraseProgressMax = 1024;
inline constexpr std::chrono::milliseconds kEraseTicks{2500};

// After a cancel, the wait for the 40100 to finish sending the records it was asked for is
// bounded by twice the time they take on the wire and this.
inline constexpr std::chrono::seconds kQuietMargin{3};
// Largest read of that wait.
inline constexpr std::size_t kQuietPiece = 4096;

enum class RecordsEnd { Complete, TimedOut, Cancelled };

// "CMD340 n" with n = `count`, then reads of at most 100 bytes (never more than the space left in
// `buffer`) until the buffer is full, or the eleventh empty read in a row, or a cancel (then
// awaitQuietLink for the bytes still to come). Progress counts the bytes received; events are
// processed after every read.
RecordsEnd receiveRecords(CommandExchange& exchange, Shell& shell, std::uint32_t count,
                          std::span<std::uint8_t> buffer, std::size_t& received);

// The 40100 goes on sending what it was asked for after the download stopped reading: under
// "WAITING FOR 40100 TO STOP SENDING..." its bytes are read and dropped until one read comes back
// empty (quiet for one read time-out), or twice the wire time of `bytesLeft` and kQuietMargin
// have passed; then the link is purged. Events are processed after every read.
void awaitQuietLink(CommandExchange& exchange, Shell& shell, std::size_t bytesLeft);

// "CMD345", "ERASING ALL RECORDED DATA IN 40100...", 500 ms; then single bytes until "*" ("ALL
// RECORDS ERASED."), each "!" moving the progress bar (maximum 1024) and giving 2.5 s more; after
// 2.5 s without either the time-out line. Failed after the time-out, Cancelled after a cancel.
CommandResult eraseRecords(CommandExchange& exchange, Shell& shell);

}  // namespace halvern

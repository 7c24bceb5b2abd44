#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/instrument_command.h"
#include "platform/calendar.h"
#include "records/records_file.h"

namespace halvern {

class Calendar;
class SetupModel;

// What the Get Records page holds, kept in the settings file between sessions.
struct RecordsSettings {
  static constexpr std::uint32_t kMinRecords = 1;
  static constexpr std::uint32_t kMaxRecords = 999999999;
  std::uint32_t numOfRecords = 100;
  bool showRecords = false;
  int delimiter = static_cast<int>(RecordsDelimiter::Comma);  // a RecordsDelimiter
};

// How the download meets the page (or the terminal): the save dialog, the records shown, the
// buttons.
struct RecordsView {
  // The file to write, asked of the user; nothing when cancelled.
  std::function<std::optional<std::string>()> chooseFile;
  // Text for the records window, in large pieces ("\r\n" line ends).
  std::function<void(std::string_view)> showText;
  // Get Records and Clear Text enabled or not.
  std::function<void(bool)> setButtonsEnabled;
};

// The Get Records button: the closed-link warning; the question before showing 5000 records or
// more (No unchecks "Show Records" in `settings` and goes on); the clock timer held off; the
// retrieval warning; fields per record, 200 ms and the record formats into `setup`; the limit on
// fields x records; the file; "CMD340"; the receive loop; "TOTAL BYTES"; the file written beside
// its name and renamed over it only when every byte came; the records shown; "FINISHED". A time-out
// is Failed (the communication warning), a cancel Cancelled ("RECORD DOWNLOAD CANCELLED."); both
// leave no file behind and an existing one as it was. The command keeps references to `setup`,
// `calendar`, `settings` and `view`: they must outlive it.
InstrumentCommand getRecordsCommand(SetupModel& setup, const Calendar& calendar,
                                    RecordsSettings& settings, const RecordsView& view);

// Records as a download received them, with the layout and the delimiter it started with.
struct ReceivedRecords {
  std::span<const std::uint8_t> data;  // `count` records of `fields` fields
  std::uint32_t fields = 0;
  std::uint32_t count = 0;
  std::span<const RecordFormat> formats;  // one a field
  char delimiter = ',';
};

// How Get Records ends once every byte came: its writing line, the records text file of `at`
// written beside `path` and renamed over it; then, when `show`, "SHOWING RECORDS..." and the
// file's lines numbered in the records window, in pieces of some 65536 fields with the events
// processed between two. False, after its warning and with nothing shown, when the file could not
// be saved.
bool saveAndShowRecords(Shell& shell, const RecordsView& view, const ReceivedRecords& records,
                        const std::string& path, const DateTime& at, bool show);

// Commands > Special Commands > Erase Records: the closed-link warning, the confirmation, then
// `eraseRecords`.
InstrumentCommand eraseRecordsCommand();

}  // namespace halvern

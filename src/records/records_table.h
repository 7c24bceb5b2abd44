#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_model.h"

namespace halvern {

// What a field of a records text file holds, told by its text.
enum class RecordFieldKind { Number, Date, Time };

// Records as numbers, read back from a records text file: for plotting, counting and writing
// elsewhere.
struct RecordsTable {
  std::size_t requested = 0;  // line 1, "%u RECORDS"
  std::string downloaded;     // line 2 as written, "MM-DD-YYYY HH:MM:SS"
  char delimiter = ',';
  std::vector<std::string> labels;     // one a field, Windows-1252 bytes
  std::vector<RecordFieldKind> kinds;  // one a field
  std::size_t records = 0;
  // Field i of record r at [r * fields() + i]: a Number's value; a Date as seconds from
  // 2000-01-01 to its midnight; a Time as seconds of the day. NaN for a gap ("-99999").
  std::vector<double> values;
  // Per record, its time in seconds from 2000-01-01 00:00:00: the first Date field's day plus
  // the first Time field's time. Empty when the fields have no Date and no Time; NaN for a
  // record whose date or time is a gap.
  std::vector<double> times;

  std::size_t fields() const { return labels.size(); }
  double value(std::size_t r, std::size_t i) const { return values[r * fields() + i]; }
  bool hasTimes() const { return !times.empty(); }
  // Where record r stands on the plot's x axis: its time, or its number counted from 1.
  double x(std::size_t r) const { return hasTimes() ? times[r] : static_cast<double>(r + 1); }
};

// The largest records text file read: 2162688 fields of up to 40 characters each, and the
// header.
inline constexpr std::size_t kRecordsTextMaxBytes = 96u << 20;

// A records text file read back: the table, or the line (counted from 1) and why it was refused.
struct RecordsRead {
  std::optional<RecordsTable> table;
  std::size_t line = 0;
  std::string problem;
};

// Reads the text this program writes for records: "%u RECORDS", the date and time, the labels,
// then one line a record, in any of the three delimiters (told by the record lines), CR LF or LF
// line ends. Every record line must have the same number of fields, each a number, a date
// "MM/DD/YYYY", a time "HH:MM:SS" or "-99999"; a field's kind is that of its first text that is
// not a gap. Labels that the delimiter splits otherwise than the records (a blank in a
// blank-delimited label line) are "Field N". Anything else is refused with its line and reason.
RecordsRead readRecordsText(std::string_view text);
// The same from a file, refused beyond kRecordsTextMaxBytes.
RecordsRead readRecordsFile(const std::string& path);

// Seconds from 2000-01-01 00:00:00 as ISO 8601 local time, "2026-12-08T14:05:00"; "" for NaN.
std::string isoTime(double seconds);
// "2026-12-08T14:05:00", "2026-12-08 14:05", "2026-12-08" (its midnight) as seconds from 2000.
std::optional<double> parseIsoTime(std::string_view text);

// One field's values drawn into `columns` pixel columns over [x0, x1]: each column's lowest and
// highest value (NaN where it has none), so that a single record's spike shows at any zoom.
// Records outside [x0, x1], gaps and records without a time are left out.
struct Envelope {
  std::vector<double> low;
  std::vector<double> high;
};
Envelope envelope(const RecordsTable& table, std::size_t field, double x0, double x1, int columns);

// A field over the records whose x lies in [x0, x1]: how many values and gaps, the lowest and the
// highest (with the first record, from 0, where each is), and the mean. NaN statistics when there
// are no values.
struct FieldStats {
  std::size_t count = 0;
  std::size_t gaps = 0;
  double min = 0;
  double max = 0;
  double mean = 0;
  std::size_t minRecord = 0;
  std::size_t maxRecord = 0;
};
FieldStats fieldStats(const RecordsTable& table, std::size_t field, double x0, double x1);

// The records in [x0, x1] as RFC 4180 CSV with CR LF line ends: first comment lines "# ..."
// saying what the file holds (`comments`, each one line), then the header ("Time" when the
// records have times, then each field's label), then one line a record: its ISO 8601 time,
// then each field (a Number as its shortest exact text, a Date or Time in ISO form, a gap
// empty). Fields quoted where RFC 4180 asks. The whole range (-inf, inf) takes the records whose
// time is not known too. `header` false: no comments and no header (for an
// append).
std::string recordsCsv(const RecordsTable& table, const std::vector<std::string>& comments,
                       double x0, double x1, bool header = true);

// What a CSV of records says of itself in its comment lines.
struct CsvAbout {
  std::vector<RecordFormat> formats;  // the record formats the records were decoded with
  std::string serial;                 // the bridge's serial number; empty when unknown
  std::string group;                  // the group's name; empty when none
};

// The comment lines: what the file is, the fields per record, each field's record format, when
// the records were downloaded (ISO 8601), the bridge's serial number and the group where known.
std::vector<std::string> recordsCsvComments(const RecordsTable& table, const CsvAbout& about);

// A site's archive of records, a CSV that only grows: `archive` is its bytes (empty for a new
// one). The records of `table` newer than the archive's last (by their times) are added after it,
// in their order; older ones, ones of the same time and ones without a time are left out, so a
// download appended twice adds nothing the second time. A new archive starts with the comments
// and the header. Refused (nothing added) when the records have no times, or when the archive's
// header is not this table's.
struct ArchiveAppend {
  std::string bytes;        // the archive with the new records
  std::size_t added = 0;    // records added
  std::size_t skipped = 0;  // records left out as not newer
  std::string problem;      // why nothing could be added; empty when it could
};
ArchiveAppend appendToArchive(std::string_view archive, const RecordsTable& table,
                              const std::vector<std::string>& comments);

// The largest archive read back to be added to.
inline constexpr std::size_t kArchiveMaxBytes = 1u << 30;

// The same with the archive's file (made when missing): read whole within kArchiveMaxBytes,
// added to, and saved atomically when anything was added. `problem` says why not; `fileError`
// then tells a file that could not be read or written from records that could not be added.
struct ArchiveFileAppend {
  std::size_t added = 0;
  std::size_t skipped = 0;
  std::string problem;
  bool fileError = false;
};
ArchiveFileAppend appendToArchiveFile(const std::string& path, const RecordsTable& table,
                                      const std::vector<std::string>& comments);

}  // namespace halvern

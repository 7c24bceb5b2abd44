#include "records/records_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "files/file_load.h"
#include "files/file_save.h"
#include "wire/text_format.h"
#include "wire/windows1252.h"

namespace halvern {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::string_view kGap = "-99999";
constexpr double kDay = 86400.0;

// Days from 2000-01-01 to the civil date (proleptic Gregorian).
long long daysFrom2000(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 - 10957;
}

struct Civil {
  long long year;
  unsigned month;
  unsigned day;
};

Civil civilFrom2000(long long days) {
  const long long z = days + 10957 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const unsigned d = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  const unsigned m = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (m <= 2), m, d};
}

bool leap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(long long y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits as a number; text of at most 9 digits.
long long digitsValue(std::string_view text) {
  long long n = 0;
  for (const char c : text) n = n * 10 + (c - '0');
  return n;
}

// "MM/DD/YYYY" (the year of four digits or more): the seconds to that date's midnight, NaN for
// a date that is no day of the calendar.
std::optional<double> dateValue(std::string_view text) {
  if (text.size() < 10 || text.size() > 15 || text[2] != '/' || text[5] != '/') return std::nullopt;
  const std::string_view mm = text.substr(0, 2);
  const std::string_view dd = text.substr(3, 2);
  const std::string_view yyyy = text.substr(6);
  if (!allDigits(mm) || !allDigits(dd) || !allDigits(yyyy)) return std::nullopt;
  const long long year = digitsValue(yyyy);
  const auto month = static_cast<unsigned>(digitsValue(mm));
  const auto day = static_cast<unsigned>(digitsValue(dd));
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return kNaN;
  return static_cast<double>(daysFrom2000(year, month, day)) * kDay;
}

// "HH:MM:SS" (the hours of two digits or more): seconds of the day, NaN for no time of a day.
std::optional<double> timeValue(std::string_view text) {
  if (text.size() < 8 || text.size() > 13) return std::nullopt;
  const std::size_t n = text.size();
  if (text[n - 3] != ':' || text[n - 6] != ':') return std::nullopt;
  const std::string_view hh = text.substr(0, n - 6);
  const std::string_view mm = text.substr(n - 5, 2);
  const std::string_view ss = text.substr(n - 2);
  if (!allDigits(hh) || !allDigits(mm) || !allDigits(ss)) return std::nullopt;
  const long long h = digitsValue(hh);
  const long long m = digitsValue(mm);
  const long long s = digitsValue(ss);
  if (h > 23 || m > 59 || s > 59) return kNaN;
  return static_cast<double>(h * 3600 + m * 60 + s);
}

// A Number's text: an optional minus, digits, an optional point and digits; nothing else.
std::optional<double> numberValue(std::string_view text) {
  std::size_t at = text.starts_with('-') ? 1 : 0;
  const std::size_t point = text.find('.', at);
  const std::string_view whole =
      text.substr(at, point == std::string_view::npos ? point : point - at);
  if (!allDigits(whole)) return std::nullopt;
  if (point != std::string_view::npos && !allDigits(text.substr(point + 1))) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view kindName(RecordFieldKind kind) {
  switch (kind) {
    case RecordFieldKind::Number:
      return "a number";
    case RecordFieldKind::Date:
      return "a date";
    case RecordFieldKind::Time:
      return "a time";
  }
  return "";
}

// The next line of `text` from `at` without its line end; false at the end.
bool nextLine(std::string_view text, std::size_t& at, std::string_view& line) {
  if (at >= text.size()) return false;
  std::size_t end = text.find('\n', at);
  if (end == std::string_view::npos) end = text.size();
  line = text.substr(at, end - at);
  if (line.ends_with('\r')) line.remove_suffix(1);
  at = end + 1;
  return true;
}

void split(std::string_view line, char delimiter, std::vector<std::string_view>& out) {
  out.clear();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(delimiter, start);
    if (end == std::string_view::npos) {
      out.push_back(line.substr(start));
      return;
    }
    out.push_back(line.substr(start, end - start));
    start = end + 1;
  }
}

RecordsRead refused(std::size_t line, std::string problem) {
  RecordsRead read;
  read.line = line;
  read.problem = std::move(problem);
  return read;
}

std::string csvCell(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string shortest(double value) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

RecordsRead readRecordsText(std::string_view text) {
  std::size_t at = 0;
  std::string_view line;
  RecordsTable table;

  if (!nextLine(text, at, line) || !line.ends_with(" RECORDS") ||
      !allDigits(line.substr(0, line.size() - 8)) || line.size() > 8 + 9)
    return refused(1, "the first line is not \"N RECORDS\"");
  table.requested = static_cast<std::size_t>(digitsValue(line.substr(0, line.size() - 8)));
  if (!nextLine(text, at, line) || line.size() != 19 || line[2] != '-' || line[5] != '-' ||
      line[10] != ' ' || line[13] != ':' || line[16] != ':')
    return refused(2, "the second line is not the date and time \"MM-DD-YYYY HH:MM:SS\"");
  table.downloaded = std::string(line);
  std::string_view labels;
  if (!nextLine(text, at, labels)) return refused(3, "there is no line of field labels");

  // The delimiter, told by the first record (or by the labels when there is none).
  std::string_view first;
  std::size_t probe = at;
  const std::string_view teller = nextLine(text, probe, first) && !first.empty() ? first : labels;
  table.delimiter = teller.find('\t') != std::string_view::npos  ? '\t'
                    : teller.find(',') != std::string_view::npos ? ','
                    : teller.find(' ') != std::string_view::npos ? ' '
                                                                 : ',';
  std::vector<std::string_view> cells;
  std::vector<std::optional<RecordFieldKind>> kinds;
  std::size_t fields = 0;
  std::size_t number = 3;
  table.values.reserve(std::min<std::size_t>(table.requested, 2162688) * 4);
  while (nextLine(text, at, line)) {
    ++number;
    // A last line end leaves nothing after it.
    if (line.empty() && at >= text.size()) break;
    split(line, table.delimiter, cells);
    if (fields == 0) {
      fields = cells.size();
      if (fields > 25) return refused(number, "a record has more than 25 fields");
      kinds.assign(fields, std::nullopt);
    } else if (cells.size() != fields) {
      return refused(number, formatText("this record has %zu fields, the first has %zu",
                                        cells.size(), fields));
    }
    for (std::size_t i = 0; i < fields; ++i) {
      const std::string_view cell = cells[i];
      if (cell == kGap) {
        table.values.push_back(kNaN);
        continue;
      }
      RecordFieldKind kind = RecordFieldKind::Number;
      std::optional<double> value = numberValue(cell);
      if (!value) {
        kind = RecordFieldKind::Date;
        value = dateValue(cell);
      }
      if (!value) {
        kind = RecordFieldKind::Time;
        value = timeValue(cell);
      }
      if (!value)
        return refused(number,
                       formatText("field %zu is not a number, a date, a time or -99999", i + 1));
      if (!kinds[i]) kinds[i] = kind;
      if (*kinds[i] != kind)
        return refused(number, formatText("field %zu is %s here and %s above", i + 1,
                                          std::string(kindName(kind)).c_str(),
                                          std::string(kindName(*kinds[i])).c_str()));
      table.values.push_back(*value);
    }
    ++table.records;
    if (table.records > table.requested)
      return refused(number, formatText("there are more records than the %zu the first line says",
                                        table.requested));
  }
  if (table.records != table.requested)
    return refused(number + 1, formatText("the file ends after %zu of its %zu records",
                                          table.records, table.requested));
  if (fields == 0) {
    split(labels, table.delimiter, cells);
    fields = labels.empty() ? 0 : cells.size();
    kinds.assign(fields, std::nullopt);
  }
  // Labels split as the records are, else named by their place.
  split(labels, table.delimiter, cells);
  for (std::size_t i = 0; i < fields; ++i) {
    table.labels.push_back(cells.size() == fields ? std::string(cells[i])
                                                  : formatText("Field %zu", i + 1));
    table.kinds.push_back(kinds[i].value_or(RecordFieldKind::Number));
  }
  // The time of each record: the first Date's day and the first Time's time of day.
  const auto date = std::find(table.kinds.begin(), table.kinds.end(), RecordFieldKind::Date);
  const auto time = std::find(table.kinds.begin(), table.kinds.end(), RecordFieldKind::Time);
  if (date != table.kinds.end() && time != table.kinds.end()) {
    const auto d = static_cast<std::size_t>(date - table.kinds.begin());
    const auto t = static_cast<std::size_t>(time - table.kinds.begin());
    table.times.resize(table.records);
    for (std::size_t r = 0; r < table.records; ++r)
      table.times[r] = table.value(r, d) + table.value(r, t);
  }
  RecordsRead read;
  read.table = std::move(table);
  return read;
}

RecordsRead readRecordsFile(const std::string& path) {
  const LoadedFile file = loadFileBytes(path, kRecordsTextMaxBytes, "records file");
  if (!file.problem.empty()) return refused(0, file.problem);
  if (file.longer)
    return refused(0, formatText("The records file %s is larger than %zu bytes.", path.c_str(),
                                 kRecordsTextMaxBytes));
  return readRecordsText(file.bytes);
}

std::string isoTime(double seconds) {
  if (!std::isfinite(seconds)) return {};
  const auto whole = static_cast<long long>(std::llround(seconds));
  long long days = whole / 86400;
  long long rest = whole % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const Civil c = civilFrom2000(days);
  return formatText("%04lld-%02u-%02uT%02lld:%02lld:%02lld", c.year, c.month, c.day, rest / 3600,
                    rest % 3600 / 60, rest % 60);
}

std::optional<double> parseIsoTime(std::string_view text) {
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  if (!allDigits(text.substr(0, 4)) || !allDigits(text.substr(5, 2)) ||
      !allDigits(text.substr(8, 2)))
    return std::nullopt;
  const long long year = digitsValue(text.substr(0, 4));
  const auto month = static_cast<unsigned>(digitsValue(text.substr(5, 2)));
  const auto day = static_cast<unsigned>(digitsValue(text.substr(8, 2)));
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) return std::nullopt;
  double seconds = static_cast<double>(daysFrom2000(year, month, day)) * kDay;
  if (text.size() == 10) return seconds;
  if (text[10] != 'T' && text[10] != ' ') return std::nullopt;
  const std::string_view clock = text.substr(11);
  if ((clock.size() != 5 && clock.size() != 8) || clock[2] != ':' ||
      (clock.size() == 8 && clock[5] != ':'))
    return std::nullopt;
  const std::string_view hh = clock.substr(0, 2);
  const std::string_view mm = clock.substr(3, 2);
  const std::string_view ss = clock.size() == 8 ? clock.substr(6, 2) : std::string_view("00");
  if (!allDigits(hh) || !allDigits(mm) || !allDigits(ss)) return std::nullopt;
  const long long h = digitsValue(hh);
  const long long m = digitsValue(mm);
  const long long s = digitsValue(ss);
  if (h > 23 || m > 59 || s > 59) return std::nullopt;
  return seconds + static_cast<double>(h * 3600 + m * 60 + s);
}

Envelope envelope(const RecordsTable& table, std::size_t field, double x0, double x1, int columns) {
  Envelope e;
  const std::size_t n = static_cast<std::size_t>(std::max(columns, 0));
  e.low.assign(n, kNaN);
  e.high.assign(n, kNaN);
  if (n == 0 || field >= table.fields() || !(x1 >= x0)) return e;
  const double width = x1 - x0;
  const double scale = width > 0 ? static_cast<double>(n) / width : 0.0;
  const std::size_t fields = table.fields();
  for (std::size_t r = 0; r < table.records; ++r) {
    const double x = table.x(r);
    if (!(x >= x0 && x <= x1)) continue;
    const double y = table.values[r * fields + field];
    if (std::isnan(y)) continue;
    const auto c = std::min(static_cast<std::size_t>((x - x0) * scale), n - 1);
    double& low = e.low[c];
    double& high = e.high[c];
    if (std::isnan(low) || y < low) low = y;
    if (std::isnan(high) || y > high) high = y;
  }
  return e;
}

FieldStats fieldStats(const RecordsTable& table, std::size_t field, double x0, double x1) {
  FieldStats s;
  s.min = s.max = s.mean = kNaN;
  if (field >= table.fields()) return s;
  double sum = 0;
  const std::size_t fields = table.fields();
  for (std::size_t r = 0; r < table.records; ++r) {
    const double x = table.x(r);
    if (!(x >= x0 && x <= x1)) continue;
    const double y = table.values[r * fields + field];
    if (std::isnan(y)) {
      ++s.gaps;
      continue;
    }
    if (s.count == 0 || y < s.min) {
      s.min = y;
      s.minRecord = r;
    }
    if (s.count == 0 || y > s.max) {
      s.max = y;
      s.maxRecord = r;
    }
    sum += y;
    ++s.count;
  }
  if (s.count > 0) s.mean = sum / static_cast<double>(s.count);
  return s;
}

namespace {

std::string csvHeader(const RecordsTable& table, const std::vector<std::string>& comments) {
  std::string out;
  for (const std::string& c : comments) out += "# " + c + "\r\n";
  out += table.hasTimes() ? "Time" : "Record";
  for (const std::string& label : table.labels) out += "," + csvCell(windows1252::toUtf8(label));
  return out + "\r\n";
}

void appendCsvLine(std::string& out, const RecordsTable& table, std::size_t r) {
  out += table.hasTimes() ? isoTime(table.times[r]) : std::to_string(r + 1);
  const std::size_t fields = table.fields();
  for (std::size_t i = 0; i < fields; ++i) {
    out += ',';
    const double v = table.values[r * fields + i];
    if (std::isnan(v)) continue;
    switch (table.kinds[i]) {
      case RecordFieldKind::Number:
        out += shortest(v);
        break;
      case RecordFieldKind::Date:
        out += isoTime(v).substr(0, 10);
        break;
      case RecordFieldKind::Time:
        out += isoTime(v).substr(11);
        break;
    }
  }
  out += "\r\n";
}

}  // namespace

std::string recordsCsv(const RecordsTable& table, const std::vector<std::string>& comments,
                       double x0, double x1, bool header) {
  std::string out = header ? csvHeader(table, comments) : std::string();
  // The whole range takes the records whose time is not known too.
  const bool whole = std::isinf(x0) && x0 < 0 && std::isinf(x1) && x1 > 0;
  for (std::size_t r = 0; r < table.records; ++r) {
    const double x = table.x(r);
    if (!(x >= x0 && x <= x1) && !(whole && std::isnan(x))) continue;
    appendCsvLine(out, table, r);
  }
  return out;
}

std::vector<std::string> recordsCsvComments(const RecordsTable& table, const CsvAbout& about) {
  std::vector<std::string> lines{"Records of a Model 40100, downloaded by Halvern"};
  lines.push_back(formatText("Fields per record: %zu", table.fields()));
  static constexpr const char* kTypes[] = {"Number", "Date", "Time"};
  for (std::size_t i = 0; i < about.formats.size() && i < table.fields(); ++i) {
    const RecordFormat& f = about.formats[i];
    const int type = std::clamp(f.type, 0, 2);
    std::string line =
        formatText("Field %zu: %s, %s", i + 1, windows1252::toUtf8(f.label).c_str(), kTypes[type]);
    if (type == RecordFormat::Number)
      line += formatText(", width %d, precision %d", f.width, f.precision);
    lines.push_back(line);
  }
  // "MM-DD-YYYY HH:MM:SS" as ISO 8601.
  const std::string& d = table.downloaded;
  if (d.size() == 19)
    lines.push_back("Downloaded: " + d.substr(6, 4) + "-" + d.substr(0, 2) + "-" + d.substr(3, 2) +
                    "T" + d.substr(11));
  lines.push_back(formatText("Records: %zu", table.records));
  if (!about.serial.empty()) lines.push_back("Bridge serial number: " + about.serial);
  if (!about.group.empty()) lines.push_back("Group: " + windows1252::toUtf8(about.group));
  return lines;
}

ArchiveAppend appendToArchive(std::string_view archive, const RecordsTable& table,
                              const std::vector<std::string>& comments) {
  ArchiveAppend out;
  if (!table.hasTimes()) {
    out.problem =
        "These records have no Date and Time fields, so what is newer than the archive cannot be "
        "told; nothing was added.";
    return out;
  }
  const double all = std::numeric_limits<double>::infinity();
  const std::string fresh = csvHeader(table, comments);
  // The header: the first line that is not a comment.
  const auto headerOf = [](std::string_view text) -> std::string_view {
    std::size_t at = 0;
    std::string_view line;
    while (nextLine(text, at, line))
      if (!line.starts_with('#')) return line;
    return {};
  };
  double last = -all;
  if (!archive.empty()) {
    if (headerOf(archive) != headerOf(fresh)) {
      out.problem =
          "The archive's columns are not these records' fields; nothing was added. Use another "
          "archive for records of other fields.";
      return out;
    }
    // The last record's time: the first cell of the last line that holds one.
    std::size_t at = 0;
    std::string_view line;
    std::string_view lastLine;
    bool header = false;
    while (nextLine(archive, at, line)) {
      if (line.empty() || line.starts_with('#')) continue;
      if (!header) {
        header = true;
        continue;
      }
      lastLine = line;
    }
    if (!lastLine.empty()) {
      const auto time = parseIsoTime(lastLine.substr(0, lastLine.find(',')));
      if (!time) {
        out.problem = "The archive's last line does not start with a time; nothing was added.";
        return out;
      }
      last = *time;
    }
  }
  out.bytes = archive.empty() ? fresh : std::string(archive);
  if (!out.bytes.ends_with('\n')) out.bytes += "\r\n";
  // In the download's order, each record newer than the archive's last and not older than the
  // one added before it (records of one time in one download are all kept).
  double previous = last;
  for (std::size_t r = 0; r < table.records; ++r) {
    const double x = table.times[r];
    if (!(x > last) || !(x >= previous)) {
      ++out.skipped;
      continue;
    }
    appendCsvLine(out.bytes, table, r);
    previous = x;
    ++out.added;
  }
  return out;
}

ArchiveFileAppend appendToArchiveFile(const std::string& path, const RecordsTable& table,
                                      const std::vector<std::string>& comments) {
  ArchiveFileAppend out;
  std::error_code error;
  LoadedFile archive;
  if (std::filesystem::exists(path, error)) {
    archive = loadFileBytes(path, kArchiveMaxBytes, "archive");
    if (archive.problem.empty() && archive.longer)
      archive.problem = "The archive " + path + " is too large to add to.";
    if (!archive.problem.empty()) {
      out.problem = archive.problem;
      out.fileError = true;
      return out;
    }
  }
  const ArchiveAppend appended = appendToArchive(archive.bytes, table, comments);
  out.added = appended.added;
  out.skipped = appended.skipped;
  out.problem = appended.problem;
  if (out.problem.empty() && out.added > 0) {
    out.problem = saveFileBytes(path, appended.bytes, "archive");
    out.fileError = !out.problem.empty();
    if (out.fileError) out.added = 0;
  }
  return out;
}

}  // namespace halvern

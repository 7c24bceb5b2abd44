#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/calendar.h"
#include "setup/setup_model.h"

namespace halvern {

// Logged records as the instrument sends them: n records of f fields, each field a little-endian
// IEEE 754 single, field i of record r at byte 4 * (r * f + i); no header, no separator.
inline constexpr std::size_t kRecordFieldSize = 4;

// The field delimiters the page offers, by their place in its list (the index the settings file
// keeps).
enum class RecordsDelimiter : int { Space = 0, Comma = 1, Tab = 2 };

// The field delimiter by the page's choice: a blank, a comma or a tab; any other index a comma.
char recordDelimiter(int index);

// Field i of record r.
float recordField(std::span<const std::uint8_t> data, std::size_t fields, std::size_t r,
                  std::size_t i);

// The text of one field by its record format: a Number "%0*.*f" with the format's width and
// precision; a Date from the value truncated to an unsigned YYMMDD as "MM/DD/20YY"; a Time from
// HHMMSS as "HH:MM:SS"; "-99999" for a value that is not a number or is infinite, whatever the
// type. The format's width and precision are taken as the Setup page clamps them. The decimal
// point is "." whatever the locale, here and in every function below.
std::string formatRecordField(float value, const RecordFormat& format);
void appendRecordField(std::string& out, float value, const RecordFormat& format);

// What leads a shown line: "%07i%c", the number of record `r` counted from 1 and the delimiter.
void appendRecordNumber(std::string& out, std::size_t r, char delimiter);

// The fields of records [first, last) joined by the delimiter, one record a line ended CR LF,
// each line led by its record number (appendRecordNumber) when `numbered`.
void appendRecordLines(std::string& out, std::span<const std::uint8_t> data, std::size_t fields,
                       std::span<const RecordFormat> formats, char delimiter, std::size_t first,
                       std::size_t last, bool numbered);

// The records text file: "%u RECORDS", the date and time "MM-DD-YYYY HH:MM:SS" of `at`, the
// labels of the fields joined by the delimiter, then one line per record; CR LF line ends.
std::string recordsFileHeader(std::size_t records, std::span<const RecordFormat> formats,
                              char delimiter, const DateTime& at);

// The formats of the first `fields` rows of the setup.
std::vector<RecordFormat> recordFormatsOf(const SetupModel& setup, std::size_t fields);

}  // namespace halvern

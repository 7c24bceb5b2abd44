#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/calendar.h"

namespace halvern::sim {

// The records the instrument has logged: `count()` records, the oldest first, each of the fields
// per record it logs with, one little-endian IEEE 754 single a field. A field's value follows its
// format: a date YYMMDD and a time HHMMSS advancing by the logging interval from the first
// record's, and plausible readings for the rest (wind speed and direction, air temperature,
// battery voltage, then slow waves), with now and then a reading that is not a number.
class RecordLog {
 public:
  // What the log needs to know of a field.
  enum class FieldType : std::uint8_t { Number = 0, Date = 1, Time = 2 };

  static constexpr std::size_t kDefaultCount = 3000;
  // The most the log holds: the instrument's memory of 2162688 fields, one field a record.
  static constexpr std::size_t kMaxCount = 2162688;
  // Every this many records, one reading is not a number (a sensor that did not answer).
  static constexpr std::size_t kMissingEvery = 997;

  explicit RecordLog(DateTime first = {2026, 12, 1, 0, 0, 0}) : m_first(first) {}

  std::size_t count() const { return m_count; }
  void setCount(std::size_t count) { m_count = count; }
  void erase() { m_count = 0; }
  // Seconds between two records.
  void setInterval(std::chrono::seconds interval) { m_interval = interval; }

  // The bytes of records [0, records) with `types` as their fields; records beyond the log's
  // count are not there.
  std::string bytes(std::size_t records, const std::vector<FieldType>& types) const;
  // One field's value.
  float value(std::size_t record, std::size_t field, FieldType type) const;

 private:
  DateTime m_first;
  std::size_t m_count = kDefaultCount;
  std::chrono::seconds m_interval{60};
};

}  // namespace halvern::sim

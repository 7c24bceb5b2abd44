#pragma once

namespace halvern {

// A local date and time of day as the instrument and the date and time fields know it.
struct DateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Where the computer's local date and time come from, so tests can fix them.
class Calendar {
 public:
  virtual ~Calendar() = default;
  virtual DateTime now() const = 0;
};

class SystemCalendar final : public Calendar {
 public:
  DateTime now() const override;
};

class FixedCalendar final : public Calendar {
 public:
  explicit FixedCalendar(DateTime at) : m_at(at) {}
  DateTime now() const override { return m_at; }
  void set(DateTime at) { m_at = at; }

 private:
  DateTime m_at;
};

}  // namespace halvern

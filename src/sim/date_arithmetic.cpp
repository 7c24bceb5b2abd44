#include "sim/date_arithmetic.h"

namespace halvern::sim {

DateTime secondsLater(const DateTime& t, std::chrono::seconds offset) {
  using namespace std::chrono;
  const sys_seconds start = sys_days{year{t.year} / t.month / t.day} + hours{t.hour} +
                            minutes{t.minute} + seconds{t.second};
  const sys_seconds later = start + offset;
  const auto day = floor<days>(later);
  const year_month_day ymd{day};
  const hh_mm_ss hms{later - day};
  return DateTime{static_cast<int>(ymd.year()),
                  static_cast<int>(unsigned(ymd.month())),
                  static_cast<int>(unsigned(ymd.day())),
                  static_cast<int>(hms.hours().count()),
                  static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count())};
}

}  // namespace halvern::sim

#include "sim/record_log.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "sim/date_arithmetic.h"
#include "wire/byte_order.h"

namespace halvern::sim {

float RecordLog::value(std::size_t record, std::size_t field, FieldType type) const {
  const DateTime when = secondsLater(m_first, m_interval * static_cast<long>(record));
  switch (type) {
    case FieldType::Date:
      return static_cast<float>((when.year % 100) * 10000 + when.month * 100 + when.day);
    case FieldType::Time:
      return static_cast<float>(when.hour * 10000 + when.minute * 100 + when.second);
    case FieldType::Number:
      break;
  }
  if ((record + field) % kMissingEvery == kMissingEvery - 1)
    return std::numeric_limits<float>::quiet_NaN();
  const double t = static_cast<double>(record);
  switch (field % 6) {
    case 2:  // wind speed, m/s
      return static_cast<float>(4.0 + 3.0 * std::sin(t / 37.0) + 1.5 * std::sin(t / 5.3));
    case 3:  // wind direction, degrees
      return static_cast<float>(std::fmod(200.0 + 60.0 * std::sin(t / 91.0) + 360.0, 360.0));
    case 4:  // air temperature, degrees Celsius, a day's wave
      return static_cast<float>(8.0 + 6.0 * std::sin(t * 2.0 * M_PI / 1440.0));
    case 5:  // battery voltage
      return static_cast<float>(12.6 - 0.0001 * static_cast<double>(record % 4000));
    default:
      return static_cast<float>(100.0 * std::sin(t / (11.0 + static_cast<double>(field))));
  }
}

std::string RecordLog::bytes(std::size_t records, const std::vector<FieldType>& types) const {
  const std::size_t n = std::min(records, m_count);
  std::string out(n * types.size() * 4, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(out.data());
  for (std::size_t r = 0; r < n; ++r) {
    for (std::size_t i = 0; i < types.size(); ++i) {
      const float v = value(r, i, types[i]);
      std::uint32_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      byte_order::putLittle32(p, bits);
      p += 4;
    }
  }
  return out;
}

}  // namespace halvern::sim

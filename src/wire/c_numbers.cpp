#include "wire/c_numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "wire/text_format.h"

namespace halvern {

namespace {

// The C locale as a locale object, made once and kept for the life of the process.
locale_t cLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

// newlocale of "C" cannot fail for want of locale files; should it fail for want of memory, the
// thread keeps its locale rather than being given none.
CNumbersScope::CNumbersScope()
    : m_previous(cLocale() != static_cast<locale_t>(0) ? uselocale(cLocale())
                                                       : static_cast<locale_t>(0)) {}

CNumbersScope::~CNumbersScope() {
  if (m_previous != static_cast<locale_t>(0)) uselocale(m_previous);
}

namespace {

struct Reading {
  double value = 0;
  std::size_t used = 0;  // 0: no number
  bool outOfRange = false;
};

Reading read(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  // from_chars takes a minus but no plus; "+-1" is no number for strtod either.
  if (i < text.size() && text[i] == '+') {
    ++i;
    if (i < text.size() && text[i] == '-') return {};
  }
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  Reading r;
  const auto [end, ec] = std::from_chars(first, last, r.value, std::chars_format::general);
  if (end == first) return {};
  r.used = static_cast<std::size_t>(end - text.data());
  if (ec == std::errc::result_out_of_range) {
    // What strtod gives for it (+-HUGE_VAL, or 0 with its sign), asked in the C locale.
    r.outOfRange = true;
    const CNumbersScope cNumbers;
    r.value = std::strtod(std::string(first, end).c_str(), nullptr);
  }
  return r;
}

}  // namespace

double leadingDecimal(std::string_view text, std::size_t* used) {
  const Reading r = read(text);
  if (used) *used = r.used;
  return r.value;
}

std::optional<double> wholeDecimal(std::string_view text) {
  const Reading r = read(text);
  if (r.used == 0 || r.used != text.size() || r.outOfRange || !std::isfinite(r.value))
    return std::nullopt;
  return r.value;
}

namespace {

constexpr std::uint64_t kPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                          100000, 1000000, 10000000, 100000000, 1000000000};

// appendFixed in integers, for the values whose |value| x 10^precision rounds below 2^64 with at
// most 9 decimals (a reading of any sensor): the value is m x 2^e exactly, so m x 10^precision
// shifted by e is the number of units of the last decimal, its remainder telling the rounding.
// False, with nothing appended, for any other value.
bool appendFixedInIntegers(std::string& out, double value, int width, int precision) {
  if (precision < 0 || precision > 9) return false;
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  if (biased == 0x7FF) return false;  // infinite or not a number
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;  // zero and the subnormals
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  using Wide = unsigned __int128;
  // m x 10^precision < 2^53 x 2^30.
  const Wide units = static_cast<Wide>(mantissa) * kPowersOfTen[precision];
  Wide scaled = 0;
  if (exponent >= 0) {
    if (exponent > 40) return false;
    scaled = units << exponent;
  } else if (exponent >= -100) {
    const int shift = -exponent;
    scaled = units >> shift;
    const Wide rest = units - (scaled << shift);
    const Wide half = Wide{1} << (shift - 1);
    if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
  }  // else below half a unit of any decimal: 0
  if ((scaled >> 64) != 0) return false;

  // The digits, at least one before the point.
  char digits[24];
  char* const end = digits + sizeof digits;
  char* first = end;
  auto n = static_cast<std::uint64_t>(scaled);
  do {
    *--first = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (end - first < precision + 1) *--first = '0';
  const auto count = static_cast<std::size_t>(end - first);
  const auto decimals = static_cast<std::size_t>(precision);
  const std::size_t length = (negative ? 1 : 0) + count + (decimals > 0 ? 1 : 0);
  if (negative) out += '-';
  if (width > 0 && static_cast<std::size_t>(width) > length)
    out.append(static_cast<std::size_t>(width) - length, '0');
  out.append(first, count - decimals);
  if (decimals > 0) {
    out += '.';
    out.append(end - decimals, decimals);
  }
  return true;
}

}  // namespace

void appendFixed(std::string& out, double value, int width, int precision) {
  if (appendFixedInIntegers(out, value, width, precision)) return;
  // Room for the largest double with its sign, its point and 64 decimals or more.
  char buffer[384];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (ec != std::errc{}) {
    // More decimals than the buffer holds: the C library, in the C locale.
    out += formatText("%0*.*f", width, precision, value);
    return;
  }
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  if (width <= 0 || text.size() >= static_cast<std::size_t>(width)) {
    out.append(text);
    return;
  }
  const std::size_t fill = static_cast<std::size_t>(width) - text.size();
  if (!std::isfinite(value)) {
    out.append(fill, ' ');
  } else {
    if (text.front() == '-') {
      out += '-';
      text.remove_prefix(1);
    }
    out.append(fill, '0');
  }
  out.append(text);
}

}  // namespace halvern

#include "wire/c_numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

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

}  // namespace halvern

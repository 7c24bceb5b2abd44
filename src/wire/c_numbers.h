#pragma once

#include <locale.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Numbers written and read with "." as the decimal point, whatever the process's locale says.
// QCoreApplication and QApplication call setlocale(LC_ALL, "") at start, so without this the C
// library's "%f" and strtod would follow the desktop's LANG, LC_ALL or LC_NUMERIC ("5000,000000"
// on the wire, "0012,50" in a records file).
namespace halvern {

// For its lifetime the calling thread formats and reads numbers in the C locale (its own
// uselocale(3), restored when it ends), so the printf family gives exactly the bytes it gives in
// the C locale. Only this thread is touched, and a setlocale by any library meanwhile changes the
// process's locale, not this thread's. Nests.
class CNumbersScope {
 public:
  CNumbersScope();
  ~CNumbersScope();
  CNumbersScope(const CNumbersScope&) = delete;
  CNumbersScope& operator=(const CNumbersScope&) = delete;

 private:
  locale_t m_previous;
};

// The decimal number at the start of `text` as strtod reads it in the C locale: blanks, a sign
// ("+" or "-"), digits with "." as the decimal point, an exponent ("inf" and "nan" too; hex
// floats are not read). `used` gets how many characters the number took, 0 when there is none
// (the value is then 0). Beyond the double's range: as strtod, +-HUGE_VAL when too large, 0 with
// its sign when too small. Never depends on the locale.
double leadingDecimal(std::string_view text, std::size_t* used = nullptr);

// `text` as one finite decimal number, read as leadingDecimal reads it, when the number is all
// of it and within the double's range ("inf", "nan" and "1e999" are not); nothing otherwise.
std::optional<double> wholeDecimal(std::string_view text);

// Appends `value` exactly as snprintf's "%0*.*f" writes it in the C locale, without the C library:
// a minus for a negative value (-0 and a negative value that rounds to 0 too), zeros after it to
// make the whole at least `width` characters, and `precision` decimals rounded from the value's
// exact binary fraction, half to even; "inf", "-inf", "nan" and "-nan" led by blanks instead.
// `width` and `precision` are 0 or more. The records files write millions of numbers this way.
void appendFixed(std::string& out, double value, int width, int precision);

}  // namespace halvern

#include "service/calibration_reference.h"

#include <charconv>

namespace halvern {

namespace {

constexpr std::size_t kWholeDigits = 4;
constexpr std::size_t kDecimals = 2;

// True when `digits` holds digits alone (and at least one): read as an unsigned number, which
// takes no sign, no blank and no point, whatever the locale.
bool allDigits(std::string_view digits) {
  unsigned long long value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  return !digits.empty() && error == std::errc{} && stop == end;
}

}  // namespace

bool isCompleteReference(std::string_view text) {
  return text.size() == kWholeDigits + 1 + kDecimals && text[kWholeDigits] == '.' &&
         allDigits(text.substr(0, kWholeDigits)) && allDigits(text.substr(kWholeDigits + 1));
}

std::optional<std::string> referenceInMaskForm(std::string_view text) {
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view decimals =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (whole.empty() && decimals.empty()) return std::nullopt;
  if (whole.size() > kWholeDigits || decimals.size() > kDecimals) return std::nullopt;
  if ((!whole.empty() && !allDigits(whole)) || (!decimals.empty() && !allDigits(decimals)))
    return std::nullopt;
  std::string filled(kWholeDigits - whole.size(), '0');
  filled += whole;
  filled += '.';
  filled += decimals;
  filled.append(kDecimals - decimals.size(), '0');
  return filled;
}

}  // namespace halvern

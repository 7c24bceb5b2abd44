#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace halvern {

namespace calibration_text {
// A full-scale step whose reference leaves a digit of its mask open sends nothing.
inline constexpr std::string_view kIncompleteReference =
    "Enter every digit of the reference voltage (0000.00 to 9999.99 mV).";
}  // namespace calibration_text

// True when `text` fills the reference field's mask "0000.00": four digits, the point, two
// digits, and nothing else.
bool isCompleteReference(std::string_view text);

// A reference typed on the command line, in the mask's form: "4998.37" as it is, or a number of
// at most four integer digits and two decimals filled out to it ("25" gives "0025.00", "2.5"
// gives "0002.50", ".5" gives "0000.50"). Nothing for anything else: a sign, a blank, more digits,
// an exponent, no digit at all.
std::optional<std::string> referenceInMaskForm(std::string_view text);

}  // namespace halvern

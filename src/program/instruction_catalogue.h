#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "program/program_record.h"

namespace halvern {

// Parameter kind codes: 0 to 4 as named, 5 to 34 a value list of that number.
inline constexpr std::uint8_t kKindNone = 0;
inline constexpr std::uint8_t kKindInteger = 1;
inline constexpr std::uint8_t kKindDecimal = 2;
inline constexpr std::uint8_t kKindText = 3;
inline constexpr std::uint8_t kKindHex = 4;
inline constexpr std::uint8_t kFirstListKind = 5;
inline constexpr std::uint8_t kLastListKind = 34;

enum class ParamKind { None, Integer, Decimal, Text, Hex, List };

constexpr ParamKind paramKindOf(std::uint8_t code) {
  switch (code) {
    case kKindNone:
      return ParamKind::None;
    case kKindInteger:
      return ParamKind::Integer;
    case kKindDecimal:
      return ParamKind::Decimal;
    case kKindText:
      return ParamKind::Text;
    case kKindHex:
      return ParamKind::Hex;
    default:
      return code <= kLastListKind ? ParamKind::List : ParamKind::None;
  }
}

// One parameter of an instruction. `width`: digits (integer, hexadecimal), characters typed
// (decimal, whose formatted value has width - 2 decimals) or text length; unused for lists.
// `defaultValue`: the value (integer and hexadecimal truncated), or the entry index of a list.
struct ParamDef {
  std::string_view label;
  std::uint8_t kind = kKindNone;
  std::uint8_t width = 0;
  float defaultValue = 0;
  // The text a text parameter starts with.
  std::string_view defaultText;

  ParamKind paramKind() const { return paramKindOf(kind); }
};

struct InstructionDef {
  std::string_view name;
  std::uint8_t parameterCount = 0;
  std::array<ParamDef, ProgramRecord::kMaxParameters> parameters{};

  std::span<const ParamDef> params() const { return {parameters.data(), parameterCount}; }
};

// The instruction catalogue and its value lists: constant data, opcode = index.
class InstructionCatalogue {
 public:
  static constexpr std::uint16_t kEndOpcode = 0;  // "PGM END"
  static constexpr std::uint16_t kLastOpcode = 52;
  static constexpr std::size_t kCount = kLastOpcode + 1;

  static bool isOpcode(unsigned opcode) { return opcode <= kLastOpcode; }
  // The definition of an opcode of 0..52.
  static const InstructionDef& instruction(std::uint16_t opcode);
  static std::span<const InstructionDef> all();
  // The entries of list `kind` (5..34), padding included; empty for any other kind.
  static std::span<const std::string_view> valueList(std::uint8_t kind);
  // The names offered for insertion: opcodes 1 to 52 in order (position + 1 = opcode).
  static std::span<const InstructionDef> pickList() { return all().subspan(1); }
};

// What an instruction takes, from the catalogue, so that it cannot drift from what the editor
// accepts: its name, then a line for each parameter with its label, its kind, the values it
// takes and its default ("No parameters." for none). Windows-1252 text, "." for decimals.
std::vector<std::string> instructionHelp(const InstructionDef& def);

// The degree sign: "~" in stored program text, 0xB0 on the computer's screen and in files.
inline constexpr char kStoredDegree = '~';
inline constexpr char kShownDegree = static_cast<char>(0xB0);
std::string degreesShown(std::string_view stored);
std::string degreesStored(std::string_view shown);

// The texts of program tree lines. An instruction line is the instruction's name; a parameter
// line is its label, a blank and the value text, made in one of three ways.
//
// From a stored value (insert with defaults, paste, a record's own values): integer "%0*i",
// decimal "%0.*f" with width - 2 decimals, text as stored, hexadecimal "%04X", list entry.
// Here and in a received line, a CR or LF of the record's bytes shows as a blank: a line holds no
// line end.
std::string storedParameterLine(const ParamDef& param, const ProgramRecord& record, std::size_t j);
// From a program received from the instrument, once its record is filled: integer and decimal
// the value text as received, text with every "~" shown as the degree sign, hexadecimal "%04X",
// list entry.
std::string receivedParameterLine(const ParamDef& param, const ProgramRecord& record,
                                  std::size_t j);
// After an edit closed with OK: integer "%0*i", decimal the text exactly as typed, text as typed
// left-justified and padded with blanks to the width, hexadecimal "%04X", list entry. `typed` is
// the dialog's text (decimal and text kinds).
std::string editedParameterLine(const ParamDef& param, const ProgramRecord& record, std::size_t j,
                                std::string_view typed);

// Value texts as the record keeps them.
std::string integerText(int width, std::int32_t value);  // "%0*i"
std::string decimalText(int width, float value);         // "%0.*f", width - 2 decimals
std::string hexText(std::int32_t value);                 // "%04X"

// The record of a newly inserted instruction: opcode and every parameter's default value and
// value text.
ProgramRecord defaultRecord(std::uint16_t opcode);

}  // namespace halvern

#include "program/program_image.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdio>

#include "link/command_exchange.h"
#include "program/instruction_catalogue.h"
#include "wire/byte_order.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

constexpr std::size_t kSlotSize = wire::kProgramSlotSize;
constexpr std::size_t kOrderTable = wire::kProgramSlotsSize;

using byte_order::big16;
using byte_order::putBig16;

// The decimal number at the start of a value text, as the C library's atof reads it (leading
// blanks, a sign); 0 when there is none. Independent of the locale. A number beyond the float's
// range is kept finite: too large reads as the largest float, too small (a negative exponent)
// as 0, both with their sign.
float readDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  float value = 0;
  auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    const bool negative = i < text.size() && text[i] == '-';
    const std::string_view number(text.data() + i,
                                  static_cast<std::size_t>(result.ptr - text.data()) - i);
    const std::size_t e = number.find_first_of("eE");
    if (e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-') {
      return negative ? -0.0f : 0.0f;
    }
    return negative ? -3.4028235e38f : 3.4028235e38f;
  }
  return result.ec == std::errc{} ? value : 0.0f;
}

}  // namespace

void ProgramImage::build(const ProgramStore& store, Bytes& image) {
  image.fill(0);
  bool ended = false;
  for (std::size_t i = 0; i < wire::kProgramSlotCount; ++i) {
    std::uint8_t* slot = &image[i * kSlotSize];
    std::uint8_t* entry = &image[kOrderTable + i * wire::kProgramOrderEntrySize];
    if (ended) {
      putBig16(slot, wire::kProgramUnused);
      putBig16(entry, wire::kProgramUnused);
      putBig16(entry + 2, wire::kProgramUnused);
      continue;
    }
    const ProgramRecord& record = store[i];
    std::copy(record.bytes().begin(), record.bytes().end(), slot);
    putBig16(slot, record.opcode());
    putBig16(entry, static_cast<std::uint16_t>(i));
    putBig16(entry + 2, wire::kProgramUnused);
    // An opcode outside the catalogue cannot come from the editor or an accepted file; its
    // values are left as they are.
    if (InstructionCatalogue::isOpcode(record.opcode())) {
      const InstructionDef& def = InstructionCatalogue::instruction(record.opcode());
      for (std::size_t j = 0; j < def.parameterCount; ++j) {
        std::uint8_t* value = slot + ProgramRecord::valueOffset(j);
        switch (def.parameters[j].paramKind()) {
          case ParamKind::Integer:
          case ParamKind::Hex:
          case ParamKind::List:
            putBig16(value, static_cast<std::uint16_t>(record.intValue(j)));
            value[2] = value[3] = 0;
            break;
          case ParamKind::Decimal: {
            const auto bits = std::bit_cast<std::uint32_t>(record.floatValue(j));
            byte_order::putBig32(value, bits);
            break;
          }
          case ParamKind::Text:
          case ParamKind::None:
            break;
        }
      }
    }
    ended = record.opcode() == InstructionCatalogue::kEndOpcode;
  }
}

ProgramImage::Conversion ProgramImage::convert(std::span<const std::uint8_t, kSize> image) {
  Conversion out;
  for (std::size_t i = 0; i < wire::kProgramSlotCount; ++i) {
    const unsigned slotNumber = big16(&image[kOrderTable + i * wire::kProgramOrderEntrySize]);
    if (slotNumber >= wire::kProgramSlotCount) {
      out.error = formatText("%03i %05u NO SUCH PROGRAM SLOT.", static_cast<int>(i), slotNumber);
      return out;
    }
    const std::uint8_t* slot = &image[slotNumber * kSlotSize];
    const unsigned opcode = big16(slot);
    if (!InstructionCatalogue::isOpcode(opcode)) {
      out.error = formatText("%03i %05u %05u", static_cast<int>(i), slotNumber, opcode);
      return out;
    }
    const InstructionDef& def =
        InstructionCatalogue::instruction(static_cast<std::uint16_t>(opcode));
    ProgramRecord& record = out.store[i];
    record.setOpcode(static_cast<std::uint16_t>(opcode));
    ProgramNode node{std::string(def.name), {}};
    for (std::size_t j = 0; j < def.parameterCount; ++j) {
      const ParamDef& param = def.parameters[j];
      const std::uint8_t* valueText = slot + ProgramRecord::valueTextOffset(j);
      const std::uint16_t number = big16(slot + ProgramRecord::valueOffset(j));
      switch (param.paramKind()) {
        case ParamKind::Integer:
        case ParamKind::Decimal:
          std::copy_n(valueText, ProgramRecord::kValueTextSize,
                      record.bytes().begin() + ProgramRecord::valueTextOffset(j));
          if (param.paramKind() == ParamKind::Integer) {
            record.setIntValue(j, CommandExchange::parseNumber(record.valueText(j)));
          } else {
            record.setFloatValue(j, readDecimal(record.valueText(j)));
          }
          break;
        case ParamKind::Text:
          std::copy_n(slot + ProgramRecord::kTextOffset, ProgramRecord::kTextSize,
                      record.bytes().begin() + ProgramRecord::kTextOffset);
          break;
        case ParamKind::Hex:
          record.setIntValue(j, number);
          record.setValueText(j, hexText(number));
          break;
        case ParamKind::List:
          if (number >= InstructionCatalogue::valueList(param.kind).size()) {
            out.error = formatText("%03i %05u %05u PARAMETER %i VALUE %u NOT IN ITS LIST.",
                                   static_cast<int>(i), slotNumber, opcode, static_cast<int>(j + 1),
                                   static_cast<unsigned>(number));
            return out;
          }
          record.setIntValue(j, number);
          break;
        case ParamKind::None:
          break;
      }
      node.children.push_back(receivedParameterLine(param, record, j));
    }
    out.tree.push_back(std::move(node));
    if (opcode == InstructionCatalogue::kEndOpcode) return out;
  }
  out.error = "NO PGM END IN THE RECEIVED PROGRAM.";
  return out;
}

}  // namespace halvern

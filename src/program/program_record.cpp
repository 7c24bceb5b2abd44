#include "program/program_record.h"

#include <algorithm>
#include <bit>

#include "wire/byte_order.h"

namespace halvern {

namespace {

using byte_order::little32;
using byte_order::putLittle32;

// A NUL-terminated field read without going past its end.
std::string boundedText(const std::uint8_t* field, std::size_t size) {
  const auto* end = std::find(field, field + size, 0);
  return std::string(reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field));
}

void storeText(std::uint8_t* field, std::size_t size, std::string_view text) {
  std::fill(field, field + size, 0);
  std::copy_n(text.begin(), std::min(text.size(), size - 1), field);
}

}  // namespace

void ProgramRecord::setOpcode(std::uint16_t opcode) {
  m_bytes[0] = static_cast<std::uint8_t>(opcode);
  m_bytes[1] = static_cast<std::uint8_t>(opcode >> 8);
}

std::int32_t ProgramRecord::intValue(std::size_t j) const {
  return static_cast<std::int32_t>(little32(&m_bytes[valueOffset(j)]));
}

void ProgramRecord::setIntValue(std::size_t j, std::int32_t value) {
  putLittle32(&m_bytes[valueOffset(j)], static_cast<std::uint32_t>(value));
}

float ProgramRecord::floatValue(std::size_t j) const {
  return std::bit_cast<float>(little32(&m_bytes[valueOffset(j)]));
}

void ProgramRecord::setFloatValue(std::size_t j, float value) {
  putLittle32(&m_bytes[valueOffset(j)], std::bit_cast<std::uint32_t>(value));
}

std::string ProgramRecord::valueText(std::size_t j) const {
  return boundedText(&m_bytes[valueTextOffset(j)], kValueTextSize);
}

void ProgramRecord::setValueText(std::size_t j, std::string_view text) {
  storeText(&m_bytes[valueTextOffset(j)], kValueTextSize, text);
}

std::string ProgramRecord::text() const { return boundedText(&m_bytes[kTextOffset], kTextSize); }

void ProgramRecord::setText(std::string_view text) {
  storeText(&m_bytes[kTextOffset], kTextSize, text);
}

}  // namespace halvern

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace halvern {

// One instruction of the user program as the computer keeps it, 128 bytes, numbers least
// significant byte first. The same bytes make up the start of a program file, so every offset
// below is part of a file format:
//   0        opcode, unsigned 16-bit
//   2+12j    value of parameter j (j = 0..6): signed 32-bit (integer, hexadecimal, list index) or
//            IEEE-754 float (decimal)
//   6+12j    value text of parameter j, 8 bytes, NUL-terminated (at most 7 characters)
//   86       text of the text parameter, 42 bytes, NUL-terminated, "~" for the degree sign
class ProgramRecord {
 public:
  static constexpr std::size_t kSize = 128;
  static constexpr std::size_t kMaxParameters = 7;
  static constexpr std::size_t kValueTextSize = 8;
  static constexpr std::size_t kTextOffset = 86;
  static constexpr std::size_t kTextSize = 42;

  static constexpr std::size_t valueOffset(std::size_t j) { return 2 + 12 * j; }
  static constexpr std::size_t valueTextOffset(std::size_t j) { return 6 + 12 * j; }

  std::uint16_t opcode() const { return static_cast<std::uint16_t>(m_bytes[0] | m_bytes[1] << 8); }
  void setOpcode(std::uint16_t opcode);

  std::int32_t intValue(std::size_t j) const;
  void setIntValue(std::size_t j, std::int32_t value);
  float floatValue(std::size_t j) const;
  void setFloatValue(std::size_t j, float value);

  // The value text up to its NUL (never more than the 8 bytes of the field).
  std::string valueText(std::size_t j) const;
  // Stores at most 7 characters and the NUL; the rest of the field is cleared.
  void setValueText(std::size_t j, std::string_view text);

  // The text parameter up to its NUL (never more than the 42 bytes of the field).
  std::string text() const;
  // Stores at most 41 characters and the NUL; the rest of the field is cleared.
  void setText(std::string_view text);

  std::array<std::uint8_t, kSize>& bytes() { return m_bytes; }
  const std::array<std::uint8_t, kSize>& bytes() const { return m_bytes; }

  bool operator==(const ProgramRecord&) const = default;

 private:
  std::array<std::uint8_t, kSize> m_bytes{};
};

static_assert(sizeof(ProgramRecord) == ProgramRecord::kSize);

}  // namespace halvern

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace halvern {

// The CRC that guards the program blocks on the wire: polynomial 0x04C11DB7, initial value
// 0xFFFFFFFF, bits most significant first, no reflection, no final XOR. Check value over the nine
// ASCII digits "123456789": 0x0376E6E7. Used by both ends of the wire.
class Crc32Mpeg2 {
 public:
  static constexpr std::uint32_t kInitial = 0xFFFFFFFF;
  static constexpr std::uint32_t kPolynomial = 0x04C11DB7;

  // One byte into a running CRC.
  static std::uint32_t update(std::uint8_t byte, std::uint32_t crc);
  // A running CRC over a range.
  static std::uint32_t update(std::span<const std::uint8_t> bytes, std::uint32_t crc);
  // A fresh CRC over a range.
  static std::uint32_t of(std::span<const std::uint8_t> bytes) { return update(bytes, kInitial); }
};

}  // namespace halvern

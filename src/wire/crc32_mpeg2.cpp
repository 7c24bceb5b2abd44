#include "wire/crc32_mpeg2.h"

#include <array>

namespace halvern {

namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i << 24;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ Crc32Mpeg2::kPolynomial : crc << 1;
    }
    table[i] = crc;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

}  // namespace

std::uint32_t Crc32Mpeg2::update(std::uint8_t byte, std::uint32_t crc) {
  return (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFF];
}

std::uint32_t Crc32Mpeg2::update(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
  for (std::uint8_t byte : bytes) crc = (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFF];
  return crc;
}

}  // namespace halvern

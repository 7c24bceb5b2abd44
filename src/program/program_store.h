#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "program/program_record.h"

namespace halvern {

// The user program as the computer keeps it: 512 records, all zero at first. The program is the
// records from 0 up to and including the first "PGM END" (opcode 0); records after it carry no
// meaning but are kept as they are (they go into program files).
class ProgramStore {
 public:
  static constexpr std::size_t kRecordCount = 512;
  static constexpr std::size_t kSize = kRecordCount * ProgramRecord::kSize;

  ProgramRecord& operator[](std::size_t i) { return m_records[i]; }
  const ProgramRecord& operator[](std::size_t i) const { return m_records[i]; }

  // Index of the first "PGM END", if there is one.
  std::optional<std::size_t> endIndex() const;

  // The 65536 bytes of the records in order, as a program file holds them.
  void toBytes(std::span<std::uint8_t, kSize> out) const;
  void fromBytes(std::span<const std::uint8_t, kSize> in);

  bool operator==(const ProgramStore&) const = default;

 private:
  std::array<ProgramRecord, kRecordCount> m_records{};
};

}  // namespace halvern

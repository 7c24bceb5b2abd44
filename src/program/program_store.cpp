#include "program/program_store.h"

#include <algorithm>

namespace halvern {

std::optional<std::size_t> ProgramStore::endIndex() const {
  for (std::size_t i = 0; i < kRecordCount; ++i) {
    if (m_records[i].opcode() == 0) return i;
  }
  return std::nullopt;
}

void ProgramStore::toBytes(std::span<std::uint8_t, kSize> out) const {
  for (std::size_t i = 0; i < kRecordCount; ++i) {
    std::copy(m_records[i].bytes().begin(), m_records[i].bytes().end(),
              out.begin() + static_cast<std::ptrdiff_t>(i * ProgramRecord::kSize));
  }
}

void ProgramStore::fromBytes(std::span<const std::uint8_t, kSize> in) {
  for (std::size_t i = 0; i < kRecordCount; ++i) {
    auto from = in.begin() + static_cast<std::ptrdiff_t>(i * ProgramRecord::kSize);
    std::copy(from, from + ProgramRecord::kSize, m_records[i].bytes().begin());
  }
}

}  // namespace halvern

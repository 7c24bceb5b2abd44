#include "sim/screen_memory.h"

#include <chrono>

#include "wire/commands.h"

namespace halvern::sim {

namespace {

constexpr int kRows = 6;
constexpr int kColumns = 40;
constexpr std::uint8_t kLarge = 0x80;
// Reception is given up when the computer has sent nothing for this long.
constexpr Clock::Duration kReceiveGapLimit = std::chrono::seconds(1);

std::size_t cellIndex(int screen, int row, int column) {
  return static_cast<std::size_t>((screen * kRows + row) * kColumns + column);
}

void putSmall(ScreenMemory::Cells& cells, int screen, int row, int column, std::string_view text) {
  for (char c : text) {
    if (column >= kColumns) return;
    cells[cellIndex(screen, row, column++)] = static_cast<std::uint8_t>(c);
  }
}

// Large characters from an even row and column, two columns each.
void putLarge(ScreenMemory::Cells& cells, int screen, int row, int column, std::string_view text) {
  for (char c : text) {
    if (column + 1 >= kColumns) return;
    const auto code = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) | kLarge);
    for (int r = row; r < row + 2; ++r)
      for (int k = column; k < column + 2; ++k) cells[cellIndex(screen, r, k)] = code;
    column += 2;
  }
}

// What the instrument shows when it comes from the factory: readings in both fonts, with the
// display's degree sign ('~', 0x7E), its triangle (0x7F), hatch (0x7B) and line (0x7D).
ScreenMemory::Cells factoryScreens() {
  ScreenMemory::Cells cells;
  cells.fill(' ');
  putSmall(cells, 0, 0, 0, "\x7F WEATHER STATION 1");
  putLarge(cells, 0, 2, 0, "WIND 12.4");
  putSmall(cells, 0, 2, 20, " MPH");
  putLarge(cells, 0, 4, 0, "DIR  247~");
  putSmall(cells, 0, 5, 20, " GUST 18.9 MPH");

  putSmall(cells, 1, 0, 0, "AIR TEMP            21.6 ~C");
  putSmall(cells, 1, 1, 0, "RELATIVE HUMIDITY     54 %");
  putSmall(cells, 1, 2, 0, "BAROMETER         1013.2 hPa");
  putSmall(cells, 1, 3, 0, "Dew point           12.0 ~C");
  putSmall(cells, 1, 4, 0, "Rain today          0.04 in");
  putSmall(cells, 1, 5, 0, std::string(40, '\x7D'));

  putLarge(cells, 2, 0, 0, "BATTERY");
  putSmall(cells, 2, 0, 16, "  12.8 V  CHARGING");
  putSmall(cells, 2, 1, 16, "  SOLAR 0.42 A");
  putSmall(cells, 2, 2, 0, std::string(10, '\x7C') + std::string(6, '\x7B'));
  putSmall(cells, 2, 2, 18, "72 %");
  putLarge(cells, 2, 4, 0, "OK");
  putSmall(cells, 2, 5, 6, "logging every 10 min");
  return cells;
}

}  // namespace

ScreenMemory::ScreenMemory(FaultPlan& faults) : m_faults(faults), m_cells(factoryScreens()) {}

std::string ScreenMemory::answerDownload() {
  std::string block(m_cells.begin(), m_cells.end());
  auto fault = m_faults.take(cmd::kGetScreens);
  if (!fault) return block;
  switch (fault->kind) {
    case FaultKind::Silence:
      return {};
    case FaultKind::Short:
      block.pop_back();
      return block;
    case FaultKind::Stray:
      return (fault->text.empty() ? std::string(kStrayBytes) : fault->text) + block;
    case FaultKind::Trailing:
      return block + (fault->text.empty() ? std::string(kStrayBytes) : fault->text);
    case FaultKind::WrongValue:
      return fault->text.empty() ? std::string("?") : fault->text;
    default:
      return block;
  }
}

std::string ScreenMemory::beginUpload(Clock::TimePoint at) {
  auto fault = m_faults.take(cmd::kSendScreens);
  m_receiving = true;
  m_received = 0;
  m_lastByteAt = at;
  std::string reply = "*";
  if (fault) {
    switch (fault->kind) {
      case FaultKind::Silence:
      case FaultKind::Short:
        m_receiving = false;
        return {};
      case FaultKind::WrongValue:
        m_receiving = false;
        return fault->text.empty() ? std::string("?") : fault->text;
      case FaultKind::Stray:
        return (fault->text.empty() ? std::string("?#") : fault->text) + reply;
      case FaultKind::NoStar:
        return {};
      default:
        break;
    }
  }
  return reply;
}

bool ScreenMemory::receive(std::uint8_t byte, Clock::TimePoint at) {
  if (!m_receiving) return false;
  if (at - m_lastByteAt > kReceiveGapLimit) {
    m_receiving = false;
    return false;
  }
  m_lastByteAt = at;
  m_incoming[m_received++] = byte;
  if (m_received == m_incoming.size()) {
    m_cells = m_incoming;
    m_receiving = false;
    ++m_uploadsStored;
  }
  return true;
}

}  // namespace halvern::sim

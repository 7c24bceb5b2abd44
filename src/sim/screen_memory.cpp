#include "sim/screen_memory.h"

#include <algorithm>
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

// The screens of the North Ridge site as its program fills them in: labels and units, and the
// readings of a windy afternoon where the program writes its values. The display's degree sign is
// '~' (0x7E); its triangle is 0x7F, hatch 0x7B and line 0x7D.
ScreenMemory::Cells factoryScreens() {
  ScreenMemory::Cells cells;
  cells.fill(' ');
  // 1: the wind, live.
  putSmall(cells, 0, 0, 0, "\x7F NORTH RIDGE  WIND");
  putSmall(cells, 0, 0, 32, "14:20:05");
  putSmall(cells, 0, 2, 0, "WIND SPD");
  putLarge(cells, 0, 2, 10, " 12.4");
  putSmall(cells, 0, 3, 21, "MPH");
  putSmall(cells, 0, 4, 0, "WIND DIR");
  putLarge(cells, 0, 4, 10, "247~");
  putSmall(cells, 0, 5, 20, "WSW");

  // 2: the ten-minute figures the log keeps.
  putSmall(cells, 1, 0, 0, "\x7F NORTH RIDGE  10 MIN AVERAGES");
  putSmall(cells, 1, 1, 0, "WIND SPD AVG          11.8 MPH");
  putSmall(cells, 1, 2, 0, "WIND GUST             18.9 MPH");
  putSmall(cells, 1, 3, 0, "WIND DIR AVG           251 ~");
  putSmall(cells, 1, 4, 0, "WIND DIR SIGMA        14.2 ~");
  putSmall(cells, 1, 5, 0, std::string(40, '\x7D'));

  // 3: air temperature.
  putSmall(cells, 2, 0, 0, "\x7F NORTH RIDGE  AIR TEMP");
  putSmall(cells, 2, 2, 0, "AIR TEMP");
  putLarge(cells, 2, 2, 10, "  6.4");
  putSmall(cells, 2, 3, 21, "~C");
  putSmall(cells, 2, 4, 0, "FAHRENHEIT            43.5 ~F");
  putSmall(cells, 2, 5, 0, "1 HR MAX   9.8 ~C");
  putSmall(cells, 2, 5, 19, "MIN      3.1 ~C");

  // 4: the battery; the program writes its state on the last row.
  putSmall(cells, 3, 0, 0, "\x7F NORTH RIDGE  POWER");
  putSmall(cells, 3, 2, 0, "BATTERY");
  putLarge(cells, 3, 2, 10, "12.8");
  putSmall(cells, 3, 3, 19, "V");
  putSmall(cells, 3, 4, 0, "BATTERY 10 MIN LOW    12.6 V");
  putSmall(cells, 3, 5, 0, "BATTERY OK");

  // 5: alarms and flags.
  putSmall(cells, 4, 0, 0, "\x7F NORTH RIDGE  ALARMS");
  putSmall(cells, 4, 1, 0, "RELAY 1  BATTERY < 11.5 V");
  putSmall(cells, 4, 2, 0, "RELAY 2  WIND SPD > 40.0 MPH");
  putSmall(cells, 4, 3, 0, "FLAGS 1-16");
  putSmall(cells, 4, 3, 21, "1000000000000000");
  putSmall(cells, 4, 4, 0, "4-20 MA  WIND SPD 0-60 M/S");
  putSmall(cells, 4, 5, 0, "WIND OK");

  // 6: the sensors and their channels.
  putSmall(cells, 5, 0, 0, "\x7F NORTH RIDGE  SENSORS");
  putSmall(cells, 5, 1, 0, "WIND SPD  FREQ 1   ANEMOMETER");
  putSmall(cells, 5, 2, 0, "WIND DIR  VOLT 01  VANE 0-2.5 V");
  putSmall(cells, 5, 3, 0, "AIR TEMP  VOLT 02  0-1 V -40..60 ~C");
  putSmall(cells, 5, 4, 0, "BATTERY   VOLT 03  DIVIDER 5:1");
  putSmall(cells, 5, 5, 0, "LOG 10 MIN   COM2 RADIO 9600");

  // 7: the site's name in large characters.
  putLarge(cells, 6, 0, 0, "NORTH RIDGE");
  putSmall(cells, 6, 2, 0, std::string(40, '\x7B'));
  putSmall(cells, 6, 3, 0, "AUTOMATIC WEATHER STATION  ELEV 1240 M");
  putLarge(cells, 6, 4, 0, "AWS 3");
  putSmall(cells, 6, 5, 12, "KEY1: NEXT SCREEN");

  // 8: service.
  putSmall(cells, 7, 0, 0, "\x7F NORTH RIDGE  SERVICE");
  putSmall(cells, 7, 1, 0, "MODEL 40100 TRANSLATOR");
  putSmall(cells, 7, 2, 0, "LAST CALIBRATION  14-03-2026");
  putSmall(cells, 7, 3, 0, "NEXT VISIT        SEP 2026");
  putSmall(cells, 7, 4, 0, "FIELD OFFICE  CH.2 RADIO");
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
  m_dropLastRow = fault && fault->kind == FaultKind::DropRow;
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
    // Under a droprow fault the last row of screen 8 keeps what it held.
    const std::size_t kept = m_dropLastRow ? m_incoming.size() - kColumns : m_incoming.size();
    std::copy_n(m_incoming.begin(), kept, m_cells.begin());
    m_receiving = false;
    ++m_uploadsStored;
  }
  return true;
}

}  // namespace halvern::sim

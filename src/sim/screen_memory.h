#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "sim/fault_plan.h"
#include "wire/wire.h"

namespace halvern::sim {

// The instrument's eight user screens and their two transfers, from the instrument's side.
//
// The memory is 1920 cell codes: screen by screen (8), row by row (6), column by column (40);
// bits 0-6 the character, bit 7 one cell of a 2 x 2 large character. It starts with the
// eight screens of a demonstration site.
//
// "CMD215": the 1920 bytes go out at once. "CMD210": "*", then the instrument takes the next 1920
// bytes as the new screens; they are stored once the last one has come. A pause of a second
// before then ends the reception: the screens are kept as they were and the byte after the pause
// starts a command line.
//
// Faults (by command code 215 or 210):
//   silence: no reply (210: nothing is received either)
//   short: the block one byte short (215); no "*" and nothing received (210)
//   stray: stray bytes before the block or the "*"
//   wrong: garbage (the fault's text, or "?") instead of the block or of the "*"; 210 then
//          receives nothing
//   nostar (210): the screens are received but the "*" is never sent
//   droprow (210): the screens are received and answered as always, but the last row of screen 8
//          keeps what it held
class ScreenMemory {
 public:
  using Cells = std::array<std::uint8_t, wire::kScreensSize>;

  explicit ScreenMemory(FaultPlan& faults);

  const Cells& cells() const { return m_cells; }
  void setCells(const Cells& cells) { m_cells = cells; }
  // How many uploads were received whole and stored.
  int uploadsStored() const { return m_uploadsStored; }

  // The reply to "CMD215".
  std::string answerDownload();
  // The reply to "CMD210"; afterwards `receiving()` says whether the screen bytes are awaited.
  std::string beginUpload(Clock::TimePoint at);
  bool receiving() const { return m_receiving; }
  // One byte while receiving. False when the reception had already been given up after a pause:
  // the byte is not screen data then, and reception has ended.
  bool receive(std::uint8_t byte, Clock::TimePoint at);

 private:
  FaultPlan& m_faults;
  Cells m_cells;
  Cells m_incoming{};
  std::size_t m_received = 0;
  bool m_receiving = false;
  // A droprow fault struck the upload under way.
  bool m_dropLastRow = false;
  Clock::TimePoint m_lastByteAt{};
  int m_uploadsStored = 0;
};

}  // namespace halvern::sim

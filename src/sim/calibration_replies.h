#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "sim/fault_plan.h"

namespace halvern::sim {

// The instrument's calibration: its table of constants, the steps that change them ("CMD810" to
// "CMD845", acknowledged "*" once the instrument has measured), the reports of the checks
// ("CMD952 16", "CMD956 14", "CMD954", "CMD952 04": lines of readings ending in "*") and the table
// itself ("CMD805": 16 rows, no mark). Faults by code: silence (no reply), nostar (no "*"), short
// (the last byte, the "*", held back), stray (bytes before the reply).
class CalibrationReplies {
 public:
  static constexpr int kChannels = 16;
  static constexpr int kOutputs = 4;
  // How long the instrument measures before its "*": a zero, a full scale, an output.
  static constexpr Clock::Duration kZeroTime = std::chrono::milliseconds(1500);
  static constexpr Clock::Duration kFullScaleTime = std::chrono::milliseconds(2000);
  static constexpr Clock::Duration kOutputTime = std::chrono::milliseconds(3000);
  // Between the lines of a check's report.
  static constexpr Clock::Duration kReportLineTime = std::chrono::milliseconds(40);

  // One channel's constants: zero offsets in counts, multipliers, output offsets in counts.
  struct Row {
    int se0 = 0;
    int diff0 = 0;
    int wd0 = 0;
    double seMult = 1.0;
    double diffMult = 1.0;
    double wdMult = 1.0;
    double vMult = 1.0;
    int vOffset = 0;
    double iMult = 1.0;
    int iOffset = 0;
  };

  // A piece of a reply and when it leaves, counted from the command line's carriage return.
  struct Piece {
    Clock::Duration after;
    std::string bytes;
  };

  CalibrationReplies();

  // The reply to command `code` with the arguments `args` (the text after the blank that follows
  // the code) when it is one of the calibration commands; nothing otherwise. The analog output
  // drives ("CMD945", "CMD950") are noted for the output report and left to the caller (nothing
  // is returned for them).
  std::optional<std::vector<Piece>> answer(int code, std::string_view args, FaultPlan& faults);

  const std::array<Row, kChannels>& table() const { return m_table; }
  // The table as "CMD805" sends it: one row a channel, tab-separated, each ended by a carriage
  // return.
  std::string tableText() const;

 private:
  std::vector<Piece> step(int code, std::optional<double> reference);
  std::vector<Piece> report(int code, std::string_view args) const;

  std::array<Row, kChannels> m_table;
  // What each analog output was last driven to: millivolts, or milliamps when `current`.
  struct Drive {
    bool current = false;
    int level = 0;
  };
  std::array<Drive, kOutputs> m_outputs{};
  int m_steps = 0;
};

}  // namespace halvern::sim

#include "sim/test_replies.h"

#include "wire/commands.h"
#include "wire/crc32_mpeg2.h"
#include "wire/text_format.h"

namespace halvern::sim {

namespace {

bool inRange(int value, int low, int high) { return value >= low && value <= high; }

// A plausible reading of an input channel in millivolts: each channel has its own level, the
// differential ones a smaller one with a sign.
std::string reading(int code, int channel) {
  double mv = 0;
  if (code == cmd::kSingleInputTest)
    mv = 250.0 * channel + 12.5;
  else if (code == cmd::kDiffInputTest)
    mv = (channel % 4 == 1 ? -1.0 : 1.0) * (3.25 * channel + 0.4);
  else
    mv = 1100.0 * channel - 37.5;
  return formatText("%.1f mV\r", mv);
}

}  // namespace

std::optional<std::string> TestReplies::answer(int code, const std::vector<int>& args,
                                               std::span<const std::uint8_t> program) {
  const std::size_t argc = args.size();
  const int a = argc > 0 ? args[0] : 0;
  const int b = argc > 1 ? args[1] : 0;
  switch (code) {
    case cmd::kRomChecksum:
      if (argc != 0) return std::nullopt;
      return m_romSignature + "\r";
    case cmd::kProgramChecksum:
      if (argc != 0) return std::nullopt;
      return formatText("%08X\r", static_cast<unsigned>(Crc32Mpeg2::of(program)));
    case cmd::kRamTest:
      if (argc != 0) return std::nullopt;
      return std::string(m_ramFault ? "1\r" : "0\r");
    case cmd::kDisplayTest:
      if (argc != 0) return std::nullopt;
      ++m_displayTests;
      return std::string();
    case cmd::kSwitchTest:
      if (argc != 2 || !inRange(a, 1, kSwitches) || !inRange(b, 0, 1)) return std::nullopt;
      m_switches[static_cast<std::size_t>(a - 1)] = b == 1;
      return std::string();
    case cmd::kPullDown:
      if (argc != 1 || a == 0 || !inRange(a < 0 ? -a : a, 1, kPullDowns)) return std::nullopt;
      m_pullDowns[static_cast<std::size_t>((a < 0 ? -a : a) - 1)] = a > 0;
      return std::string();
    case cmd::kDriveVoltage:
    case cmd::kDriveCurrent:
      if (argc != 2 || !inRange(a, 1, kOutputs) ||
          !inRange(b, 0, code == cmd::kDriveVoltage ? 5000 : 20))
        return std::nullopt;
      (code == cmd::kDriveVoltage ? m_outputs[static_cast<std::size_t>(a - 1)].millivolts
                                  : m_outputs[static_cast<std::size_t>(a - 1)].milliamps) = b;
      return std::string();
    case cmd::kSingleInputTest:
      if (argc != 1 || !inRange(a, 1, kInputs)) return std::nullopt;
      return reading(code, a);
    case cmd::kDiffInputTest:
      if (argc != 1 || !inRange(a, 1, kInputs - 1) || a % 2 == 0) return std::nullopt;
      return reading(code, a);
    case cmd::kWindInputTest:
      if (argc != 1 || !inRange(a, 1, 4)) return std::nullopt;
      return reading(code, a);
    case cmd::kLowFreqCount:
      if (argc != 1 || !inRange(a, 1, 4)) return std::nullopt;
      return formatText("%d\r", 100 * a + 7 * ++m_countTests);
    case cmd::kSwitchFreqCount:
      if (argc != 1 || !inRange(a, 1, kInputs)) return std::nullopt;
      return formatText("%d\r", 1000 * a + 13 * ++m_countTests);
    default:
      return std::nullopt;
  }
}

}  // namespace halvern::sim

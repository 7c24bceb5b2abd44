#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace halvern::sim {

// The instrument's side of the hardware tests. The measuring ones answer a short text ended by a
// carriage return: a reading in millivolts ("CMD922 nn", "CMD926 nn", "CMD924 nn"), a count
// ("CMD935 nn", "CMD940 nn"), the RAM test ("0" when good), the signatures of the program memory
// ("CMD905": its CRC as eight hexadecimal digits) and of the firmware ("CMD900": kRomSignature
// until a firmware update puts another in place, see setRomSignature). The drives,
// the switches, the pull-downs and the display test are taken silently and kept. A line with
// arguments out of range is ignored.
class TestReplies {
 public:
  static constexpr int kInputs = 16;
  static constexpr int kOutputs = 4;
  static constexpr int kSwitches = 4;
  static constexpr int kPullDowns = 4;
  static constexpr const char* kRomSignature = "5EC0A417";

  // The reply to test command `code` with `args`: empty for one that sends nothing back; nothing
  // when `code` is not a test command or its arguments are not valid. `program` is the program
  // memory the signature is computed over.
  std::optional<std::string> answer(int code, const std::vector<int>& args,
                                    std::span<const std::uint8_t> program);

  // What was last set: each output's voltage and current drives, switches and pull-downs.
  struct Drive {
    int millivolts = 0;
    int milliamps = 0;
  };
  const std::array<Drive, kOutputs>& outputs() const { return m_outputs; }
  const std::array<bool, kSwitches>& switches() const { return m_switches; }
  const std::array<bool, kPullDowns>& pullDowns() const { return m_pullDowns; }
  int displayTests() const { return m_displayTests; }
  // The firmware's signature, as "CMD900" answers it without its carriage return.
  const std::string& romSignature() const { return m_romSignature; }
  // Puts the signature of newly programmed firmware in place.
  void setRomSignature(std::string signature) { m_romSignature = std::move(signature); }
  // Makes the RAM test fail (it answers "1").
  void setRamFault(bool fault) { m_ramFault = fault; }

 private:
  std::array<Drive, kOutputs> m_outputs{};
  std::array<bool, kSwitches> m_switches{};
  std::array<bool, kPullDowns> m_pullDowns{};
  int m_displayTests = 0;
  bool m_ramFault = false;
  std::string m_romSignature = kRomSignature;
  // Counts go up from one test to the next, as a live input's would.
  int m_countTests = 0;
};

}  // namespace halvern::sim

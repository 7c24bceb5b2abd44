#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;

// The analog output drives. Each sends its one line ("CMD945 2 2500", "CMD950 3 12") and pauses
// 200 ms; neither tests the link nor reads anything back.
void testMVout(CommandExchange& exchange, int channel, int millivolts);
void testMAout(CommandExchange& exchange, int channel, int milliamps);

namespace tests_text {
inline constexpr std::string_view kNoResponse = "No Response";
inline constexpr std::string_view kCountPrefix = "Count: ";
inline constexpr std::string_view kRamOk = "RAM OK";
inline constexpr std::string_view kRamError = "RAM ERROR";
inline constexpr std::string_view kPgmSignaturePrefix = "PGM Signature: 0x";
inline constexpr std::string_view kRomSignaturePrefix = "ROM Signature: 0x";
// What an input result shows after a change of kind or channel.
inline constexpr std::string_view kClearedResult = " ";

inline constexpr std::string_view kInputClosed = "Cannot test input because USB port is closed.";
inline constexpr std::string_view kOutputClosed =
    "Cannot test analog output because USB port is closed.";
inline constexpr std::string_view kDisplayClosed =
    "Cannot test display because USB port is closed.";
inline constexpr std::string_view kSwitchClosed =
    "Cannot test solid-state switch because USB port is closed.";
inline constexpr std::string_view kRamClosed = "Cannot test RAM because USB port is closed.";
inline constexpr std::string_view kPgmClosed =
    "Cannot get program checksum because USB port is closed.";
inline constexpr std::string_view kRomClosed =
    "Cannot get ROM checksum because USB port is closed.";
// Reset All and the pull-downs: a closed link sends nothing, so they say so too.
inline constexpr std::string_view kResetClosed =
    "Cannot reset analog outputs because USB port is closed.";
inline constexpr std::string_view kPullDownClosed =
    "Cannot set pull-down because USB port is closed.";
}  // namespace tests_text

// The five input kinds, in the order of the Input list.
enum class InputKind { SeVoltage, DiffVoltage, WdVoltage, LowLevelFreq, SwitchTtlFreq };
inline constexpr int kInputKindCount = 5;
inline constexpr std::array<std::string_view, kInputKindCount> kInputKindNames = {
    "SE Voltage Input", "DIFF Voltage Input", "WD Voltage Input", "Low-Level Freq Input",
    "Switch/TTL Freq Input"};

// The input channel field: range 1 to `maximum`, stepping by `step`.
struct ChannelRange {
  int maximum = 16;
  int value = 1;
  int step = 1;
};
inline constexpr int kMinTestChannel = 1;
inline constexpr ChannelRange kInitialInputRange{16, 1, 1};
// The channel field a kind sets; nothing for a kind that leaves it as it was.
std::optional<ChannelRange> inputChannelRange(InputKind kind);

// The eight analog test levels, in the order of their radio buttons.
struct OutputLevel {
  std::string_view caption;  // "2500mV", "12.00mA"
  bool current;              // milliamps (CMD950) rather than millivolts (CMD945)
  int level;
};
inline constexpr int kOutputLevelCount = 8;
inline constexpr std::array<OutputLevel, kOutputLevelCount> kOutputLevels = {{
    {"0mV", false, 0},
    {"1000mV", false, 1000},
    {"2500mV", false, 2500},
    {"5000mV", false, 5000},
    {"0.00mA", true, 0},
    {"4.00mA", true, 4},
    {"12.00mA", true, 12},
    {"20.00mA", true, 20},
}};
inline constexpr int kTestOutputChannels = 4;
inline constexpr int kTestSwitchChannels = 4;
inline constexpr int kTestPullDownChannels = 4;
// Longest reply of a measuring test taken in one read.
inline constexpr std::size_t kTestReplySize = 25;

// The text of a measuring test's reply: the bytes read less the last one, ending at a zero byte;
// nothing when no byte came.
std::optional<std::string> testReplyText(std::string_view bytes);

// The tests as commands of the one command path, each with its closed-link warning. A measuring
// test writes what its result field shows into `result` ("No Response" when nothing came, which
// is Failed without the communication warning; `result` must outlive the command). The rest read
// nothing back.
InstrumentCommand testInputCommand(InputKind kind, int channel, std::string& result);
InstrumentCommand testOutputCommand(int channel, const OutputLevel& level);
// 0 mV on channels 1 to 4, each followed by a further 100 ms.
InstrumentCommand resetOutputsCommand();
InstrumentCommand testDisplayCommand();
InstrumentCommand testSwitchCommand(int channel, bool on);
InstrumentCommand testRamCommand(std::string& result);
InstrumentCommand programChecksumCommand(std::string& result);
InstrumentCommand romChecksumCommand(std::string& result);
// "CMD850 n" when the box of channel n is now checked, "CMD850 -n" when unchecked.
InstrumentCommand pullDownCommand(int channel, bool checked);

}  // namespace halvern

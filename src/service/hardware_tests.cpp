#include "service/hardware_tests.h"

#include <chrono>
#include <cstdint>

#include "link/command_exchange.h"
#include "wire/commands.h"

namespace halvern {

namespace {

using namespace std::chrono_literals;
using namespace tests_text;

constexpr auto kDrivePause = 200ms;
constexpr auto kResetPause = 100ms;
constexpr auto kVoltagePause = 2500ms;
constexpr auto kCountPause = 100ms;
constexpr auto kDisplayPause = 3000ms;
constexpr auto kRamPause = 100ms;
constexpr auto kPgmPause = 100ms;
constexpr auto kRomPause = 2000ms;

// One read of the reply to a measuring test.
std::optional<std::string> readTestReply(CommandExchange& exchange) {
  std::uint8_t buffer[kTestReplySize];
  const std::size_t n = exchange.readBlock(buffer, kTestReplySize);
  return testReplyText(std::string_view(reinterpret_cast<const char*>(buffer), n));
}

// Sends `line`, pauses, reads the reply and shows it after `prefix`.
CommandResult measure(CommandExchange& exchange, const std::string& line,
                      std::chrono::milliseconds pause, std::string_view prefix,
                      std::string& result) {
  exchange.sendCommandLine(line);
  exchange.pause(pause);
  const auto text = readTestReply(exchange);
  if (!text) {
    result = kNoResponse;
    return CommandResult::Failed;
  }
  result = std::string(prefix) + *text;
  return CommandResult::Done;
}

InstrumentCommand measuring(std::string_view closedText, std::string line,
                            std::chrono::milliseconds pause, std::string_view prefix,
                            std::string& result, bool busy) {
  InstrumentCommand command{
      closedText, nullptr,
      [line = std::move(line), pause, prefix, &result](CommandExchange& exchange, Shell&) {
        return measure(exchange, line, pause, prefix, result);
      }};
  command.busyCursor = busy;
  // No reply shows "No Response" in the field and nothing else.
  command.commErrorOnFailure = false;
  return command;
}

// A line that reads nothing back.
InstrumentCommand sending(std::string_view closedText, std::string line,
                          std::chrono::milliseconds pause = 0ms, bool busy = false) {
  InstrumentCommand command{closedText, nullptr,
                            [line = std::move(line), pause](CommandExchange& exchange, Shell&) {
                              exchange.sendCommandLine(line);
                              if (pause > 0ms) exchange.pause(pause);
                              return CommandResult::Done;
                            }};
  command.busyCursor = busy;
  return command;
}

}  // namespace

void testMVout(CommandExchange& exchange, int channel, int millivolts) {
  exchange.sendCommandLine(cmd::driveVoltageLine(channel, millivolts));
  exchange.pause(kDrivePause);
}

void testMAout(CommandExchange& exchange, int channel, int milliamps) {
  exchange.sendCommandLine(cmd::driveCurrentLine(channel, milliamps));
  exchange.pause(kDrivePause);
}

std::optional<ChannelRange> inputChannelRange(InputKind kind) {
  switch (kind) {
    case InputKind::SeVoltage:
      return ChannelRange{16, 1, 1};
    case InputKind::DiffVoltage:
      return ChannelRange{15, 1, 2};
    case InputKind::WdVoltage:
    case InputKind::LowLevelFreq:
      return ChannelRange{4, 1, 1};
    case InputKind::SwitchTtlFreq:
      break;
  }
  return std::nullopt;
}

std::optional<std::string> testReplyText(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  bytes.remove_suffix(1);
  return std::string(bytes.substr(0, bytes.find('\0')));
}

InstrumentCommand testInputCommand(InputKind kind, int channel, std::string& result) {
  switch (kind) {
    case InputKind::SeVoltage:
      return measuring(kInputClosed, cmd::singleInputTestLine(channel), kVoltagePause, "", result,
                       true);
    case InputKind::DiffVoltage:
      return measuring(kInputClosed, cmd::diffInputTestLine(channel), kVoltagePause, "", result,
                       true);
    case InputKind::WdVoltage:
      return measuring(kInputClosed, cmd::windInputTestLine(channel), kVoltagePause, "", result,
                       true);
    case InputKind::LowLevelFreq:
      return measuring(kInputClosed, cmd::lowFreqCountLine(channel), kCountPause, kCountPrefix,
                       result, false);
    case InputKind::SwitchTtlFreq:
      break;
  }
  return measuring(kInputClosed, cmd::switchFreqCountLine(channel), kCountPause, kCountPrefix,
                   result, false);
}

InstrumentCommand testOutputCommand(int channel, const OutputLevel& level) {
  InstrumentCommand command{kOutputClosed, nullptr,
                            [channel, level](CommandExchange& exchange, Shell&) {
                              if (level.current)
                                testMAout(exchange, channel, level.level);
                              else
                                testMVout(exchange, channel, level.level);
                              return CommandResult::Done;
                            }};
  command.busyCursor = false;
  return command;
}

InstrumentCommand resetOutputsCommand() {
  InstrumentCommand command{kResetClosed, nullptr, [](CommandExchange& exchange, Shell&) {
                              for (int channel = 1; channel <= kTestOutputChannels; ++channel) {
                                testMVout(exchange, channel, 0);
                                exchange.pause(kResetPause);
                              }
                              return CommandResult::Done;
                            }};
  command.busyCursor = false;
  return command;
}

InstrumentCommand testDisplayCommand() {
  return sending(kDisplayClosed, std::string(cmd::kDisplayTestLine), kDisplayPause, true);
}

InstrumentCommand testSwitchCommand(int channel, bool on) {
  return sending(kSwitchClosed, cmd::switchTestLine(channel, on ? 1 : 0));
}

InstrumentCommand testRamCommand(std::string& result) {
  InstrumentCommand command{kRamClosed, nullptr, [&result](CommandExchange& exchange, Shell&) {
                              exchange.sendCommandLine(cmd::kRamTestLine);
                              exchange.pause(kRamPause);
                              std::uint8_t buffer[kTestReplySize];
                              const std::size_t n = exchange.readBlock(buffer, kTestReplySize);
                              if (n == 0) {
                                result = kNoResponse;
                                return CommandResult::Failed;
                              }
                              const bool ok = buffer[0] == '0';
                              result = ok ? kRamOk : kRamError;
                              return ok ? CommandResult::Done : CommandResult::Failed;
                            }};
  command.busyCursor = false;
  command.commErrorOnFailure = false;
  return command;
}

InstrumentCommand programChecksumCommand(std::string& result) {
  return measuring(kPgmClosed, std::string(cmd::kProgramChecksumLine), kPgmPause,
                   kPgmSignaturePrefix, result, false);
}

InstrumentCommand romChecksumCommand(std::string& result) {
  return measuring(kRomClosed, std::string(cmd::kRomChecksumLine), kRomPause, kRomSignaturePrefix,
                   result, true);
}

InstrumentCommand pullDownCommand(int channel, bool checked) {
  return sending(kPullDownClosed, cmd::pullDownLine(checked ? channel : -channel));
}

}  // namespace halvern

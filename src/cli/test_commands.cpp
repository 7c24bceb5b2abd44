// The hardware tests: an input, an analog output, the display, a switch, the RAM, the program and
// firmware signatures and the pull-downs. A measuring test prints its result as the Tests page's
// result field shows it.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "service/hardware_tests.h"

namespace halvern::cli {

namespace {

// Runs `command`; the result, when it was not refused, on standard output.
int runTest(CliApp& app, const InstrumentCommand& command, const std::string* result) {
  if (!app.connect()) return kExitFailed;
  const auto outcome = runInstrumentCommand(app.exchange(), app.shell(), command);
  if (result && outcome != CommandResult::Refused) std::fprintf(app.out(), "%s\n", result->c_str());
  return exitStatus(outcome);
}

const std::map<std::string, bool> kOnOff{{"on", true}, {"off", false}};

struct InputArguments {
  InputKind kind = InputKind::SeVoltage;
  int channel = 1;
  std::string result;
};

CliCommand::Action defineInput(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<InputArguments>();
  const std::map<std::string, InputKind> kinds{{"se", InputKind::SeVoltage},
                                               {"diff", InputKind::DiffVoltage},
                                               {"wd", InputKind::WdVoltage},
                                               {"lowfreq", InputKind::LowLevelFreq},
                                               {"ttlfreq", InputKind::SwitchTtlFreq}};
  command.add_option("KIND", args->kind, "se, diff, wd, lowfreq or ttlfreq")
      ->required()
      ->transform(CLI::CheckedTransformer(kinds, CLI::ignore_case))
      ->type_name("");
  command.add_option("CHANNEL", args->channel, "the input channel")
      ->required()
      ->check(CLI::Range(kMinTestChannel, kInitialInputRange.maximum));
  return [&app, args] {
    // The channels the window's field offers for the kind.
    const auto range = inputChannelRange(args->kind).value_or(kInitialInputRange);
    if (args->channel > range.maximum || (args->channel - kMinTestChannel) % range.step != 0) {
      return app.usageError(
          "CHANNEL " + std::to_string(args->channel) + " is not an input of that kind",
          "test input");
    }
    return runTest(app, testInputCommand(args->kind, args->channel, args->result), &args->result);
  };
}

struct OutputArguments {
  int channel = 1;
  int level = 0;
};

CliCommand::Action defineOutput(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<OutputArguments>();
  command.add_option("CHANNEL", args->channel, "the analog output, 1 to 4")
      ->required()
      ->check(CLI::Range(kMinTestChannel, kTestOutputChannels));
  const std::map<std::string, int> levels{{"0mV", 0}, {"1000mV", 1}, {"2500mV", 2}, {"5000mV", 3},
                                          {"0mA", 4}, {"4mA", 5},    {"12mA", 6},   {"20mA", 7}};
  command.add_option("LEVEL", args->level, "0mV, 1000mV, 2500mV, 5000mV, 0mA, 4mA, 12mA or 20mA")
      ->required()
      ->transform(CLI::CheckedTransformer(levels, CLI::ignore_case))
      ->type_name("");
  return [&app, args] {
    return runTest(
        app, testOutputCommand(args->channel, kOutputLevels[static_cast<std::size_t>(args->level)]),
        nullptr);
  };
}

struct SwitchArguments {
  int channel = 1;
  bool on = true;
};

CliCommand::Action defineSwitchLike(CLI::App& command, CliApp& app, bool pullDown) {
  auto args = std::make_shared<SwitchArguments>();
  command.add_option("CHANNEL", args->channel, "the channel, 1 to 4")
      ->required()
      ->check(CLI::Range(kMinTestChannel, pullDown ? kTestPullDownChannels : kTestSwitchChannels));
  command.add_option("STATE", args->on, "on or off")
      ->required()
      ->transform(CLI::CheckedTransformer(kOnOff, CLI::ignore_case))
      ->type_name("on|off");
  return [&app, args, pullDown] {
    return runTest(app,
                   pullDown ? pullDownCommand(args->channel, args->on)
                            : testSwitchCommand(args->channel, args->on),
                   nullptr);
  };
}

CliCommand::Action defineSwitch(CLI::App& command, CliApp& app) {
  return defineSwitchLike(command, app, false);
}
CliCommand::Action definePullDown(CLI::App& command, CliApp& app) {
  return defineSwitchLike(command, app, true);
}

int commandResetOutputs(CliApp& app) { return runTest(app, resetOutputsCommand(), nullptr); }
int commandDisplay(CliApp& app) { return runTest(app, testDisplayCommand(), nullptr); }
int commandRam(CliApp& app) {
  std::string result;
  return runTest(app, testRamCommand(result), &result);
}
int commandProgramChecksum(CliApp& app) {
  std::string result;
  return runTest(app, programChecksumCommand(result), &result);
}
int commandRomChecksum(CliApp& app) {
  std::string result;
  return runTest(app, romChecksumCommand(result), &result);
}

const CliCommand::Registration kTestInput{
    {"test input", "read one input channel: a reading, or a count for the frequency inputs",
     &defineInput}};
const CliCommand::Registration kTestOutput{
    {"test output", "drive an analog output to a test level", &defineOutput}};
const CliCommand::Registration kTestResetOutputs{{"test reset-outputs",
                                                  "drive the four voltage outputs to 0 mV",
                                                  noArguments(&commandResetOutputs)}};
const CliCommand::Registration kTestDisplay{
    {"test display", "run the instrument's display test", noArguments(&commandDisplay)}};
const CliCommand::Registration kTestSwitch{
    {"test switch", "turn a solid-state switch on or off", &defineSwitch}};
const CliCommand::Registration kTestRam{
    {"test ram", "run the instrument's RAM test", noArguments(&commandRam)}};
const CliCommand::Registration kTestProgramChecksum{{"test program-checksum",
                                                     "the signature of the user program",
                                                     noArguments(&commandProgramChecksum)}};
const CliCommand::Registration kTestRomChecksum{
    {"test rom-checksum", "the signature of the firmware", noArguments(&commandRomChecksum)}};
const CliCommand::Registration kTestPullDown{
    {"test pulldown", "set an input's pull-down on or off", &definePullDown}};

}  // namespace

}  // namespace halvern::cli

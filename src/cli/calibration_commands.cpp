// Calibration: a step or a check by name behind the calibration password, and the calibration
// table. The lines and reports go to standard output as the message area shows them.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "service/calibration.h"
#include "wire/c_numbers.h"

namespace halvern::cli {

namespace {

using Operation = std::variant<CalibrationStep, CalibrationCheck>;

const std::map<std::string, Operation> kOperations{
    {"se-zero", CalibrationStep::SeZero},
    {"se-full-scale", CalibrationStep::SeFullScale},
    {"diff-zero", CalibrationStep::DiffZero},
    {"diff-full-scale", CalibrationStep::DiffFullScale},
    {"wd-zero", CalibrationStep::WdZero},
    {"wd-excitation", CalibrationStep::WdExcitation},
    {"vout", CalibrationStep::Vout},
    {"iout", CalibrationStep::Iout},
    {"se-check", CalibrationCheck::Se},
    {"diff-check", CalibrationCheck::Diff},
    {"wd-check", CalibrationCheck::Wd},
    {"vout-zero-check", CalibrationCheck::VoutZero},
    {"vout-fs-check", CalibrationCheck::VoutFs},
    {"iout-zero-check", CalibrationCheck::IoutZero},
    {"iout-fs-check", CalibrationCheck::IoutFs},
};

// What the reference field of the window takes: four digits, a point, two digits, or fewer
// digits that read as a number from 0 to 9999.99.
bool isReference(const std::string& text) {
  if (text.empty() || text.size() > 7) return false;
  // "." is the decimal point whatever the locale.
  const std::optional<double> value = wholeDecimal(text);
  return value && *value >= 0.0 && *value <= 9999.99 &&
         text.find_first_not_of("0123456789.") == std::string::npos;
}

struct CalibrateArguments {
  std::string operation;
  std::string password;
  std::string reference{calibration_text::kDefaultReference};
};

int commandCalibrate(CliApp& app, const CalibrateArguments& args) {
  if (!isReference(args.reference))
    return app.usageError("--reference: not a reference in millivolts: " + args.reference,
                          "calibrate");
  // Refused before the link is even opened.
  if (!calibrationPasswordMatches(args.password)) {
    app.shell().message(calibration_text::kIncorrectPassword, MessageKind::Warning,
                        MessageButtons::Ok);
    return kExitFailed;
  }
  if (!app.connect()) return kExitFailed;
  const Operation operation = kOperations.at(args.operation);
  // The questions are asked (Yes with --yes), as Confirm is at start.
  const InstrumentCommand command =
      std::holds_alternative<CalibrationStep>(operation)
          ? calibrationStepCommand(std::get<CalibrationStep>(operation), true, args.reference)
          : calibrationCheckCommand(std::get<CalibrationCheck>(operation));
  return exitStatus(runInstrumentCommand(app.exchange(), app.shell(), command));
}

CliCommand::Action defineCalibrate(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<CalibrateArguments>();
  std::map<std::string, std::string> names;
  for (const auto& [name, operation] : kOperations) names.emplace(name, name);
  command.add_option("STEP", args->operation, "the step or check")
      ->required()
      ->transform(CLI::IsMember(names))
      ->type_name("STEP");
  command.add_option("--password", args->password, "the calibration password")
      ->required()
      ->type_name("PASSWORD");
  command
      .add_option("--reference", args->reference,
                  "the full-scale reference in millivolts (se-full-scale, diff-full-scale), "
                  "5000.00 unless given")
      ->type_name("MV");
  return [&app, args] { return commandCalibrate(app, *args); };
}

int commandCalData(CliApp& app) {
  if (!app.connect()) return kExitFailed;
  return exitStatus(runInstrumentCommand(app.exchange(), app.shell(), getCalDataCommand()));
}

const CliCommand::Registration kCalibrate{
    {"calibrate",
     "run a calibration step or check: se-zero, se-full-scale, diff-zero, diff-full-scale,\n"
     "wd-zero, wd-excitation, vout, iout, se-check, diff-check, wd-check, vout-zero-check,\n"
     "vout-fs-check, iout-zero-check, iout-fs-check (the input steps ask unless --yes)",
     &defineCalibrate}};
const CliCommand::Registration kCalData{
    {"cal-data", "print the instrument's calibration table under its header line",
     noArguments(&commandCalData)}};

}  // namespace

}  // namespace halvern::cli

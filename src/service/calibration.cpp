#include "service/calibration.h"

#include <cstdint>
#include <span>
#include <vector>

#include "link/command_exchange.h"
#include "platform/shell.h"
#include "service/calibration_reference.h"
#include "service/hardware_tests.h"
#include "wire/c_numbers.h"
#include "wire/commands.h"
#include "wire/wire.h"

namespace halvern {

namespace {

constexpr std::array<CalibrationStepDef, 8> kSteps{{
    {"Replace all SE Zero calibration settings?", cmd::kCalSingleZeroLine, "SE ZERO CAL FINISHED.",
     "NO RESPONSE FROM 40100 FOR SE ZERO CAL."},
    {"Replace all SE Full Scale calibration settings?",
     {},
     "SE FULL SCALE CAL FINISHED.",
     "NO RESPONSE FROM 40100 FOR SE FULL SCALE CAL."},
    {"Replace all DIFF Zero calibration settings?", cmd::kCalDiffZeroLine,
     "DIFF ZERO CAL FINISHED.", "NO RESPONSE FROM 40100 FOR DIFF ZERO CAL."},
    {"Replace all DIFF Full Scale calibration settings?",
     {},
     "DIFF FULL SCALE CAL FINISHED.",
     "NO RESPONSE FROM 40100 FOR DIFF FULL SCALE CAL."},
    {"Replace all WD Zero calibration settings?", cmd::kCalWindZeroLine, "WD ZERO CAL FINISHED.",
     "NO RESPONSE FROM 40100 FOR WD ZERO CAL."},
    {"Replace all WD Full Scale calibration settings?", cmd::kCalWindExcitationLine,
     "WD FULL SCALE CAL FINISHED.", "NO RESPONSE FROM 40100 FOR WD FULL SCALE CAL."},
    {{}, cmd::kCalVoltageOutLine, "VOUT CAL FINISHED.", "NO RESPONSE FROM 40100 FOR VOUT CAL."},
    {{}, cmd::kCalCurrentOutLine, "IOUT CAL FINISHED.", "NO RESPONSE FROM 40100 FOR IOUT CAL."},
}};

constexpr int kOutputChannels = 4;

struct CheckLevel {
  bool current;
  int level;  // millivolts or milliamps
};

CheckLevel checkLevel(CalibrationCheck check) {
  switch (check) {
    case CalibrationCheck::VoutZero:
      return {false, 0};
    case CalibrationCheck::VoutFs:
      return {false, 5000};
    case CalibrationCheck::IoutZero:
      return {true, 0};
    default:
      return {true, 20};
  }
}

std::string_view inputCheckLine(CalibrationCheck check) {
  switch (check) {
    case CalibrationCheck::Se:
      return cmd::kCheckSingleLine;
    case CalibrationCheck::Diff:
      return cmd::kCheckDiffLine;
    default:
      return cmd::kCheckWindLine;
  }
}

bool isInputCheck(CalibrationCheck check) {
  return check == CalibrationCheck::Se || check == CalibrationCheck::Diff ||
         check == CalibrationCheck::Wd;
}

// The instrument's bytes as message-area text: a line feed after each carriage return.
std::string asLines(const std::uint8_t* bytes, std::size_t n) {
  std::string text;
  text.reserve(n + n / 8);
  for (std::size_t i = 0; i < n; ++i) {
    text += static_cast<char>(bytes[i]);
    if (bytes[i] == wire::kCarriageReturn) text += '\n';
  }
  return text;
}

}  // namespace

const CalibrationStepDef& calibrationStepDef(CalibrationStep step) {
  return kSteps[static_cast<std::size_t>(step)];
}

bool calibrationPasswordMatches(std::string_view typed) {
  return typed == calibration_text::kPassword;
}

float calibrationReference(std::string_view text) {
  // Read as strtod reads it in the C locale (what follows the number is ignored), never with the
  // desktop's decimal comma.
  return static_cast<float>(leadingDecimal(text));
}

std::string calibrationStepLine(CalibrationStep step, std::string_view reference) {
  switch (step) {
    case CalibrationStep::SeFullScale:
      return cmd::calSingleFullLine(calibrationReference(reference));
    case CalibrationStep::DiffFullScale:
      return cmd::calDiffFullLine(calibrationReference(reference));
    default:
      return std::string(calibrationStepDef(step).line);
  }
}

CommandResult calibrate(CommandExchange& exchange, Shell& shell, CalibrationStep step,
                        std::string_view reference) {
  const CalibrationStepDef& def = calibrationStepDef(step);
  // The input steps let the window catch up once before they send.
  if (!def.question.empty()) shell.processEvents();
  exchange.sendCommandLine(calibrationStepLine(step, reference));
  const bool acknowledged = exchange.waitForMark(wire::kCompletionMark, kCalibrationAckLimit);
  shell.addMessageLine(acknowledged ? def.successLine : def.failureLine);
  exchange.pause(kStepEndPause);
  return failedIf(!acknowledged);
}

CommandResult copyReport(CommandExchange& exchange, Shell& shell) {
  using WaitEnd = CommandExchange::WaitEnd;
  const WaitEnd end =
      exchange.copyReportUntil(wire::kCompletionMark, kCalibrationAckLimit, kReportReadSize,
                               [&shell](std::span<const std::uint8_t> text) {
                                 shell.insertText(asLines(text.data(), text.size()));
                               });
  if (end == WaitEnd::Mark) return CommandResult::Done;
  if (end != WaitEnd::Stopped) return CommandResult::Failed;
  shell.addMessageLine(calibration_text::kCheckStopped);
  return CommandResult::Cancelled;
}

CommandResult runCalibrationCheck(CommandExchange& exchange, Shell& shell, CalibrationCheck check) {
  if (isInputCheck(check)) {
    exchange.sendCommandLine(inputCheckLine(check));
    return copyReport(exchange, shell);
  }
  const CheckLevel level = checkLevel(check);
  for (int channel = 1; channel <= kOutputChannels; ++channel) {
    if (level.current)
      testMAout(exchange, channel, level.level);
    else
      testMVout(exchange, channel, level.level);
    exchange.pause(kOutputSettlePause);
  }
  exchange.pause(kOutputReportPause);
  exchange.sendCommandLine(cmd::kCheckOutputsLine);
  const CommandResult result = copyReport(exchange, shell);
  shell.addMessageLine(" ");
  return result;
}

CommandResult getCalData(CommandExchange& exchange, Shell& shell, std::string* received) {
  exchange.sendCommandLine(cmd::kReadCalibrationLine);
  exchange.pause(kCalDataPause);
  std::vector<std::uint8_t> buffer(kReportReadSize);
  const std::size_t got = exchange.readBlock(buffer.data(), buffer.size());
  // No reply: nothing shown at all.
  if (got == 0) return CommandResult::Failed;
  shell.addMessageLine(calibration_text::kCalDataHeader);
  shell.insertText(asLines(buffer.data(), got));
  if (received) received->assign(buffer.begin(), buffer.begin() + static_cast<long>(got));
  return CommandResult::Done;
}

namespace {

std::vector<std::string> splitAt(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end == text.npos ? text.npos : end - start));
    if (end == text.npos) return parts;
    start = end + 1;
  }
}

bool needsQuotes(std::string_view cell) {
  return cell.find_first_of(",\"\r\n") != cell.npos ||
         (!cell.empty() && (cell.front() == ' ' || cell.back() == ' '));
}

void appendCsvLine(std::string& out, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) out += ',';
    if (!needsQuotes(cells[i])) {
      out += cells[i];
      continue;
    }
    out += '"';
    for (char c : cells[i]) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += "\r\n";
}

}  // namespace

CalDataTable calDataTable(std::string_view received) {
  CalDataTable table;
  table.header = splitAt(calibration_text::kCalDataHeader, '\t');
  std::size_t start = 0;
  while (start <= received.size()) {
    const std::size_t end = received.find_first_of("\r\n", start);
    const std::string_view line =
        received.substr(start, end == received.npos ? received.npos : end - start);
    if (!line.empty()) table.rows.push_back(splitAt(line, '\t'));
    if (end == received.npos) break;
    start = end + 1;
  }
  return table;
}

std::string calDataCsv(const CalDataTable& table) {
  std::string out;
  appendCsvLine(out, table.header);
  for (const auto& row : table.rows) appendCsvLine(out, row);
  return out;
}

std::string calDataTabbed(const CalDataTable& table) {
  std::string out;
  auto line = [&out](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) out += (i > 0 ? "\t" : "") + cells[i];
    out += '\n';
  };
  line(table.header);
  for (const auto& row : table.rows) line(row);
  return out;
}

InstrumentCommand calibrationStepCommand(CalibrationStep step, bool confirm,
                                         std::string reference) {
  const CalibrationStepDef& def = calibrationStepDef(step);
  // The full-scale steps carry the reference: every digit of its mask, or nothing is sent.
  const bool incomplete = def.line.empty() && !isCompleteReference(reference);
  InstrumentCommand command{
      calibration_text::kCalibrateClosed,
      [&def, confirm, incomplete](Shell& shell) {
        if (incomplete) {
          shell.message(calibration_text::kIncompleteReference, MessageKind::Warning,
                        MessageButtons::Ok);
          return true;
        }
        return confirm && !def.question.empty() &&
               shell.message(def.question, MessageKind::Confirmation, MessageButtons::YesNo) !=
                   MessageResult::Yes;
      },
      [step, reference = std::move(reference)](CommandExchange& exchange, Shell& shell) {
        if (calibrate(exchange, shell, step, reference) == CommandResult::Done) {
          return CommandResult::Done;
        }
        return exchange.stopRequested() ? CommandResult::Cancelled : CommandResult::Failed;
      }};
  // The failure line is the step's report.
  command.commErrorOnFailure = false;
  return command;
}

InstrumentCommand calibrationCheckCommand(CalibrationCheck check) {
  InstrumentCommand command{calibration_text::kCheckClosed, nullptr,
                            [check](CommandExchange& exchange, Shell& shell) {
                              return runCalibrationCheck(exchange, shell, check);
                            }};
  // The input checks run without the hourglass.
  command.busyCursor = !isInputCheck(check);
  return command;
}

InstrumentCommand getCalDataCommand(std::function<void(std::string)> onData) {
  InstrumentCommand command{calibration_text::kCalDataClosed, nullptr,
                            [onData = std::move(onData)](CommandExchange& exchange, Shell& shell) {
                              std::string received;
                              const CommandResult result = getCalData(exchange, shell, &received);
                              if (result == CommandResult::Done && onData) onData(received);
                              return result;
                            }};
  // Silent without a reply.
  command.commErrorOnFailure = false;
  return command;
}

}  // namespace halvern

#include "setup/setup_transfer.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "platform/shell.h"
#include "wire/commands.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern {

namespace {

using Pause = CommandExchange::Pause;

constexpr int kProgressMax = 100;
constexpr int kGetSteps = 12;
constexpr int kSendSteps = 11;
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

// Offsets of the labels' terminating area and the three numbers in a record-format block.
constexpr std::size_t kTypeOffset = wire::kRecordLabelField;
constexpr std::size_t kWidthOffset = kTypeOffset + 1;
constexpr std::size_t kPrecisionOffset = kTypeOffset + 2;
// A received label is read from bytes 0..26; byte 27 never belongs to it.
constexpr std::size_t kReceivedLabelBytes = 27;
// The largest values a received block may carry; the model clamps them to the controls' ranges.
constexpr int kMaxReceivedType = 2;
constexpr int kMaxReceivedWidth = 9;
constexpr int kMaxReceivedPrecision = 7;

// The step is held in single precision and the product taken in double, so three steps of
// 100 / 12 show 24, not 25.
int progressAt(int step, float q) {
  return static_cast<int>(static_cast<double>(step) * static_cast<double>(q));
}

// A 2-byte value query whose reply must lie in [low, high]. Nothing after the item's failure line
// when no complete number came, or (without a line) when the value is out of range.
std::optional<int> queryValue(CommandExchange& exchange, std::string_view line,
                              std::string_view failureLine, int low, int high,
                              Pause pause = Pause::Before) {
  auto value = exchange.queryNumber(line, cmd::kFlagReplySize, failureLine, pause);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

// The three numbers of a date or time reply at offsets 0, 3 and 6, whatever stands between them.
std::optional<std::array<int, 3>> queryTriple(CommandExchange& exchange, std::string_view line,
                                              std::string_view failureLine) {
  auto reply = exchange.queryFixedReply(line, cmd::kDateTimeReplySize, failureLine);
  if (!reply) return std::nullopt;
  std::string_view text(*reply);
  return std::array<int, 3>{CommandExchange::parseNumber(text.substr(0)),
                            CommandExchange::parseNumber(text.substr(3)),
                            CommandExchange::parseNumber(text.substr(6))};
}

// A serial port's baud query: rounds of up to 10 sends until a complete number arrives, until its
// code is in the baud table or the sixth code that is not has come back. The sign of a signed
// reply comes back separately.
struct BaudReply {
  int index;
  bool negative;
};
std::optional<BaudReply> queryBaud(CommandExchange& exchange, Shell& shell, std::string_view line,
                                   std::size_t size, std::string_view infoLine,
                                   std::string_view wrongIndexLine, bool signedCode) {
  for (int round = 0; round < kBaudCodeRounds; ++round) {
    auto number = exchange.queryNumber(line, size, infoLine);
    if (!number) return std::nullopt;
    long long code = *number;
    const bool negative = signedCode && code < 0;
    if (negative) code = -code;
    if (code >= 0 && code <= INT_MAX) {
      if (auto index = SetupModel::baudIndex(static_cast<int>(code))) {
        return BaudReply{*index, negative};
      }
    }
    // A code not in the table: ask again with a fresh budget of sends.
  }
  shell.addMessageLine(wrongIndexLine);
  return std::nullopt;
}

// True when the setting was not taken.
CommandResult sendLine(CommandExchange& exchange, const std::string& line) {
  return failedIf(!exchange.sendSetting(line));
}

using Operation = CommandResult (*)(CommandExchange&, SetupModel&, Shell&);

}  // namespace

std::string setup_text::recordFormatsFailed(std::size_t bytesRead) {
  return formatText("CANNOT GET RECORD FORMATS. BYTES READ: %u", static_cast<unsigned>(bytesRead));
}

// Record-format blocks.

RecordFormatBlock encodeRecordFormat(const RecordFormat& format) {
  RecordFormatBlock block{};
  const std::size_t length = std::min(format.label.size(), wire::kRecordLabelMax);
  std::copy_n(format.label.begin(), length, block.begin());
  block[kTypeOffset] = static_cast<std::uint8_t>(SetupModel::kTypeRange.clamp(format.type));
  block[kWidthOffset] = static_cast<std::uint8_t>(SetupModel::kWidthRange.clamp(format.width));
  block[kPrecisionOffset] =
      static_cast<std::uint8_t>(SetupModel::kPrecisionRange.clamp(format.precision));
  return block;
}

DecodedRecordFormat decodeRecordFormat(const std::uint8_t* block) {
  DecodedRecordFormat decoded;
  const std::uint8_t* end = std::find(block, block + kReceivedLabelBytes, 0);
  decoded.format.label.assign(block, end);
  decoded.labelOk = decoded.format.label.size() <= wire::kRecordLabelMax;
  decoded.format.type = block[kTypeOffset];
  decoded.format.width = block[kWidthOffset];
  decoded.format.precision = block[kPrecisionOffset];
  decoded.valuesOk = decoded.format.type <= kMaxReceivedType &&
                     decoded.format.width <= kMaxReceivedWidth &&
                     decoded.format.precision <= kMaxReceivedPrecision;
  return decoded;
}

// Gets.

CommandResult getInstrumentDate(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto date = queryTriple(exchange, cmd::kGetDateLine, setup_text::kDate);
  if (!date) return CommandResult::Failed;
  const auto [month, day, year] = *date;
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 0 || year > 99)
    return CommandResult::Failed;
  setup.setDateText(formatText("%02u-%02u-%04u", static_cast<unsigned>(month),
                               static_cast<unsigned>(day),
                               static_cast<unsigned>(year + kFirstYear)));
  return CommandResult::Done;
}

CommandResult getInstrumentTime(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto time = queryTriple(exchange, cmd::kGetTimeLine, setup_text::kTime);
  if (!time) return CommandResult::Failed;
  const auto [hour, minute, second] = *time;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return CommandResult::Failed;
  setup.setTimeText(formatText("%02u:%02u:%02u", static_cast<unsigned>(hour),
                               static_cast<unsigned>(minute), static_cast<unsigned>(second)));
  return CommandResult::Done;
}

CommandResult getCom1Settings(CommandExchange& exchange, SetupModel& setup, Shell& shell) {
  auto baud = queryBaud(exchange, shell, cmd::kGetCom1Line, cmd::kCom1ReplySize,
                        setup_text::kCom1Info, setup_text::kCom1WrongIndex, true);
  if (!baud) return CommandResult::Failed;
  SetupModel::Batch batch(setup);
  // A negative code is RS-485.
  setup.setCom1Type(baud->negative ? 1 : 0);
  setup.setCom1BaudIndex(baud->index);
  return CommandResult::Done;
}

CommandResult getCom2Baud(CommandExchange& exchange, SetupModel& setup, Shell& shell) {
  auto baud = queryBaud(exchange, shell, cmd::kGetCom2Line, cmd::kCom2ReplySize,
                        setup_text::kCom2Info, setup_text::kCom2WrongIndex, false);
  if (!baud) return CommandResult::Failed;
  setup.setCom2BaudIndex(baud->index);
  return CommandResult::Done;
}

CommandResult getStopOnError(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto value = queryValue(exchange, cmd::kGetStopOnErrorLine, setup_text::kStopOnError, 0, 1);
  if (!value) return CommandResult::Failed;
  setup.setStopOnError(*value == 1);
  return CommandResult::Done;
}

CommandResult getKeypadLock(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto value = queryValue(exchange, cmd::kGetKeypadLockLine, setup_text::kKeylock, 0, 1);
  if (!value) return CommandResult::Failed;
  setup.setKeypadLock(*value == 1);
  return CommandResult::Done;
}

CommandResult getExecInterval(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto value = queryValue(exchange, cmd::kGetIntervalLine, setup_text::kInterval, 0, 99);
  if (!value) return CommandResult::Failed;
  setup.setInterval(*value);
  return CommandResult::Done;
}

CommandResult getFieldsPerRecord(CommandExchange& exchange, SetupModel& setup, Shell&) {
  // This query alone reads without the pause; the read still waits up to its time-out.
  auto value = queryValue(exchange, cmd::kGetFieldsPerRecordLine, setup_text::kFieldsPerRecord, 1,
                          SetupModel::kFieldCount, Pause::None);
  if (!value) return CommandResult::Failed;
  setup.setFieldsPerRecord(*value);
  return CommandResult::Done;
}

CommandResult getRecordFormats(CommandExchange& exchange, SetupModel& setup, Shell& shell) {
  std::array<std::uint8_t, wire::kRecordFormatsSize> reply{};
  // Every attempt starts from an empty line after a pause.
  const std::size_t got =
      exchange.queryBlock(cmd::kGetRecordFormatsLine, reply.data(), reply.size(),
                          {kRecordFormatAttempts, kRecordFormatPause});
  if (got != reply.size()) {
    shell.addMessageLine(setup_text::recordFormatsFailed(got));
    return CommandResult::Failed;
  }
  for (int row = 0; row < SetupModel::kFieldCount; ++row) {
    const auto decoded = decodeRecordFormat(reply.data() + static_cast<std::size_t>(row) *
                                                               wire::kRecordFormatBlockSize);
    // A bad block ends the get silently; what was put in before it stays.
    if (!decoded.labelOk) return CommandResult::Failed;
    setup.setLabel(row, decoded.format.label);
    if (!decoded.valuesOk) return CommandResult::Failed;
    {
      SetupModel::Batch batch(setup);
      setup.setType(row, decoded.format.type);
      setup.setWidth(row, decoded.format.width);
      setup.setPrecision(row, decoded.format.precision);
    }
    shell.processEvents();
  }
  return CommandResult::Done;
}

CommandResult getAutoScroll(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto value = queryValue(exchange, cmd::kGetAutoScrollLine, setup_text::kAutoScroll, 0, 1);
  if (!value) return CommandResult::Failed;
  setup.setAutoScroll(*value == 1);
  return CommandResult::Done;
}

CommandResult getScrollPause(CommandExchange& exchange, SetupModel& setup, Shell&) {
  // 0 is accepted from the instrument and shows as the control's minimum, 1.
  auto value = queryValue(exchange, cmd::kGetScrollPauseLine, setup_text::kScrollPause, 0, 99);
  if (!value) return CommandResult::Failed;
  setup.setScrollPause(*value);
  return CommandResult::Done;
}

CommandResult getScrollEnd(CommandExchange& exchange, SetupModel& setup, Shell&) {
  auto value = queryValue(exchange, cmd::kGetScrollEndLine, setup_text::kScrollEnd, 0, 8);
  if (!value) return CommandResult::Failed;
  setup.setScrollEnd(*value);
  return CommandResult::Done;
}

// Sends.

CommandResult sendInstrumentDate(CommandExchange& exchange, SetupModel& setup, Shell&) {
  const auto [month, day, year] = setup.dateNumbers();
  // The instrument keeps a two-digit year; nothing outside its century is sent.
  if (year < kFirstYear || year > kLastYear) return CommandResult::Failed;
  return sendLine(exchange,
                  cmd::setDateLine(static_cast<unsigned>(month), static_cast<unsigned>(day),
                                   static_cast<unsigned>(year - kFirstYear)));
}

CommandResult sendInstrumentTime(CommandExchange& exchange, SetupModel& setup, Shell&) {
  const auto [hour, minute, second] = setup.timeNumbers();
  return sendLine(exchange,
                  cmd::setTimeLine(static_cast<unsigned>(hour), static_cast<unsigned>(minute),
                                   static_cast<unsigned>(second)));
}

CommandResult sendKeypadLock(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(exchange, cmd::setKeypadLockLine(setup.keypadLock()));
}

CommandResult sendExecInterval(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(exchange, cmd::setIntervalLine(static_cast<unsigned>(setup.interval())));
}

CommandResult sendFieldsPerRecord(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(exchange,
                  cmd::setFieldsPerRecordLine(static_cast<unsigned>(setup.fieldsPerRecord())));
}

CommandResult sendAutoScroll(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(exchange, cmd::setAutoScrollLine(setup.autoScroll()));
}

CommandResult sendScrollPause(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(exchange, cmd::setScrollPauseLine(static_cast<unsigned>(setup.scrollPause())));
}

CommandResult sendScrollEnd(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(exchange, cmd::setScrollEndLine(static_cast<unsigned>(setup.scrollEnd())));
}

CommandResult sendCom1Settings(CommandExchange& exchange, SetupModel& setup, Shell&) {
  int code = SetupModel::baudCode(setup.com1BaudIndex());
  // RS-485 is the negative code.
  if (setup.com1Type() == 1) code = -code;
  return sendLine(exchange, cmd::setCom1Line(code));
}

CommandResult sendCom2Baud(CommandExchange& exchange, SetupModel& setup, Shell&) {
  return sendLine(
      exchange,
      cmd::setCom2Line(static_cast<unsigned>(SetupModel::baudCode(setup.com2BaudIndex()))));
}

CommandResult sendRecordFormats(CommandExchange& exchange, SetupModel& setup, Shell& shell) {
  if (!exchange.sendUntilMark(cmd::kSendRecordFormatsLine, wire::kProgressMark,
                              kRecordBlockAckSeconds))
    return CommandResult::Failed;
  for (int row = 0; row < SetupModel::kFieldCount; ++row) {
    // All 25 fields go, whatever the fields-per-record value; the bytes are not paced.
    const RecordFormatBlock block = encodeRecordFormat(setup.format(row));
    for (std::uint8_t byte : block) exchange.write(byte);
    shell.setProgress(static_cast<int>(kFormatsProgressStart + row / kFormatsPerProgressStep));
    shell.processEvents();
    if (row + 1 < SetupModel::kFieldCount) {
      if (!exchange.waitForAck(wire::kProgressMark, kRecordBlockAckSeconds))
        return CommandResult::Failed;
    }
  }
  return failedIf(!exchange.waitForAck(wire::kCompletionMark, kRecordFormatsDoneSeconds));
}

// The whole setup.

CommandResult getUserSettings(CommandExchange& exchange, SetupModel& setup, Shell& shell) {
  shell.setProgressMax(kProgressMax);
  shell.setProgress(0);
  shell.addMessageLine(setup_text::kGetSetupStart);
  const float q = static_cast<float>(kProgressMax) / kGetSteps;

  // Step k of twelve; the date and time are the first two and are skipped with the PC's time.
  constexpr Operation kSteps[kGetSteps] = {getInstrumentDate, getInstrumentTime,  getCom1Settings,
                                           getCom2Baud,       getStopOnError,     getKeypadLock,
                                           getExecInterval,   getFieldsPerRecord, getRecordFormats,
                                           getAutoScroll,     getScrollPause,     getScrollEnd};
  const int first = setup.usePcTime() ? 2 : 0;
  bool failed = false;
  for (int i = first; i < kGetSteps && !failed; ++i) {
    failed = kSteps[i](exchange, setup, shell) != CommandResult::Done;
    if (!failed) shell.setProgress(progressAt(i + 1, q));
  }

  shell.setProgress(0);
  shell.addMessageLine(failed ? setup_text::kGetSetupFailed : setup_text::kGetSetupDone);
  return failedIf(failed);
}

std::optional<std::string> dateRefusal(const SetupModel& setup) {
  const int year = setup.dateNumbers()[2];
  if (year >= kFirstYear && year <= kLastYear) return std::nullopt;
  return "Cannot send the date " + setup.dateText() +
         ".\nThe 40100 keeps years from 2000 to 2099.\nPlease correct the date and try again.";
}

bool refuseUnsendableDate(SetupModel& setup, Shell& shell, const Calendar& calendar) {
  // The fields show the computer's clock only while the page is shown: read it now.
  setup.refreshFromPcClock(calendar);
  auto refusal = dateRefusal(setup);
  if (!refusal) return false;
  shell.message(*refusal, MessageKind::Warning, MessageButtons::Ok);
  return true;
}

CommandResult sendUserSettings(CommandExchange& exchange, SetupModel& setup, Shell& shell,
                               const Calendar& calendar) {
  if (refuseUnsendableDate(setup, shell, calendar)) return CommandResult::Refused;

  shell.setProgressMax(kProgressMax);
  shell.setProgress(0);
  shell.addMessageLine(setup_text::kSendStart);
  const float q = static_cast<float>(kProgressMax) / kSendSteps;

  constexpr Operation kSteps[kSendSteps] = {
      sendInstrumentDate,  sendInstrumentTime, sendKeypadLock,   sendExecInterval,
      sendFieldsPerRecord, sendAutoScroll,     sendScrollPause,  sendScrollEnd,
      sendCom1Settings,    sendCom2Baud,       sendRecordFormats};
  bool failed = false;
  for (int i = 0; i < kSendSteps && !failed; ++i) {
    failed = kSteps[i](exchange, setup, shell) != CommandResult::Done;
    if (!failed) shell.setProgress(progressAt(i + 1, q));
  }

  shell.processEvents();
  shell.setProgress(0);
  shell.addMessageLine(failed ? setup_text::kSendFailed : setup_text::kSendDone);
  return failedIf(failed);
}

}  // namespace halvern

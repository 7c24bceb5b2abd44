#include "sim/setup_responder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "sim/date_arithmetic.h"
#include "wire/commands.h"
#include "wire/text_format.h"

namespace halvern::sim {

namespace {

// Baud codes the serial ports take (COM1 negates them for RS-485).
constexpr std::array<int, 8> kBaudCodes{12, 24, 48, 96, 19, 38, 115, 230};

bool isBaudCode(int code) {
  return std::find(kBaudCodes.begin(), kBaudCodes.end(), code) != kBaudCodes.end();
}

bool inRange(const std::vector<int>& args, int low, int high) {
  return args.size() == 1 && args[0] >= low && args[0] <= high;
}

using Formats = std::array<SetupResponder::FieldFormat, wire::kRecordFormatCount>;

Formats defaultFormats() {
  Formats formats;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    formats[i].label = formatText("FIELD %02d", static_cast<int>(i + 1));
  }
  formats[0] = {"DATE", 1, 8, 0};
  formats[1] = {"TIME", 2, 8, 0};
  formats[2] = {"WIND SPEED", 0, 5, 1};
  formats[3] = {"WIND DIR", 0, 3, 0};
  formats[4] = {"AIR TEMP", 0, 5, 1};
  // The rest of what the demonstration program records every ten minutes.
  formats[5] = {"WIND GUST", 0, 5, 1};
  formats[6] = {"BATTERY", 0, 4, 1};
  return formats;
}

// Where a block keeps a field's type, width and precision, and the byte that must stay zero.
constexpr std::size_t kTypeByte = wire::kRecordLabelField;
constexpr std::size_t kWidthByte = wire::kRecordLabelField + 1;
constexpr std::size_t kPrecisionByte = wire::kRecordLabelField + 2;
constexpr std::size_t kSpareByte = wire::kRecordLabelField + 3;

std::string encodeFormats(const Formats& formats) {
  std::string bytes(wire::kRecordFormatsSize, '\0');
  for (std::size_t i = 0; i < formats.size(); ++i) {
    char* block = bytes.data() + i * wire::kRecordFormatBlockSize;
    const std::string& label = formats[i].label;
    std::copy_n(label.begin(), std::min(label.size(), wire::kRecordLabelMax), block);
    block[kTypeByte] = static_cast<char>(formats[i].type);
    block[kWidthByte] = static_cast<char>(formats[i].width);
    block[kPrecisionByte] = static_cast<char>(formats[i].precision);
  }
  return bytes;
}

// One received block, or nothing when it breaks the block layout.
std::optional<SetupResponder::FieldFormat> decodeFormat(const std::vector<std::uint8_t>& b) {
  auto labelEnd = std::find(b.begin(), b.begin() + wire::kRecordLabelField, 0);
  auto length = static_cast<std::size_t>(labelEnd - b.begin());
  if (length > wire::kRecordLabelMax) return std::nullopt;
  if (!std::all_of(labelEnd, b.begin() + wire::kRecordLabelField, [](auto c) { return c == 0; })) {
    return std::nullopt;
  }
  SetupResponder::FieldFormat field;
  field.label.assign(b.begin(), labelEnd);
  field.type = b[kTypeByte];
  field.width = b[kWidthByte];
  field.precision = b[kPrecisionByte];
  if (field.type > 2 || field.width < 1 || field.width > 9 || field.precision > 6 ||
      b[kSpareByte] != 0) {
    return std::nullopt;
  }
  return field;
}

}  // namespace

SetupResponder::SetupResponder(DateTime start, Clock::TimePoint base)
    : m_clockValue(start), m_clockBase(base) {
  m_settings.formats = defaultFormats();
}

DateTime SetupResponder::dateTimeAt(Clock::TimePoint at) const {
  return secondsLater(m_clockValue, std::chrono::floor<std::chrono::seconds>(at - m_clockBase));
}

bool SetupResponder::answer(const CommandLine& line, ReplyContext& context) {
  if (!line.args) return false;
  const int code = line.code;
  const std::vector<int>& args = *line.args;
  if (code == cmd::kSendRecordFormats) {
    if (args.empty()) beginRecordFormats(context);
    return true;
  }
  if (auto value = valueReply(code, context)) {
    if (!args.empty()) return true;
    const bool block = code == cmd::kGetRecordFormats;
    context.replySpoiled(context.faults().take(code), std::move(value->first),
                         std::move(value->second), block ? '\0' : ' ',
                         block ? context.form().afterBlock : std::string_view{});
    return true;
  }
  // A setting: arguments checked first, so a refused one uses no fault.
  if (!applySetting(code, args, context.at(), false)) return false;
  auto fault = context.faults().take(code);
  if (fault && fault->kind == FaultKind::Silence) return true;
  applySetting(code, args, context.at(), true);
  context.replySpoiled(fault, "*", "?", ' ');
  return true;
}

void SetupResponder::beginRecordFormats(ReplyContext& context) {
  auto fault = context.faults().take(cmd::kSendRecordFormats);
  if (fault && fault->kind == FaultKind::Silence) return;
  context.receiveBinary(*this);
  m_block.clear();
  m_blocksReceived = 0;
  m_lastByteAt = context.at();
  m_closingMarkWithheld = fault && fault->kind == FaultKind::NoStar;
  if (m_closingMarkWithheld) fault.reset();
  context.replySpoiled(fault, "!", "?", ' ');
}

Responder::Taken SetupResponder::receive(std::uint8_t byte, ReplyContext& context) {
  // A sender that went quiet has given up: the byte starts a command line again.
  if (context.at() - m_lastByteAt > kBinaryGapLimit) {
    return {false, std::string(1, static_cast<char>(byte))};
  }
  m_lastByteAt = context.at();
  return {receiveFormatByte(byte, context), {}};
}

bool SetupResponder::receiveFormatByte(std::uint8_t byte, ReplyContext& context) {
  m_block.push_back(byte);
  if (m_block.size() < wire::kRecordFormatBlockSize) return true;
  auto field = decodeFormat(m_block);
  m_block.clear();
  // A broken block ends the transfer; nothing received so far is kept.
  if (!field) return false;
  m_pendingFormats[m_blocksReceived++] = std::move(*field);
  if (m_blocksReceived < wire::kRecordFormatCount) {
    context.reply("!");
    return true;
  }
  m_settings.formats = m_pendingFormats;
  if (!m_closingMarkWithheld) context.reply("*");
  return false;
}

std::optional<std::pair<std::string, std::string>> SetupResponder::valueReply(
    int code, const ReplyContext& context) const {
  const Settings& s = m_settings;
  const ReplyForm& form = context.form();
  // A two-byte value and its out-of-range stand-in.
  auto flag = [&form](int value, int wrong) {
    return std::pair{form.number(value, cmd::kFlagReplySize, form.valueReturn),
                     form.number(wrong, cmd::kFlagReplySize, form.valueReturn)};
  };
  switch (code) {
    case cmd::kGetCom1:
      return std::pair{form.number(s.com1Code, cmd::kCom1ReplySize, form.comReturn),
                       form.number(-57, cmd::kCom1ReplySize, form.comReturn)};
    case cmd::kGetCom2:
      return std::pair{form.number(s.com2Code, cmd::kCom2ReplySize, form.comReturn),
                       form.number(57, cmd::kCom2ReplySize, form.comReturn)};
    case cmd::kGetStopOnError:
      return flag(s.stopOnError, -1);
    case cmd::kGetInterval:
      return flag(s.interval, -1);
    case cmd::kGetKeypadLock:
      return flag(s.keypadLock, -1);
    case cmd::kGetFieldsPerRecord:
      return flag(s.fieldsPerRecord, 99);
    case cmd::kGetAutoScroll:
      return flag(s.autoScroll, -1);
    case cmd::kGetScrollPause:
      return flag(s.scrollPause, -1);
    case cmd::kGetScrollEnd:
      return flag(s.scrollEnd, 99);
    case cmd::kGetDate: {
      DateTime t = dateTimeAt(context.at());
      int year = (t.year % 100 + 100) % 100;
      const char separator = form.dateSeparator;
      return std::pair{ReplyForm::triple(t.month, t.day, year, separator),
                       ReplyForm::triple(13, t.day, year, separator)};
    }
    case cmd::kGetTime: {
      DateTime t = dateTimeAt(context.at());
      const char separator = form.timeSeparator;
      return std::pair{ReplyForm::triple(t.hour, t.minute, t.second, separator),
                       ReplyForm::triple(24, t.minute, t.second, separator)};
    }
    case cmd::kGetRecordFormats: {
      std::string bytes = encodeFormats(s.formats);
      std::string wrong = bytes;
      wrong[kTypeByte] = 3;  // no such type
      return std::pair{std::move(bytes), std::move(wrong)};
    }
    default:
      return std::nullopt;
  }
}

bool SetupResponder::applySetting(int code, const std::vector<int>& args, Clock::TimePoint at,
                                  bool store) {
  Settings& s = m_settings;
  int* target = nullptr;
  switch (code) {
    case cmd::kSetCom1:
      if (args.size() != 1 || !isBaudCode(std::abs(args[0]))) return false;
      target = &s.com1Code;
      break;
    case cmd::kSetCom2:
      if (args.size() != 1 || !isBaudCode(args[0])) return false;
      target = &s.com2Code;
      break;
    case cmd::kSetInterval:
      if (!inRange(args, 0, 99)) return false;
      target = &s.interval;
      break;
    case cmd::kSetKeypadLock:
      if (!inRange(args, 0, 1)) return false;
      target = &s.keypadLock;
      break;
    case cmd::kSetFieldsPerRecord:
      if (!inRange(args, 1, static_cast<int>(wire::kRecordFormatCount))) return false;
      target = &s.fieldsPerRecord;
      break;
    case cmd::kSetAutoScroll:
      if (!inRange(args, 0, 1)) return false;
      target = &s.autoScroll;
      break;
    case cmd::kSetScrollPause:
      if (!inRange(args, 0, 99)) return false;
      target = &s.scrollPause;
      break;
    case cmd::kSetScrollEnd:
      if (!inRange(args, 0, 8)) return false;
      target = &s.scrollEnd;
      break;
    case cmd::kSetDate:
    case cmd::kSetTime: {
      if (args.size() != 3) return false;
      DateTime t = dateTimeAt(at);
      if (code == cmd::kSetDate) {
        if (args[2] < 0 || args[2] > 99) return false;
        std::chrono::year_month_day date{std::chrono::year{2000 + args[2]},
                                         std::chrono::month(static_cast<unsigned>(args[0])),
                                         std::chrono::day(static_cast<unsigned>(args[1]))};
        if (args[0] < 1 || args[1] < 1 || !date.ok()) return false;
        t.month = args[0];
        t.day = args[1];
        t.year = 2000 + args[2];
      } else {
        if (args[0] < 0 || args[0] > 23 || args[1] < 0 || args[1] > 59 || args[2] < 0 ||
            args[2] > 59) {
          return false;
        }
        t.hour = args[0];
        t.minute = args[1];
        t.second = args[2];
      }
      if (store) {
        m_clockValue = t;
        m_clockBase = at;
      }
      return true;
    }
    default:
      return false;
  }
  if (store) *target = args[0];
  return true;
}

void installSetupResponder(ResponderSet& set) {
  set.add(std::make_unique<SetupResponder>(set.start().clock, set.start().at));
}

}  // namespace halvern::sim

#include "sim/simulated_instrument.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "wire/commands.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern::sim {

namespace {

using namespace std::chrono_literals;

// Baud codes the serial ports take (COM1 negates them for RS-485).
constexpr std::array<int, 8> kBaudCodes{12, 24, 48, 96, 19, 38, 115, 230};

bool isBaudCode(int code) {
  return std::find(kBaudCodes.begin(), kBaudCodes.end(), code) != kBaudCodes.end();
}

struct CommandLine {
  int code = 0;
  std::vector<int> args;
};

// "CMD", three digits, then optionally a blank and blank-separated decimal arguments.
std::optional<CommandLine> parseCommandLine(std::string_view line) {
  if (line.size() < 6 || line.substr(0, 3) != "CMD") return std::nullopt;
  CommandLine command;
  for (char c : line.substr(3, 3)) {
    if (c < '0' || c > '9') return std::nullopt;
    command.code = command.code * 10 + (c - '0');
  }
  std::string_view rest = line.substr(6);
  if (rest.empty()) return command;
  if (rest.front() != ' ') return std::nullopt;
  rest.remove_prefix(1);
  while (true) {
    std::string_view token = rest.substr(0, rest.find(' '));
    int value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || ec != std::errc{} || end != token.data() + token.size()) {
      return std::nullopt;
    }
    command.args.push_back(value);
    if (token.size() == rest.size()) return command;
    rest.remove_prefix(token.size() + 1);
  }
}

std::array<SimulatedInstrument::FieldFormat, wire::kRecordFormatCount> defaultFormats() {
  std::array<SimulatedInstrument::FieldFormat, wire::kRecordFormatCount> formats;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    formats[i].label = formatText("FIELD %02d", static_cast<int>(i + 1));
  }
  formats[0] = {"DATE", 1, 8, 0};
  formats[1] = {"TIME", 2, 8, 0};
  formats[2] = {"WIND SPEED", 0, 5, 1};
  formats[3] = {"WIND DIR", 0, 3, 0};
  formats[4] = {"AIR TEMP", 0, 5, 1};
  return formats;
}

std::string encodeFormats(
    const std::array<SimulatedInstrument::FieldFormat, wire::kRecordFormatCount>& formats) {
  std::string bytes(wire::kRecordFormatsSize, '\0');
  for (std::size_t i = 0; i < formats.size(); ++i) {
    char* block = bytes.data() + i * wire::kRecordFormatBlockSize;
    const std::string& label = formats[i].label;
    std::copy_n(label.begin(), std::min(label.size(), wire::kRecordLabelMax), block);
    block[wire::kRecordLabelField] = static_cast<char>(formats[i].type);
    block[wire::kRecordLabelField + 1] = static_cast<char>(formats[i].width);
    block[wire::kRecordLabelField + 2] = static_cast<char>(formats[i].precision);
  }
  return bytes;
}

// One received block, or nothing when it breaks the block layout.
std::optional<SimulatedInstrument::FieldFormat> decodeFormat(const std::vector<std::uint8_t>& b) {
  auto labelEnd = std::find(b.begin(), b.begin() + wire::kRecordLabelField, 0);
  auto length = static_cast<std::size_t>(labelEnd - b.begin());
  if (length > wire::kRecordLabelMax) return std::nullopt;
  if (!std::all_of(labelEnd, b.begin() + wire::kRecordLabelField, [](auto c) { return c == 0; })) {
    return std::nullopt;
  }
  SimulatedInstrument::FieldFormat field;
  field.label.assign(b.begin(), labelEnd);
  field.type = b[28];
  field.width = b[29];
  field.precision = b[30];
  if (field.type > 2 || field.width < 1 || field.width > 9 || field.precision > 6 || b[31] != 0) {
    return std::nullopt;
  }
  return field;
}

std::chrono::sys_seconds toSysSeconds(const DateTime& t) {
  using namespace std::chrono;
  return sys_days{year{t.year} / t.month / t.day} + hours{t.hour} + minutes{t.minute} +
         seconds{t.second};
}

DateTime fromSysSeconds(std::chrono::sys_seconds t) {
  using namespace std::chrono;
  auto day = floor<days>(t);
  year_month_day ymd{day};
  hh_mm_ss hms{t - day};
  return DateTime{static_cast<int>(ymd.year()),
                  static_cast<int>(unsigned(ymd.month())),
                  static_cast<int>(unsigned(ymd.day())),
                  static_cast<int>(hms.hours().count()),
                  static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count())};
}

bool inRange(const std::vector<int>& args, int low, int high) {
  return args.size() == 1 && args[0] >= low && args[0] <= high;
}

}  // namespace

SimulatedInstrument::SimulatedInstrument(const Calendar& calendar, const Clock& clock)
    : m_clockValue(calendar.now()), m_clockBase(clock.now()) {
  m_settings.formats = defaultFormats();
}

bool SimulatedInstrument::linkDead() const {
  return m_program.dead() || (cutDone() && m_output.empty());
}

void SimulatedInstrument::armCut(int code) {
  const Fault* fault = m_faults.peek(code);
  if (m_cut || fault == nullptr ||
      (fault->kind != FaultKind::Cut && fault->kind != FaultKind::HangUp)) {
    return;
  }
  m_cut = Cut{fault->bytesBeforeCut, fault->kind == FaultKind::HangUp};
  m_faults.take(code);
}

void SimulatedInstrument::receive(std::uint8_t byte, Clock::TimePoint at) {
  // Gone from the link: nothing reaches the instrument any more.
  if (m_program.dead() || cutDone()) return;
  if (m_mode == Mode::Program) {
    auto step = m_program.receive(byte, at);
    if (!step.reply.empty()) reply(step.reply, at);
    if (m_program.dead()) m_output.clear();
    if (step.active) return;
    m_mode = Mode::Lines;
    for (char c : step.toLines) receiveLineByte(static_cast<std::uint8_t>(c), at);
    return;
  }
  if (m_mode == Mode::Screens) {
    if (m_screens.receive(byte, at)) {
      if (!m_screens.receiving()) m_mode = Mode::Lines;
      return;
    }
    m_mode = Mode::Lines;
  }
  if (m_mode == Mode::RecordFormats) {
    // A sender that went quiet has given up: the byte starts a command line again.
    if (at - m_lastByteAt <= kBinaryGapLimit) {
      m_lastByteAt = at;
      handleBinary(byte, at);
      return;
    }
    m_mode = Mode::Lines;
  }
  receiveLineByte(byte, at);
}

void SimulatedInstrument::receiveLineByte(std::uint8_t byte, Clock::TimePoint at) {
  if (byte == wire::kCarriageReturn) {
    std::string line;
    line.swap(m_line);
    bool overlong = m_lineOverlong;
    m_lineOverlong = false;
    if (overlong || line.empty()) return;
    m_lines.push_back(line);
    handleLine(line, at);
    return;
  }
  if (m_lineOverlong) return;
  if (m_line.size() == kMaxLineLength) {
    m_lineOverlong = true;
    m_line.clear();
    return;
  }
  m_line += static_cast<char>(byte);
}

void SimulatedInstrument::handleLine(const std::string& line, Clock::TimePoint at) {
  m_form = m_dialect.next();
  // Calibration lines first: a full-scale step carries a decimal fraction.
  if (auto pieces = m_calibration.answer(line, m_faults)) {
    for (const auto& piece : *pieces) reply(piece.bytes, at + piece.after);
    return;
  }
  auto command = parseCommandLine(line);
  if (!command) return;
  const int code = command->code;
  armCut(code);
  if (cutDone()) return;

  if (auto text = m_tests.answer(code, command->args, m_program.image())) {
    replySpoiled(m_faults.take(code), std::move(*text), "?", ' ', at);
    return;
  }

  if ((code == cmd::kGetProgram || code == cmd::kSendProgram) && command->args.empty()) {
    m_mode = Mode::Program;
    reply(code == cmd::kGetProgram ? m_program.beginDownload() : m_program.beginUpload(at), at);
    return;
  }
  if ((code == cmd::kGetScreens || code == cmd::kSendScreens) && command->args.empty()) {
    if (code == cmd::kGetScreens) {
      const std::string block = m_screens.answerDownload();
      if (!block.empty()) reply(block + m_form.afterBlock, at);
      return;
    }
    reply(m_screens.beginUpload(at), at);
    if (m_screens.receiving()) m_mode = Mode::Screens;
    return;
  }
  if (code == cmd::kSendRecordFormats) {
    if (command->args.empty()) beginRecordFormats(at);
    return;
  }
  if (code == cmd::kGetRecords) {
    if (command->args.size() == 1 && command->args[0] >= 0) answerRecords(command->args[0], at);
    return;
  }
  if (code == cmd::kEraseRecords) {
    if (command->args.empty()) eraseRecords(at);
    return;
  }
  if (auto value = valueReply(code, at)) {
    if (!command->args.empty()) return;
    const bool block = code == cmd::kGetRecordFormats;
    replySpoiled(m_faults.take(code), std::move(value->first), std::move(value->second),
                 block ? '\0' : ' ', at, block ? m_form.afterBlock : std::string_view{});
    return;
  }
  // A setting: arguments checked first, so a refused one uses no fault.
  if (!applySetting(code, command->args, at, false)) return;
  auto fault = m_faults.take(code);
  if (fault && fault->kind == FaultKind::Silence) return;
  applySetting(code, command->args, at, true);
  replySpoiled(fault, "*", "?", ' ', at);
}

void SimulatedInstrument::beginRecordFormats(Clock::TimePoint at) {
  auto fault = m_faults.take(cmd::kSendRecordFormats);
  if (fault && fault->kind == FaultKind::Silence) return;
  m_mode = Mode::RecordFormats;
  m_block.clear();
  m_blocksReceived = 0;
  m_lastByteAt = at;
  m_closingMarkWithheld = fault && fault->kind == FaultKind::NoStar;
  if (m_closingMarkWithheld) fault.reset();
  replySpoiled(fault, "!", "?", ' ', at);
}

void SimulatedInstrument::answerRecords(int count, Clock::TimePoint at) {
  std::vector<RecordLog::FieldType> types;
  const auto fields = static_cast<std::size_t>(std::clamp(m_settings.fieldsPerRecord, 1, 25));
  for (std::size_t i = 0; i < fields; ++i)
    types.push_back(
        static_cast<RecordLog::FieldType>(std::min<int>(m_settings.formats[i].type, 2)));
  std::string bytes = m_records.bytes(static_cast<std::size_t>(count), types);
  // A wrong reply: as many bytes, all of them 0xFF (not a number in every field).
  std::string wrong(bytes.size(), '\xFF');
  replySpoiled(m_faults.take(cmd::kGetRecords), std::move(bytes), std::move(wrong), '\xFF', at,
               m_form.afterBlock);
}

void SimulatedInstrument::eraseRecords(Clock::TimePoint at) {
  auto fault = m_faults.take(cmd::kEraseRecords);
  if (fault && fault->kind == FaultKind::Silence) return;
  // The memory is cleared a part at a time, each part marked with "!".
  const std::size_t parts = std::clamp<std::size_t>(m_records.count() / 500, 1, 12);
  for (std::size_t k = 1; k <= parts; ++k) reply("!", at + kEraseStep * static_cast<long>(k));
  m_records.erase();
  if (fault && fault->kind == FaultKind::NoStar) return;
  reply("*", at + kEraseStep * static_cast<long>(parts + 1));
}

void SimulatedInstrument::handleBinary(std::uint8_t byte, Clock::TimePoint at) {
  m_block.push_back(byte);
  if (m_block.size() < wire::kRecordFormatBlockSize) return;
  auto field = decodeFormat(m_block);
  m_block.clear();
  if (!field) {
    // A broken block ends the transfer; nothing received so far is kept.
    m_mode = Mode::Lines;
    return;
  }
  m_pendingFormats[m_blocksReceived++] = std::move(*field);
  if (m_blocksReceived < wire::kRecordFormatCount) {
    reply("!", at);
    return;
  }
  m_mode = Mode::Lines;
  m_settings.formats = m_pendingFormats;
  if (!m_closingMarkWithheld) reply("*", at);
}

std::optional<std::pair<std::string, std::string>> SimulatedInstrument::valueReply(
    int code, Clock::TimePoint at) const {
  const Settings& s = m_settings;
  // A two-byte value and its out-of-range stand-in.
  auto flag = [this](int value, int wrong) {
    return std::pair{m_form.number(value, cmd::kFlagReplySize, m_form.valueReturn),
                     m_form.number(wrong, cmd::kFlagReplySize, m_form.valueReturn)};
  };
  switch (code) {
    case cmd::kGetCom1:
      return std::pair{m_form.number(s.com1Code, cmd::kCom1ReplySize, m_form.comReturn),
                       m_form.number(-57, cmd::kCom1ReplySize, m_form.comReturn)};
    case cmd::kGetCom2:
      return std::pair{m_form.number(s.com2Code, cmd::kCom2ReplySize, m_form.comReturn),
                       m_form.number(57, cmd::kCom2ReplySize, m_form.comReturn)};
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
      DateTime t = dateTimeAt(at);
      int year = (t.year % 100 + 100) % 100;
      const char separator = m_form.dateSeparator;
      return std::pair{ReplyForm::triple(t.month, t.day, year, separator),
                       ReplyForm::triple(13, t.day, year, separator)};
    }
    case cmd::kGetTime: {
      DateTime t = dateTimeAt(at);
      const char separator = m_form.timeSeparator;
      return std::pair{ReplyForm::triple(t.hour, t.minute, t.second, separator),
                       ReplyForm::triple(24, t.minute, t.second, separator)};
    }
    case cmd::kGetRecordFormats: {
      std::string bytes = encodeFormats(s.formats);
      std::string wrong = bytes;
      wrong[wire::kRecordLabelField] = 3;  // no such type
      return std::pair{std::move(bytes), std::move(wrong)};
    }
    default:
      return std::nullopt;
  }
}

bool SimulatedInstrument::applySetting(int code, const std::vector<int>& args, Clock::TimePoint at,
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

void SimulatedInstrument::replySpoiled(const std::optional<Fault>& fault, std::string text,
                                       std::string wrong, char pad, Clock::TimePoint at,
                                       std::string_view after) {
  if (fault) {
    switch (fault->kind) {
      case FaultKind::Silence:
        return;
      case FaultKind::Short:
        if (!text.empty()) text.pop_back();
        break;
      case FaultKind::WrongValue: {
        std::string replacement = fault->text.empty() ? std::move(wrong) : fault->text;
        replacement.resize(text.size(), pad);
        text = std::move(replacement);
        break;
      }
      case FaultKind::Stray:
        text.insert(0, fault->text.empty() ? std::string(kStrayBytes) : fault->text);
        break;
      case FaultKind::Trailing:
        text += fault->text.empty() ? std::string(kStrayBytes) : fault->text;
        break;
      case FaultKind::NoStar:
        if (text == "*") return;
        break;
      case FaultKind::Corrupt:
      case FaultKind::NakStorm:
      case FaultKind::BadEnd:
      case FaultKind::Dies:
        break;  // faults of the program transfers only
      case FaultKind::Cut:
      case FaultKind::HangUp:
        break;  // taken when the command line came
    }
  }
  reply(text + std::string(after), at);
}

void SimulatedInstrument::reply(std::string_view bytes, Clock::TimePoint at) {
  if (m_cut) {
    // The link goes after the bytes a cut lets through.
    bytes = bytes.substr(0, m_cut->bytesLeft);
    m_cut->bytesLeft -= bytes.size();
  }
  Clock::TimePoint t = std::max(at + m_form.turnaround, m_outputFree);
  for (char c : bytes) {
    t += wire::kByteTime;
    m_output.push_back({t, static_cast<std::uint8_t>(c)});
  }
  m_outputFree = t;
}

std::optional<Clock::TimePoint> SimulatedInstrument::nextOutputTime() const {
  if (m_output.empty()) return std::nullopt;
  return m_output.front().at;
}

std::size_t SimulatedInstrument::takeOutput(Clock::TimePoint at, std::uint8_t* buffer,
                                            std::size_t max) {
  std::size_t n = 0;
  while (n < max && !m_output.empty() && m_output.front().at <= at) {
    buffer[n++] = m_output.front().byte;
    m_output.pop_front();
  }
  return n;
}

void SimulatedInstrument::discardOutput(Clock::TimePoint at) {
  while (!m_output.empty() && m_output.front().at <= at) m_output.pop_front();
}

DateTime SimulatedInstrument::dateTimeAt(Clock::TimePoint at) const {
  auto elapsed = std::chrono::floor<std::chrono::seconds>(at - m_clockBase);
  return fromSysSeconds(toSysSeconds(m_clockValue) + elapsed);
}

}  // namespace halvern::sim

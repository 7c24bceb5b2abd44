#include "sim/program_memory.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <string_view>

#include "wire/byte_order.h"
#include "wire/commands.h"
#include "wire/crc32_mpeg2.h"

namespace halvern::sim {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kSlots = wire::kProgramSlotCount;
constexpr std::size_t kSlotSize = wire::kProgramSlotSize;
constexpr std::size_t kTable = wire::kProgramSlotsSize;
constexpr std::size_t kData = wire::kProgramBlockDataSize;
constexpr std::size_t kBlock = wire::kProgramBlockSize;
constexpr std::size_t kBlocks = wire::kProgramBlockCount;
constexpr std::size_t kEnd = wire::kProgramEndBlockSize;
// A pause this long in an upload means the computer has given up.
constexpr Clock::Duration kUploadGap = 1s;

// Where the instrument keeps instruction i: scattered over all 512 slots (149 is odd, so this
// visits every slot once).
std::size_t slotOf(std::size_t i) { return (i * 149 + 77) % kSlots; }

using byte_order::big16;
using byte_order::big32;
using byte_order::little32;

void putBig16(std::uint8_t* p, unsigned v) {
  byte_order::putBig16(p, static_cast<std::uint16_t>(v));
}

std::uint32_t crcOf(const std::string& bytes, std::size_t n) {
  return Crc32Mpeg2::of({reinterpret_cast<const std::uint8_t*>(bytes.data()), n});
}

// The program an image holds, read through its table; empty when the table names no slot or
// there is no "PGM END".
std::vector<ProgramMemory::Slot> readProgram(const ProgramMemory::Image& image) {
  std::vector<ProgramMemory::Slot> program;
  for (std::size_t i = 0; i < kSlots; ++i) {
    const std::size_t slot = big16(&image[kTable + 4 * i]);
    if (slot >= kSlots) return {};
    ProgramMemory::Slot s;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(slot * kSlotSize), kSlotSize,
                s.begin());
    program.push_back(s);
    if (big16(s.data()) == 0) return program;
  }
  return {};
}

// A changeparam fault: the first parameter of the program whose value text is digits alone gets
// its last digit one up (a 9 one down), and its number beside the text follows.
void changeOneParameter(std::vector<ProgramMemory::Slot>& program) {
  for (ProgramMemory::Slot& slot : program) {
    if (big16(slot.data()) == 0) return;
    for (std::size_t j = 0; j < 7; ++j) {
      std::uint8_t* text = &slot[6 + 12 * j];
      const auto end = std::find(text, text + 7, 0);
      if (end == text ||
          !std::all_of(text, end, [](std::uint8_t c) { return c >= '0' && c <= '9'; }))
        continue;
      std::uint8_t& last = *(end - 1);
      last = last == '9' ? '8' : static_cast<std::uint8_t>(last + 1);
      unsigned value = 0;
      std::from_chars(reinterpret_cast<const char*>(text), reinterpret_cast<const char*>(end),
                      value);
      putBig16(&slot[2 + 12 * j], value);
      return;
    }
  }
}

// Slots of the demonstration program, as the instrument's memory holds them.
struct SlotWriter {
  ProgramMemory::Slot slot{};
  explicit SlotWriter(unsigned opcode) { putBig16(slot.data(), opcode); }
  SlotWriter& number(std::size_t j, unsigned value, std::string_view text = {}) {
    putBig16(&slot[2 + 12 * j], value);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 7), &slot[6 + 12 * j]);
    return *this;
  }
  // A decimal as typed: the text and the float it reads as (without the locale).
  SlotWriter& decimal(std::size_t j, std::string_view text) {
    float value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    byte_order::putBig32(&slot[2 + 12 * j], std::bit_cast<std::uint32_t>(value));
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 7), &slot[6 + 12 * j]);
    return *this;
  }
  SlotWriter& text(std::string_view t) {
    std::copy_n(t.begin(), std::min<std::size_t>(t.size(), 41), &slot[86]);
    return *this;
  }
};

// The opcodes the demonstration program uses.
enum Op : unsigned {
  kPgmEnd = 0,
  kAlarm = 1,
  kAverage = 2,
  kBeep = 3,
  kChangeToScreen = 4,
  kDisplayFlags = 6,
  kDisplayNesw = 7,
  kDisplayText = 8,
  kDisplayTime = 9,
  kDisplayValue = 10,
  kElse = 11,
  kEndIf = 12,
  kFlagSet = 13,
  kIfFlag = 16,
  kIfKeyswitch = 18,
  kIfLocCompareVal = 20,
  kIfLocSpan = 21,
  kIfTimeInterval = 22,
  kInputVoltage = 30,
  kInputWindDir = 31,
  kInputWindSpeed = 32,
  kLocEqualsValue = 34,
  kLocOperValue = 36,
  kMaximum = 38,
  kMinimum = 39,
  kOutputMilliamps = 40,
  kOutputSwitch = 42,
  kRecordTime = 43,
  kRecordValue = 44,
  kSerialChecksum = 45,
  kSerialOut = 47,
  kSerialText = 48,
  kSerialTime = 49,
  kSerialValue = 50,
  kStandardDeviation = 51,
  kWindDirection540 = 52,
};

// Entries of the value lists, by their place in the list.
constexpr unsigned kSmall = 0, kBig = 1;                   // font=
constexpr unsigned kSec = 0, kMin = 1;                     // unit=
constexpr unsigned kLess = 0, kGreater = 2;                // comp:
constexpr unsigned kKey1 = 0;                              // key=
constexpr unsigned kOff = 0, kOn = 1;                      // state=
constexpr unsigned kMultiply = 2, kAdd = 0;                // oper:
constexpr unsigned kMetresPerSecond = 0;                   // units=
constexpr unsigned kSingleEnded = 1;                       // type= of INPUT VOLTAGE
constexpr unsigned kSensorA1 = 0;                          // sensor=
constexpr unsigned kRate60Hz = 5;                          // rate=
constexpr unsigned kBlockAverage = 0, kBlockAngle = 1;     // type= of AVERAGE, STANDARD DEVIATION
constexpr unsigned kBlockExtreme = 0, kMovingExtreme = 1;  // type= of MAXIMUM, MINIMUM
constexpr unsigned kExcluded = 0;                          // span=
constexpr unsigned kDate = 0, kTime = 1;                   // frmt=
constexpr unsigned kComma = 1;                             // delim=
constexpr unsigned kCrLf = 3;                              // endchr=
constexpr unsigned kCom2 = 1;                              // chan= of the serial buffer
constexpr unsigned kBinary = 0;                            // format= of DISPLAY FLAGS
constexpr unsigned kSimpleSum = 0;                         // type= of SERIAL BUFFER CHECKSUM

// A reading shown on a screen: location, screen, font, row, column, width, decimals.
ProgramMemory::Slot showValue(unsigned loc, unsigned screen, unsigned font, unsigned row,
                              unsigned column, unsigned width, unsigned decimals) {
  const auto digits = [](unsigned n, std::size_t w) {
    std::string t(w, '0');
    for (std::size_t k = w; k-- > 0; n /= 10) t[k] = static_cast<char>('0' + n % 10);
    return t;
  };
  return SlotWriter(kDisplayValue)
      .number(0, loc, digits(loc, 3))
      .number(1, screen, digits(screen, 1))
      .number(2, font)
      .number(3, row, digits(row, 1))
      .number(4, column, digits(column, 2))
      .number(5, width, digits(width, 1))
      .number(6, decimals, digits(decimals, 1))
      .slot;
}

// The site program of the North Ridge weather station, as a technician would leave it.
//
// Locations: 001 wind speed (m/s), 002 wind direction, 003 air temperature (~C), 004 battery
// (V), 005 wind speed (mph), 006 direction 0-540, 010..013 the ten-minute wind figures (speed,
// direction, its deviation, gust), 014 mean air temperature, 015 lowest battery, 016 and 017
// the hour's highest and lowest temperature, 020 air temperature (~F), 030 the screen KEY1
// shows. Flags: 01 set up, 02 low battery, 03 high wind.
std::vector<ProgramMemory::Slot> demoProgram() {
  return {
      // Once, at power-up: screen 1 and a beep.
      SlotWriter(kIfFlag).number(0, 1, "01").number(1, kOff).slot,
      SlotWriter(kLocEqualsValue).number(0, 30, "030").decimal(1, "1.00000").slot,
      SlotWriter(kChangeToScreen).number(0, 30, "030").slot,
      SlotWriter(kBeep).number(0, 1, "1").slot,
      SlotWriter(kFlagSet).number(0, 1, "01").number(1, kOn).slot,
      SlotWriter(kEndIf).slot,

      // Every second: the sensors, scaled, and the running figures.
      SlotWriter(kIfTimeInterval).number(0, kSec).number(1, 1, "0001").slot,
      SlotWriter(kInputWindSpeed)
          .number(0, 1, "1")
          .number(1, kSensorA1)
          .number(2, kMetresPerSecond)
          .number(3, 1, "001")
          .slot,
      SlotWriter(kInputWindDir).number(0, 1, "01").number(1, kSensorA1).number(2, 2, "002").slot,
      // Temperature transmitter: 0-1 V for -40 to +60 ~C.
      SlotWriter(kInputVoltage)
          .number(0, 2, "02")
          .number(1, kSingleEnded)
          .decimal(2, "100.000")
          .decimal(3, "-40.000")
          .number(4, kRate60Hz)
          .number(5, 3, "003")
          .slot,
      // Battery through the 5:1 divider.
      SlotWriter(kInputVoltage)
          .number(0, 3, "03")
          .number(1, kSingleEnded)
          .decimal(2, "5.00000")
          .decimal(3, "0.00000")
          .number(4, kRate60Hz)
          .number(5, 4, "004")
          .slot,
      SlotWriter(kLocOperValue)
          .number(0, 5, "005")
          .number(1, 1, "001")
          .number(2, kMultiply)
          .decimal(3, "2.23694")
          .slot,
      SlotWriter(kWindDirection540).number(0, 2, "002").number(1, 6, "006").slot,
      SlotWriter(kAverage)
          .number(0, 5, "005")
          .number(1, 10, "010")
          .number(2, kBlockAverage)
          .number(3, 600, "0600")
          .slot,
      SlotWriter(kAverage)
          .number(0, 2, "002")
          .number(1, 11, "011")
          .number(2, kBlockAngle)
          .number(3, 600, "0600")
          .slot,
      SlotWriter(kStandardDeviation)
          .number(0, 2, "002")
          .number(1, 12, "012")
          .number(2, kBlockAngle)
          .number(3, 600, "0600")
          .slot,
      SlotWriter(kMaximum)
          .number(0, 5, "005")
          .number(1, 13, "013")
          .number(2, kBlockExtreme)
          .number(3, 600, "0600")
          .slot,
      SlotWriter(kAverage)
          .number(0, 3, "003")
          .number(1, 14, "014")
          .number(2, kBlockAverage)
          .number(3, 600, "0600")
          .slot,
      SlotWriter(kMinimum)
          .number(0, 4, "004")
          .number(1, 15, "015")
          .number(2, kBlockExtreme)
          .number(3, 600, "0600")
          .slot,
      SlotWriter(kMaximum)
          .number(0, 3, "003")
          .number(1, 16, "016")
          .number(2, kMovingExtreme)
          .number(3, 3600, "3600")
          .slot,
      SlotWriter(kMinimum)
          .number(0, 3, "003")
          .number(1, 17, "017")
          .number(2, kMovingExtreme)
          .number(3, 3600, "3600")
          .slot,
      SlotWriter(kLocOperValue)
          .number(0, 20, "020")
          .number(1, 3, "003")
          .number(2, kMultiply)
          .decimal(3, "1.80000")
          .slot,
      SlotWriter(kLocOperValue)
          .number(0, 20, "020")
          .number(1, 20, "020")
          .number(2, kAdd)
          .decimal(3, "32.0000")
          .slot,
      // Wind speed to the 4-20 mA loop: 0-60 m/s.
      SlotWriter(kOutputMilliamps)
          .number(0, 1, "001")
          .number(1, 1, "01")
          .decimal(2, "0.26667")
          .decimal(3, "4.00000")
          .slot,
      SlotWriter(kEndIf).slot,

      // Alarm relays: 1 the battery outside 11.5-15.0 V for a minute, 2 a gust over 40 mph.
      SlotWriter(kAlarm)
          .number(0, 4, "004")
          .decimal(1, "11.5000")
          .decimal(2, "15.0000")
          .number(3, 60, "060")
          .number(4, kExcluded)
          .number(5, 1, "1")
          .slot,
      SlotWriter(kAlarm)
          .number(0, 5, "005")
          .decimal(1, "0.00000")
          .decimal(2, "40.0000")
          .number(3, 5, "005")
          .number(4, kExcluded)
          .number(5, 2, "2")
          .slot,
      SlotWriter(kIfLocCompareVal).number(0, 15, "015").number(1, kLess).decimal(2, "11.5000").slot,
      SlotWriter(kFlagSet).number(0, 2, "02").number(1, kOn).slot,
      SlotWriter(kDisplayText)
          .number(0, 4, "4")
          .number(1, 6, "6")
          .number(2, 1, "01")
          .text("LOW BATTERY")
          .number(4, kSmall)
          .slot,
      SlotWriter(kElse).slot,
      SlotWriter(kFlagSet).number(0, 2, "02").number(1, kOff).slot,
      SlotWriter(kDisplayText)
          .number(0, 4, "4")
          .number(1, 6, "6")
          .number(2, 1, "01")
          .text("BATTERY OK ")
          .number(4, kSmall)
          .slot,
      SlotWriter(kEndIf).slot,
      SlotWriter(kIfLocSpan)
          .number(0, 5, "005")
          .decimal(1, "0.00000")
          .decimal(2, "40.0000")
          .number(3, 10, "10")
          .number(4, kExcluded)
          .slot,
      SlotWriter(kFlagSet).number(0, 3, "03").number(1, kOn).slot,
      SlotWriter(kOutputSwitch).number(0, 3, "3").number(1, kOn).slot,
      SlotWriter(kDisplayText)
          .number(0, 5, "5")
          .number(1, 6, "6")
          .number(2, 1, "01")
          .text("HIGH WIND")
          .number(4, kSmall)
          .slot,
      SlotWriter(kElse).slot,
      SlotWriter(kFlagSet).number(0, 3, "03").number(1, kOff).slot,
      SlotWriter(kOutputSwitch).number(0, 3, "3").number(1, kOff).slot,
      SlotWriter(kDisplayText)
          .number(0, 5, "5")
          .number(1, 6, "6")
          .number(2, 1, "01")
          .text("WIND OK  ")
          .number(4, kSmall)
          .slot,
      SlotWriter(kEndIf).slot,

      // The screens: 1 wind, 2 the ten-minute figures, 3 air temperature, 4 battery, 5 flags.
      SlotWriter(kDisplayTime)
          .number(0, 1, "1")
          .number(1, kSmall)
          .number(2, 1, "1")
          .number(3, 33, "33")
          .slot,
      showValue(5, 1, kBig, 3, 11, 5, 1),
      showValue(2, 1, kBig, 5, 11, 3, 0),
      SlotWriter(kDisplayNesw)
          .number(0, 2, "002")
          .number(1, 1, "1")
          .number(2, kSmall)
          .number(3, 6, "6")
          .number(4, 21, "21")
          .slot,
      showValue(10, 2, kSmall, 2, 22, 5, 1),
      showValue(13, 2, kSmall, 3, 22, 5, 1),
      showValue(11, 2, kSmall, 4, 22, 5, 0),
      showValue(12, 2, kSmall, 5, 22, 5, 1),
      showValue(3, 3, kBig, 3, 11, 5, 1),
      SlotWriter(kDisplayText)
          .number(0, 3, "3")
          .number(1, 4, "4")
          .number(2, 22, "22")
          .text("~C")
          .number(4, kSmall)
          .slot,
      showValue(20, 3, kSmall, 5, 22, 5, 1),
      showValue(16, 3, kSmall, 6, 10, 5, 1),
      showValue(17, 3, kSmall, 6, 27, 5, 1),
      showValue(4, 4, kBig, 3, 11, 4, 1),
      showValue(15, 4, kSmall, 5, 22, 5, 1),
      SlotWriter(kDisplayFlags)
          .number(0, 5, "5")
          .number(1, kSmall)
          .number(2, 4, "4")
          .number(3, 22, "22")
          .number(4, kBinary)
          .slot,

      // KEY1 steps through the eight screens.
      SlotWriter(kIfKeyswitch).number(0, kKey1).slot,
      SlotWriter(kLocOperValue)
          .number(0, 30, "030")
          .number(1, 30, "030")
          .number(2, kAdd)
          .decimal(3, "1.00000")
          .slot,
      SlotWriter(kIfLocCompareVal)
          .number(0, 30, "030")
          .number(1, kGreater)
          .decimal(2, "8.00000")
          .slot,
      SlotWriter(kLocEqualsValue).number(0, 30, "030").decimal(1, "1.00000").slot,
      SlotWriter(kEndIf).slot,
      SlotWriter(kChangeToScreen).number(0, 30, "030").slot,
      SlotWriter(kEndIf).slot,

      // Every ten minutes: a record in the log and the same figures to the radio on COM2.
      SlotWriter(kIfTimeInterval).number(0, kMin).number(1, 10, "0010").slot,
      SlotWriter(kRecordTime).number(0, kDate).slot,
      SlotWriter(kRecordTime).number(0, kTime).slot,
      SlotWriter(kRecordValue).number(0, 10, "010").slot,
      SlotWriter(kRecordValue).number(0, 11, "011").slot,
      SlotWriter(kRecordValue).number(0, 14, "014").slot,
      SlotWriter(kRecordValue).number(0, 13, "013").slot,
      SlotWriter(kRecordValue).number(0, 15, "015").slot,
      SlotWriter(kSerialText).text("NRIDGE,").slot,
      SlotWriter(kSerialTime).number(0, kDate).number(1, kComma).slot,
      SlotWriter(kSerialTime).number(0, kTime).number(1, kComma).slot,
      SlotWriter(kSerialValue)
          .number(0, 10, "010")
          .number(1, 5, "5")
          .number(2, 1, "1")
          .number(3, kComma)
          .slot,
      SlotWriter(kSerialValue)
          .number(0, 11, "011")
          .number(1, 3, "3")
          .number(2, 0, "0")
          .number(3, kComma)
          .slot,
      SlotWriter(kSerialValue)
          .number(0, 14, "014")
          .number(1, 5, "5")
          .number(2, 1, "1")
          .number(3, kComma)
          .slot,
      SlotWriter(kSerialValue)
          .number(0, 13, "013")
          .number(1, 5, "5")
          .number(2, 1, "1")
          .number(3, kComma)
          .slot,
      SlotWriter(kSerialValue)
          .number(0, 15, "015")
          .number(1, 4, "4")
          .number(2, 1, "1")
          .number(3, kComma)
          .slot,
      SlotWriter(kSerialChecksum).number(0, kSimpleSum).slot,
      SlotWriter(kSerialOut).number(0, kCom2).number(1, kCrLf).number(2, 0, "00").slot,
      SlotWriter(kEndIf).slot,

      SlotWriter(kPgmEnd).slot,
  };
}

}  // namespace

ProgramMemory::ProgramMemory(FaultPlan& faults)
    : m_faults(faults), m_image(std::make_unique<Image>()), m_incoming(std::make_unique<Image>()) {
  store(demoProgram());
}

std::vector<ProgramMemory::Slot> ProgramMemory::program() const { return readProgram(*m_image); }

void ProgramMemory::store(const std::vector<Slot>& program) {
  m_image->fill(0xFF);
  for (std::size_t i = 0; i < program.size() && i < kSlots; ++i) {
    const std::size_t slot = slotOf(i);
    std::copy(program[i].begin(), program[i].end(),
              m_image->begin() + static_cast<std::ptrdiff_t>(slot * kSlotSize));
    putBig16(&(*m_image)[kTable + 4 * i], static_cast<unsigned>(slot));
  }
}

bool ProgramMemory::strikes(int code, FaultKind kind, std::size_t block) {
  const Fault* fault = m_faults.peek(code);
  if (fault == nullptr || fault->kind != kind) return false;
  int at = fault->block;
  if (at < 0 && kind == FaultKind::Dies) at = 0;
  // Silence without a block spoils the reply to the command, not a block.
  if (at < 0 && kind == FaultKind::Silence) return false;
  if (at >= 0 && static_cast<std::size_t>(at) != block) return false;
  m_faults.take(code);
  if (kind == FaultKind::Dies) m_dead = true;
  return true;
}

std::optional<std::string> ProgramMemory::strikingText(int code, FaultKind kind) {
  const Fault* fault = m_faults.peek(code);
  if (fault == nullptr || fault->kind != kind) return std::nullopt;
  std::string text = fault->text;
  if (text.empty()) text = kind == FaultKind::Stray ? "?#" : "?";
  m_faults.take(code);
  return text;
}

std::string ProgramMemory::downloadBlock(std::size_t number) {
  if (strikes(cmd::kGetProgram, FaultKind::Dies, number)) return {};
  if (strikes(cmd::kGetProgram, FaultKind::Silence, number)) return {};
  std::string out;
  if (number == kBlocks) {
    out = {static_cast<char>(wire::kProgramEndHeader[0]),
           static_cast<char>(wire::kProgramEndHeader[1])};
  } else {
    const auto& header = number == 0 ? wire::kProgramFirstHeader : wire::kProgramNextHeader;
    out = {static_cast<char>(header[0]), static_cast<char>(header[1])};
    out.append(reinterpret_cast<const char*>(m_image->data() + number * kData), kData);
  }
  std::uint32_t crc = crcOf(out, out.size());
  const bool spoiled = number == kBlocks ? strikes(cmd::kGetProgram, FaultKind::BadEnd, number)
                                         : strikes(cmd::kGetProgram, FaultKind::Corrupt, number);
  if (spoiled) crc ^= 0x00000100;
  std::uint8_t tail[4];
  byte_order::putBig32(tail, crc);
  out.append(reinterpret_cast<const char*>(tail), sizeof tail);
  if (strikes(cmd::kGetProgram, FaultKind::Short, number)) out.pop_back();
  return out;
}

std::string ProgramMemory::beginDownload() {
  const Fault* fault = m_faults.peek(cmd::kGetProgram);
  if (fault && fault->kind == FaultKind::Silence && fault->block < 0) {
    m_faults.take(cmd::kGetProgram);
    m_mode = Mode::Idle;
    return {};
  }
  m_mode = Mode::Downloading;
  m_block = 0;
  if (auto wrong = strikingText(cmd::kGetProgram, FaultKind::WrongValue)) return *wrong;
  const std::string stray = strikingText(cmd::kGetProgram, FaultKind::Stray).value_or("");
  return stray + downloadBlock(0);
}

std::string ProgramMemory::beginUpload(Clock::TimePoint at) {
  const Fault* fault = m_faults.peek(cmd::kSendProgram);
  if (fault && fault->kind == FaultKind::Silence && fault->block < 0) {
    m_faults.take(cmd::kSendProgram);
    m_mode = Mode::Idle;
    return {};
  }
  m_mode = Mode::Uploading;
  m_block = 0;
  m_partial.clear();
  m_lastByteAt = at;
  m_incoming->fill(0);
  const std::string stray = strikingText(cmd::kSendProgram, FaultKind::Stray).value_or("");
  return stray + std::string(1, static_cast<char>(wire::kNak));
}

ProgramMemory::Step ProgramMemory::receive(std::uint8_t byte, Clock::TimePoint at) {
  Step step;
  switch (m_mode) {
    case Mode::Idle:
      step.active = false;
      step.toLines = std::string(1, static_cast<char>(byte));
      return step;
    case Mode::Uploading:
      return receiveUpload(byte, at);
    case Mode::Downloading:
      break;
  }
  if (byte == wire::kAck) {
    if (m_block == kBlocks) {
      m_mode = Mode::Idle;
      step.active = false;
      return step;
    }
    step.reply = downloadBlock(++m_block);
  } else if (byte == wire::kNak) {
    step.reply = downloadBlock(m_block);
  } else {
    m_mode = Mode::Idle;
    step.active = false;
    step.toLines = std::string(1, static_cast<char>(byte));
  }
  return step;
}

ProgramMemory::Step ProgramMemory::receiveUpload(std::uint8_t byte, Clock::TimePoint at) {
  Step step;
  const bool stale = at - m_lastByteAt > kUploadGap;
  m_lastByteAt = at;
  m_partial += static_cast<char>(byte);
  // A block starts with the header the instrument waits for; anything else is a command line.
  const auto& header = m_block == kBlocks ? wire::kProgramEndHeader
                       : m_block == 0     ? wire::kProgramFirstHeader
                                          : wire::kProgramNextHeader;
  const std::size_t n = m_partial.size();
  if (stale || (n <= 2 && static_cast<std::uint8_t>(m_partial[n - 1]) != header[n - 1])) {
    m_mode = Mode::Idle;
    step.active = false;
    step.toLines = stale ? std::string(1, static_cast<char>(byte)) : m_partial;
    m_partial.clear();
    return step;
  }
  if (m_block == kBlocks) {
    if (n < kEnd) return step;
    const auto* b = reinterpret_cast<const std::uint8_t*>(m_partial.data());
    const std::uint32_t sent = little32(b + 2);
    if (sent == crcOf(m_partial, 2)) {
      finishUpload();
    } else {
      step.reply = std::string(1, static_cast<char>(wire::kNak));
    }
    m_partial.clear();
    m_mode = Mode::Idle;
    step.active = false;
    return step;
  }
  if (n < kBlock) return step;
  std::string block;
  block.swap(m_partial);
  if (strikes(cmd::kSendProgram, FaultKind::Dies, m_block)) return step;
  if (strikes(cmd::kSendProgram, FaultKind::Corrupt, m_block)) block[500] ^= 0x10;
  const auto* b = reinterpret_cast<const std::uint8_t*>(block.data()) + kBlock - 4;
  const std::uint32_t sent = big32(b);
  if (sent != crcOf(block, kBlock - 4) ||
      strikes(cmd::kSendProgram, FaultKind::NakStorm, m_block)) {
    step.reply = std::string(1, static_cast<char>(wire::kNak));
    return step;
  }
  if (strikes(cmd::kSendProgram, FaultKind::Silence, m_block)) return step;
  if (auto wrong = strikingText(cmd::kSendProgram, FaultKind::WrongValue)) {
    step.reply = *wrong;
    return step;
  }
  std::copy_n(block.begin() + 2, kData,
              m_incoming->begin() + static_cast<std::ptrdiff_t>(m_block * kData));
  ++m_block;
  step.reply = std::string(1, static_cast<char>(wire::kAck));
  return step;
}

void ProgramMemory::finishUpload() {
  // A program the instrument cannot read is not taken; the old one stays.
  auto program = readProgram(*m_incoming);
  if (program.empty()) return;
  if (const Fault* fault = m_faults.peek(cmd::kSendProgram);
      fault && fault->kind == FaultKind::ChangeParam) {
    m_faults.take(cmd::kSendProgram);
    changeOneParameter(program);
  }
  store(program);
  ++m_uploads;
}

}  // namespace halvern::sim

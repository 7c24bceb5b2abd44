#include "sim/program_memory.h"

#include <algorithm>
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

// Slots of the demonstration program, as the instrument's memory holds them.
struct SlotWriter {
  ProgramMemory::Slot slot{};
  explicit SlotWriter(unsigned opcode) { putBig16(slot.data(), opcode); }
  SlotWriter& number(std::size_t j, unsigned value, std::string_view text = {}) {
    putBig16(&slot[2 + 12 * j], value);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 7), &slot[6 + 12 * j]);
    return *this;
  }
  SlotWriter& decimal(std::size_t j, std::uint32_t bits, std::string_view text) {
    byte_order::putBig32(&slot[2 + 12 * j], bits);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 7), &slot[6 + 12 * j]);
    return *this;
  }
  SlotWriter& text(std::string_view t) {
    std::copy_n(t.begin(), std::min<std::size_t>(t.size(), 41), &slot[86]);
    return *this;
  }
};

std::vector<ProgramMemory::Slot> demoProgram() {
  return {
      SlotWriter(3).number(0, 1, "1").slot,  // BEEP num= 1
      // DISPLAY TEXT on screen 1, row 2, column 1, big font
      SlotWriter(8)
          .number(0, 1, "1")
          .number(1, 2, "2")
          .number(2, 1, "01")
          .text("AIR ~C")
          .number(4, 1)
          .slot,
      SlotWriter(34).number(0, 5, "005").decimal(1, 0x40200000, "2.50000").slot,  // LOC = VALUE
      SlotWriter(0).slot,                                                         // PGM END
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
  store(program);
  ++m_uploads;
}

}  // namespace halvern::sim

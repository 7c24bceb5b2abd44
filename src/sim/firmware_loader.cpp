#include "sim/firmware_loader.h"

#include <algorithm>

#include "wire/commands.h"
#include "wire/crc32_mpeg2.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern::sim {

namespace {

constexpr std::uint8_t kLineFeed = 10;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes of the address field of a record of `type`; 0 for a type there is none of.
std::size_t addressSize(int type) {
  switch (type) {
    case 0:
    case 1:
    case 5:
    case 9:
      return 2;
    case 2:
    case 6:
    case 8:
      return 3;
    case 3:
    case 7:
      return 4;
    default:
      return 0;
  }
}

// The faults that spoil the answer to "CMD980".
bool spoilsReady(FaultKind kind) {
  return kind == FaultKind::Silence || kind == FaultKind::Short || kind == FaultKind::Stray ||
         kind == FaultKind::Trailing || kind == FaultKind::OneStar || kind == FaultKind::WrongValue;
}

}  // namespace

std::optional<LoaderRecord> readLoaderRecord(std::string_view text) {
  if (text.size() < 4 || text[0] != 'S' || text[1] < '0' || text[1] > '9') return std::nullopt;
  LoaderRecord record;
  record.type = text[1] - '0';
  const std::size_t addressBytes = addressSize(record.type);
  if (addressBytes == 0) return std::nullopt;
  const std::string_view pairs = text.substr(2);
  if (pairs.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(pairs.size() / 2);
  for (std::size_t i = 0; i < pairs.size(); i += 2) {
    const int high = hexValue(pairs[i]);
    const int low = hexValue(pairs[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  // The count covers the address, the data and the checksum.
  const std::size_t count = bytes[0];
  if (count != bytes.size() - 1 || count < addressBytes + 1) return std::nullopt;
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
  if (static_cast<std::uint8_t>(~sum & 0xFF) != bytes.back()) return std::nullopt;
  for (std::size_t i = 0; i < addressBytes; ++i)
    record.address = record.address << 8 | bytes[1 + i];
  record.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(1 + addressBytes),
                     bytes.end() - 1);
  return record;
}

std::optional<Fault> FirmwareLoader::takeFault(FaultKind kind) {
  const Fault* fault = m_faults.peek(cmd::kEnterLoader);
  if (fault == nullptr || fault->kind != kind) return std::nullopt;
  return m_faults.take(cmd::kEnterLoader);
}

FirmwareLoader::Reply FirmwareLoader::wake() {
  if (takeFault(FaultKind::NoWake)) return {};
  return {std::string(kAwake)};
}

FirmwareLoader::Reply FirmwareLoader::enter() {
  m_active = true;
  m_line.clear();
  m_lineOverlong = false;
  m_recordsReceived = 0;
  m_recordsTaken = 0;
  std::string ready(kReady);
  const Fault* planned = m_faults.peek(cmd::kEnterLoader);
  if (planned == nullptr || !spoilsReady(planned->kind)) return {ready};
  const Fault fault = *m_faults.take(cmd::kEnterLoader);
  switch (fault.kind) {
    case FaultKind::Silence:
      return {};
    case FaultKind::Short:
      ready.pop_back();
      return {ready};
    case FaultKind::Stray:
      return {(fault.text.empty() ? std::string(kStrayBytes) : fault.text) + ready};
    case FaultKind::Trailing:
      return {ready + (fault.text.empty() ? std::string(kStrayBytes) : fault.text)};
    case FaultKind::OneStar:
      return {std::string(kRecordTaken)};
    case FaultKind::WrongValue:
      return {fault.text.empty() ? std::string(kWrongReady) : fault.text};
    default:
      return {ready};
  }
}

FirmwareLoader::Reply FirmwareLoader::receive(std::uint8_t byte, Clock::TimePoint at) {
  if (!m_active) return {};
  if (byte == wire::kCarriageReturn || byte == kLineFeed) {
    std::string text;
    text.swap(m_line);
    const bool overlong = m_lineOverlong;
    m_lineOverlong = false;
    if (overlong || text.empty()) return {};
    // Records end at a line feed, the loader's lines at a carriage return.
    if (byte == kLineFeed) return text[0] == 'S' ? record(text, at) : Reply{};
    return line(text);
  }
  if (m_lineOverlong) return {};
  if (m_line.size() == kMaxLineLength) {
    m_lineOverlong = true;
    m_line.clear();
    return {};
  }
  m_line += static_cast<char>(byte);
  // The erase word is taken as soon as it is complete: nothing follows it.
  if (m_line == kEraseWord) {
    m_line.clear();
    erase(at);
  }
  return {};
}

FirmwareLoader::Reply FirmwareLoader::line(const std::string& text) {
  if (text == kWakeLine) return wake();
  if (text == kEnterLine) return enter();
  return {};
}

void FirmwareLoader::erase(Clock::TimePoint at) {
  Clock::Duration time = kEraseTime;
  if (auto fault = takeFault(FaultKind::SlowErase)) {
    time = fault->number > 0 ? std::chrono::milliseconds(fault->number) : kSlowEraseTime;
  }
  ++m_erases;
  m_eraseEnd = at + time;
  m_image.clear();
}

FirmwareLoader::Reply FirmwareLoader::record(const std::string& text, Clock::TimePoint at) {
  ++m_recordsReceived;
  const auto record = readLoaderRecord(text);
  if (!record) return {};
  ++m_recordsTaken;
  if (record->type >= 1 && record->type <= 3) {
    std::uint32_t address = record->address;
    for (std::uint8_t byte : record->data) m_image[address++] = byte;
  }
  // Nothing is programmed before the erase is over.
  const Clock::Duration wait = std::max(m_eraseEnd - at, Clock::Duration::zero());
  if (record->type == 9) {
    m_active = false;
    ++m_updates;
    m_firmwareSignature = signatureOf(imageBytes());
    Reply done{{}, wait + kClosingTime, true};
    if (!takeFault(FaultKind::NoClose)) done.bytes = kClosingText;
    return done;
  }
  const Fault* fault = m_faults.peek(cmd::kEnterLoader);
  if (fault != nullptr && fault->kind == FaultKind::NoStar &&
      (fault->number < 0 || fault->number == m_recordsReceived)) {
    m_faults.take(cmd::kEnterLoader);
    return {};
  }
  return {std::string(kRecordTaken), wait + kProgramTime};
}

std::vector<std::uint8_t> FirmwareLoader::imageBytes() const {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(m_image.size());
  for (const auto& [address, byte] : m_image) bytes.push_back(byte);
  return bytes;
}

std::string FirmwareLoader::signatureOf(const std::vector<std::uint8_t>& bytes) {
  return formatText("%08X", static_cast<unsigned>(Crc32Mpeg2::of(bytes)));
}

}  // namespace halvern::sim

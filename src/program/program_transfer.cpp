#include "program/program_transfer.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "link/command_exchange.h"
#include "wire/commands.h"
#include "wire/crc32_mpeg2.h"
#include "platform/link.h"
#include "wire/wire.h"
#include "program/program_document.h"
#include "program/program_image.h"

namespace halvern {

namespace {

using namespace program_text;

constexpr std::size_t kBlockSize = wire::kProgramBlockSize;
constexpr std::size_t kDataSize = wire::kProgramBlockDataSize;
constexpr std::size_t kCrcOffset = 2 + kDataSize;

std::uint32_t readBig32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

bool hasHeader(const std::uint8_t* p, const std::uint8_t (&header)[2]) {
  return p[0] == header[0] && p[1] == header[1];
}

// Keeps the window's clock timer stopped for as long as it lives.
class ClockTimerHold {
 public:
  explicit ClockTimerHold(Shell& shell) : m_shell(shell) { m_shell.setClockTimer(false); }
  ~ClockTimerHold() { m_shell.setClockTimer(true); }
  ClockTimerHold(const ClockTimerHold&) = delete;
  ClockTimerHold& operator=(const ClockTimerHold&) = delete;

 private:
  Shell& m_shell;
};

enum class Outcome { Received, TooManyErrors, Refused };

// A read that returned at once (a closed or vanished link) still takes its time-out, so that no
// loop spins.
std::size_t timedRead(CommandExchange& exchange, std::uint8_t* buffer, std::size_t n) {
  const auto start = exchange.clock().now();
  const std::size_t got = exchange.link().read(buffer, n);
  if (got == 0) exchange.clock().sleepUntil(start + wire::kReadTimeout);
  return got;
}

// The block phase of a receive: examines each reply, answers it and reads the next until the end
// block, ten errors in a row, or a program too long for the buffer.
Outcome receiveBlocks(CommandExchange& exchange, std::vector<std::uint8_t>& reply, std::size_t got,
                      std::vector<std::uint8_t>& buffer, std::size_t& blocks) {
  Shell& shell = exchange.shell();
  Link& link = exchange.link();
  int errors = 0;
  for (;;) {
    if (got == 0) {
      link.write(wire::kNak);
      if (++errors >= kProgramMaxErrors) return Outcome::TooManyErrors;
    } else if (got == kBlockSize) {
      if (hasHeader(reply.data(), wire::kProgramFirstHeader)) shell.addMessageLine(kFirstHeader);
      const std::uint32_t crc = Crc32Mpeg2::of({reply.data(), kCrcOffset});
      if (crc == readBig32(&reply[kCrcOffset])) {
        if (blocks == static_cast<std::size_t>(kProgramReceiveBlocks)) {
          shell.addMessageLine(kTooManyBlocks);
          return Outcome::Refused;
        }
        std::copy_n(reply.begin() + 2, kDataSize,
                    buffer.begin() + static_cast<std::ptrdiff_t>(blocks * kDataSize));
        ++blocks;
        errors = 0;
        link.write(wire::kAck);
      } else {
        shell.addMessageLine(kCrcError);
        link.write(wire::kNak);
        shell.beep(BeepKind::Default);
        if (++errors >= kProgramMaxErrors) {
          shell.addMessageLine(kTooManyCrcErrors);
          shell.addMessageLine(kGetFailed);
          return Outcome::TooManyErrors;
        }
      }
    } else if (got >= 2 && hasHeader(reply.data(), wire::kProgramEndHeader)) {
      // An end block cut short cannot carry its CRC: it counts as a wrong one.
      const bool good = got >= wire::kProgramEndBlockSize &&
                        Crc32Mpeg2::of({reply.data(), 2}) == readBig32(&reply[2]);
      if (good) {
        link.write(wire::kAck);
        shell.addMessageLine(kLastHeader);
        return Outcome::Received;
      }
      shell.addMessageLine(kEndCrcError);
      link.write(wire::kNak);
      if (++errors >= kProgramMaxErrors) return Outcome::TooManyErrors;
    } else {
      shell.beep(BeepKind::Default);
      if (++errors >= kProgramMaxErrors) {
        shell.addMessageLine(kTooManyErrors);
        shell.addMessageLine(kGetFailed);
        return Outcome::TooManyErrors;
      }
      link.write(wire::kNak);
    }
    shell.setProgress(static_cast<int>(blocks));
    shell.processEvents();
    if (shell.cancelled()) {
      shell.addMessageLine(kCancelled);
      return Outcome::Refused;
    }
    got = timedRead(exchange, reply.data(), kBlockSize);
  }
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
  char text[96];
  int n = std::snprintf(text, sizeof text, pattern, args...);
  return std::string(text, static_cast<std::size_t>(std::clamp(n, 0, 95)));
}

}  // namespace

CommandResult getUserProgram(CommandExchange& exchange, ProgramDocument& document, Shell& shell) {
  shell.addMessageLine(kGetStart);
  std::vector<std::uint8_t> buffer(kProgramReceiveBlocks * kDataSize, 0);
  shell.setProgressMax(static_cast<int>(wire::kProgramBlockCount) + 1);
  ClockTimerHold timerHold(shell);
  shell.processEvents();

  // Start phase: ask until a whole first block comes; the block phase takes whatever came last.
  std::vector<std::uint8_t> reply(kBlockSize);
  std::size_t got = 0;
  for (int attempt = 0; attempt < kProgramStartTries; ++attempt) {
    exchange.sendCommandLine(cmd::kGetProgramLine);
    got = timedRead(exchange, reply.data(), kBlockSize);
    if (got == kBlockSize) break;
    exchange.link().purge();
  }

  std::size_t blocks = 0;
  Outcome outcome = receiveBlocks(exchange, reply, got, buffer, blocks);
  shell.setProgress(0);

  if (outcome == Outcome::Received) {
    if (blocks < wire::kProgramBlockCount) {
      shell.addMessageLine(format(kTooFewBlocks, static_cast<unsigned>(blocks)));
      outcome = Outcome::Refused;
    } else {
      auto converted = ProgramImage::convert(
          std::span<const std::uint8_t, ProgramImage::kSize>(buffer.data(), ProgramImage::kSize));
      if (converted.error.empty() &&
          document.replaceProgram(converted.store, std::move(converted.tree))) {
        shell.addMessageLine(kGetFinished);
        return CommandResult::Done;
      }
      shell.addMessageLine(converted.error);
      outcome = Outcome::Refused;
    }
  }
  if (outcome == Outcome::TooManyErrors) {
    shell.addMessageLine(kTooManyErrors);
    shell.addMessageLine(kGetFailed);
    shell.message(kGetFailedBox, MessageKind::Warning, MessageButtons::Ok);
  } else {
    shell.addMessageLine(kGetFailed);
  }
  return CommandResult::Failed;
}

CommandResult sendUserProgram(CommandExchange& exchange, const ProgramDocument& document,
                              Shell& shell) {
  Link& link = exchange.link();
  Clock& clock = exchange.clock();

  auto image = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(document.store(), *image);
  shell.setProgressMax(static_cast<int>(wire::kProgramBlockCount));
  exchange.sendCommandLine(cmd::kSendProgramLine);
  shell.addMessageLine(kSendStart);

  std::vector<std::uint8_t> block(kBlockSize);
  auto prepare = [&](std::size_t number) {
    const auto& header = number == 0 ? wire::kProgramFirstHeader : wire::kProgramNextHeader;
    block[0] = header[0];
    block[1] = header[1];
    std::copy_n(image->begin() + static_cast<std::ptrdiff_t>(number * kDataSize), kDataSize,
                block.begin() + 2);
    const std::uint32_t crc = Crc32Mpeg2::of({block.data(), kCrcOffset});
    for (int b = 0; b < 4; ++b)
      block[kCrcOffset + b] = static_cast<std::uint8_t>(crc >> (24 - 8 * b));
  };
  auto writeBlock = [&] {
    const std::size_t written = link.write(block.data(), block.size());
    if (written != block.size()) {
      shell.addMessageLine(format(kWriteResult, static_cast<unsigned>(written)));
    }
  };

  // Block 0 waits for the instrument's first NAK.
  prepare(0);
  int errors = 0;
  std::size_t number = 0;
  auto silenceStart = clock.now();
  bool ok = false;
  for (;;) {
    shell.processEvents();
    if (shell.cancelled()) {
      shell.addMessageLine(kCancelled);
      break;
    }
    std::uint8_t byte = 0;
    if (timedRead(exchange, &byte, 1) == 0) {
      if (clock.now() - silenceStart >= kProgramSilence) {
        shell.beep(BeepKind::Default);
        if (++errors >= kProgramMaxErrors) break;
        silenceStart = clock.now();
      }
    } else if (byte == wire::kAck) {
      errors = 0;
      silenceStart = clock.now();
      if (++number == wire::kProgramBlockCount) {
        // The end block carries its CRC least significant byte first.
        const std::uint32_t crc = Crc32Mpeg2::of(wire::kProgramEndHeader);
        const std::uint8_t end[wire::kProgramEndBlockSize] = {
            wire::kProgramEndHeader[0],           wire::kProgramEndHeader[1],
            static_cast<std::uint8_t>(crc),       static_cast<std::uint8_t>(crc >> 8),
            static_cast<std::uint8_t>(crc >> 16), static_cast<std::uint8_t>(crc >> 24)};
        link.write(end, sizeof end);
        ok = true;
        break;
      }
      shell.setProgress(static_cast<int>(number));
      prepare(number);
      writeBlock();
    } else if (byte == wire::kNak) {
      shell.beep(BeepKind::Default);
      if (++errors >= kProgramMaxErrors) break;
      writeBlock();
    } else {
      // A stray byte counts; the limit is checked at the next NAK or silence.
      shell.beep(BeepKind::Default);
      ++errors;
    }
  }
  shell.setProgress(0);
  shell.addMessageLine(ok ? kSendFinished : kSendFailed);
  return failedIf(!ok);
}

}  // namespace halvern

#include "link/block_protocol.h"

#include <algorithm>

#include "link/command_exchange.h"
#include "platform/link.h"
#include "platform/shell.h"
#include "wire/byte_order.h"
#include "wire/crc32_mpeg2.h"
#include "wire/wire.h"

namespace halvern {

namespace {

constexpr std::size_t kBlockSize = wire::kProgramBlockSize;
constexpr std::size_t kDataSize = wire::kProgramBlockDataSize;
constexpr std::size_t kCrcOffset = 2 + kDataSize;

bool hasHeader(const std::uint8_t* p, const std::uint8_t (&header)[2]) {
  return p[0] == header[0] && p[1] == header[1];
}

}  // namespace

BlockProtocol::BlockProtocol(CommandExchange& exchange, Shell& shell)
    : m_exchange(exchange), m_shell(shell) {}

void BlockProtocol::frame(const std::uint8_t (&header)[2], std::span<const std::uint8_t> data,
                          std::span<std::uint8_t> block) {
  block[0] = header[0];
  block[1] = header[1];
  std::copy_n(data.begin(), kDataSize, block.begin() + 2);
  byte_order::putBig32(&block[kCrcOffset], Crc32Mpeg2::of(block.first(kCrcOffset)));
}

std::vector<std::uint8_t> BlockProtocol::endBlock() {
  std::vector<std::uint8_t> end(wire::kProgramEndBlockSize);
  end[0] = wire::kProgramEndHeader[0];
  end[1] = wire::kProgramEndHeader[1];
  byte_order::putLittle32(&end[2], Crc32Mpeg2::of(wire::kProgramEndHeader));
  return end;
}

bool BlockProtocol::crcMatches(std::span<const std::uint8_t> block) {
  return block.size() == kBlockSize &&
         Crc32Mpeg2::of(block.first(kCrcOffset)) == byte_order::big32(&block[kCrcOffset]);
}

BlockProtocol::Outcome BlockProtocol::receive(std::string_view line, int startTries,
                                              std::span<std::uint8_t> buffer, std::size_t& blocks,
                                              std::string_view failedLine) {
  using namespace block_text;
  // Start phase: ask until a whole first block comes; the block phase takes whatever came last.
  std::vector<std::uint8_t> reply(kBlockSize);
  std::size_t got = 0;
  for (int attempt = 0; attempt < startTries && m_exchange.linkOpen(); ++attempt) {
    m_exchange.sendCommandLine(line);
    got = m_exchange.readBlock(reply.data(), kBlockSize);
    if (got == kBlockSize) break;
    m_exchange.purge();
  }

  const std::size_t capacity = buffer.size() / kDataSize;
  int errors = 0;
  for (;;) {
    if (got == 0) {
      m_exchange.write(wire::kNak);
      // A link that is gone sends nothing more: the errors are all counted at once.
      if (!m_exchange.linkOpen()) errors = kMaxErrors;
      if (++errors >= kMaxErrors) return Outcome::TooManyErrors;
    } else if (got == kBlockSize) {
      if (hasHeader(reply.data(), wire::kProgramFirstHeader)) m_shell.addMessageLine(kFirstHeader);
      if (crcMatches(reply)) {
        if (blocks == capacity) return Outcome::Overflow;
        std::copy_n(reply.begin() + 2, kDataSize,
                    buffer.begin() + static_cast<std::ptrdiff_t>(blocks * kDataSize));
        ++blocks;
        errors = 0;
        m_exchange.write(wire::kAck);
      } else {
        m_shell.addMessageLine(kCrcError);
        // A block that does not begin with a header came shifted by stray bytes: its last bytes
        // are still arriving, and would shift the block asked for again. They go first.
        if (!hasHeader(reply.data(), wire::kProgramFirstHeader) &&
            !hasHeader(reply.data(), wire::kProgramNextHeader)) {
          m_exchange.purgeTail();
        }
        m_exchange.write(wire::kNak);
        m_shell.beep(BeepKind::Default);
        if (++errors >= kMaxErrors) {
          m_shell.addMessageLine(kTooManyCrcErrors);
          m_shell.addMessageLine(failedLine);
          return Outcome::TooManyErrors;
        }
      }
    } else if (got >= 2 && hasHeader(reply.data(), wire::kProgramEndHeader)) {
      // An end block cut short cannot carry its CRC: it counts as a wrong one.
      const bool good = got >= wire::kProgramEndBlockSize &&
                        Crc32Mpeg2::of({reply.data(), 2}) == byte_order::big32(&reply[2]);
      if (good) {
        m_exchange.write(wire::kAck);
        m_shell.addMessageLine(kLastHeader);
        return Outcome::Done;
      }
      m_shell.addMessageLine(kEndCrcError);
      m_exchange.write(wire::kNak);
      if (++errors >= kMaxErrors) return Outcome::TooManyErrors;
    } else {
      m_shell.beep(BeepKind::Default);
      if (++errors >= kMaxErrors) {
        m_shell.addMessageLine(kTooManyErrors);
        m_shell.addMessageLine(failedLine);
        return Outcome::TooManyErrors;
      }
      m_exchange.write(wire::kNak);
    }
    m_shell.setProgress(static_cast<int>(blocks));
    m_shell.processEvents();
    if (m_shell.cancelled()) {
      m_shell.addMessageLine(kCancelled);
      return Outcome::Cancelled;
    }
    got = readReply(reply);
  }
}

std::size_t BlockProtocol::readReply(std::vector<std::uint8_t>& reply) {
  // The header first: it says how long the rest is, so an end block is taken as soon as its six
  // bytes are there instead of when a whole block's read time-out has passed.
  const std::size_t got = m_exchange.readBlock(reply.data(), 2);
  if (got < 2) return got;
  const std::size_t rest = hasHeader(reply.data(), wire::kProgramEndHeader)
                               ? wire::kProgramEndBlockSize - 2
                               : kBlockSize - 2;
  return got + m_exchange.readBlock(reply.data() + 2, rest);
}

BlockProtocol::Outcome BlockProtocol::send(std::span<const std::uint8_t> image,
                                           void (*onShortWrite)(Shell&, std::size_t)) {
  const std::size_t count = image.size() / kDataSize;
  std::vector<std::uint8_t> block(kBlockSize);
  auto prepare = [&](std::size_t number) {
    frame(number == 0 ? wire::kProgramFirstHeader : wire::kProgramNextHeader,
          image.subspan(number * kDataSize, kDataSize), block);
  };
  auto writeBlock = [&] {
    const std::size_t written = m_exchange.write(block);
    if (written != block.size() && onShortWrite) onShortWrite(m_shell, written);
  };

  // Block 0 waits for the instrument's first NAK.
  prepare(0);
  int errors = 0;
  std::size_t number = 0;
  auto silenceStart = m_exchange.silenceStartsNow();
  for (;;) {
    m_shell.processEvents();
    if (m_shell.cancelled()) {
      m_shell.addMessageLine(block_text::kCancelled);
      return Outcome::Cancelled;
    }
    // A link that is gone answers nothing more.
    if (!m_exchange.linkOpen()) return Outcome::TooManyErrors;
    std::uint8_t byte = 0;
    if (m_exchange.readBlock(&byte, 1) == 0) {
      if (m_exchange.silentFor(silenceStart, kSilence)) {
        m_shell.beep(BeepKind::Default);
        if (++errors >= kMaxErrors) return Outcome::TooManyErrors;
        silenceStart = m_exchange.silenceStartsNow();
      }
    } else if (byte == wire::kAck) {
      errors = 0;
      silenceStart = m_exchange.silenceStartsNow();
      if (++number == count) {
        m_exchange.write(endBlock());
        m_exchange.awaitSent();
        return Outcome::Done;
      }
      m_shell.setProgress(static_cast<int>(number));
      prepare(number);
      writeBlock();
    } else if (byte == wire::kNak) {
      m_shell.beep(BeepKind::Default);
      if (++errors >= kMaxErrors) return Outcome::TooManyErrors;
      writeBlock();
    } else {
      // A stray byte counts; the limit is checked at the next NAK or silence.
      m_shell.beep(BeepKind::Default);
      ++errors;
    }
  }
}

}  // namespace halvern

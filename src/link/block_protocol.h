#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace halvern {

class CommandExchange;
class Shell;

// Texts of the block protocol, exactly as the message area shows them.
namespace block_text {
inline constexpr std::string_view kFirstHeader = "FIRST HEADER...";
inline constexpr std::string_view kLastHeader = "LAST HEADER...";
inline constexpr std::string_view kCrcError = "CRC COMPARE ERR.";
inline constexpr std::string_view kEndCrcError = "CRC COMPARE END ERR.";
inline constexpr std::string_view kTooManyCrcErrors = "TOO MANY CRC ERRORS.";
inline constexpr std::string_view kTooManyErrors = "TOO MANY ERRORS.";
inline constexpr std::string_view kCancelled = "CANCELLED.";
}  // namespace block_text

// The CRC-checked block protocol of the program image: blocks of 1030 bytes (a 2-byte header,
// 1024 data bytes, the CRC-32/MPEG-2 of header and data most significant byte first), each
// answered ACK or NAK, closed by a 6-byte end block. Ten errors in a row end a transfer.
class BlockProtocol {
 public:
  static constexpr int kMaxErrors = 10;
  // Silence after which the send counts an error.
  static constexpr std::chrono::milliseconds kSilence{1000};

  enum class Outcome {
    Done,           // every block went or came, and the end block
    TooManyErrors,  // ten errors in a row
    Overflow,       // more blocks came than the buffer holds
    Cancelled,      // the user stopped it
  };

  BlockProtocol(CommandExchange& exchange, Shell& shell);

  // The receive: `line` sent up to `startTries` times until a whole first block comes (a purge
  // after each short one); then each reply is examined and answered until the end block. Data
  // blocks are copied into `buffer` one after the other (it holds a whole number of them);
  // `blocks` counts them. `failedLine` follows the texts of a give-up after CRC errors.
  Outcome receive(std::string_view line, int startTries, std::span<std::uint8_t> buffer,
                  std::size_t& blocks, std::string_view failedLine);

  // The send, after the caller's command line: the instrument asks for block 0 with a NAK; each
  // ACK asks for the next block, each NAK for the same again; every block of `image` goes, then
  // the end block without waiting for an answer. A NAK, a second of silence or a stray byte
  // counts an error. A block the link did not take whole is reported by `onShortWrite`.
  Outcome send(std::span<const std::uint8_t> image, void (*onShortWrite)(Shell&, std::size_t));

  // A block as it goes: `header`, the data, the CRC.
  static void frame(const std::uint8_t (&header)[2], std::span<const std::uint8_t> data,
                    std::span<std::uint8_t> block);
  // The end block: its header and the CRC of the header, least significant byte first.
  static std::vector<std::uint8_t> endBlock();
  // True when a block's CRC is the CRC of its header and data.
  static bool crcMatches(std::span<const std::uint8_t> block);

 private:
  // One reply of the receive: a block, an end block, or what came instead, in `reply`; the
  // count of bytes.
  std::size_t readReply(std::vector<std::uint8_t>& reply);

  CommandExchange& m_exchange;
  Shell& m_shell;
};

}  // namespace halvern

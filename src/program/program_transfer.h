#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "link/block_protocol.h"
#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;
class ProgramDocument;
class Shell;

// Texts of the program transfers, exactly as the message area and boxes show them; the block
// protocol's own are in block_text.
namespace program_text {
inline constexpr std::string_view kGetStart = "GET USER PROGRAM...";
inline constexpr std::string_view kFirstHeader = block_text::kFirstHeader;
inline constexpr std::string_view kLastHeader = block_text::kLastHeader;
inline constexpr std::string_view kCrcError = block_text::kCrcError;
inline constexpr std::string_view kEndCrcError = block_text::kEndCrcError;
inline constexpr std::string_view kTooManyCrcErrors = block_text::kTooManyCrcErrors;
inline constexpr std::string_view kTooManyErrors = block_text::kTooManyErrors;
inline constexpr std::string_view kGetFailed = "GET USER PROGRAM FAILED.";
inline constexpr std::string_view kGetFinished = "FINISHED GETTING USER PROGRAM.";
inline constexpr std::string_view kGetFailedBox =
    "Too many errors.\nGet 40100 User Program failed.";
inline constexpr std::string_view kSendStart = "SEND USER PROGRAM...";
// "WRITEFILE RESULT: %u": a block the link did not take whole.
std::string writeResult(std::size_t written);
inline constexpr std::string_view kSendFailed = "SEND USER PROGRAM FAILED.";
inline constexpr std::string_view kSendFinished = "FINISHED SENDING USER PROGRAM.";
inline constexpr std::string_view kGetClosed = "Cannot Get User Program.\nUSB port is closed.";
inline constexpr std::string_view kSendClosed = "Cannot Send User Program.\nUSB port is closed.";
// Refusals of a received program that cannot be read as one.
inline constexpr std::string_view kTooManyBlocks = "PROGRAM HAS MORE THAN 70 BLOCKS.";
// "PROGRAM HAS %u OF 66 BLOCKS."
std::string tooFewBlocks(std::size_t blocks);
inline constexpr std::string_view kCancelled = block_text::kCancelled;
}  // namespace program_text

// Errors in a row after which a transfer gives up.
inline constexpr int kProgramMaxErrors = BlockProtocol::kMaxErrors;
// Sends of "CMD115" in the start phase of a receive.
inline constexpr int kProgramStartTries = 10;
// Blocks the receive buffer holds.
inline constexpr int kProgramReceiveBlocks = 70;
// Silence after which the send counts an error.
inline constexpr std::chrono::milliseconds kProgramSilence = BlockProtocol::kSilence;

// Reads the user program from the instrument ("CMD115"): 1030-byte blocks, each checked with its
// CRC and answered ACK or NAK, until the end block; ten errors in a row end it. The image is
// converted into the document's store and tree only when every block arrived and the image reads
// as a program; otherwise both stay as they were. The window's clock timer is stopped for the
// whole receive.
CommandResult getUserProgram(CommandExchange& exchange, ProgramDocument& document, Shell& shell);

// Writes the user program to the instrument ("CMD110"): the instrument asks for block 0 with a
// NAK; each ACK asks for the next block, each NAK for the same again; all 66 blocks go whatever
// the program's length, then the end block without waiting for an answer. Ten errors in a row
// (NAKs, or a second of silence each) end it.
CommandResult sendUserProgram(CommandExchange& exchange, const ProgramDocument& document,
                              Shell& shell);

}  // namespace halvern

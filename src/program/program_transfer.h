#pragma once

#include <chrono>
#include <string_view>

#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;
class ProgramDocument;
class Shell;

// Texts of the program transfers, exactly as the message area and boxes show them.
namespace program_text {
inline constexpr std::string_view kGetStart = "GET USER PROGRAM...";
inline constexpr std::string_view kFirstHeader = "FIRST HEADER...";
inline constexpr std::string_view kLastHeader = "LAST HEADER...";
inline constexpr std::string_view kCrcError = "CRC COMPARE ERR.";
inline constexpr std::string_view kEndCrcError = "CRC COMPARE END ERR.";
inline constexpr std::string_view kTooManyCrcErrors = "TOO MANY CRC ERRORS.";
inline constexpr std::string_view kTooManyErrors = "TOO MANY ERRORS.";
inline constexpr std::string_view kGetFailed = "GET USER PROGRAM FAILED.";
inline constexpr std::string_view kGetFinished = "FINISHED GETTING USER PROGRAM.";
inline constexpr std::string_view kGetFailedBox =
    "Too many errors.\nGet 40100 User Program failed.";
inline constexpr std::string_view kSendStart = "SEND USER PROGRAM...";
inline constexpr const char* kWriteResult = "WRITEFILE RESULT: %u";
inline constexpr std::string_view kSendFailed = "SEND USER PROGRAM FAILED.";
inline constexpr std::string_view kSendFinished = "FINISHED SENDING USER PROGRAM.";
inline constexpr std::string_view kGetClosed = "Cannot Get User Program.\nUSB port is closed.";
inline constexpr std::string_view kSendClosed = "Cannot Send User Program.\nUSB port is closed.";
// Refusals of a received program that cannot be read as one.
inline constexpr std::string_view kTooManyBlocks = "PROGRAM HAS MORE THAN 70 BLOCKS.";
inline constexpr const char* kTooFewBlocks = "PROGRAM HAS %u OF 66 BLOCKS.";
inline constexpr std::string_view kCancelled = "CANCELLED.";
}  // namespace program_text

// Errors in a row after which a transfer gives up.
inline constexpr int kProgramMaxErrors = 10;
// Sends of "CMD115" in the start phase of a receive.
inline constexpr int kProgramStartTries = 10;
// Blocks the receive buffer holds.
inline constexpr int kProgramReceiveBlocks = 70;
// Silence after which the send counts an error.
inline constexpr std::chrono::milliseconds kProgramSilence{1000};

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

#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

#include "link/instrument_command.h"

namespace halvern {

class CommandExchange;
class ScreenBuffer;
class Shell;

// Moving the eight screens between the instrument and the ScreenBuffer as one block of 1920
// bytes. Both operations add their own lines to the message area.
namespace screen_text {
inline constexpr std::string_view kGetStart = "GET SCREENS...";
inline constexpr std::string_view kGetFailed = "GET SCREENS FAILED.";
inline constexpr std::string_view kGetDone = "FINISHED GETTING SCREENS.";
inline constexpr std::string_view kSendStart = "SEND SCREENS...";
inline constexpr std::string_view kSendError = "SEND SCREENS ERROR.";
inline constexpr std::string_view kSendDone = "FINISHED SENDING SCREENS.";
inline constexpr std::string_view kNoResponse = "No response from 40100";
inline constexpr std::string_view kGetClosed = "Cannot Get Screens.\nUSB port is closed.";
inline constexpr std::string_view kSendClosed = "Cannot Send Screens.\nUSB port is closed.";
}  // namespace screen_text

// Sends of "CMD215" before the get gives up, each after a purge and this pause.
inline constexpr int kGetScreensAttempts = 10;
inline constexpr std::chrono::milliseconds kGetScreensPause{100};
// The instrument's "*" after "CMD210" must come within this.
inline constexpr std::chrono::seconds kSendScreensGoAhead{2};
// The send writes the block in pieces of this many bytes.
inline constexpr std::size_t kSendScreensPiece = 64;

// Up to 10 attempts: purge, 100 ms, "CMD215", one read of 1920 bytes (bounded by the 250 ms read
// time-out). The first complete block replaces all eight screens and makes screen 1 current; the
// progress bar (maximum 240) walks the cells of screen 1. Without a complete block the buffer is
// unchanged and "GET SCREENS FAILED." ends it.
CommandResult getUserScreens(CommandExchange& exchange, ScreenBuffer& buffer, Shell& shell);

// "CMD210", then single bytes are read for 2 s (events processed between reads) until "*" comes;
// other bytes are dropped. Without it: the warning "No response from 40100" and "SEND SCREENS
// ERROR.", nothing else written. With it: the 1920 bytes without pauses, the progress bar
// (maximum 1920) counting them, and the send done once they have had their time on the wire. A
// write the link does not take whole (the bridge gone) ends the send as a failure with "SEND
// SCREENS ERROR.".
CommandResult sendUserScreens(CommandExchange& exchange, const ScreenBuffer& buffer, Shell& shell);

}  // namespace halvern

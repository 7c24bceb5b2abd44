#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace halvern {

class Link;
class Shell;

// The line-oriented exchange every instrument operation is built on: command lines paced one
// byte a millisecond, acknowledgement waits, fixed-length value queries and settings answered "*".
// Nothing here throws; every wait is bounded by a deadline on the injected clock.
class CommandExchange {
 public:
  // Gap the instrument needs before and after every byte of a command line: more than 1 ms.
  static constexpr Clock::Duration kByteGap = std::chrono::microseconds(1001);
  // Pause between a value query and the read of its reply.
  static constexpr std::chrono::milliseconds kQueryPause{50};
  // Sends of one query or setting before it is given up.
  static constexpr int kMaxSends = 10;
  // A setting's "*" must come within this.
  static constexpr int kSettingAckSeconds = 2;

  enum class Pause { Before, None };

  CommandExchange(Link& link, Clock& clock, Shell& shell);

  // True while the link to the instrument is open.
  bool linkOpen() const;

  Link& link() { return m_link; }
  Clock& clock() { return m_clock; }
  Shell& shell() { return m_shell; }

  // Purges the link, then writes the line one byte at a time with a gap of more than 1 ms before
  // the first byte and after each. Reads nothing.
  void sendCommandLine(std::string_view line);

  // Reads single bytes until `expected` arrives (true), `seconds` have passed (false, one default
  // beep) or the stop flag is raised (false, no beep). Other bytes are dropped. Events are
  // processed after every read, so the stop flag and cancel are noticed within one read time-out.
  bool waitForAck(std::uint8_t expected, int seconds);

  // The stop flag: cleared when a wait starts, raised by the Stop Calibration button (or the
  // shell's cancel) while it runs.
  void requestStop() { m_stopWaitFlag = true; }
  bool stopRequested() const { return m_stopWaitFlag; }

  // One attempt of a fixed-length query: sends the line, pauses 50 ms (unless `pause` is None),
  // reads `n` bytes. Returns the reply when exactly `n` bytes arrived.
  std::optional<std::string> queryOnce(std::string_view line, std::size_t n,
                                       Pause pause = Pause::Before);

  // A fixed-length query with its retries: up to 10 sends until a complete reply arrives. After
  // the last one, adds `failureLine` (when not empty) to the message area and returns nothing.
  std::optional<std::string> queryFixedReply(std::string_view line, std::size_t n,
                                             std::string_view failureLine = {},
                                             Pause pause = Pause::Before);

  // The same, with the reply read as a number (see parseNumber).
  std::optional<int> queryNumber(std::string_view line, std::size_t n,
                                 std::string_view failureLine = {}, Pause pause = Pause::Before);

  // One setting: up to 10 sends of the line, each waiting 2 s for "*". True when accepted.
  bool sendSetting(std::string_view line);

  // A numeric reply as the instrument writes it: leading blanks skipped, an optional sign, the
  // digits up to the first non-digit. No digits: 0. Out-of-int values saturate.
  static int parseNumber(std::string_view text);

 private:
  Link& m_link;
  Clock& m_clock;
  Shell& m_shell;
  bool m_stopWaitFlag = false;
};

}  // namespace halvern

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace halvern {

class Link;
class Shell;

// The exchange every instrument operation is built on, and the only code that reads the link or
// waits on the clock for it: command lines paced one byte a millisecond, acknowledgement and mark
// waits, fixed-length value queries, block queries with their retries, settings answered "*",
// reports copied up to their mark, streams that end in silence, the protocols' own silences and
// the pause of a reopened link.
// Nothing here throws. Every wait is bounded by a deadline on the injected clock, ends at once
// when the link is closed or gone, and cannot spin: a read that comes back empty before its
// time-out (a dead device) still takes the time-out.
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
  // Bytes right behind a block (its closing carriage return, or the rest of a block shifted by
  // stray bytes) are in within this: on the wire they are a few byte times behind, but a USB
  // bridge hands received bytes on at its latency timer's pace (1 ms with low latency) and a
  // pseudo-terminal in pieces.
  static constexpr Clock::Duration kTailGrace = std::chrono::milliseconds(1);
  // A wait for a mark or a report at least this long counts down on the Shell (showWaiting).
  static constexpr Clock::Duration kCountdownFrom = std::chrono::seconds(10);

  enum class Pause { Before, None };
  enum class OnTimeout { Beep, Quiet };

  // How a block query asks: `attempts` sends, each after a purge and `pause`.
  struct BlockRetry {
    int attempts;
    Clock::Duration pause;
  };

  CommandExchange(Link& link, Clock& clock, Shell& shell);

  // True while the link to the instrument is open.
  bool linkOpen() const;
  // Opens the link; true when it is open afterwards.
  bool openLink();
  // Closes the link.
  void closeLink();
  // Cycles the port of the link (see Link::cyclePort).
  void cycleLink();

  // Purges the link, then writes the line one byte at a time with a gap of more than 1 ms before
  // the first byte and after each. Reads nothing.
  void sendCommandLine(std::string_view line);

  // Bytes written as they are, without pacing: the count the link took (0 on a closed link).
  std::size_t write(std::span<const std::uint8_t> bytes);
  std::size_t write(std::uint8_t byte) { return write(std::span(&byte, 1)); }

  // Discards what was received and not yet read, and what was not yet sent.
  void purge();
  // Waits until the bytes written have had their time on the wire, so that the next command's
  // purge cannot discard the end of a transfer still queued in the bridge.
  void awaitSent();
  // A fixed pause of a protocol step.
  void pause(Clock::Duration duration);

  // One read: returns once `n` bytes have arrived or the 250 ms read time-out has passed, with
  // the count read. On a closed link it returns 0 at once; on an open one that comes back empty
  // early it still lasts the time-out.
  std::size_t readBlock(std::uint8_t* buffer, std::size_t n);

  // A block query with its retry policy: up to `retry.attempts` times a purge, the pause, the line
  // and one read of `n` bytes, until they all came. The block is its first `n` bytes: whatever
  // follows it (a carriage return, say) is purged after kTailGrace, and what comes later still
  // by the next command line's purge. Returns the count of the last attempt (`n` when the block
  // came whole). Nothing is sent on a closed link.
  std::size_t queryBlock(std::string_view line, std::uint8_t* buffer, std::size_t n,
                         BlockRetry retry);
  // Waits kTailGrace for what is still coming right behind a block, then purges it with whatever
  // else was received.
  void purgeTail();

  // Reads single bytes until `mark` arrives (true), `timeout` has passed (false, one default beep
  // unless Quiet), the link is closed (false) or the stop flag is raised (false, no beep). Other
  // bytes are dropped. Events are processed after every read, so the stop flag and cancel are
  // noticed within one read time-out.
  bool waitForMark(std::uint8_t mark, Clock::Duration timeout,
                   OnTimeout onTimeout = OnTimeout::Beep);
  // The same for any of `marks`: the one that came, or nothing.
  std::optional<std::uint8_t> waitForAnyMark(std::string_view marks, Clock::Duration timeout,
                                             OnTimeout onTimeout = OnTimeout::Beep);
  // The same in whole seconds, with the beep.
  bool waitForAck(std::uint8_t expected, int seconds) {
    return waitForMark(expected, std::chrono::seconds(seconds), OnTimeout::Beep);
  }

  // Up to `sends` sends of the line, each waiting `seconds` for `mark`. True when it came; the
  // stop flag or a closed link ends it at once.
  bool sendUntilMark(std::string_view line, std::uint8_t mark, int seconds, int sends = kMaxSends);
  // One setting: up to 10 sends of the line, each waiting 2 s for "*". True when accepted.
  bool sendSetting(std::string_view line);

  // How a wait of an operation's own ended.
  enum class WaitEnd {
    Mark,      // the mark came
    Stopped,   // the stop flag was raised or the shell cancelled
    TimedOut,  // the time-out passed (after one default beep)
    Closed,    // the link was closed
  };

  // A report copied up to its closing mark: clears the stop flag, then reads pieces of up to
  // `readSize` bytes and hands each piece's bytes before `mark` to `sink` (a piece with none is
  // not handed on), until `mark` comes (what follows it in its piece is dropped), `timeout` has
  // passed since the call (one default beep), the stop flag is raised or the shell cancelled
  // (no beep), or the link is closed. Events are processed after every read that brings no mark.
  WaitEnd copyReportUntil(std::uint8_t mark, Clock::Duration timeout, std::size_t readSize,
                          const std::function<void(std::span<const std::uint8_t>)>& sink);

  // The reads in a row that brought nothing, for a stream that ends with its sender's silence.
  struct SilentReads {
    // This many reads in a row without a byte end the stream.
    int limit;
    int count = 0;
    bool ended() const { return count >= limit; }
  };
  // One read of a stream (see readBlock): `silence` counts it when it brings nothing and starts
  // again from zero when it brings bytes. Returns the count read.
  std::size_t readPiece(std::uint8_t* buffer, std::size_t n, SilentReads& silence);

  // Lets a sender that is still talking finish: reads and drops pieces of up to `piece` bytes
  // while they bring bytes and `limit` has not passed since the call, processing events after
  // each, then purges the link. Lasts one read time-out past the last byte, or about `limit`.
  void drainUntilQuiet(Clock::Duration limit, std::size_t piece);

  // The start of a silence a protocol times for itself (a sender's second without an answer).
  class SilenceStart {
   private:
    friend class CommandExchange;
    explicit SilenceStart(Clock::TimePoint at) : m_at(at) {}
    Clock::TimePoint m_at;
  };
  // Whole seconds on the exchange's clock, for limits a protocol counts in whole seconds from one
  // start time ("more than 5 seconds have passed" is a difference of more than 5).
  std::int64_t wholeSeconds() const;
  // A silence starting now, on the exchange's clock.
  SilenceStart silenceStartsNow() const { return SilenceStart(m_clock.now()); }
  // True when `limit` has passed since `start`.
  bool silentFor(SilenceStart start, Clock::Duration limit) const {
    return m_clock.now() - start.m_at >= limit;
  }

  // The stop flag: cleared when a wait starts, raised by the Stop Calibration button (or the
  // shell's cancel) while it runs.
  void requestStop() { m_stopWaitFlag = true; }
  bool stopRequested() const { return m_stopWaitFlag; }

  // One attempt of a fixed-length query: sends the line, pauses 50 ms (unless `pause` is None),
  // reads `n` bytes. Returns the reply when exactly `n` bytes arrived.
  std::optional<std::string> queryOnce(std::string_view line, std::size_t n,
                                       Pause pause = Pause::Before);

  // A fixed-length query with its retries: up to 10 sends until `n` bytes arrive; they are the
  // reply, whatever they hold (the caller's range check judges them). After the last send, adds
  // `failureLine` (when not empty) to the message area and returns nothing.
  std::optional<std::string> queryFixedReply(std::string_view line, std::size_t n,
                                             std::string_view failureLine = {},
                                             Pause pause = Pause::Before);

  // The same, read as a number (see parseNumber).
  std::optional<int> queryNumber(std::string_view line, std::size_t n,
                                 std::string_view failureLine = {}, Pause pause = Pause::Before);

  // A numeric reply as the instrument writes it: leading blanks skipped, an optional sign, the
  // digits up to the first non-digit. No digits: 0. Out-of-int values saturate.
  static int parseNumber(std::string_view text);

 private:
  // The wait shared by the marks and the reports: clears the stop flag, then reads pieces of up
  // to `readSize` bytes, each handed to `take`, which says whether the wait is over.
  WaitEnd waitReading(std::size_t readSize, Clock::Duration timeout, OnTimeout onTimeout,
                      const std::function<bool(std::span<const std::uint8_t>)>& take);

  Link& m_link;
  Clock& m_clock;
  Shell& m_shell;
  bool m_stopWaitFlag = false;
  // When the last byte written will have left, at the wire's pace.
  Clock::TimePoint m_sentBy{};
};

}  // namespace halvern

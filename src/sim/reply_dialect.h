#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace halvern::sim {

// How the instrument words a reply where the wire leaves it a choice: how a value fills its
// fixed length (blanks or zeros in front, a closing carriage return where there is room),
// which separators stand in a date and a time, what follows a block, how long it takes to
// answer. Instruments of different firmware differ in exactly these; the computer must read
// every one of them.
struct ReplyForm {
  enum class Padding { Blanks, Zeros };
  Padding padding = Padding::Blanks;
  // A two-byte value ends in a carriage return where the value leaves room ("1\r").
  bool valueReturn = false;
  // The serial-port replies end in a carriage return.
  bool comReturn = true;
  char dateSeparator = '-';
  char timeSeparator = ':';
  // Sent right behind the record formats, the screens and the records.
  std::string afterBlock;
  // From the carriage return of a command line (or the last byte of a block) to the first byte
  // of the reply.
  Clock::Duration turnaround = std::chrono::microseconds(1500);

  // `value` as a reply of exactly `size` bytes: right-justified, ending in a carriage return
  // when `closingReturn` is asked and the digits leave room for it.
  std::string number(int value, std::size_t size, bool closingReturn) const;
  // Three two-digit numbers joined by `separator`, then a carriage return: "12-01-26\r".
  static std::string triple(int a, int b, int c, char separator);
};

// The named ways of speaking: each a fixed form, or "mixed", a form drawn per reply from a seed.
class ReplyDialect {
 public:
  // "standard" (blank-padded values, carriage returns on the serial-port replies, "-" and ":"),
  // "terse" (a closing carriage return on short values, serial-port replies blank-padded
  // without one, "/" in dates and times, a carriage return after every block), "zeros"
  // (zero-padded values, ":" in dates, "-" in times, "\r\n" after every block, a slow
  // turnaround), "mixed" or "mixed:SEED" (each reply worded in any of these ways).
  static constexpr std::string_view kNames = "standard, terse, zeros, mixed[:SEED]";

  // Chooses the dialect by name; returns an error text, or empty on success (nothing changes
  // on an error).
  std::string choose(std::string_view name);
  const std::string& name() const { return m_name; }

  // The form of the next reply.
  ReplyForm next();

  static ReplyForm standard();
  static ReplyForm terse();
  static ReplyForm zeros();

 private:
  std::string m_name = "standard";
  ReplyForm m_form = standard();
  bool m_mixed = false;
  std::mt19937 m_random;
};

}  // namespace halvern::sim

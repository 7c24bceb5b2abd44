#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/calibration_replies.h"
#include "sim/fault_plan.h"
#include "sim/program_memory.h"
#include "sim/record_log.h"
#include "sim/reply_dialect.h"
#include "sim/screen_memory.h"
#include "sim/test_replies.h"

namespace halvern::sim {

// The instrument's end of the wire, written from the wire format alone: it parses command lines
// byte by byte, keeps the instrument's state and schedules its replies in time. Times are those of
// the clock driving it; a byte on the wire takes 8 microseconds.
class SimulatedInstrument {
 public:
  // One record-format field as the instrument keeps it.
  struct FieldFormat {
    std::string label;
    std::uint8_t type = 0;       // 0 number, 1 date, 2 time
    std::uint8_t width = 7;      // 1..9
    std::uint8_t precision = 1;  // 0..6
  };

  struct Settings {
    int com1Code = 96;  // negative: RS-485
    int com2Code = 96;
    int stopOnError = 0;
    int keypadLock = 0;
    int interval = 1;
    int fieldsPerRecord = 4;
    int autoScroll = 0;
    int scrollPause = 5;
    int scrollEnd = 8;
    std::array<FieldFormat, 25> formats;
  };

  // Time from the carriage return of a command line (or the last byte of a block) until the
  // first byte of the reply is on the wire.
  static constexpr Clock::Duration kProcessingDelay = std::chrono::microseconds(1500);
  // Binary reception is given up when no byte has come for this long.
  static constexpr Clock::Duration kBinaryGapLimit = std::chrono::seconds(1);
  // Time the erase of the records takes for each part of the memory.
  static constexpr Clock::Duration kEraseStep = std::chrono::milliseconds(300);
  // Longest command line taken, carriage return excluded; longer lines are dropped whole.
  static constexpr std::size_t kMaxLineLength = 64;

  // The instrument's clock starts at the calendar's date and time and runs with `clock`.
  SimulatedInstrument(const Calendar& calendar, const Clock& clock);

  // A byte from the computer arriving at `at` (times must not go backwards).
  void receive(std::uint8_t byte, Clock::TimePoint at);

  // When the next byte of a reply reaches the computer, if one is on its way.
  std::optional<Clock::TimePoint> nextOutputTime() const;
  // Takes up to `max` reply bytes that have reached the computer by `at`.
  std::size_t takeOutput(Clock::TimePoint at, std::uint8_t* buffer, std::size_t max);
  // Drops the reply bytes that have reached the computer by `at` (the computer's purge).
  void discardOutput(Clock::TimePoint at);

  FaultPlan& faults() { return m_faults; }
  // How the replies are worded: values, dates and times, bytes after a block, the turnaround.
  ReplyDialect& dialect() { return m_dialect; }
  // The user program memory and its block transfers ("CMD115", "CMD110").
  ProgramMemory& programMemory() { return m_program; }
  // The eight user screens and their transfers ("CMD215", "CMD210").
  ScreenMemory& screenMemory() { return m_screens; }
  const ScreenMemory& screenMemory() const { return m_screens; }
  // The logged records: "CMD340 n" streams the first n (all when it holds fewer, then silence);
  // "CMD345" erases them with a "!" now and then and "*" when done.
  RecordLog& recordLog() { return m_records; }
  // The calibration table, its steps and the checks' reports ("CMD805" to "CMD956").
  CalibrationReplies& calibration() { return m_calibration; }
  const RecordLog& recordLog() const { return m_records; }
  // The hardware tests: readings, counts, signatures, the RAM test; drives, switches, pull-downs.
  TestReplies& tests() { return m_tests; }
  // True once the instrument has dropped off the link: at once for a "dies" fault; for a "cut" or
  // "hangup" fault once the reply bytes it lets through have all been taken or purged.
  bool linkDead() const;
  // True when the instrument went with a "hangup": the computer's port closes.
  bool linkHungUp() const { return linkDead() && m_cut && m_cut->closes; }
  Settings& settings() { return m_settings; }
  const Settings& settings() const { return m_settings; }
  // The instrument's date and time at `at`.
  DateTime dateTimeAt(Clock::TimePoint at) const;
  // Every complete command line received, in order, without its carriage return.
  const std::vector<std::string>& linesReceived() const { return m_lines; }

 private:
  void receiveLineByte(std::uint8_t byte, Clock::TimePoint at);
  void handleLine(const std::string& line, Clock::TimePoint at);
  void handleBinary(std::uint8_t byte, Clock::TimePoint at);
  // Queues `bytes` to leave after the processing delay, behind whatever is already queued.
  void reply(std::string_view bytes, Clock::TimePoint at);
  // Queues the reply to `code` as `fault` spoils it; `wrong` is its out-of-range stand-in and
  // `pad` fills a fault's text up to the reply's size. `after` follows any reply that is sent.
  void replySpoiled(const std::optional<Fault>& fault, std::string text, std::string wrong,
                    char pad, Clock::TimePoint at, std::string_view after = {});
  // The reply to a value query and its out-of-range stand-in; nothing for other codes.
  std::optional<std::pair<std::string, std::string>> valueReply(int code,
                                                                Clock::TimePoint at) const;
  // Checks a setting's arguments and stores it; false (nothing stored) when they are not valid.
  bool applySetting(int code, const std::vector<int>& args, Clock::TimePoint at, bool store);
  void beginRecordFormats(Clock::TimePoint at);
  void answerRecords(int count, Clock::TimePoint at);
  void eraseRecords(Clock::TimePoint at);

  // A "cut" or "hangup" struck by a command: the reply bytes still to go before the link goes.
  struct Cut {
    std::size_t bytesLeft;
    bool closes;
  };
  // Arms a "cut" or "hangup" fault of `code`, if it has one.
  void armCut(int code);
  bool cutDone() const { return m_cut && m_cut->bytesLeft == 0; }

  FaultPlan m_faults;
  ReplyDialect m_dialect;
  // The wording of the reply to the command line being answered.
  ReplyForm m_form;
  std::optional<Cut> m_cut;
  ProgramMemory m_program{m_faults};
  ScreenMemory m_screens{m_faults};
  RecordLog m_records;
  TestReplies m_tests;
  CalibrationReplies m_calibration;
  Settings m_settings;
  // The instrument's clock: its date and time at m_clockBase.
  DateTime m_clockValue;
  Clock::TimePoint m_clockBase;

  std::string m_line;
  bool m_lineOverlong = false;
  std::vector<std::string> m_lines;
  // Binary reception (record formats after "CMD320").
  enum class Mode { Lines, RecordFormats, Program, Screens };
  Mode m_mode = Mode::Lines;
  std::vector<std::uint8_t> m_block;
  std::size_t m_blocksReceived = 0;
  std::array<FieldFormat, 25> m_pendingFormats;
  bool m_closingMarkWithheld = false;
  Clock::TimePoint m_lastByteAt{};

  struct Outgoing {
    Clock::TimePoint at;
    std::uint8_t byte;
  };
  std::deque<Outgoing> m_output;
  // When the last queued reply byte reaches the computer.
  Clock::TimePoint m_outputFree{};
};

}  // namespace halvern::sim

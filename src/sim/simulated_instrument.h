#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/fault_plan.h"
#include "sim/firmware_responder.h"
#include "sim/program_responder.h"
#include "sim/records_responder.h"
#include "sim/reply_context.h"
#include "sim/reply_dialect.h"
#include "sim/responder.h"
#include "sim/responder_set.h"
#include "sim/screens_responder.h"
#include "sim/service_responder.h"
#include "sim/setup_responder.h"

namespace halvern::sim {

// The instrument's end of the wire, written from the wire format alone: it parses command lines
// byte by byte, hands each to the responders of the subsystems, one after the other until one
// takes it, and schedules their replies in time. It keeps what all commands share: the reply
// queue, the wording of each reply (the dialect) and the faults that strike any command (cut,
// hangup). Times are those of the clock driving it; a byte on the wire takes 8 microseconds.
class SimulatedInstrument final : private ReplyContext {
 public:
  using FieldFormat = SetupResponder::FieldFormat;
  using Settings = SetupResponder::Settings;

  // Time from the carriage return of a command line (or the last byte of a block) until the
  // first byte of the reply is on the wire.
  static constexpr Clock::Duration kProcessingDelay = std::chrono::microseconds(1500);
  // Binary reception is given up when no byte has come for this long.
  static constexpr Clock::Duration kBinaryGapLimit = Responder::kBinaryGapLimit;
  // Longest command line taken, carriage return excluded; longer lines are dropped whole.
  static constexpr std::size_t kMaxLineLength = 64;

  // The instrument's clock starts at the calendar's date and time and runs with `clock`.
  SimulatedInstrument(const Calendar& calendar, const Clock& clock)
      : m_responders({m_faults, calendar.now(), clock.now()}) {
    installResponders(m_responders);
  }

  // A byte from the computer arriving at `at` (times must not go backwards).
  void receive(std::uint8_t byte, Clock::TimePoint at);

  // When the next byte of a reply reaches the computer, if one is on its way.
  std::optional<Clock::TimePoint> nextOutputTime() const;
  // Takes up to `max` reply bytes that have reached the computer by `at`.
  std::size_t takeOutput(Clock::TimePoint at, std::uint8_t* buffer, std::size_t max);
  // Drops the reply bytes that have reached the computer by `at` (the computer's purge).
  void discardOutput(Clock::TimePoint at);

  FaultPlan& faults() override { return m_faults; }
  // How the replies are worded: values, dates and times, bytes after a block, the turnaround.
  ReplyDialect& dialect() { return m_dialect; }
  // True once the instrument has dropped off the link: at once when a responder takes it off
  // (a "dies" fault); for a "cut" or "hangup" fault once the reply bytes it lets through have
  // all been taken or purged.
  bool linkDead() const;
  // True when the instrument went with a "hangup": the computer's port closes.
  bool linkHungUp() const { return linkDead() && m_cut && m_cut->closes; }
  // Every complete command line received, in order, without its carriage return.
  const std::vector<std::string>& linesReceived() const { return m_lines; }

  // The subsystems' parts, for tests and tools.
  // The user program memory and its block transfers ("CMD115", "CMD110").
  ProgramMemory& programMemory() { return part<ProgramResponder>().memory(); }
  // The eight user screens and their transfers ("CMD215", "CMD210").
  ScreenMemory& screenMemory() { return part<ScreensResponder>().memory(); }
  const ScreenMemory& screenMemory() const { return part<ScreensResponder>().memory(); }
  // The logged records ("CMD340 n", "CMD345").
  RecordLog& recordLog() { return part<RecordsResponder>().log(); }
  const RecordLog& recordLog() const { return part<RecordsResponder>().log(); }
  // The calibration table, its steps and the checks' reports ("CMD805" to "CMD956").
  CalibrationReplies& calibration() { return part<ServiceResponder>().calibration(); }
  // The hardware tests: readings, counts, signatures, the RAM test; drives, switches, pull-downs.
  TestReplies& tests() { return part<ServiceResponder>().tests(); }
  // The firmware loader: in it or not, the records taken, the programmed image ("CMD980"). The
  // firmware's signature as "CMD900" answers it is tests().romSignature().
  FirmwareLoader& firmwareLoader() { return part<FirmwareResponder>().loader(); }
  const FirmwareLoader& firmwareLoader() const { return part<FirmwareResponder>().loader(); }
  Settings& settings() { return part<SetupResponder>().settings(); }
  const Settings& settings() const { return part<SetupResponder>().settings(); }
  // The instrument's date and time at `at`.
  DateTime dateTimeAt(Clock::TimePoint at) const { return part<SetupResponder>().dateTimeAt(at); }

 private:
  void receiveLineByte(std::uint8_t byte, Clock::TimePoint at);
  void handleLine(const std::string& line, Clock::TimePoint at);
  // True when a responder has taken the instrument off the link.
  bool offLink() const;
  // The responder of type T, which the declarations installed.
  template <class T>
  T& part() const {
    return *m_responders.find<T>();
  }

  // ReplyContext, for the responders.
  Clock::TimePoint at() const override { return m_at; }
  const ReplyForm& form() const override { return m_form; }
  void reply(std::string_view bytes, Clock::Duration after) override;
  void receiveBinary(Responder& responder) override { m_receiver = &responder; }

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
  // When the line being answered (or the byte being received) came.
  Clock::TimePoint m_at{};
  std::optional<Cut> m_cut;

  // One responder a subsystem, in the order they are asked.
  ResponderSet m_responders;
  Responder* m_receiver = nullptr;

  std::string m_line;
  bool m_lineOverlong = false;
  std::vector<std::string> m_lines;

  struct Outgoing {
    Clock::TimePoint at;
    std::uint8_t byte;
  };
  std::deque<Outgoing> m_output;
  // When the last queued reply byte reaches the computer.
  Clock::TimePoint m_outputFree{};
};

}  // namespace halvern::sim

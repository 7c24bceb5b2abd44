#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/calendar.h"
#include "platform/clock.h"
#include "sim/responder.h"
#include "sim/responder_set.h"
#include "wire/wire.h"

namespace halvern::sim {

// The instrument's setup: the serial ports, the logging and display settings, its clock and the
// record formats. Value queries answer with fixed-length values, settings with "*"; the record
// formats go out as one block ("CMD325") and come in block by block after "CMD320" ("!" after
// each, "*" after the last; a broken block or a pause of a second ends the reception and keeps
// nothing).
class SetupResponder final : public Responder {
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
    std::array<FieldFormat, wire::kRecordFormatCount> formats;
  };

  // The instrument's clock shows `start` at `base` and runs from there.
  SetupResponder(DateTime start, Clock::TimePoint base);

  bool answer(const CommandLine& line, ReplyContext& context) override;
  Taken receive(std::uint8_t byte, ReplyContext& context) override;

  Settings& settings() { return m_settings; }
  const Settings& settings() const { return m_settings; }
  // The instrument's date and time at `at`.
  DateTime dateTimeAt(Clock::TimePoint at) const;

 private:
  // The reply to a value query and its out-of-range stand-in; nothing for other codes.
  std::optional<std::pair<std::string, std::string>> valueReply(int code,
                                                                const ReplyContext& context) const;
  // Checks a setting's arguments and stores it; false (nothing stored) when they are not valid.
  bool applySetting(int code, const std::vector<int>& args, Clock::TimePoint at, bool store);
  void beginRecordFormats(ReplyContext& context);
  // One byte of a record-format block; false once the reception has ended.
  bool receiveFormatByte(std::uint8_t byte, ReplyContext& context);

  Settings m_settings;
  // The instrument's clock: its date and time at m_clockBase.
  DateTime m_clockValue;
  Clock::TimePoint m_clockBase;

  // The record formats being received after "CMD320".
  std::vector<std::uint8_t> m_block;
  std::size_t m_blocksReceived = 0;
  std::array<FieldFormat, wire::kRecordFormatCount> m_pendingFormats;
  bool m_closingMarkWithheld = false;
  Clock::TimePoint m_lastByteAt{};
};

// Adds the setup responder to the instrument's responders.
void installSetupResponder(ResponderSet& set);

}  // namespace halvern::sim

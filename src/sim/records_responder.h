#pragma once

#include "platform/clock.h"
#include "sim/record_log.h"
#include "sim/responder.h"
#include "sim/responder_set.h"

namespace halvern::sim {

class SetupResponder;

// The logged records: "CMD340 n" streams the first n (all when the log holds fewer, then
// silence), each with the fields per record and the field types of the setup; "CMD345" erases
// them with a "!" now and then and "*" when done.
class RecordsResponder final : public Responder {
 public:
  // Time the erase of the records takes for each part of the memory.
  static constexpr Clock::Duration kEraseStep = std::chrono::milliseconds(300);

  // The records are read with `setup`'s fields per record and record formats.
  explicit RecordsResponder(const SetupResponder& setup) : m_setup(setup) {}

  bool answer(const CommandLine& line, ReplyContext& context) override;

  RecordLog& log() { return m_log; }
  const RecordLog& log() const { return m_log; }

 private:
  void answerRecords(int count, ReplyContext& context);
  void eraseRecords(ReplyContext& context);

  const SetupResponder& m_setup;
  RecordLog m_log;
};

// Adds the records responder to the instrument's responders.
void installRecordsResponder(ResponderSet& set);

}  // namespace halvern::sim

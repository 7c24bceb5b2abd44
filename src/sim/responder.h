#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "sim/command_line.h"
#include "sim/reply_context.h"

namespace halvern::sim {

// One subsystem's part of the instrument: it answers that subsystem's command lines and receives
// the binary transfers they start. The instrument asks its responders in turn; the first that
// takes a line answers it.
class Responder {
 public:
  // A binary reception is given up when no byte has come for this long.
  static constexpr Clock::Duration kBinaryGapLimit = std::chrono::seconds(1);

  // What became of a byte received in binary mode.
  struct Taken {
    // The next byte comes to this responder too.
    bool keepReceiving = false;
    // Bytes that were no part of the transfer: they start a command line.
    std::string toLines;
  };

  virtual ~Responder() = default;

  // Answers `line` through `context` when it is one of this subsystem's commands: true when the
  // line is taken (answered, or dropped for arguments out of range), false to leave it to the
  // other responders.
  virtual bool answer(const CommandLine& line, ReplyContext& context) = 0;
  // Answers `line` (carriage return stripped) when it is not a command ("CMD" and three digits)
  // but this part's own: true when taken. Most parts take no such lines.
  virtual bool answerOtherLine(std::string_view line, ReplyContext& context) {
    (void)line;
    (void)context;
    return false;
  }
  // A byte from the computer once this responder has asked for them (ReplyContext::receiveBinary).
  virtual Taken receive(std::uint8_t byte, ReplyContext& context) {
    (void)context;
    return {false, std::string(1, static_cast<char>(byte))};
  }
  // True once this part has taken the instrument off the link for good.
  virtual bool offLink() const { return false; }
};

}  // namespace halvern::sim

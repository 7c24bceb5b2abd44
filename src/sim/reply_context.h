#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "sim/fault_plan.h"
#include "sim/reply_dialect.h"

namespace halvern::sim {

class Responder;

// What a responder sees of the instrument while it answers a command line or takes a byte of a
// binary transfer: the time, the wording, the fault plan and the reply queue.
class ReplyContext {
 public:
  virtual ~ReplyContext() = default;

  // When the command line's carriage return (or the byte being received) came.
  virtual Clock::TimePoint at() const = 0;
  // The wording of the reply to the command line being answered.
  virtual const ReplyForm& form() const = 0;
  virtual FaultPlan& faults() = 0;
  // Queues `bytes` to leave `after` past at() and the turnaround, behind whatever is queued.
  virtual void reply(std::string_view bytes, Clock::Duration after = {}) = 0;
  // The bytes from the computer go to `responder` from now on, until its receive lets go.
  virtual void receiveBinary(Responder& responder) = 0;

  // Queues `text` as `fault` spoils it: nothing for silence; one byte short; `wrong` (or the
  // fault's text) padded with `pad` or cut to the reply's size; stray bytes before or after;
  // nothing when a "*" is withheld. `after` follows any reply that is sent.
  void replySpoiled(const std::optional<Fault>& fault, std::string text, std::string wrong,
                    char pad, std::string_view after = {});
};

}  // namespace halvern::sim

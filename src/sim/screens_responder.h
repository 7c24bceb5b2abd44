#pragma once

#include "sim/responder.h"
#include "sim/responder_set.h"
#include "sim/screen_memory.h"

namespace halvern::sim {

// The eight user screens: "CMD215" sends them as one block, "CMD210" receives them (see
// ScreenMemory).
class ScreensResponder final : public Responder {
 public:
  explicit ScreensResponder(FaultPlan& faults) : m_memory(faults) {}

  bool answer(const CommandLine& line, ReplyContext& context) override;
  Taken receive(std::uint8_t byte, ReplyContext& context) override;

  ScreenMemory& memory() { return m_memory; }
  const ScreenMemory& memory() const { return m_memory; }

 private:
  ScreenMemory m_memory;
};

// Adds the screens responder to the instrument's responders.
void installScreensResponder(ResponderSet& set);

}  // namespace halvern::sim

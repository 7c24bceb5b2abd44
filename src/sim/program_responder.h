#pragma once

#include "sim/program_memory.h"
#include "sim/responder.h"
#include "sim/responder_set.h"

namespace halvern::sim {

// The user program: "CMD115" sends the image block by block, "CMD110" receives it (see
// ProgramMemory). A "dies" fault takes the instrument off the link.
class ProgramResponder final : public Responder {
 public:
  explicit ProgramResponder(FaultPlan& faults) : m_memory(faults) {}

  bool answer(const CommandLine& line, ReplyContext& context) override;
  Taken receive(std::uint8_t byte, ReplyContext& context) override;
  bool offLink() const override { return m_memory.dead(); }

  ProgramMemory& memory() { return m_memory; }
  const ProgramMemory& memory() const { return m_memory; }

 private:
  ProgramMemory m_memory;
};

// Adds the program responder to the instrument's responders.
void installProgramResponder(ResponderSet& set);

}  // namespace halvern::sim

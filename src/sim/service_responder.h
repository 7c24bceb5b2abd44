#pragma once

#include "sim/calibration_replies.h"
#include "sim/program_memory.h"
#include "sim/responder.h"
#include "sim/responder_set.h"
#include "sim/test_replies.h"

namespace halvern::sim {

// The service commands: the hardware tests (see TestReplies) and the calibration (see
// CalibrationReplies). The program memory's signature test reads `program`.
class ServiceResponder final : public Responder {
 public:
  explicit ServiceResponder(const ProgramMemory& program) : m_program(program) {}

  bool answer(const CommandLine& line, ReplyContext& context) override;

  TestReplies& tests() { return m_tests; }
  CalibrationReplies& calibration() { return m_calibration; }

 private:
  const ProgramMemory& m_program;
  TestReplies m_tests;
  CalibrationReplies m_calibration;
};

// Adds the service responder to the instrument's responders.
void installServiceResponder(ResponderSet& set);

}  // namespace halvern::sim

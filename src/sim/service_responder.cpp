#include "sim/service_responder.h"

#include <memory>

#include "sim/program_responder.h"

namespace halvern::sim {

bool ServiceResponder::answer(const CommandLine& line, ReplyContext& context) {
  // Calibration lines first: a full-scale step carries a decimal fraction.
  if (auto pieces = m_calibration.answer(line.code, line.argText, context.faults())) {
    for (const auto& piece : *pieces) context.reply(piece.bytes, piece.after);
    return true;
  }
  if (!line.args) return false;
  auto text = m_tests.answer(line.code, *line.args, m_program.image());
  if (!text) return false;
  context.replySpoiled(context.faults().take(line.code), std::move(*text), "?", ' ');
  return true;
}

void installServiceResponder(ResponderSet& set) {
  // The checksum tests read the program memory.
  set.add(std::make_unique<ServiceResponder>(set.find<ProgramResponder>()->memory()));
}

}  // namespace halvern::sim

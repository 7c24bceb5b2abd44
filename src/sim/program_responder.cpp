#include "sim/program_responder.h"

#include <memory>

#include "wire/commands.h"

namespace halvern::sim {

bool ProgramResponder::answer(const CommandLine& line, ReplyContext& context) {
  if (!line.bare() || (line.code != cmd::kGetProgram && line.code != cmd::kSendProgram)) {
    return false;
  }
  context.receiveBinary(*this);
  context.reply(line.code == cmd::kGetProgram ? m_memory.beginDownload()
                                              : m_memory.beginUpload(context.at()));
  return true;
}

Responder::Taken ProgramResponder::receive(std::uint8_t byte, ReplyContext& context) {
  ProgramMemory::Step step = m_memory.receive(byte, context.at());
  if (!step.reply.empty()) context.reply(step.reply);
  return {step.active, std::move(step.toLines)};
}

void installProgramResponder(ResponderSet& set) {
  set.add(std::make_unique<ProgramResponder>(set.start().faults));
}

}  // namespace halvern::sim

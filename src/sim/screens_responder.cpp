#include "sim/screens_responder.h"

#include <memory>

#include "wire/commands.h"

namespace halvern::sim {

bool ScreensResponder::answer(const CommandLine& line, ReplyContext& context) {
  if (!line.bare()) return false;
  if (line.code == cmd::kGetScreens) {
    const std::string block = m_memory.answerDownload();
    if (!block.empty()) context.reply(block + context.form().afterBlock);
    return true;
  }
  if (line.code == cmd::kSendScreens) {
    context.reply(m_memory.beginUpload(context.at()));
    if (m_memory.receiving()) context.receiveBinary(*this);
    return true;
  }
  return false;
}

Responder::Taken ScreensResponder::receive(std::uint8_t byte, ReplyContext& context) {
  if (m_memory.receive(byte, context.at())) return {m_memory.receiving(), {}};
  return {false, std::string(1, static_cast<char>(byte))};
}

void installScreensResponder(ResponderSet& set) {
  set.add(std::make_unique<ScreensResponder>(set.start().faults));
}

}  // namespace halvern::sim

#include "sim/firmware_responder.h"

#include <memory>

#include "sim/service_responder.h"
#include "wire/commands.h"

namespace halvern::sim {

void FirmwareResponder::send(const FirmwareLoader::Reply& reply, ReplyContext& context) {
  if (!reply.bytes.empty()) context.reply(reply.bytes, reply.after);
  if (reply.updated && m_tests != nullptr) m_tests->setRomSignature(m_loader.firmwareSignature());
}

bool FirmwareResponder::answer(const CommandLine& line, ReplyContext& context) {
  if (line.code != cmd::kEnterLoader || !line.bare()) return false;
  send(m_loader.enter(), context);
  context.receiveBinary(*this);
  return true;
}

bool FirmwareResponder::answerOtherLine(std::string_view line, ReplyContext& context) {
  if (line != FirmwareLoader::kWakeLine) return false;
  send(m_loader.wake(), context);
  return true;
}

Responder::Taken FirmwareResponder::receive(std::uint8_t byte, ReplyContext& context) {
  send(m_loader.receive(byte, context.at()), context);
  // The loader keeps every byte until an update completes, however long the computer is silent.
  return {m_loader.active(), {}};
}

void installFirmwareResponder(ResponderSet& set) {
  // A completed update changes the firmware's signature, which the service tests answer.
  auto* service = set.find<ServiceResponder>();
  set.add(std::make_unique<FirmwareResponder>(set.start().faults,
                                              service != nullptr ? &service->tests() : nullptr));
}

}  // namespace halvern::sim

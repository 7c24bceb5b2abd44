#pragma once

#include <string_view>

#include "sim/firmware_loader.h"
#include "sim/responder.h"
#include "sim/responder_set.h"
#include "sim/test_replies.h"

namespace halvern::sim {

// The firmware update: the wake-up line, "CMD980" and the loader's bytes (see FirmwareLoader).
// An update that completes puts the new firmware's signature in `tests` ("CMD900").
class FirmwareResponder final : public Responder {
 public:
  FirmwareResponder(FaultPlan& faults, TestReplies* tests) : m_loader(faults), m_tests(tests) {}

  bool answer(const CommandLine& line, ReplyContext& context) override;
  bool answerOtherLine(std::string_view line, ReplyContext& context) override;
  Taken receive(std::uint8_t byte, ReplyContext& context) override;

  FirmwareLoader& loader() { return m_loader; }
  const FirmwareLoader& loader() const { return m_loader; }

 private:
  void send(const FirmwareLoader::Reply& reply, ReplyContext& context);

  FirmwareLoader m_loader;
  TestReplies* m_tests;
};

// Adds the firmware responder to the instrument's responders.
void installFirmwareResponder(ResponderSet& set);

}  // namespace halvern::sim

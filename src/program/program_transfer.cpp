#include "program/program_transfer.h"

#include <memory>
#include <string>
#include <vector>

#include "link/command_exchange.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "program/program_image.h"
#include "wire/commands.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern {

using namespace program_text;

std::string program_text::writeResult(std::size_t written) {
  return formatText("WRITEFILE RESULT: %u", static_cast<unsigned>(written));
}

std::string program_text::tooFewBlocks(std::size_t blocks) {
  return formatText("PROGRAM HAS %u OF 66 BLOCKS.", static_cast<unsigned>(blocks));
}

namespace {

constexpr std::size_t kDataSize = wire::kProgramBlockDataSize;

}  // namespace

CommandResult getUserProgram(CommandExchange& exchange, ProgramDocument& document, Shell& shell) {
  shell.addMessageLine(kGetStart);
  std::vector<std::uint8_t> buffer(kProgramReceiveBlocks * kDataSize, 0);
  shell.setProgressMax(static_cast<int>(wire::kProgramBlockCount) + 1);
  ClockTimerHold timerHold(shell);
  shell.processEvents();

  std::size_t blocks = 0;
  BlockProtocol protocol(exchange, shell);
  const auto outcome =
      protocol.receive(cmd::kGetProgramLine, kProgramStartTries, buffer, blocks, kGetFailed);
  shell.setProgress(0);

  if (outcome == BlockProtocol::Outcome::Done) {
    if (blocks < wire::kProgramBlockCount) {
      shell.addMessageLine(tooFewBlocks(blocks));
    } else {
      auto converted = ProgramImage::convert(
          std::span<const std::uint8_t, ProgramImage::kSize>(buffer.data(), ProgramImage::kSize));
      if (converted.error.empty() &&
          document.replaceProgram(converted.store, std::move(converted.tree), "Get User Program")) {
        shell.addMessageLine(kGetFinished);
        return CommandResult::Done;
      }
      shell.addMessageLine(converted.error);
    }
  } else if (outcome == BlockProtocol::Outcome::Overflow) {
    shell.addMessageLine(kTooManyBlocks);
  }
  if (outcome == BlockProtocol::Outcome::TooManyErrors) {
    shell.addMessageLine(kTooManyErrors);
    shell.addMessageLine(kGetFailed);
    shell.message(kGetFailedBox, MessageKind::Warning, MessageButtons::Ok);
  } else {
    shell.addMessageLine(kGetFailed);
  }
  // A cancel is the user's, not a fault of the link: no communication warning follows it.
  return outcome == BlockProtocol::Outcome::Cancelled ? CommandResult::Cancelled
                                                      : CommandResult::Failed;
}

CommandResult sendUserProgram(CommandExchange& exchange, const ProgramDocument& document,
                              Shell& shell) {
  auto image = std::make_unique<ProgramImage::Bytes>();
  ProgramImage::build(document.store(), *image);
  // An edit made while the blocks go out is not what was sent.
  const std::uint64_t built = document.changeCount();
  shell.setProgressMax(static_cast<int>(wire::kProgramBlockCount));
  exchange.sendCommandLine(cmd::kSendProgramLine);
  shell.addMessageLine(kSendStart);

  BlockProtocol protocol(exchange, shell);
  const auto outcome = protocol.send(
      *image, [](Shell& s, std::size_t written) { s.addMessageLine(writeResult(written)); });
  const bool ok = outcome == BlockProtocol::Outcome::Done;
  shell.setProgress(0);
  shell.addMessageLine(ok ? kSendFinished : kSendFailed);
  if (ok && document.changeCount() == built) document.settle(true, false);
  if (outcome == BlockProtocol::Outcome::Cancelled) return CommandResult::Cancelled;
  return failedIf(!ok);
}

}  // namespace halvern

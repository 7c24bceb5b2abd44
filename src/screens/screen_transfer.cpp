#include "screens/screen_transfer.h"

#include "link/command_exchange.h"
#include "platform/shell.h"
#include "screens/screen_buffer.h"
#include "wire/commands.h"
#include "wire/wire.h"

namespace halvern {

CommandResult getUserScreens(CommandExchange& exchange, ScreenBuffer& buffer, Shell& shell) {
  shell.addMessageLine(screen_text::kGetStart);
  shell.setProgressMax(static_cast<int>(ScreenBuffer::kScreenSize));

  ScreenBuffer::Bytes block{};
  const bool complete =
      exchange.queryBlock(cmd::kGetScreensLine, block.data(), block.size(),
                          {kGetScreensAttempts, kGetScreensPause}) == block.size();
  if (!complete) {
    shell.addMessageLine(screen_text::kGetFailed);
    return CommandResult::Failed;
  }

  buffer.replace(block);
  // The cells of screen 1 counted off as they are shown.
  for (int cell = 1; cell <= static_cast<int>(ScreenBuffer::kScreenSize); ++cell)
    shell.setProgress(cell);
  shell.setProgress(0);
  shell.addMessageLine(screen_text::kGetDone);
  return CommandResult::Done;
}

CommandResult sendUserScreens(CommandExchange& exchange, const ScreenBuffer& buffer, Shell& shell) {
  shell.addMessageLine(screen_text::kSendStart);
  shell.setProgressMax(static_cast<int>(ScreenBuffer::kSize));

  exchange.sendCommandLine(cmd::kSendScreensLine);
  // Wait for the go-ahead; anything else the instrument says is dropped.
  if (!exchange.waitForMark(wire::kCompletionMark, kSendScreensGoAhead,
                            CommandExchange::OnTimeout::Quiet)) {
    shell.message(screen_text::kNoResponse, MessageKind::Warning, MessageButtons::Ok);
    shell.addMessageLine(screen_text::kSendError);
    return CommandResult::Failed;
  }

  int sent = 0;
  for (std::uint8_t byte : buffer.bytes()) {
    shell.setProgress(++sent);
    if (exchange.write(byte) != 1) {
      // The bridge took nothing: the instrument has not got the screens.
      shell.setProgress(0);
      shell.addMessageLine(screen_text::kSendError);
      return CommandResult::Failed;
    }
  }
  shell.setProgress(0);
  shell.addMessageLine(screen_text::kSendDone);
  return CommandResult::Done;
}

}  // namespace halvern

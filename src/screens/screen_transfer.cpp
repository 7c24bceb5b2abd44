#include "screens/screen_transfer.h"

#include <algorithm>
#include <span>

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

  // The bytes go in pieces, which the bridge takes as fast as they come, so no byte waits on a
  // write of its own; the progress bar counts them one by one.
  const std::span<const std::uint8_t> bytes(buffer.bytes());
  int sent = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kSendScreensPiece) {
    const auto piece = bytes.subspan(at, std::min(kSendScreensPiece, bytes.size() - at));
    for (std::size_t i = 0; i < piece.size(); ++i) shell.setProgress(++sent);
    if (exchange.write(piece) != piece.size()) {
      // The bridge did not take them all: the instrument has not got the screens.
      shell.setProgress(0);
      shell.addMessageLine(screen_text::kSendError);
      return CommandResult::Failed;
    }
  }
  // Finished once the last byte is on the wire, not merely queued.
  exchange.awaitSent();
  shell.setProgress(0);
  shell.addMessageLine(screen_text::kSendDone);
  return CommandResult::Done;
}

}  // namespace halvern

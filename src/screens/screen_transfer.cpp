#include "screens/screen_transfer.h"

#include "platform/shell.h"
#include "link/command_exchange.h"
#include "wire/commands.h"
#include "platform/link.h"
#include "wire/wire.h"
#include "screens/screen_buffer.h"

namespace halvern {

CommandResult getUserScreens(CommandExchange& exchange, ScreenBuffer& buffer, Shell& shell) {
  Link& link = exchange.link();
  shell.addMessageLine(screen_text::kGetStart);
  shell.setProgressMax(static_cast<int>(ScreenBuffer::kScreenSize));

  ScreenBuffer::Bytes block{};
  bool complete = false;
  for (int attempt = 0; attempt < kGetScreensAttempts && !complete; ++attempt) {
    // Ask again after a fresh purge and a pause.
    link.purge();
    exchange.clock().sleepFor(kGetScreensPause);
    exchange.sendCommandLine(cmd::kGetScreensLine);
    complete = link.read(block.data(), block.size()) == block.size();
  }
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
  Link& link = exchange.link();
  Clock& clock = exchange.clock();
  shell.addMessageLine(screen_text::kSendStart);
  const auto deadline = clock.now() + kSendScreensGoAhead;
  shell.setProgressMax(static_cast<int>(ScreenBuffer::kSize));

  exchange.sendCommandLine(cmd::kSendScreensLine);
  // Wait for the go-ahead; anything else the instrument says is dropped.
  bool goAhead = false;
  do {
    shell.processEvents();
    std::uint8_t byte = 0;
    if (link.read(&byte, 1) == 1 && byte == wire::kCompletionMark) goAhead = true;
  } while (!goAhead && clock.now() < deadline);
  if (!goAhead) {
    shell.message(screen_text::kNoResponse, MessageKind::Warning, MessageButtons::Ok);
    shell.addMessageLine(screen_text::kSendError);
    return CommandResult::Failed;
  }

  int sent = 0;
  for (std::uint8_t byte : buffer.bytes()) {
    shell.setProgress(++sent);
    if (link.write(byte) != 1) {
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

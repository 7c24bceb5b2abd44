#include "screens/screen_transfer.h"

#include "app/shell.h"
#include "link/command_exchange.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/wire.h"
#include "screens/screen_buffer.h"

namespace halvern {

bool getUserScreens(CommandExchange& exchange, ScreenBuffer& buffer, Shell& shell) {
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
    return true;
  }

  buffer.replace(block);
  // The cells of screen 1 counted off as they are shown.
  for (int cell = 1; cell <= static_cast<int>(ScreenBuffer::kScreenSize); ++cell)
    shell.setProgress(cell);
  shell.setProgress(0);
  shell.addMessageLine(screen_text::kGetDone);
  return false;
}

bool sendUserScreens(CommandExchange& exchange, const ScreenBuffer& buffer, Shell& shell) {
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
    return true;
  }

  int sent = 0;
  for (std::uint8_t byte : buffer.bytes()) {
    shell.setProgress(++sent);
    if (link.write(byte) != 1) {
      // The bridge took nothing: the instrument has not got the screens.
      shell.setProgress(0);
      shell.addMessageLine(screen_text::kSendError);
      return true;
    }
  }
  shell.setProgress(0);
  shell.addMessageLine(screen_text::kSendDone);
  return false;
}

ScreenCommandResult rxScreensClick(Link& link, CommandExchange& exchange, ScreenBuffer& buffer,
                                   Shell& shell) {
  if (!link.isOpen()) {
    shell.message(screen_text::kGetClosed, MessageKind::Warning, MessageButtons::Ok);
    return ScreenCommandResult::Refused;
  }
  shell.setBusy(true);
  const bool failed = getUserScreens(exchange, buffer, shell);
  if (failed) shell.commError();
  shell.setBusy(false);
  return failed ? ScreenCommandResult::Failed : ScreenCommandResult::Done;
}

ScreenCommandResult txScreensClick(Link& link, CommandExchange& exchange,
                                   const ScreenBuffer& buffer, Shell& shell) {
  if (!link.isOpen()) {
    shell.message(screen_text::kSendClosed, MessageKind::Warning, MessageButtons::Ok);
    return ScreenCommandResult::Refused;
  }
  shell.setBusy(true);
  const bool failed = sendUserScreens(exchange, buffer, shell);
  if (failed) shell.commError();
  shell.setBusy(false);
  return failed ? ScreenCommandResult::Failed : ScreenCommandResult::Done;
}

}  // namespace halvern

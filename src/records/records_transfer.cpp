#include "records/records_transfer.h"

#include <algorithm>

#include "link/command_exchange.h"
#include "platform/shell.h"
#include "wire/commands.h"
#include "wire/text_format.h"
#include "wire/wire.h"

namespace halvern {

std::string records_text::slowShowQuestion(std::uint32_t records) {
  return formatText(
      "Showing %u records will be slow.\nAre you sure you want to do that?\n\nSelect Yes to "
      "continue or\nNo to download records to a file\nwithout showing them.",
      records);
}

std::string records_text::tooManyRecords(std::uint32_t fields, std::uint32_t most) {
  return formatText("With %u Fields Per Record,\na maximum of %u records may\nbe retrieved.",
                    fields, most);
}

std::string records_text::totalBytes(std::size_t bytes) {
  return formatText("TOTAL BYTES: %u", static_cast<unsigned>(bytes));
}

RecordsEnd receiveRecords(CommandExchange& exchange, Shell& shell, std::uint32_t count,
                          std::span<std::uint8_t> buffer, std::size_t& received) {
  exchange.sendCommandLine(cmd::getRecordsLine(count));
  received = 0;
  CommandExchange::SilentReads silence{kRecordsSilentReads};
  while (received < buffer.size()) {
    const std::size_t ask = std::min(kRecordsPiece, buffer.size() - received);
    const std::size_t got = exchange.readPiece(buffer.data() + received, ask, silence);
    if (got > 0) {
      received += got;
      shell.setProgress(static_cast<int>(received));
      if (received == buffer.size()) break;
    } else if (silence.ended()) {
      return RecordsEnd::TimedOut;
    }
    shell.processEvents();
    if (shell.cancelled()) {
      awaitQuietLink(exchange, shell, buffer.size() - received);
      return RecordsEnd::Cancelled;
    }
  }
  return RecordsEnd::Complete;
}

void awaitQuietLink(CommandExchange& exchange, Shell& shell, std::size_t bytesLeft) {
  shell.addMessageLine(records_text::kWaitingForQuiet);
  exchange.drainUntilQuiet(2 * wire::kByteTime * static_cast<long long>(bytesLeft) + kQuietMargin,
                           kQuietPiece);
}

CommandResult eraseRecords(CommandExchange& exchange, Shell& shell) {
  using namespace records_text;
  exchange.sendCommandLine(cmd::kEraseRecordsLine);
  shell.addMessageLine(kErasing);
  exchange.pause(kErasePause);
  shell.setProgressMax(kEraseProgressMax);
  shell.setProgress(0);

  int marks = 0;
  CommandResult result = CommandResult::Failed;
  for (;;) {
    // Each "!" says the instrument is still at it: another 2.5 s.
    const char expected[] = {static_cast<char>(wire::kProgressMark),
                             static_cast<char>(wire::kCompletionMark)};
    const auto mark = exchange.waitForAnyMark(std::string_view(expected, 2), kEraseTicks,
                                              CommandExchange::OnTimeout::Quiet);
    if (!mark) {
      if (shell.cancelled()) {
        shell.addMessageLine(kEraseCancelled);
        result = CommandResult::Cancelled;
      } else {
        shell.addMessageLine(kEraseTimeout);
      }
      break;
    }
    if (*mark == wire::kCompletionMark) {
      shell.addMessageLine(kErased);
      result = CommandResult::Done;
      break;
    }
    shell.setProgress(++marks);
  }
  shell.setProgress(0);
  return result;
}

}  // namespace halvern

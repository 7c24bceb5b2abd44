#include "support/recording_shell.h"

namespace halvern::test {

MessageResult RecordingShell::message(std::string_view text, MessageKind kind,
                                      MessageButtons buttons) {
  boxes.push_back(Box{std::string(text), kind, buttons});
  if (!answers.empty()) {
    MessageResult r = answers.front();
    answers.pop_front();
    return r;
  }
  return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel ? MessageResult::Ok
                                                                              : MessageResult::No;
}

void RecordingShell::processEvents() {
  ++eventsProcessed;
  if (onProcessEvents) onProcessEvents(eventsProcessed);
}

}  // namespace halvern::test

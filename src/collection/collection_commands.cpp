#include "collection/collection_commands.h"

#include "link/command_exchange.h"
#include "platform/shell.h"
#include "program/program_transfer.h"
#include "screens/screen_transfer.h"
#include "setup/setup_transfer.h"

namespace halvern {

namespace {

using namespace collection_text;

bool asked(Shell& shell, std::string_view question) {
  return shell.message(question, MessageKind::Confirmation, MessageButtons::YesNo) ==
         MessageResult::Yes;
}

void show(const CollectionView& view, CollectionPart part) {
  if (view.showPart) view.showPart(part);
}

// The end of a collection: the page from before, then the warning (not after a date the
// instrument cannot keep, which has had its own) and the line.
CommandResult finish(Shell& shell, const CollectionView& view, CommandResult result,
                     std::string_view failed, std::string_view done) {
  if (view.restorePage) view.restorePage();
  const bool ok = result == CommandResult::Done;
  if (result == CommandResult::Failed) commError(shell);
  shell.addMessageLine(ok ? done : failed);
  return ok ? CommandResult::Done : result;
}

}  // namespace

InstrumentCommand getCollectionCommand(CollectionParts parts, const CollectionView& view) {
  InstrumentCommand command{kGetClosed, [](Shell& shell) { return !asked(shell, kGetQuestion); },
                            [parts, &view](CommandExchange& exchange, Shell& shell) {
                              shell.addMessageLine(kGetStart);
                              shell.processEvents();
                              show(view, CollectionPart::Setup);
                              CommandResult result = getUserSettings(exchange, parts.setup, shell);
                              if (result == CommandResult::Done) {
                                shell.processEvents();
                                show(view, CollectionPart::Screens);
                                result = getUserScreens(exchange, parts.screens, shell);
                              }
                              if (result == CommandResult::Done) {
                                shell.processEvents();
                                show(view, CollectionPart::Program);
                                result = getUserProgram(exchange, parts.program, shell);
                              }
                              return finish(shell, view, result, kGetFailed, kGetDone);
                            }};
  // The warning comes after the page from before is shown again, then the FAILED line.
  command.commErrorOnFailure = false;
  return command;
}

InstrumentCommand sendCollectionCommand(CollectionParts parts, const CollectionView& view) {
  InstrumentCommand command{kSendClosed, [](Shell& shell) { return !asked(shell, kSendQuestion); },
                            [parts, &view](CommandExchange& exchange, Shell& shell) {
                              shell.addMessageLine(kSendStart);
                              show(view, CollectionPart::Setup);
                              CommandResult result =
                                  sendUserSettings(exchange, parts.setup, shell, parts.calendar);
                              if (result == CommandResult::Done) {
                                exchange.pause(kCollectionPause);
                                show(view, CollectionPart::Screens);
                                result = sendUserScreens(exchange, parts.screens, shell);
                              }
                              if (result == CommandResult::Done) {
                                exchange.pause(kCollectionPause);
                                show(view, CollectionPart::Program);
                                result = sendUserProgram(exchange, parts.program, shell);
                              }
                              return finish(shell, view, result, kSendFailed, kSendDone);
                            }};
  command.commErrorOnFailure = false;
  command.sends = {&parts.setup, &parts.screens, &parts.program};
  return command;
}

}  // namespace halvern

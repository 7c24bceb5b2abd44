#include "comparison/safe_send.h"

#include <filesystem>
#include <memory>

#include "collection/collection_commands.h"
#include "comparison/backups.h"
#include "comparison/comparison.h"
#include "link/command_exchange.h"
#include "platform/calendar.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "program/program_transfer.h"
#include "screens/screen_buffer.h"
#include "screens/screen_transfer.h"
#include "setup/setup_model.h"
#include "setup/setup_transfer.h"

namespace halvern {

namespace {

using namespace safe_send_text;

void warn(Shell& shell, const std::string& text) {
  shell.message(text, MessageKind::Warning, MessageButtons::Ok);
}

}  // namespace

CommandResult readInstrumentParts(CommandExchange& exchange, Shell& shell, const SentParts& which,
                                  BackupContents& into, std::string& failedPart) {
  const auto step = [&](bool wanted, const char* name, auto read) {
    if (!wanted) return CommandResult::Done;
    shell.processEvents();
    const CommandResult result = read();
    if (result != CommandResult::Done) failedPart = name;
    return result;
  };
  CommandResult result = step(which.setup != nullptr, "setup",
                              [&] { return getUserSettings(exchange, *into.setup, shell); });
  if (result == CommandResult::Done)
    result = step(which.screens != nullptr, "screens",
                  [&] { return getUserScreens(exchange, *into.screens, shell); });
  if (result == CommandResult::Done)
    result = step(which.program != nullptr, "program",
                  [&] { return getUserProgram(exchange, *into.program, shell); });
  return result;
}

namespace {

// The backup before the send: everything the instrument holds, whatever the send overwrites.
CommandResult backUp(CommandExchange& exchange, Shell& shell, const SafeSendOptions& options,
                     const SentParts& sent) {
  const std::string howOn = options.withoutBackup.empty() ? "" : "\n" + options.withoutBackup;
  if (!options.calendar) {
    shell.addMessageLine(kBackupFailed);
    warn(shell, "A backup needs the computer's date and time.\nNothing was sent." + howOn);
    return CommandResult::Refused;
  }
  if (const std::string problem = backupFolderProblem(options.backupFolder); !problem.empty()) {
    shell.addMessageLine(kBackupFailed);
    warn(shell, problem + "\nNothing was sent." + howOn);
    return CommandResult::Refused;
  }
  shell.addMessageLine(kBackingUp);
  auto contents = std::make_unique<BackupContents>();
  std::string failedPart;
  const SentParts everything{contents->setup.get(), contents->screens.get(),
                             contents->program.get()};
  const CommandResult read =
      readInstrumentParts(exchange, shell, everything, *contents, failedPart);
  if (read != CommandResult::Done) {
    shell.addMessageLine(read == CommandResult::Cancelled ? kBackupCancelled : kBackupFailed);
    if (read == CommandResult::Failed)
      warn(shell, "The 40100 could not be backed up before sending: its " + failedPart +
                      " could not be read.\nNothing was sent." + howOn);
    return read;
  }
  BackupName name;
  name.when = options.calendar->now();
  name.serial = options.serial;
  name.what = sentPartsName(sent);
  const WrittenBackup written = writeBackup(options.backupFolder, name, *contents);
  if (!written.problem.empty()) {
    shell.addMessageLine(kBackupFailed);
    warn(shell, written.problem + "\nNothing was sent." + howOn);
    return CommandResult::Refused;
  }
  shell.addMessageLine(std::string(kBackupSaved) + written.groupPath);
  if (options.keep > 0) {
    std::vector<std::string> spare = options.spare;
    spare.push_back(std::filesystem::path(written.groupPath).parent_path().filename().string());
    (void)pruneBackups(options.backupFolder, options.keep, spare);
  }
  return CommandResult::Done;
}

// The read-back after the send, compared with what was sent.
CommandResult verify(CommandExchange& exchange, Shell& shell, const SentParts& sent) {
  shell.addMessageLine(kVerifying);
  auto back = std::make_unique<BackupContents>();
  std::string failedPart;
  const CommandResult read = readInstrumentParts(exchange, shell, sent, *back, failedPart);
  if (read != CommandResult::Done) {
    shell.addMessageLine(kVerifyFailed);
    if (read == CommandResult::Failed)
      warn(shell, "The " + failedPart +
                      " could not be read back from the 40100, so what was sent is not "
                      "verified.");
    return read;
  }
  Comparison result;
  const auto add = [&result](Comparison part) {
    for (auto& d : part.differences) result.differences.push_back(std::move(d));
    if (!part.equal())
      for (auto& line : part.lines) result.lines.push_back(std::move(line));
    for (auto& line : part.notCompared) result.notCompared.push_back(std::move(line));
  };
  if (sent.setup) add(compareSetups(*sent.setup, *back->setup));
  if (sent.screens) add(compareScreens(*sent.screens, *back->screens));
  if (sent.program) add(comparePrograms(*sent.program, *back->program, {"sent", "40100"}));
  for (const std::string& line : result.lines) shell.addMessageLine(line);
  for (const std::string& line : result.notCompared) shell.addMessageLine(line);
  if (result.equal()) {
    shell.addMessageLine(kVerified);
    return CommandResult::Done;
  }
  shell.addMessageLine(kVerifyFailed);
  warn(shell,
       "The 40100 does not hold what was sent.\nThe differences are listed before \"VERIFY "
       "FAILED.\"");
  return CommandResult::Failed;
}

}  // namespace

std::string sentPartsName(const SentParts& sent) {
  const int parts = (sent.setup ? 1 : 0) + (sent.screens ? 1 : 0) + (sent.program ? 1 : 0);
  if (parts != 1) return "all";
  if (sent.setup) return "setup";
  return sent.screens ? "screens" : "program";
}

InstrumentCommand safeSend(const InstrumentCommand& send, SafeSendOptions options) {
  if (!send.sends.any() || (options.backupFolder.empty() && !options.verify)) return send;
  InstrumentCommand guarded = send;
  // The guard says what went wrong itself: the send's warning is given only for the send.
  guarded.commErrorOnFailure = false;
  guarded.run = [send, options](CommandExchange& exchange, Shell& shell) {
    if (!options.backupFolder.empty()) {
      if (const CommandResult backup = backUp(exchange, shell, options, send.sends);
          backup != CommandResult::Done)
        return backup;
      exchange.pause(kCollectionPause);
    }
    const CommandResult result = send.run(exchange, shell);
    if (result != CommandResult::Done) {
      if (result == CommandResult::Failed && send.commErrorOnFailure) commError(shell);
      return result;
    }
    if (!options.verify) return result;
    // The program send ends with a block it does not wait on: the read-back's first command
    // purges the link, so the instrument is given the time to take it first, as between the
    // parts of a collection.
    exchange.awaitSent();
    exchange.pause(kCollectionPause);
    return verify(exchange, shell, send.sends);
  };
  return guarded;
}

}  // namespace halvern

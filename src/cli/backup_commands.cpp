// The backups of halvern-cli: a send guarded by --backup DIR and --verify, the backups listed,
// and one of them sent back to the instrument.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "collection/collection_commands.h"
#include "comparison/backups.h"
#include "comparison/safe_send.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern::cli {

namespace {

InstrumentCommand guardSend(CliApp& app, const InstrumentCommand& send) {
  SafeSendOptions options;
  options.backupFolder = app.options().backupFolder;
  options.serial = app.bridgeSerial();
  options.calendar = &app.calendar();
  options.verify = app.options().verify;
  options.withoutBackup = "To send without a backup, leave out --backup.";
  return safeSend(send, options);
}

const CliSendGuard::Registration kGuard{&guardSend};

struct FolderArguments {
  std::string folder;
  std::string name;
};

std::string folderOf(const FolderArguments& args) {
  return args.folder.empty() ? defaultBackupFolder() : args.folder;
}

void addFolderOption(CLI::App& command, FolderArguments& args) {
  command
      .add_option("--from", args.folder,
                  "the folder of the backups (a --backup DIR); without it, the\n"
                  "window's backups folder")
      ->type_name("DIR");
}

int listTheBackups(CliApp& app, const FolderArguments& args) {
  const std::string folder = folderOf(args);
  const std::vector<Backup> backups = listBackups(folder);
  if (backups.empty()) {
    std::fprintf(app.out(), "No backups in %s.\n", folder.c_str());
    return kExitOk;
  }
  std::fprintf(app.out(), "Backups in %s, newest first:\n", folder.c_str());
  std::fprintf(app.out(), "%-48s %-19s  %-16s %s\n", "NAME", "MADE", "BRIDGE", "BEFORE");
  for (const Backup& b : backups) {
    std::fprintf(app.out(), "%-48s %-19s  %-16s %s\n", b.name.c_str(), backupTime(b.parsed).c_str(),
                 b.parsed.serial.empty() ? "-" : b.parsed.serial.c_str(),
                 backupBefore(b.parsed).c_str());
    if (b.damaged()) {
      std::string problem = b.problem;
      for (char& c : problem)
        if (c == '\n') c = ' ';
      std::fprintf(app.out(), "    DAMAGED, cannot be restored: %s\n", problem.c_str());
    }
  }
  return kExitOk;
}

CliCommand::Action defineBackups(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<FolderArguments>();
  addFolderOption(command, *args);
  return [&app, args] { return listTheBackups(app, *args); };
}

int restore(CliApp& app, const FolderArguments& args) {
  const std::string folder = folderOf(args);
  const std::optional<Backup> backup = findBackup(folder, args.name);
  if (!backup) {
    return app.fileError("There is no backup " + args.name + " in " + folder +
                         ".\n'halvern-cli backups' lists them.");
  }
  auto contents = std::make_unique<BackupContents>();
  if (const std::string problem = openBackup(*backup, *contents); !problem.empty())
    return app.fileError("The backup " + backup->name + " is damaged and cannot be restored.\n" +
                         problem);
  if (!app.connect()) return kExitFailed;
  const CollectionView view{};
  InstrumentCommand command = sendCollectionCommand(
      {*contents->setup, *contents->screens, *contents->program, app.calendar()}, view);
  const std::string question = restoreQuestion(*backup);
  command.refuse = [question](Shell& shell) {
    return shell.message(question, MessageKind::Confirmation, MessageButtons::YesNo) !=
           MessageResult::Yes;
  };
  const CommandResult result = app.runCommand(command);
  if (result == CommandResult::Done)
    std::fprintf(app.err(), "backup %s restored\n", backup->name.c_str());
  return exitStatus(result);
}

CliCommand::Action defineRestore(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<FolderArguments>();
  command.add_option("NAME", args->name, "the backup's name, as 'halvern-cli backups' lists it")
      ->required()
      ->type_name("");
  addFolderOption(command, *args);
  return [&app, args] { return restore(app, *args); };
}

const CliCommand::Registration kBackups{
    {"backups",
     "list the backups made before sends, newest first: name, when, the bridge's\n"
     "serial number and the send; a damaged one is marked and cannot be restored",
     &defineBackups}};
const CliCommand::Registration kRestore{
    {"restore",
     "send a backup's setup, screens and program back to the instrument (asks,\n"
     "naming it, unless --yes); a damaged backup sends nothing",
     &defineRestore, false, true}};

}  // namespace

}  // namespace halvern::cli

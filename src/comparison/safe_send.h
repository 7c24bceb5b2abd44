#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/instrument_command.h"

namespace halvern {

class Calendar;
struct BackupContents;

namespace safe_send_text {
inline constexpr std::string_view kBackingUp = "BACKING UP THE 40100...";
inline constexpr std::string_view kBackupSaved = "BACKUP SAVED: ";  // and the group file's path
inline constexpr std::string_view kBackupFailed = "BACKUP FAILED. NOTHING WAS SENT.";
inline constexpr std::string_view kBackupCancelled = "BACKUP CANCELLED. NOTHING WAS SENT.";
inline constexpr std::string_view kVerifying = "READING BACK WHAT WAS SENT...";
inline constexpr std::string_view kVerified = "VERIFIED.";
inline constexpr std::string_view kVerifyFailed = "VERIFY FAILED.";
}  // namespace safe_send_text

// What guards a send: a backup of what the instrument holds first, a read-back of what it holds
// after, or both.
struct SafeSendOptions {
  // Where the backup goes; empty for none.
  std::string backupFolder;
  // The bridge's serial number, for the backup's name; empty when unknown.
  std::string serial;
  // Where the backup's time comes from; without it no backup is made and nothing is sent.
  const Calendar* calendar = nullptr;
  // The newest backups kept after a new one (0: all of them); the new one is always kept, and so
  // are the backups named in `spare`.
  int keep = 0;
  std::vector<std::string> spare;
  // After the send, the parts sent are read back and compared with what was sent.
  bool verify = false;
  // How to send without a backup, said when a backup fails ("Turn off ..." in the window).
  std::string withoutBackup;
};

// `send` guarded as `options` say, for a command whose `sends` names what it sends (any other
// command is returned as it is). The closed-link text and the check stay the send's own, so a
// refused or declined send reads and writes nothing; then the backup: every part read from the
// instrument and written whole, the line "BACKUP SAVED: PATH"; a backup that fails sends nothing
// and says why and how to go on without one. Then the send; after it, with `verify`, the parts
// sent are read back into copies of their own and compared by what they mean: "VERIFIED.", or
// the differences, what was not compared and "VERIFY FAILED." with a warning, and the command
// fails.
InstrumentCommand safeSend(const InstrumentCommand& send, SafeSendOptions options);

// Reads the parts `which` names (those not null) from the instrument into `into`: the setup, the
// screens, the program, in that order. The first that does not come ends it and is named in
// `failedPart` ("setup", "screens" or "program").
CommandResult readInstrumentParts(CommandExchange& exchange, Shell& shell, const SentParts& which,
                                  BackupContents& into, std::string& failedPart);

// The name a backup made before `sent` carries: "setup", "screens", "program", or "all" when it
// sends more than one part.
std::string sentPartsName(const SentParts& sent);

}  // namespace halvern

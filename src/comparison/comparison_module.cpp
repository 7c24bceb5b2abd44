// Safe writes in the window: every send guarded by a backup of what the 40100 held and, when
// chosen, a read-back of what it holds after; File > Restore Backup... to send a backup back;
// Commands > Compare with 40100... to see what differs from what the window holds, and File >
// Compare Program with File... to see the program beside a program file's.
#include <QDialog>
#include <QFileInfo>
#include <QPushButton>
#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "collection/collection_commands.h"
#include "comparison/backups.h"
#include "comparison/comparison.h"
#include "comparison/comparison_dialogs.h"
#include "comparison/program_compare_dialog.h"
#include "comparison/safe_send.h"
#include "link/command_exchange.h"
#include "platform/link.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern {

namespace {

// Our own section of the settings file (where the file dialogs keep their folders), never the
// window's.
constexpr const char* kSection = "Halvern";
constexpr const char* kBackupKey = "Backup Before Sending";
constexpr const char* kVerifyKey = "Verify After Sending";

constexpr const char* kWithoutBackup =
    "To send without a backup, turn off Commands > Back up the 40100 before sending.";
constexpr const char* kCompareClosed = "Cannot Compare with 40100.\nUSB port is closed.";
constexpr const char* kRestoreClosed = "Cannot Restore Backup.\nUSB port is closed.";
constexpr const char* kComparing = "COMPARE WITH 40100...";
constexpr const char* kCompareFailed = "COMPARE WITH 40100 FAILED.";

// The two choices of the Commands menu, as the settings file keeps them.
struct SafeSendChoices {
  bool backup = true;
  bool verify = false;
  // The backup a restore is sending, kept when the backup before it makes room.
  std::string restoring;
};

void loadChoices(Document& document, const Settings& settings) {
  auto& choices = document.part<SafeSendChoices>();
  choices.backup = SettingsFile::value(settings, kSection, kBackupKey, 1) != 0;
  choices.verify = SettingsFile::value(settings, kSection, kVerifyKey, 0) != 0;
}

void saveChoices(Document& document, Settings& settings) {
  const auto& choices = document.part<SafeSendChoices>();
  SettingsFile::set(settings, kSection, kBackupKey, choices.backup ? 1 : 0);
  SettingsFile::set(settings, kSection, kVerifyKey, choices.verify ? 1 : 0);
}

std::string bridgeSerial(const Link& link) {
  const auto report = link.bridgeReport();
  return report ? report->lastSerial : std::string();
}

void warn(Shell& shell, std::string_view text) {
  shell.message(text, MessageKind::Warning, MessageButtons::Ok);
}

void compareWith1Click(PageHost& host) {
  auto instrument = std::make_unique<BackupContents>();
  std::string failedPart;
  InstrumentCommand read{kCompareClosed, nullptr,
                         [&instrument, &failedPart](CommandExchange& exchange, Shell& shell) {
                           shell.addMessageLine(kComparing);
                           const SentParts all{instrument->setup.get(), instrument->screens.get(),
                                               instrument->program.get()};
                           const CommandResult result =
                               readInstrumentParts(exchange, shell, all, *instrument, failedPart);
                           if (result != CommandResult::Done) shell.addMessageLine(kCompareFailed);
                           return result;
                         }};
  // The warning names the part that failed.
  read.commErrorOnFailure = false;
  const CommandResult result = host.runCommand(host.currentPage(), read);
  if (result == CommandResult::Failed) {
    warn(host.shell(), "The 40100's " + failedPart +
                           " could not be read, so nothing was compared.\nCheck the connection "
                           "and try again.");
  }
  if (result != CommandResult::Done) return;
  Document& document = host.document();
  const Comparison comparison = compareAll(
      {document.part<SetupModel>(), document.part<ScreenBuffer>(),
       document.part<ProgramDocument>()},
      {*instrument->setup, *instrument->screens, *instrument->program}, {"Halvern", "40100"});
  // A changed program line is a line removed and one added at one place: one difference.
  std::set<std::pair<ComparedPart, std::string>> places;
  for (const Difference& d : comparison.differences) places.emplace(d.part, d.item);
  const std::size_t count = places.size();
  const std::string summary =
      comparison.equal() ? std::string(kNoDifferences)
                         : std::to_string(count) + (count == 1 ? " difference" : " differences") +
                               " from the 40100.";
  host.shell().addMessageLine(comparison.equal() ? "NO DIFFERENCES FROM 40100."
                                                 : "DIFFERENCES FROM 40100 FOUND.");
  ComparisonDialog dialog(
      QStringLiteral("Compare with 40100"),
      QStringLiteral("What Halvern holds (-) against what the 40100 holds (+): %1")
          .arg(QString::fromStdString(summary)),
      comparison, host.dialogParent());
  QPushButton* sideBySide = dialog.addButton(QStringLiteral("Program &Side by Side..."));
  sideBySide->setEnabled(
      std::any_of(comparison.differences.begin(), comparison.differences.end(),
                  [](const Difference& d) { return d.part == ComparedPart::Program; }));
  QObject::connect(sideBySide, &QPushButton::clicked, &dialog, [&] {
    ProgramCompareDialog view(QStringLiteral("Compare Program with 40100"),
                              document.part<ProgramDocument>(), *instrument->program,
                              QStringLiteral("Halvern"), QStringLiteral("40100"), &dialog);
    view.adjustSize();
    host.runDialog(view);
  });
  dialog.adjustSize();
  host.runDialog(dialog);
}

// The window's program beside a program file's; returns the reader's warning when the file cannot
// be read.
std::string compareProgramWithFile(PageHost& host, const std::string& path) {
  auto file = std::make_unique<ProgramDocument>();
  if (std::string problem = loadProgramFile(path, *file); !problem.empty()) return problem;
  ProgramCompareDialog view(
      QStringLiteral("Compare Program with File"), host.document().part<ProgramDocument>(), *file,
      QStringLiteral("Halvern"), QFileInfo(QString::fromStdString(path)).fileName(),
      host.dialogParent());
  view.adjustSize();
  host.runDialog(view);
  return {};
}

void restoreBackup1Click(PageHost& host) {
  Shell& shell = host.shell();
  if (!host.exchange().linkOpen()) {
    warn(shell, kRestoreClosed);
    return;
  }
  const std::string folder = defaultBackupFolder();
  std::vector<Backup> backups;
  {
    const BusyCursor busy(shell);
    backups = listBackups(folder);
  }
  RestoreBackupDialog dialog(QString::fromStdString(folder), std::move(backups),
                             host.dialogParent());
  dialog.adjustSize();
  host.runDialog(dialog);
  if (dialog.result() != QDialog::Accepted || !dialog.chosen()) return;
  const Backup backup = *dialog.chosen();
  auto contents = std::make_unique<BackupContents>();
  // Read again: it may have changed since it was listed.
  if (const std::string problem = openBackup(backup, *contents); !problem.empty()) {
    warn(shell, "The backup " + backup.name + " is damaged and cannot be restored.\n" + problem);
    return;
  }
  const CollectionView view{};
  InstrumentCommand command = sendCollectionCommand(
      {*contents->setup, *contents->screens, *contents->program, host.calendar()}, view);
  command.refuse = [question = restoreQuestion(backup)](Shell& asked) {
    return asked.message(question, MessageKind::Confirmation, MessageButtons::YesNo) !=
           MessageResult::Yes;
  };
  auto& choices = host.document().part<SafeSendChoices>();
  choices.restoring = backup.name;
  (void)host.runCommand(host.currentPage(), command);
  choices.restoring.clear();
}

void installComparisonModule(PageHost& host) {
  auto& choices = host.document().part<SafeSendChoices>();
  host.setCheckHandler(MenuHandler::BackUpBeforeSending1Click, choices.backup,
                       [&choices](bool on) { choices.backup = on; });
  host.setCheckHandler(MenuHandler::VerifyAfterSending1Click, choices.verify,
                       [&choices](bool on) { choices.verify = on; });
  host.setSendGuard([&host, &choices](const InstrumentCommand& send) {
    SafeSendOptions options;
    if (choices.backup) options.backupFolder = defaultBackupFolder();
    options.serial = bridgeSerial(host.link());
    options.calendar = &host.calendar();
    options.keep = kBackupsKept;
    if (!choices.restoring.empty()) options.spare = {choices.restoring};
    options.verify = choices.verify;
    options.withoutBackup = kWithoutBackup;
    return safeSend(send, options);
  });
  host.setHandler(MenuHandler::CompareWith1Click, [&host] { compareWith1Click(host); });
  host.setHandler(MenuHandler::RestoreBackup1Click, [&host] { restoreBackup1Click(host); });
  using namespace program_file;
  host.setFileHandler(
      MenuHandler::CompareProgramWithFile1Click,
      {false,
       std::string(kProgramFilter),
       std::string(kProgramExtension),
       "Compare Program with File",
       {},
       "program",
       {}},
      [&host](const std::string& path) { return compareProgramWithFile(host, path); });
}

const Module::Registration kComparisonModule{
    {.name = "comparison",
     .order = 66,
     .install = &installComparisonModule,
     .settings = {{kSection, kBackupKey, 1}, {kSection, kVerifyKey, 0}},
     .loadSettings = &loadChoices,
     .saveSettings = &saveChoices}};

}  // namespace

}  // namespace halvern

// A guarded send against the simulated instrument's faults, on virtual time: a backup whose read
// fails sends nothing, a send that fails keeps its backup, a read-back that fails or finds
// something else fails the command; each ends within its bound.
#include "comparison/safe_send.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "comparison/backups.h"
#include "link/command_exchange.h"
#include "platform/shell.h"
#include "program/program_commands.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "setup/setup_commands.h"
#include "setup/setup_model.h"
#include "support/computer_bench.h"
#include "support/test_folder.h"

namespace halvern {
namespace {

using namespace std::chrono_literals;
using namespace safe_send_text;

enum class Phase { Backup, Send, Verify, None };

struct Row {
  const char* fault;
  bool backup;
  bool verify;
  Phase fails;
  std::chrono::milliseconds bound;
};

// A fresh instrument on its link for each case, with the computer's shell and exchange.
struct Bench : test::ComputerBench {
  explicit Bench(const char* fault) : ComputerBench(DateTime{2026, 5, 4, 9, 30, 0}) {
    EXPECT_TRUE(link.open());
    if (*fault) {
      EXPECT_EQ(instrument.faults().parse(fault), "") << fault;
    }
  }

  // Sends `screens`, their first and last cells changed, guarded as `row` says.
  CommandResult sendScreens(const Row& row, const std::string& folder) {
    const auto& held = instrument.screenMemory().cells();
    screens.setCell(0, 0, 0, held.front() == 'Z' ? 'Y' : 'Z');
    screens.setCell(7, 5, 39, held.back() == 'Z' ? 'Y' : 'Z');
    SafeSendOptions options;
    if (row.backup) options.backupFolder = folder;
    options.calendar = &calendar;
    options.verify = row.verify;
    options.withoutBackup = "Leave it out.";
    const auto start = clock.now();
    const CommandResult result =
        runInstrumentCommand(exchange, shell, safeSend(sendScreensCommand(screens), options));
    elapsed = clock.now() - start;
    return result;
  }

  ScreenBuffer screens;
  Clock::Duration elapsed{};
};

TEST(GuardedSend, EachFaultEndsInItsPhaseWithinItsBound) {
  const test::TestFolder folder("guarded");
  const std::string backupsFolder = (folder / "backups").string();
  const std::vector<Row> rows{
      {"", true, true, Phase::None, 15s},
      // The backup's reads: setup items, the screens, the program.
      {"235:silence", true, false, Phase::Backup, 5s},
      {"225:hangup::2", true, false, Phase::Backup, 2s},
      {"215:silence", true, false, Phase::Backup, 8s},
      {"215:cut::100", true, false, Phase::Backup, 8s},
      {"115:silence", true, false, Phase::Backup, 12s},
      {"115:dies", true, false, Phase::Backup, 12s},
      // The send itself.
      {"210:silence", true, false, Phase::Send, 12s},
      {"210:nostar", false, true, Phase::Send, 6s},
      // The read-back.
      {"215:silence", false, true, Phase::Verify, 6s},
      {"215:wrong", false, true, Phase::Verify, 6s},
      {"210:droprow", false, true, Phase::Verify, 6s},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.fault) + (row.backup ? " backup" : "") +
                 (row.verify ? " verify" : ""));
    std::filesystem::remove_all(backupsFolder);
    Bench b(row.fault);
    const auto heldBefore = b.instrument.screenMemory().cells();
    const CommandResult result = b.sendScreens(row, backupsFolder);
    EXPECT_LE(b.elapsed, row.bound);
    const std::size_t backups = listBackups(backupsFolder).size();
    const auto& lines = b.shell.lines;
    const auto& boxes = b.shell.boxes;
    ASSERT_FALSE(lines.empty());
    switch (row.fails) {
      case Phase::None:
        EXPECT_EQ(result, CommandResult::Done);
        EXPECT_EQ(backups, 1u);
        EXPECT_EQ(lines.back(), kVerified);
        EXPECT_TRUE(boxes.empty());
        break;
      case Phase::Backup:
        EXPECT_EQ(result, CommandResult::Failed);
        EXPECT_EQ(backups, 0u);
        EXPECT_EQ(lines.back(), kBackupFailed);
        EXPECT_EQ(b.instrument.screenMemory().cells(), heldBefore);  // nothing sent
        ASSERT_FALSE(boxes.empty());
        EXPECT_NE(boxes.back().text.find("Nothing was sent.\nLeave it out."), std::string::npos);
        break;
      case Phase::Send:
        EXPECT_EQ(result, CommandResult::Failed);
        EXPECT_EQ(backups, row.backup ? 1u : 0u);
        // The send's own warning, once; no read-back after a failed send.
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, kCommErrorText);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(kVerifying)), 0);
        break;
      case Phase::Verify:
        EXPECT_EQ(result, CommandResult::Failed);
        EXPECT_EQ(lines.back(), kVerifyFailed);
        ASSERT_FALSE(boxes.empty());
        break;
    }
  }
}

TEST(GuardedSend, WithNeitherTheSendIsUntouched) {
  const test::TestFolder folder("unguarded");
  Bench b("");
  const InstrumentCommand send = sendScreensCommand(b.screens);
  const InstrumentCommand same = safeSend(send, {});
  EXPECT_TRUE(same.commErrorOnFailure);
  EXPECT_EQ(same.sends.screens, &b.screens);
  // A command that sends nothing is never guarded.
  SetupModel setup;
  SafeSendOptions both;
  both.backupFolder = (folder / "backups").string();
  both.verify = true;
  const InstrumentCommand get = safeSend(getSetupCommand(setup), both);
  EXPECT_TRUE(get.commErrorOnFailure);
  ASSERT_EQ(runInstrumentCommand(b.exchange, b.shell, get), CommandResult::Done);
  EXPECT_EQ(std::count(b.shell.lines.begin(), b.shell.lines.end(), std::string(kBackingUp)), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "backups"));
}

TEST(SentPartsName, NamesTheOnePartOrAll) {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  EXPECT_EQ(sentPartsName({&setup, nullptr, nullptr}), "setup");
  EXPECT_EQ(sentPartsName({nullptr, &screens, nullptr}), "screens");
  EXPECT_EQ(sentPartsName({nullptr, nullptr, &program}), "program");
  EXPECT_EQ(sentPartsName({&setup, &screens, &program}), "all");
  EXPECT_EQ(sendProgramCommand(program).sends.program, &program);
}

}  // namespace
}  // namespace halvern

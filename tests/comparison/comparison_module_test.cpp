// Safe writes in the window: the backup before every send and its check item, the read-back,
// Restore Backup... and Compare with 40100..., against the simulated instrument; Compare Program
// with File... and the side-by-side view of programs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

#include "comparison/backups.h"
#include "comparison/comparison_dialogs.h"
#include "comparison/program_compare_dialog.h"
#include "program/program_file.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

class SafeWritesTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    const char* saved = std::getenv("XDG_DATA_HOME");
    savedDataHome = saved ? std::optional<std::string>(saved) : std::nullopt;
    setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ASSERT_TRUE(link.open());
  }
  void TearDown() override {
    if (savedDataHome) {
      setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
    WindowFixture::TearDown();
  }
  std::string backupFolder() const { return (folder / "data" / "halvern" / "backups").string(); }
  QString messages() const { return window->messageArea()->toPlainText(); }
  void trigger(MenuHandler handler) { window->action(handler)->trigger(); }
  // Triggers the item; `inDialog` runs with its dialog of type D open (rejected after, if open).
  template <class D>
  void withDialog(MenuHandler handler, const std::function<void(D&)>& inDialog) {
    dialogShown = false;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      dialogShown = true;
      inDialog(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    poll.start();
    trigger(handler);
  }

  std::optional<std::string> savedDataHome;
  bool dialogShown = false;
};

TEST_F(SafeWritesTest, EverySendIsBackedUpFirstUnlessTurnedOff) {
  const std::uint8_t heldBefore = instrument.screenMemory().cells()[0];
  window->document().part<ScreenBuffer>().setCell(0, 0, 0, heldBefore == 'Z' ? 'Y' : 'Z');
  trigger(MenuHandler::TxScreensClick);
  const std::string name = "2026-12-07_090503_screens";
  EXPECT_TRUE(messages().contains(
      QString::fromStdString("BACKUP SAVED: " + backupFolder() + "/" + name + "/" + name + ".ssp")))
      << messages().toStdString();
  EXPECT_TRUE(messages().endsWith("FINISHED SENDING SCREENS."));
  // The backup holds what the instrument held, the instrument what was sent.
  const auto backup = findBackup(backupFolder(), name);
  ASSERT_TRUE(backup);
  BackupContents held;
  ASSERT_EQ(openBackup(*backup, held), "");
  EXPECT_EQ(held.screens->bytes()[0], heldBefore);
  EXPECT_NE(instrument.screenMemory().cells()[0], heldBefore);

  // Turned off: the send goes as it always did.
  trigger(MenuHandler::BackUpBeforeSending1Click);
  EXPECT_FALSE(window->action(MenuHandler::BackUpBeforeSending1Click)->isChecked());
  window->messageArea()->clear();
  trigger(MenuHandler::TxSetupClick);
  EXPECT_FALSE(messages().contains("BACKING UP")) << messages().toStdString();
  EXPECT_EQ(listBackups(backupFolder()).size(), 1u);
}

TEST_F(SafeWritesTest, ABackupThatFailsSendsNothingAndSaysHowToGoOn) {
  // The backups folder is a file.
  fs::create_directories(folder / "data" / "halvern");
  std::ofstream(folder / "data" / "halvern" / "backups") << "x";
  const auto heldBefore = instrument.screenMemory().cells();
  window->document().part<ScreenBuffer>().setCell(0, 0, 0, heldBefore[0] == 'Z' ? 'Y' : 'Z');
  trigger(MenuHandler::TxScreensClick);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Nothing was sent."), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("turn off Commands > Back up the 40100 before sending"),
            std::string::npos);
  EXPECT_EQ(instrument.screenMemory().cells(), heldBefore);
  EXPECT_FALSE(messages().contains("SEND SCREENS"));
}

TEST_F(SafeWritesTest, TheReadBackCatchesADroppedRow) {
  trigger(MenuHandler::BackUpBeforeSending1Click);
  trigger(MenuHandler::VerifyAfterSending1Click);
  ASSERT_EQ(instrument.faults().parse("210:droprow:1"), "");
  auto& screens = window->document().part<ScreenBuffer>();
  screens.setCell(7, 5, 0, instrument.screenMemory().cells()[7 * 240 + 200] == 'L' ? 'M' : 'L');
  trigger(MenuHandler::TxScreensClick);
  EXPECT_TRUE(messages().contains("Screen 8, row 6\n-|")) << messages().toStdString();
  EXPECT_TRUE(messages().endsWith("VERIFY FAILED.")) << messages().toStdString();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("does not hold what was sent"), std::string::npos);
  // The fault struck once: the same send again verifies.
  trigger(MenuHandler::TxScreensClick);
  EXPECT_TRUE(messages().endsWith("VERIFIED.")) << messages().toStdString();
}

TEST_F(SafeWritesTest, RestoreSendsTheChosenBackupAfterAskingByName) {
  const auto heldBefore = instrument.screenMemory().cells();
  window->document().part<ScreenBuffer>().setCell(0, 0, 0, heldBefore[0] == 'Z' ? 'Y' : 'Z');
  trigger(MenuHandler::SendCollection1Click);
  ASSERT_NE(instrument.screenMemory().cells(), heldBefore);
  // A damaged one beside it is listed and cannot be chosen.
  BackupContents empty;
  const WrittenBackup damaged =
      writeBackup(backupFolder(), {{2026, 12, 7, 9, 6, 0}, "", "setup", 1}, empty);
  ASSERT_EQ(damaged.problem, "");
  fs::remove(fs::path(damaged.groupPath).replace_extension(".set"));

  boxes.clear();
  withDialog<RestoreBackupDialog>(
      MenuHandler::RestoreBackup1Click, [](RestoreBackupDialog& dialog) {
        ASSERT_EQ(dialog.list()->topLevelItemCount(), 2);
        EXPECT_TRUE(dialog.list()->topLevelItem(0)->text(3).startsWith("Damaged"));
        EXPECT_EQ(dialog.list()->topLevelItem(0)->flags(), Qt::NoItemFlags);
        // The newest that can be restored is chosen at first.
        EXPECT_EQ(dialog.list()->currentItem(), dialog.list()->topLevelItem(1));
        EXPECT_EQ(dialog.list()->topLevelItem(1)->text(2), "Send Setup/Screens/Program");
        ASSERT_TRUE(dialog.restoreButton()->isEnabled());
        dialog.restoreButton()->click();
      });
  ASSERT_TRUE(dialogShown);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].rfind("Restore the backup 2026-12-07_090503_all\n", 0), 0u) << boxes[0];
  EXPECT_EQ(instrument.screenMemory().cells(), heldBefore);
  EXPECT_TRUE(messages().endsWith("FINISHED SENDING SETUP/SCREENS/PROGRAM."));

  // Cancelled, nothing is sent.
  window->messageArea()->clear();
  withDialog<RestoreBackupDialog>(MenuHandler::RestoreBackup1Click, [](RestoreBackupDialog&) {});
  EXPECT_TRUE(dialogShown);
  EXPECT_EQ(messages(), "");
}

TEST_F(SafeWritesTest, CompareShowsWhatDiffersAndWhatWasNotCompared) {
  trigger(MenuHandler::GetCollection1Click);
  QString shown;
  QString heading;
  withDialog<ComparisonDialog>(MenuHandler::CompareWith1Click, [&](ComparisonDialog& dialog) {
    shown = dialog.text()->toPlainText();
    heading = dialog.heading()->text();
  });
  EXPECT_TRUE(heading.endsWith("No differences.")) << heading.toStdString();
  EXPECT_TRUE(shown.contains("Date and time are not compared."));

  window->document().part<SetupModel>().setKeypadLock(
      !window->document().part<SetupModel>().keypadLock());
  withDialog<ComparisonDialog>(MenuHandler::CompareWith1Click, [&](ComparisonDialog& dialog) {
    shown = dialog.text()->toPlainText();
    heading = dialog.heading()->text();
  });
  EXPECT_TRUE(shown.startsWith("Setup, Keypad Lock\n-")) << shown.toStdString();
  EXPECT_TRUE(heading.endsWith("1 difference from the 40100.")) << heading.toStdString();

  // A part that cannot be read: said, and nothing shown.
  ASSERT_EQ(instrument.faults().parse("215:silence"), "");
  boxes.clear();
  withDialog<ComparisonDialog>(MenuHandler::CompareWith1Click, [](ComparisonDialog&) {});
  EXPECT_FALSE(dialogShown);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("The 40100's screens could not be read", 0), 0u) << boxes[0];
}

// --- Programs side by side ----------------------------------------------------------------------

// The program's instructions: ALARM (opcode 1) with set1= typed as given, or ELSE (opcode 11).
void fill(ProgramDocument& program, const std::vector<std::string>& instructions) {
  for (std::size_t k = 0; k < instructions.size(); ++k) {
    const bool alarm = instructions[k] != "ELSE";
    ASSERT_EQ(program.insertInstruction(k, alarm ? 1 : 11), ProgramDocument::Edit::Done);
    if (alarm) {
      ASSERT_EQ(program.editFieldParameter(k, 1, instructions[k]), ProgramDocument::Edit::Done);
    }
  }
}

// The rows the view marks, as "ROW:LEFT|RIGHT"; a marked row is coloured on both sides.
std::vector<std::string> markedRows(const ProgramCompareDialog& view) {
  std::vector<std::string> rows;
  const QTableWidget& table = *view.rows();
  for (int row = 0; row < table.rowCount(); ++row) {
    const bool left = table.item(row, 0)->background().style() != Qt::NoBrush;
    EXPECT_EQ(left, table.item(row, 1)->background().style() != Qt::NoBrush) << row;
    if (left) {
      rows.push_back(std::to_string(row) + ":" + table.item(row, 0)->text().toStdString() + "|" +
                     table.item(row, 1)->text().toStdString());
    }
  }
  return rows;
}

TEST_F(SafeWritesTest, CompareProgramWithFileAlignsBothSidesRowByRow) {
  fill(window->document().part<ProgramDocument>(), {"0.5", "1.5", "2.5"});
  struct Case {
    const char* name;
    std::vector<std::string> file;
    std::vector<std::string> marked;
    int rows;
    const char* count;
  };
  // Each ALARM is 7 lines, then PGM END; the second's set1= is row 9.
  for (const Case& c : {Case{"a changed value",
                             {"0.50000", "9.25", "2.50000"},
                             {"9:    set1= 1.5|    set1= 9.25"},
                             22,
                             "1 difference."},
                        Case{"an instruction the file alone has",
                             {"0.5", "ELSE", "1.5", "2.5"},
                             {"7:|ELSE"},
                             23,
                             "1 difference."},
                        Case{"the same", {"0.5", "1.50", "2.5"}, {}, 22, "No differences."}}) {
    SCOPED_TRACE(c.name);
    auto file = std::make_unique<ProgramDocument>();
    fill(*file, c.file);
    ASSERT_EQ(saveProgramFile((folder / "site.pgm").string(), *file), "");
    choose("site.pgm");
    std::vector<std::string> marked;
    QString heading;
    QString fileColumn;
    int rowCount = 0;
    bool closedByEscape = false;
    withDialog<ProgramCompareDialog>(MenuHandler::CompareProgramWithFile1Click,
                                     [&](ProgramCompareDialog& view) {
                                       marked = markedRows(view);
                                       heading = view.heading()->text();
                                       fileColumn = view.rows()->horizontalHeaderItem(1)->text();
                                       rowCount = view.rows()->rowCount();
                                       QTest::keyClick(view.rows(), Qt::Key_Escape);
                                       closedByEscape = !view.isVisible();
                                     });
    ASSERT_TRUE(dialogShown);
    EXPECT_EQ(marked, c.marked);
    EXPECT_EQ(rowCount, c.rows);
    EXPECT_TRUE(heading.endsWith(c.count)) << heading.toStdString();
    EXPECT_EQ(fileColumn, "site.pgm");
    EXPECT_TRUE(closedByEscape);
  }
  EXPECT_EQ(requests.back().kind, "program");
  EXPECT_TRUE(boxes.empty());

  // A file that cannot be read: the reader's warning, no view.
  std::ofstream(folder / "short.pgm") << "not a program";
  choose("short.pgm");
  withDialog<ProgramCompareDialog>(MenuHandler::CompareProgramWithFile1Click,
                                   [](ProgramCompareDialog&) {});
  EXPECT_FALSE(dialogShown);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxKinds[0], MessageKind::Warning);
}

TEST_F(SafeWritesTest, CompareWith40100ShowsTheProgramSideBySideWhenItDiffers) {
  trigger(MenuHandler::GetCollection1Click);
  const auto sideBySide = [](ComparisonDialog& dialog) -> QPushButton* {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
      if (button->text() == "Program &Side by Side...") return button;
    }
    return nullptr;
  };
  bool enabled = true;
  withDialog<ComparisonDialog>(MenuHandler::CompareWith1Click, [&](ComparisonDialog& dialog) {
    ASSERT_TRUE(sideBySide(dialog));
    enabled = sideBySide(dialog)->isEnabled();
  });
  EXPECT_FALSE(enabled);

  ASSERT_EQ(window->document().part<ProgramDocument>().insertInstruction(0, 11),
            ProgramDocument::Edit::Done);
  std::vector<std::string> marked;
  QString title;
  withDialog<ComparisonDialog>(MenuHandler::CompareWith1Click, [&](ComparisonDialog& dialog) {
    QTimer::singleShot(0, [&] {
      if (auto* view = dynamic_cast<ProgramCompareDialog*>(QApplication::activeModalWidget())) {
        marked = markedRows(*view);
        title = view->windowTitle();
        view->reject();
      }
    });
    sideBySide(dialog)->click();
  });
  EXPECT_EQ(title, "Compare Program with 40100");
  EXPECT_EQ(marked, std::vector<std::string>{"0:ELSE|"});
}

}  // namespace
}  // namespace halvern

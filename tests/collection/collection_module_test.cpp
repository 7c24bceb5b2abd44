// The collection items of the window: Get/Send Setup/Screens/Pgm and the group file, against the
// simulated instrument and real files.
#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <filesystem>

#include "collection/group_file.h"
#include "program/program_document.h"
#include "program/program_page.h"
#include "records/records_page.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

class CollectionModuleTest : public test::WindowFixture {
 protected:
  void trigger(MenuHandler handler) { window->action(handler)->trigger(); }
  ProgramPage* programPage() { return dynamic_cast<ProgramPage*>(window->page(kProgramPage)); }
};

TEST_F(CollectionModuleTest, GetShowsTheNewProgramAndTheRememberedPage) {
  window->showPage(kRecordsPage);
  trigger(MenuHandler::GetCollection1Click);
  EXPECT_EQ(boxes.front(), "Get Setup/Screens/Pgm from 40100.\nOverwrite settings in Halvern?");
  EXPECT_EQ(window->currentPage(), kRecordsPage);
  EXPECT_TRUE(
      window->messageArea()->toPlainText().endsWith("FINISHED GETTING SETUP/SCREENS/PROGRAM."));
  // Every page it changed shows the change.
  EXPECT_EQ(programPage()->tree()->topLevelItemCount(),
            static_cast<int>(window->document().part<ProgramDocument>().instructionCount()));
  EXPECT_GT(programPage()->tree()->topLevelItemCount(), 1);

  trigger(MenuHandler::SendCollection1Click);
  EXPECT_TRUE(
      window->messageArea()->toPlainText().endsWith("FINISHED SENDING SETUP/SCREENS/PROGRAM."));
  EXPECT_EQ(window->currentPage(), kRecordsPage);
}

TEST_F(CollectionModuleTest, SaveThenOpenTheGroupWithItsName) {
  window->document().part<ProgramDocument>().insertInstruction(0, 13);
  choose("job.ssp");
  trigger(MenuHandler::SaveGroupClick);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].save);
  EXPECT_EQ(requests[0].filter, "Setup/Screens/Pgm Files (*.ssp)|*.ssp|All Files (*.*)|*.*");
  EXPECT_EQ(requests[0].defaultSuffix, "ssp");
  EXPECT_TRUE(std::filesystem::exists(folder / "job Screen 8.bmp"));
  EXPECT_EQ(window->document().part<CurrentGroup>().name, "job");

  window->document().part<ProgramDocument>().newProgram();
  window->document().part<CurrentGroup>().name.clear();
  boxes.clear();
  trigger(MenuHandler::OpenGroupClick);
  // The question first, then the dialog.
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0], "Overwrite Setup/Screens/Pgm in Halvern?");
  EXPECT_EQ(requests.back().filter, "Setup/Screens/Pgm File (*.ssp)|*.ssp|All Files (*.*)|*.*");
  EXPECT_EQ(window->document().part<CurrentGroup>().name, "job");
  EXPECT_EQ(programPage()->tree()->topLevelItemCount(), 2);
}

}  // namespace
}  // namespace halvern

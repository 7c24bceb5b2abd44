// The value-list dialog: the list drops down on a key, and Enter in it closes with OK; long
// lists, there and in the program page's instruction chooser, drop down 16 rows at a time.
#include "program/edit_type_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "program/program_document.h"
#include "program/program_page.h"
#include "support/recording_shell.h"

namespace halvern {
namespace {

const QStringList kEntries{"CR  ", "LF  ", "NONE", "CRLF"};

TEST(EditTypeDialog, AKeyDropsTheListDownAndEnterClosesWithOk) {
  EditTypeDialog dialog;
  dialog.setEntries(kEntries, 0);
  EXPECT_FALSE(dialog.list()->isEditable());
  dialog.show();
  EXPECT_FALSE(dialog.list()->view()->isVisible());
  QTest::keyClick(dialog.list(), Qt::Key_Down);
  EXPECT_TRUE(dialog.list()->view()->isVisible());
  EXPECT_EQ(dialog.selectedIndex(), 1);
  dialog.setResult(-1);
  QTest::keyClick(dialog.list()->view(), Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  // Enter picks the entry the key moved to, not the one the list dropped down on.
  EXPECT_EQ(dialog.selectedIndex(), 1);
}

// The rows of a dropped-down list that show whole.
int wholeRowsShown(QComboBox* box) {
  box->showPopup();
  QAbstractItemView* list = box->view();
  int rows = 0;
  const int height = list->viewport()->height();
  for (int i = 0; i < box->count(); ++i) {
    const QRect row = list->visualRect(list->model()->index(i, 0));
    if (row.top() >= 0 && row.bottom() < height) ++rows;
  }
  box->hidePopup();
  return rows;
}

TEST(EditTypeDialog, LongListsDropDownSixteenRows) {
  QStringList many;
  for (int i = 0; i < 40; ++i) many << QStringLiteral("ENTRY %1").arg(i);
  EditTypeDialog dialog;
  dialog.show();
  const struct {
    int entries;
    int rows;
  } cases[] = {{40, 16}, {17, 16}, {16, 16}, {4, 4}};
  for (const auto& c : cases) {
    dialog.setEntries(many.mid(0, c.entries), 0);
    EXPECT_EQ(wholeRowsShown(dialog.list()), c.rows) << c.entries;
  }

  // The instruction chooser, with every instruction of the pick list.
  ProgramDocument document;
  test::RecordingShell shell;
  QMenu popupMenu;
  ProgramPage page(document, shell, &popupMenu);
  page.resize(562, 470);
  page.show();
  ASSERT_GT(page.instructions()->count(), 16);
  EXPECT_EQ(wholeRowsShown(page.instructions()), 16);
}

}  // namespace
}  // namespace halvern

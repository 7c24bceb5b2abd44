// The value-list dialog: its entries, the list dropping down on a key, and how it closes.
#include "program/edit_type_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace halvern {
namespace {

const QStringList kEntries{"CR  ", "LF  ", "NONE", "CRLF"};

TEST(EditTypeDialog, ShowsTheEntriesWithTheStoredOneSelected) {
  EditTypeDialog dialog;
  dialog.setEntries(kEntries, 2);
  EXPECT_EQ(dialog.windowTitle(), "Edit Parameter Type");
  EXPECT_EQ(dialog.size(), QSize(221, 104));
  EXPECT_FALSE(dialog.list()->isEditable());
  ASSERT_EQ(dialog.list()->count(), 4);
  EXPECT_EQ(dialog.list()->itemText(3), "CRLF");
  EXPECT_EQ(dialog.selectedIndex(), 2);
}

TEST(EditTypeDialog, AKeyDropsTheListDownAndEnterClosesWithOk) {
  EditTypeDialog dialog;
  dialog.setEntries(kEntries, 0);
  dialog.show();
  EXPECT_FALSE(dialog.list()->view()->isVisible());
  QTest::keyClick(dialog.list(), Qt::Key_Down);
  EXPECT_TRUE(dialog.list()->view()->isVisible());
  EXPECT_EQ(dialog.selectedIndex(), 1);
  dialog.setResult(-1);
  QTest::keyClick(dialog.list()->view(), Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(EditTypeDialog, ButtonsAndOtherCloses) {
  const std::pair<const char*, int> cases[] = {
      {"ok", QDialog::Accepted}, {"cancel", QDialog::Rejected}, {"close", QDialog::Rejected}};
  for (const auto& [how, result] : cases) {
    SCOPED_TRACE(how);
    EditTypeDialog dialog;
    dialog.setEntries(kEntries, 3);
    dialog.show();
    dialog.setResult(-1);
    if (std::string_view(how) == "ok") {
      dialog.okButton()->click();
    } else if (std::string_view(how) == "cancel") {
      dialog.cancelButton()->click();
    } else {
      dialog.close();
    }
    EXPECT_EQ(dialog.result(), result);
    EXPECT_EQ(dialog.selectedIndex(), 3);
  }
}

}  // namespace
}  // namespace halvern

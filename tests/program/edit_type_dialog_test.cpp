// The value-list dialog: the list drops down on a key, and Enter in it closes with OK.
#include "program/edit_type_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

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
}

}  // namespace
}  // namespace halvern

// The one-field parameter dialogs: key rules with their beeps, width limits, and how they close.
#include "program/edit_field_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "support/recording_shell.h"

namespace halvern {
namespace {

using Kind = EditFieldDialog::Kind;

// Typed one key at a time; characters beyond ASCII as keys that carry their text.
void type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(w, static_cast<char>(c.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

TEST(EditFieldDialog, KeyRulesBeepForEveryRefusedKey) {
  struct Case {
    Kind kind;
    int width;
    QString keys;
    QString field;
    std::size_t beeps;
  } cases[] = {
      {Kind::Integer, 3, "1a-2.3", "123", 3},  // no sign: integers are never negative
      {Kind::Integer, 3, "98765", "987", 0},   // the width holds it
      {Kind::Decimal, 7, "1.2.3-x", "1.2.3-", 1},
      {Kind::Decimal, 7, "-0.5e2", "-0.52", 1},
      {Kind::Hex, 4, "aG9fZ", "a9f", 2},
      {Kind::Hex, 4, "ABCDE", "ABCD", 0},
      {Kind::Text, 25, "25\u00B0C <x>!", "25\u00B0C <x>!", 0},
      {Kind::Text, 25, "\u20AC\u03A9", "\u20AC", 1},  // a character the program text cannot hold
      {Kind::Text, 5, "WIMWVX", "WIMWV", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.toStdString());
    test::RecordingShell shell;
    EditFieldDialog dialog(c.kind, shell);
    dialog.setField(QString(), c.width);
    type(dialog.field(), c.keys);
    EXPECT_EQ(dialog.text(), c.field);
    EXPECT_EQ(shell.beeps.size(), c.beeps);
    // Backspace and the cursor keys are never refused.
    QTest::keyClick(dialog.field(), Qt::Key_Left);
    QTest::keyClick(dialog.field(), Qt::Key_End);
    QTest::keyClick(dialog.field(), Qt::Key_Backspace);
    EXPECT_EQ(dialog.text(), c.field.chopped(1));
    EXPECT_EQ(shell.beeps.size(), c.beeps);
  }
}

TEST(EditFieldDialog, PastedTextIsHeldToTheSameCharacters) {
  test::RecordingShell shell;
  EditFieldDialog dialog(Kind::Integer, shell);
  dialog.setField(QStringLiteral("12"), 4);
  dialog.field()->end(false);
  QApplication::clipboard()->setText(QStringLiteral("x9"));
  dialog.field()->paste();
  EXPECT_EQ(dialog.text(), "12");
  QApplication::clipboard()->setText(QStringLiteral("34"));
  dialog.field()->paste();
  EXPECT_EQ(dialog.text(), "1234");
}

TEST(EditFieldDialog, OpensWithTheWholeTextSelected) {
  test::RecordingShell shell;
  EditFieldDialog dialog(Kind::Decimal, shell);
  dialog.setField(QStringLiteral("1.00000"), 7);
  EXPECT_EQ(dialog.field()->selectedText(), "1.00000");
  QTest::keyClicks(dialog.field(), "2");  // replaces it
  EXPECT_EQ(dialog.text(), "2");
  EXPECT_EQ(dialog.field()->maxLength(), 7);
}

TEST(EditFieldDialog, EnterAndOkAcceptEveryOtherCloseCancels) {
  test::RecordingShell shell;
  struct Case {
    const char* how;
    std::function<void(EditFieldDialog&)> close;
    int result;
  } cases[] = {
      {"Enter", [](auto& d) { QTest::keyClick(d.field(), Qt::Key_Return); }, QDialog::Accepted},
      {"keypad Enter", [](auto& d) { QTest::keyClick(d.field(), Qt::Key_Enter); },
       QDialog::Accepted},
      {"Ok", [](auto& d) { d.okButton()->click(); }, QDialog::Accepted},
      {"Cancel", [](auto& d) { d.cancelButton()->click(); }, QDialog::Rejected},
      {"Escape", [](auto& d) { QTest::keyClick(d.field(), Qt::Key_Escape); }, QDialog::Rejected},
      {"close box", [](auto& d) { d.close(); }, QDialog::Rejected},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    EditFieldDialog dialog(Kind::Integer, shell);
    dialog.setField(QStringLiteral("5"), 3);
    dialog.show();
    dialog.setResult(-1);
    c.close(dialog);
    EXPECT_EQ(dialog.result(), c.result);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.text(), "5");  // Enter types nothing
  }
  EXPECT_TRUE(shell.beeps.empty());
}

}  // namespace
}  // namespace halvern

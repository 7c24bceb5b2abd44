// The User Program page offscreen: the editor's refusals and moves with the tree and the store in
// step, the dialogs' write-back, double click, the context menu gate; then the page in the window
// with its File and Commands items against the simulated instrument.
#include "program/program_page.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "app/menu_table.h"
#include "app/windows1252.h"
#include "platform/calendar.h"
#include "program/edit_field_dialog.h"
#include "program/edit_type_dialog.h"
#include "program/instruction_catalogue.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "setup/setup_page.h"
#include "sim/simulated_instrument.h"
#include "sim/simulated_link.h"
#include "support/recording_shell.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

constexpr std::uint16_t kBeep = 3;
constexpr std::uint16_t kDisplayText = 8;
constexpr std::uint16_t kFlagSet = 13;
constexpr std::uint16_t kFlagSetMask = 14;
constexpr std::uint16_t kLocEqualsValue = 34;

// The tree as the page shows it, in the document's terms.
std::vector<ProgramNode> shownTree(const QTreeWidget* tree) {
  std::vector<ProgramNode> nodes;
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = tree->topLevelItem(i);
    ProgramNode node{Windows1252::fromUnicode(item->text(0)), {}};
    for (int j = 0; j < item->childCount(); ++j)
      node.children.push_back(Windows1252::fromUnicode(item->child(j)->text(0)));
    nodes.push_back(std::move(node));
  }
  return nodes;
}

void expectInStep(const ProgramPage& page, const ProgramDocument& document) {
  const auto shown = shownTree(page.tree());
  EXPECT_EQ(shown, document.tree());
  EXPECT_EQ(ProgramDocument::mismatch(document.store(), shown), std::nullopt);
}

std::vector<std::uint16_t> opcodes(const ProgramDocument& d) {
  std::vector<std::uint16_t> out;
  for (std::size_t k = 0; k < d.instructionCount(); ++k) out.push_back(d.store()[k].opcode());
  return out;
}

// Types `keys` into an edit dialog's field, or presses Down once per key in a list dialog; then
// Enter if `ok`. The dialog's answer.
int typeAndAnswer(QDialog& dialog, const QString& keys, bool ok) {
  if (auto* field = dynamic_cast<EditFieldDialog*>(&dialog)) {
    for (QChar ch : keys)
      QTest::sendKeyEvent(QTest::Click, field->field(), Qt::Key_unknown, QString(ch),
                          Qt::NoModifier);
    if (ok) QTest::keyClick(field->field(), Qt::Key_Return);
  } else if (auto* list = dynamic_cast<EditTypeDialog*>(&dialog)) {
    for (int n = 0; n < keys.size(); ++n) QTest::keyClick(list->list(), Qt::Key_Down);
    if (ok) QTest::keyClick(list->list(), Qt::Key_Return);
  }
  return ok ? dialog.result() : int(QDialog::Rejected);
}

// The page alone, over its own document, with a shell that records boxes and beeps.
class ProgramEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& def : kPopupMenu) {
      auto* action = new QAction(QString::fromUtf8(def.caption), &menu);
      action->setObjectName(QString::fromUtf8(def.handlerName));
      action->setShortcut(QKeySequence(QString::fromUtf8(def.shortcut)));
      action->setEnabled(def.handler != MenuHandler::Paste1Click);
      menu.addAction(action);
    }
    page = std::make_unique<ProgramPage>(document, shell, &menu);
    page->setDialogRunner([this](QDialog& dialog) {
      ++dialogsRun;
      return answer ? answer(dialog) : int(QDialog::Rejected);
    });
    page->resize(562, 470);
    page->show();
    QApplication::setActiveWindow(page.get());
  }
  void TearDown() override {
    menu.hide();
    page.reset();
  }

  QAction* action(MenuHandler handler) {
    for (const auto& def : kPopupMenu)
      if (def.handler == handler) return menu.findChild<QAction*>(def.handlerName);
    return nullptr;
  }
  void enableEdit() {
    if (!page->enableEdit()->isChecked()) page->enableEdit()->click();
  }
  // The program BEEP, FLAG SET, ..., PGM END through the pick list.
  void build(std::initializer_list<std::uint16_t> program) {
    enableEdit();
    selectInstruction(document.instructionCount() - 1);
    for (std::uint16_t opcode : program) {
      page->instructions()->setCurrentIndex(opcode - 1);
      page->insertButton()->click();
    }
  }
  void selectInstruction(std::size_t k) {
    page->tree()->setCurrentItem(page->tree()->topLevelItem(static_cast<int>(k)));
  }
  void selectParameter(std::size_t k, std::size_t j) {
    page->tree()->setCurrentItem(
        page->tree()->topLevelItem(static_cast<int>(k))->child(static_cast<int>(j)));
  }
  QTreeWidgetItem* item(std::size_t k) { return page->tree()->topLevelItem(static_cast<int>(k)); }
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : shell.boxes) out.push_back(b.text);
    return out;
  }
  // A double click as the mouse gives it: a click, then the second press.
  void doubleClick(QTreeWidgetItem* i) {
    const QPoint at = centreOf(i);
    QTest::mouseClick(page->tree()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(page->tree()->viewport(), Qt::LeftButton, {}, at);
  }
  QPoint centreOf(QTreeWidgetItem* i) {
    page->tree()->scrollToItem(i);
    return page->tree()->visualItemRect(i).center();
  }

  QMenu menu;
  ProgramDocument document;
  test::RecordingShell shell;
  std::unique_ptr<ProgramPage> page;
  std::function<int(QDialog&)> answer;
  int dialogsRun = 0;
};

TEST_F(ProgramEditorTest, StartsWithPgmEndAndEditingDisabled) {
  ASSERT_EQ(page->tree()->topLevelItemCount(), 1);
  EXPECT_EQ(item(0)->text(0), "PGM END");
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 1");
  EXPECT_EQ(page->notes()->toPlainText(), "Add User Program Notes here...");
  EXPECT_FALSE(action(MenuHandler::Paste1Click)->isEnabled());

  QWidget* six[] = {page->editButton(), page->insertButton(),  page->deleteButton(),
                    page->newButton(),  page->confirmDelete(), page->instructions()};
  for (QWidget* w : six) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  page->enableEdit()->click();
  for (QWidget* w : six) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(page->tree()->hasFocus());
  page->enableEdit()->click();
  for (QWidget* w : six) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(ProgramEditorTest, RefusalsChangeNothing) {
  build({kBeep, kFlagSet});
  page->copy1Click();  // nothing selected yet: refused, Paste stays disabled
  EXPECT_FALSE(action(MenuHandler::Paste1Click)->isEnabled());
  selectInstruction(0);
  page->copy1Click();  // so that Paste has something to refuse
  shell.boxes.clear();

  enum class Select { Nothing, Instruction, Parameter, PgmEnd };
  struct Case {
    const char* handler;
    void (ProgramPage::*run)();
    Select select;
    const char* box;  // nullptr: a beep
  } cases[] = {
      {"delete button", &ProgramPage::buttonDelPgmClick, Select::Nothing,
       "Please select an instruction to delete."},
      {"delete button", &ProgramPage::buttonDelPgmClick, Select::PgmEnd,
       "PGM END cannot be deleted."},
      {"delete button", &ProgramPage::buttonDelPgmClick, Select::Parameter,
       "Parameters cannot be deleted.\nPlease select an instruction"},
      {"Delete", &ProgramPage::delete1Click, Select::Nothing,
       "Please select an instruction to delete."},
      {"Delete", &ProgramPage::delete1Click, Select::PgmEnd, "PGM END cannot be deleted."},
      {"Delete", &ProgramPage::delete1Click, Select::Parameter,
       "Parameters cannot be deleted.\nPlease select an instruction."},
      {"Copy", &ProgramPage::copy1Click, Select::Nothing, "Please select an instruction to copy."},
      {"Copy", &ProgramPage::copy1Click, Select::PgmEnd, "PGM END cannot be copied."},
      {"Copy", &ProgramPage::copy1Click, Select::Parameter,
       "Parameters cannot be copied.\nPlease select an instruction."},
      {"Cut", &ProgramPage::cut1Click, Select::Nothing, "Please select an instruction to cut."},
      {"Cut", &ProgramPage::cut1Click, Select::PgmEnd, "PGM END cannot be cut."},
      {"Cut", &ProgramPage::cut1Click, Select::Parameter,
       "Parameters cannot be cut.\nPlease select an instruction."},
      {"Edit", &ProgramPage::buttonEditPgmClick, Select::Nothing, "Please select a parameter"},
      {"Edit", &ProgramPage::buttonEditPgmClick, Select::Instruction,
       "Cannot edit an instruction.\nPlease select a parameter."},
      {"Insert", &ProgramPage::buttonInsPgmClick, Select::Nothing, nullptr},
      {"Insert", &ProgramPage::buttonInsPgmClick, Select::Parameter, nullptr},
      {"Paste", &ProgramPage::paste1Click, Select::Nothing, nullptr},
      {"Paste", &ProgramPage::paste1Click, Select::Parameter, nullptr},
  };
  // Each Select made, in the enum's order.
  const std::function<void()> select[] = {
      [&] { page->tree()->setCurrentItem(nullptr); }, [&] { selectInstruction(1); },
      [&] { selectParameter(1, 1); }, [&] { selectInstruction(2); }};
  const ProgramStore store = document.store();
  const auto tree = document.tree();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.handler) + " " + std::to_string(int(c.select)));
    shell.boxes.clear();
    shell.beeps.clear();
    select[int(c.select)]();
    (page.get()->*c.run)();
    if (c.box) {
      EXPECT_EQ(boxTexts(), std::vector<std::string>{c.box});
      EXPECT_EQ(shell.boxes.front().kind, MessageKind::Warning);
      EXPECT_TRUE(shell.beeps.empty());
    } else {
      EXPECT_TRUE(shell.boxes.empty());
      EXPECT_EQ(shell.beeps.size(), 1u);
    }
    EXPECT_EQ(document.store(), store);
    EXPECT_EQ(document.tree(), tree);
    expectInStep(*page, document);
  }
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(ProgramEditorTest, InsertAndDeleteMoveRecordsAndLines) {
  // With PGM END selected, each new instruction goes last before it.
  build({kBeep, kFlagSet, kLocEqualsValue});
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kBeep, kFlagSet, kLocEqualsValue, 0}));
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 004 ");
  expectInStep(*page, document);
  ASSERT_EQ(item(2)->childCount(), 2);
  EXPECT_EQ(item(2)->child(1)->text(0), "val= 0.00000");
  // Each instruction tells what its parameters take, in the tree and in the pick list.
  EXPECT_TRUE(item(1)->toolTip(0).startsWith("FLAG SET\nflag#= whole number, 0 to 99, default 01"))
      << item(1)->toolTip(0).toStdString();
  EXPECT_EQ(item(3)->toolTip(0), "PGM END\nNo parameters.");
  EXPECT_EQ(page->instructions()->itemData(kBeep - 1, Qt::ToolTipRole).toString(),
            item(0)->toolTip(0));

  // Before the selected instruction; the selection stays on it, one place down.
  selectInstruction(1);
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 002 ");
  page->instructions()->setCurrentIndex(kFlagSetMask - 1);
  page->insertButton()->click();
  EXPECT_EQ(opcodes(document),
            (std::vector<std::uint16_t>{kBeep, kFlagSetMask, kFlagSet, kLocEqualsValue, 0}));
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 003 ");
  EXPECT_EQ(page->tree()->selectedItems(), QList<QTreeWidgetItem*>{item(2)});
  EXPECT_EQ(item(1)->child(0)->text(0), "mask= 0000");
  expectInStep(*page, document);

  // A parameter selection leaves the label alone.
  selectParameter(3, 0);
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 003 ");

  // Delete instruction 1: the rest move up; the one now in its place is selected.
  selectInstruction(0);
  shell.answers = {MessageResult::Yes};
  page->deleteButton()->click();
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Delete selected instruction?"});
  EXPECT_EQ(shell.boxes[0].kind, MessageKind::Confirmation);
  EXPECT_EQ(shell.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(opcodes(document),
            (std::vector<std::uint16_t>{kFlagSetMask, kFlagSet, kLocEqualsValue, 0}));
  EXPECT_EQ(page->tree()->selectedItems(), QList<QTreeWidgetItem*>{item(0)});
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 001 ");
  expectInStep(*page, document);

  // No keeps it; without Confirm nothing is asked; the context menu never asks.
  shell.boxes.clear();
  shell.answers = {MessageResult::No};
  page->deleteButton()->click();
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(document.instructionCount(), 4u);
  page->confirmDelete()->click();
  page->deleteButton()->click();
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kFlagSet, kLocEqualsValue, 0}));
  page->confirmDelete()->click();
  page->delete1Click();
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kLocEqualsValue, 0}));
  expectInStep(*page, document);
}

TEST_F(ProgramEditorTest, CutPasteMovesAnInstructionWithItsValues) {
  build({kBeep, kFlagSet, kLocEqualsValue});
  document.editListParameter(1, 1, 1);  // state= ON
  page->showProgram();
  selectInstruction(1);
  page->cut1Click();
  EXPECT_TRUE(action(MenuHandler::Paste1Click)->isEnabled());
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kBeep, kLocEqualsValue, 0}));
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 002 ");
  expectInStep(*page, document);

  selectInstruction(0);
  page->paste1Click();
  page->paste1Click();  // one copy, pasted again
  EXPECT_EQ(opcodes(document),
            (std::vector<std::uint16_t>{kFlagSet, kFlagSet, kBeep, kLocEqualsValue, 0}));
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 003 ");
  EXPECT_EQ(item(0)->child(1)->text(0), "state= ON ");
  EXPECT_EQ(item(1)->child(1)->text(0), "state= ON ");
  EXPECT_EQ(document.store()[0], document.store()[1]);
  EXPECT_TRUE(shell.boxes.empty());
  expectInStep(*page, document);
}

TEST_F(ProgramEditorTest, FiveHundredTwelveInstructionsIsTheLimit) {
  for (std::size_t k = 0; k < 510; ++k) document.insertInstruction(0, kBeep);
  page->showProgram();
  enableEdit();
  selectInstruction(0);
  page->copy1Click();

  // 511 lines: one more fits, and PGM END becomes instruction 512.
  selectInstruction(510);
  page->insertButton()->click();
  ASSERT_EQ(page->tree()->topLevelItemCount(), 512);
  EXPECT_EQ(item(511)->text(0), "PGM END");
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 512 ");
  expectInStep(*page, document);

  const ProgramStore store = document.store();
  page->insertButton()->click();
  page->paste1Click();
  EXPECT_EQ(boxTexts(),
            (std::vector<std::string>{"Instruction count limited to 512.\nCannot Insert.",
                                      "Instruction count limited to 512.\nCannot insert."}));
  EXPECT_EQ(document.store(), store);
  EXPECT_EQ(page->tree()->topLevelItemCount(), 512);
}

TEST_F(ProgramEditorTest, NewProgramAsksFirst) {
  build({kBeep, kFlagSet});
  selectInstruction(1);
  const auto tree = document.tree();
  shell.answers = {MessageResult::No};
  page->newButton()->click();
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>{"Erase all current instructions to start a new program?"});
  EXPECT_EQ(shell.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(document.tree(), tree);
  EXPECT_EQ(page->tree()->topLevelItemCount(), 3);

  shell.answers = {MessageResult::Yes};
  page->newButton()->click();
  ASSERT_EQ(page->tree()->topLevelItemCount(), 1);
  EXPECT_EQ(item(0)->text(0), "PGM END");
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 1");
  EXPECT_TRUE(page->tree()->hasFocus());
  EXPECT_EQ(document.store()[1].opcode(), 0);
  EXPECT_EQ(document.store()[1].valueText(0), "01");  // other bytes stay
  expectInStep(*page, document);
}

TEST_F(ProgramEditorTest, EveryDialogKindWritesBackOnOkOnly) {
  build({kBeep, kDisplayText, kFlagSetMask, kLocEqualsValue});
  const std::string degree = "\xB0";
  struct Case {
    std::size_t k, j;
    const char* caption;
    QString shownFirst;  // the field as the dialog opens, or the list's entry
    QString keys;        // typed, or Down presses for the list
    std::string line;
  } cases[] = {
      {0, 0, "Edit Integer Number", "1", "7", "num= 7"},
      {1, 2, "Edit Integer Number", "01", "x5", "col= 05"},
      {1, 3, "Edit Text", "", QString::fromUtf8("25\u00B0C"),
       "text= 25" + degree + "C" + std::string(21, ' ')},
      {2, 0, "Edit Hex Number", "0000", "ab", "mask= 00AB"},
      {3, 1, "Edit Decimal Number", "0.00000", "1.2.3", "val= 1.2.3"},
      {2, 1, "Edit Parameter Type", "OFF", "\x1", "state= ON "},
      {1, 4, "Edit Parameter Type", "SMALL", "\x1", "font= BIG  "},
      // The degree sign comes back as the dialog opens again.
      {1, 3, "Edit Text", QString::fromUtf8("25\u00B0C"), "",
       "text= 25" + degree + "C" + std::string(21, ' ')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    for (bool ok : {false, true}) {
      const ProgramStore store = document.store();
      const auto tree = document.tree();
      QString caption, first;
      answer = [&](QDialog& dialog) {
        caption = dialog.windowTitle();
        if (auto* field = dynamic_cast<EditFieldDialog*>(&dialog)) first = field->text();
        if (auto* list = dynamic_cast<EditTypeDialog*>(&dialog))
          first = list->list()->currentText();
        return typeAndAnswer(dialog, c.keys, ok);
      };
      selectParameter(c.k, c.j);
      page->editButton()->click();
      EXPECT_EQ(caption, c.caption);
      EXPECT_EQ(first, c.shownFirst);
      if (ok) {
        EXPECT_EQ(Windows1252::fromUnicode(item(c.k)->child(int(c.j))->text(0)), c.line);
        EXPECT_EQ(document.tree()[c.k].children[c.j], c.line);
      } else {
        EXPECT_EQ(document.store(), store);
        EXPECT_EQ(document.tree(), tree);
      }
      expectInStep(*page, document);
    }
  }
  EXPECT_EQ(document.store()[1].text(), "25~C");
  EXPECT_EQ(document.store()[2].intValue(0), 0xAB);
  EXPECT_FLOAT_EQ(document.store()[3].floatValue(1), 1.2f);
  EXPECT_EQ(shell.beeps.size(), 2u);  // the "x" typed into the integer field, Cancel and OK
}

TEST_F(ProgramEditorTest, DoubleClickEditsOnlyWhileEditing) {
  build({kBeep});
  page->buttonExpandClick();
  page->enableEdit()->click();  // off

  // An instruction line: nothing (beyond folding).
  doubleClick(item(0));
  EXPECT_TRUE(shell.boxes.empty());
  EXPECT_EQ(dialogsRun, 0);

  page->buttonExpandClick();
  doubleClick(item(0)->child(0));
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Enable Edit must be checked."});
  EXPECT_EQ(dialogsRun, 0);

  page->enableEdit()->click();
  doubleClick(item(0)->child(0));
  EXPECT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(dialogsRun, 1);
}

TEST_F(ProgramEditorTest, ContextMenuAndItsShortcutsOnlyWhileEditing) {
  build({kBeep});
  page->enableEdit()->click();  // off
  selectInstruction(0);
  QWidget* viewport = page->tree()->viewport();
  auto rightClick = [&] {
    const QPoint at = centreOf(item(0));
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
  };
  rightClick();
  EXPECT_FALSE(menu.isVisible());
  page->tree()->setFocus();
  QTest::keyClick(page->tree(), Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(page->tree(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_FALSE(action(MenuHandler::Paste1Click)->isEnabled());
  EXPECT_EQ(document.instructionCount(), 2u);

  page->enableEdit()->click();
  rightClick();
  EXPECT_TRUE(menu.isVisible());
  menu.hide();
  selectInstruction(0);
  QTest::keyClick(page->tree(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(action(MenuHandler::Paste1Click)->isEnabled());
  QTest::keyClick(page->tree(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kBeep, kBeep, 0}));
  QTest::keyClick(page->tree(), Qt::Key_Delete, Qt::ControlModifier);  // no confirmation
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kBeep, 0}));
  EXPECT_TRUE(shell.boxes.empty());
  expectInStep(*page, document);
}

// Undoing a parameter edit shows the line as it was, selected, with its instruction's number.
TEST_F(ProgramEditorTest, UndoOfAParameterEditSelectsTheLine) {
  build({kBeep, kFlagSet, kLocEqualsValue});
  const std::string before = document.tree()[2].children[0];
  answer = [](QDialog& dialog) { return typeAndAnswer(dialog, "42", true); };
  selectParameter(2, 0);
  page->editButton()->click();
  ASSERT_EQ(document.tree()[2].children[0], "loc= 042");
  selectInstruction(0);
  page->history().stack().undo();
  EXPECT_EQ(item(2)->child(0)->text(0).toStdString(), before);
  EXPECT_EQ(page->tree()->currentItem(), item(2)->child(0));
  EXPECT_EQ(page->labelInstrNum()->text(), "Instruction 003 ");
  page->history().stack().redo();
  EXPECT_EQ(item(2)->child(0)->text(0), "loc= 042");
  expectInStep(*page, document);
}

// While the pick list is dropped down, the pane beside it tells what the highlighted
// instruction's parameters take; it goes with the list.
TEST_F(ProgramEditorTest, HelpPaneBesideThePickList) {
  enableEdit();
  QComboBox* list = page->instructions();
  list->setCurrentIndex(kDisplayText - 1);
  list->showPopup();
  QLabel* pane = page->helpPane();
  ASSERT_TRUE(pane->isVisible());
  EXPECT_EQ(pane->text(), list->itemData(kDisplayText - 1, Qt::ToolTipRole).toString());
  EXPECT_TRUE(pane->text().contains("font= one of: SMALL, BIG"));
  QTest::keyClick(list->view(), Qt::Key_Down);
  EXPECT_EQ(pane->text().section('\n', 0, 0), list->itemText(kDisplayText));
  // Beside the list, not over it.
  EXPECT_FALSE(pane->geometry().intersects(list->view()->window()->geometry()));
  list->hidePopup();
  EXPECT_FALSE(pane->isVisible());
}

// The tree's keys: Insert, Delete (asking as the button does), Enter to edit a parameter or open
// an instruction; Find over the listing's lines, forward and back, starting again at the end.
TEST_F(ProgramEditorTest, KeysOfTheTreeAndFind) {
  QTest::keyClick(page->tree(), Qt::Key_Insert);  // not while editing is off
  EXPECT_EQ(document.instructionCount(), 1u);
  build({kBeep, kFlagSet, kLocEqualsValue});
  selectInstruction(1);
  page->instructions()->setCurrentIndex(kDisplayText - 1);
  QTest::keyClick(page->tree(), Qt::Key_Insert);
  EXPECT_EQ(opcodes(document),
            (std::vector<std::uint16_t>{kBeep, kDisplayText, kFlagSet, kLocEqualsValue, 0}));
  selectInstruction(1);
  shell.answers = {MessageResult::Yes};
  QTest::keyClick(page->tree(), Qt::Key_Delete);
  EXPECT_EQ(boxTexts().back(), "Delete selected instruction?");
  EXPECT_EQ(opcodes(document), (std::vector<std::uint16_t>{kBeep, kFlagSet, kLocEqualsValue, 0}));
  EXPECT_FALSE(item(2)->isExpanded());
  selectInstruction(2);
  QTest::keyClick(page->tree(), Qt::Key_Return);
  EXPECT_TRUE(item(2)->isExpanded());
  selectParameter(2, 0);
  answer = [](QDialog& dialog) { return typeAndAnswer(dialog, "42", true); };
  QTest::keyClick(page->tree(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(document.tree()[2].children[0], "loc= 042");

  // Found in a parameter line of a closed instruction: it opens, and the line is selected.
  page->buttonCollapseClick();
  selectInstruction(0);
  ASSERT_TRUE(page->find("LOC=", true));
  EXPECT_EQ(page->tree()->currentItem(), item(2)->child(0));
  EXPECT_TRUE(item(2)->isExpanded());
  ASSERT_TRUE(page->find(QString::fromStdString(document.tree()[0].text), true));  // wraps
  EXPECT_EQ(page->tree()->currentItem(), item(0));
  ASSERT_TRUE(page->find("PGM", false));  // backwards, from the first line to the last
  EXPECT_EQ(page->tree()->currentItem(), item(3));
  EXPECT_FALSE(page->find("no such line", true));
  EXPECT_EQ(page->tree()->currentItem(), item(3));
}

TEST_F(ProgramEditorTest, NotesAreTheDocumentsLines) {
  page->notes()->setPlainText(QString::fromUtf8("Wind \u00B0\nline two\n"));
  EXPECT_EQ(document.notes(), (std::vector<std::string>{"Wind \xB0", "line two"}));
  page->notes()->clear();
  EXPECT_TRUE(document.notes().empty());
  document.notes() = {"a", "", "b", ""};
  page->showNotes();
  EXPECT_EQ(document.notes(), (std::vector<std::string>{"a", "", "b", ""}));
  page->notes()->appendPlainText(QString());  // touched: read back as the same lines plus one
  EXPECT_EQ(document.notes(), (std::vector<std::string>{"a", "", "b", "", ""}));
}

}  // namespace
}  // namespace halvern

namespace halvern {
namespace {

// The page in the window, its menu items against the simulated instrument and real files.
class ProgramWindowTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<ProgramPage*>(window->page(kProgramPage));
    ASSERT_NE(page, nullptr);
  }
  ProgramDocument& document() { return window->document().part<ProgramDocument>(); }
  void trigger(MenuHandler handler) { window->action(handler)->trigger(); }
  QTreeWidgetItem* item(int k) { return page->tree()->topLevelItem(k); }

  ProgramPage* page = nullptr;
};

TEST_F(ProgramWindowTest, BuiltEditedSavedReopenedSentAndReadBack) {
  EXPECT_EQ(window->currentPage(), kProgramPage);
  EXPECT_EQ(window->popupMenu(), page->popupMenu());

  // Built from the pick list.
  page->enableEdit()->click();
  page->tree()->setCurrentItem(item(0));
  for (std::uint16_t opcode : {kBeep, kDisplayText, kFlagSetMask, kLocEqualsValue}) {
    page->instructions()->setCurrentIndex(opcode - 1);
    page->insertButton()->click();
  }
  // Edited through every kind of dialog: the runner types the keys and presses Enter.
  const std::string text = "text= T=25\xB0" + std::string("C");
  struct Edit {
    int k, j;
    QString keys;  // Down presses for a list
    std::string line;
  } edits[] = {{0, 0, "9", "num= 9"},
               {1, 3, QString::fromUtf8("T=25\u00B0C"), text + std::string(19, ' ')},
               {1, 4, "v", "font= BIG  "},
               {2, 0, "beef", "mask= BEEF"},
               {3, 0, "42", "loc= 042"},
               {3, 1, "-12.5", "val= -12.5"}};
  for (const auto& e : edits) {
    page->setDialogRunner([&e](QDialog& dialog) { return typeAndAnswer(dialog, e.keys, true); });
    page->tree()->setCurrentItem(item(e.k)->child(e.j));
    page->editButton()->click();
    EXPECT_EQ(document().tree()[e.k].children[e.j], e.line);
  }
  const std::vector<ProgramNode> edited = document().tree();
  expectInStep(*page, document());
  EXPECT_TRUE(boxes.empty());

  // Saved and reopened: every record byte and every line.
  const ProgramStore store = document().store();
  choose("built.pgm");
  trigger(MenuHandler::SavePgmFileClick);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].save);
  EXPECT_EQ(requests[0].filter, "User Program Files (*.pgm)|*.pgm|All Files (*.*)|*.*");
  EXPECT_EQ(requests[0].defaultSuffix, "pgm");
  page->newButton()->click();
  EXPECT_EQ(boxes,
            std::vector<std::string>{"Erase all current instructions to start a new program?"});
  EXPECT_EQ(page->tree()->topLevelItemCount(), 1);
  trigger(MenuHandler::OpenPgmFileClick);
  EXPECT_FALSE(requests.back().save);
  EXPECT_EQ(document().store(), store);
  EXPECT_EQ(document().tree(), edited);
  expectInStep(*page, document());

  // Sent to the instrument, the window's program erased, and read back.
  trigger(MenuHandler::TxUserProgramClick);
  EXPECT_EQ(instrument.programMemory().program().size(), 5u);
  page->newButton()->click();
  trigger(MenuHandler::RxProgramClick);
  EXPECT_EQ(boxes.size(), 2u);  // only the two New Program questions
  std::vector<ProgramNode> received = edited;
  received[1].children[3] = text;  // a received text is not padded
  EXPECT_EQ(document().tree(), received);
  expectInStep(*page, document());
  EXPECT_EQ(document().store()[1].text(), "T=25~C");
  EXPECT_EQ(document().store()[2].intValue(0), 0xBEEF);
  EXPECT_EQ(document().store()[3].floatValue(1), -12.5f);
  EXPECT_EQ(window->focusWidget(), page->tree());
  // The send was backed up first, as the window does by default.
  const std::string shown = window->messageArea()->toPlainText().toStdString();
  EXPECT_EQ(shown.rfind("BACKING UP THE 40100...\n", 0), 0u) << shown;
  EXPECT_TRUE(
      shown.ends_with("\nSEND USER PROGRAM...\nFINISHED SENDING USER PROGRAM.\n"
                      "GET USER PROGRAM...\nFIRST HEADER...\nLAST HEADER...\n"
                      "FINISHED GETTING USER PROGRAM."))
      << shown;
  EXPECT_TRUE(window->action(MenuHandler::RxProgramClick)->isEnabled());
  EXPECT_TRUE(window->action(MenuHandler::TxUserProgramClick)->isEnabled());
}

TEST_F(ProgramWindowTest, ClosedLinkAndFailedTransfers) {
  const auto tree = document().tree();
  window->showPage(kSetupPage);
  link.close();
  trigger(MenuHandler::RxProgramClick);
  trigger(MenuHandler::TxUserProgramClick);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Cannot Get User Program.\nUSB port is closed.",
                                             "Cannot Send User Program.\nUSB port is closed."}));
  EXPECT_EQ(window->currentPage(), kSetupPage);
  EXPECT_TRUE(window->messageArea()->toPlainText().isEmpty());

  link.open();
  boxes.clear();
  instrument.faults().set(115, {sim::FaultKind::Silence, -1, "", -1});
  trigger(MenuHandler::RxProgramClick);
  EXPECT_EQ(window->currentPage(), kProgramPage);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Too many errors.\nGet 40100 User Program failed.",
                                             std::string(kCommErrorText)}));
  EXPECT_EQ(document().tree(), tree);
  EXPECT_EQ(page->tree()->topLevelItemCount(), 1);
}

TEST_F(ProgramWindowTest, FileErrorsChangeNothingAndNotesRoundTrip) {
  page->enableEdit()->click();
  page->tree()->setCurrentItem(item(0));
  page->insertButton()->click();
  const auto tree = document().tree();
  const ProgramStore store = document().store();

  // A file too short to hold a program, and a file whose text part skips a level.
  std::ofstream(folder / "short.pgm", std::ios::binary) << std::string(100, '\0');
  std::string skipped = writeProgramBytes(ProgramDocument{});
  skipped.insert(skipped.size() - 9, "BEEP\r\n\t\tnum= 1\r\n");
  std::ofstream(folder / "skipped.pgm", std::ios::binary) << skipped;
  for (const char* name : {"short.pgm", "skipped.pgm", "missing.pgm"}) {
    SCOPED_TRACE(name);
    boxes.clear();
    choose(name);
    trigger(MenuHandler::OpenPgmFileClick);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(document().tree(), tree);
    EXPECT_EQ(document().store(), store);
    expectInStep(*page, document());
  }
  boxes.clear();
  chosenFile = QString::fromStdString((folder / "no such folder" / "a.pgm").string());
  trigger(MenuHandler::SavePgmFileClick);
  EXPECT_EQ(boxes.size(), 1u);

  // Notes: saved under the name as typed, read back into the field.
  boxes.clear();
  choose("notes");
  trigger(MenuHandler::SavePgmNotesFile1Click);
  EXPECT_EQ(requests.back().filter, "");
  EXPECT_EQ(requests.back().defaultSuffix, "");
  std::ifstream in(folder / "notes", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "Add User Program Notes here...\r\n");
  page->notes()->setPlainText(QStringLiteral("changed"));
  trigger(MenuHandler::OpenPgmNotesFile1Click);
  EXPECT_EQ(requests.back().filter, "Pgm Notes (*.nts)|*.nts|All Files (*.*)|*.*");
  EXPECT_EQ(page->notes()->toPlainText(), "Add User Program Notes here...");
  EXPECT_EQ(document().notes(), std::vector<std::string>{"Add User Program Notes here..."});
  EXPECT_TRUE(boxes.empty());
}

// Ten instructions deleted by mistake come back with one Ctrl+Z each; the title marks the
// unsaved changes and follows undo back to the saved program; closing asks, and a save cancelled
// keeps the window open.
TEST_F(ProgramWindowTest, DeletesUndoneOneCtrlZEachAndUnsavedChangesAreKept) {
  const QString caption = QString::fromUtf8(MainWindow::kCaption);
  page->enableEdit()->click();
  page->tree()->setCurrentItem(item(0));
  for (int n = 0; n < 12; ++n) {
    page->instructions()->setCurrentIndex((n * 5) % 52);
    page->insertButton()->click();
  }
  EXPECT_EQ(window->windowTitle(), "*" + caption);
  choose("kept.pgm");
  trigger(MenuHandler::SavePgmFileClick);
  EXPECT_EQ(window->windowTitle(), caption);
  const std::vector<ProgramNode> saved = document().tree();

  page->confirmDelete()->setChecked(false);
  page->tree()->setFocus();
  page->tree()->setCurrentItem(item(1));
  const std::string second = document().tree()[1].text;
  for (int n = 0; n < 10; ++n) QTest::keyClick(page->tree(), Qt::Key_Delete);
  EXPECT_EQ(document().instructionCount(), 3u);
  EXPECT_EQ(window->windowTitle(), "*" + caption);
  QAction* undo = window->action(MenuHandler::Undo1Click);
  EXPECT_TRUE(undo->isEnabled());
  for (int n = 0; n < 10; ++n) {
    EXPECT_TRUE(undo->text().startsWith("&Undo Delete ")) << undo->text().toStdString();
    QTest::keyClick(page->tree(), Qt::Key_Z, Qt::ControlModifier);
  }
  EXPECT_EQ(undo->text(), "&Undo Insert " + QString::fromStdString(document().tree()[11].text));
  EXPECT_EQ(document().tree(), saved);
  expectInStep(*page, document());
  EXPECT_EQ(window->windowTitle(), caption);
  EXPECT_EQ(window->action(MenuHandler::Redo1Click)->text(),
            "&Redo Delete " + QString::fromStdString(second));

  // Cut and Paste from the Edit menu, on the tree's selection; Paste waits for something cut.
  page->tree()->setCurrentItem(item(2));
  const std::string third = document().tree()[2].text;
  window->updateCommandStates();
  EXPECT_FALSE(window->action(MenuHandler::EditPaste1Click)->isEnabled());
  trigger(MenuHandler::EditCut1Click);
  EXPECT_EQ(undo->text(), "&Undo Cut " + QString::fromStdString(third));
  window->updateCommandStates();
  ASSERT_TRUE(window->action(MenuHandler::EditPaste1Click)->isEnabled());
  trigger(MenuHandler::EditPaste1Click);
  EXPECT_EQ(document().tree()[2].text, third);
  QTest::keyClick(page->tree(), Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(page->tree(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(document().tree(), saved);

  // Redone with Ctrl+Shift+Z: changed again; closing asks, the save dialog is cancelled and the
  // window stays; then saved and it closes.
  QTest::keyClick(page->tree(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(document().instructionCount(), 12u);
  const std::size_t asked = boxes.size();
  chosenFile.clear();
  EXPECT_FALSE(window->close());
  ASSERT_EQ(boxes.size(), asked + 1);
  EXPECT_EQ(boxes.back(), "Save changes to the user program?");
  EXPECT_TRUE(window->isVisible());
  const std::size_t dialogs = requests.size();
  answers = {MessageResult::Cancel};
  EXPECT_FALSE(window->close());
  EXPECT_EQ(requests.size(), dialogs);  // Cancel: no save dialog
  choose("closing.pgm");
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(std::filesystem::exists(folder / "closing.pgm"));
}

// Nothing changed: closing asks nothing. Changed, then Discard: it closes and saves nothing.
TEST_F(ProgramWindowTest, ClosingAsksOnlyAboutChangesAndDiscardSavesNothing) {
  page->enableEdit()->click();
  page->newButton()->click();  // new already: nothing changed
  EXPECT_EQ(window->windowTitle(), QString::fromUtf8(MainWindow::kCaption));
  const std::size_t asked = boxes.size();
  EXPECT_TRUE(window->close());
  EXPECT_EQ(boxes.size(), asked);
  window->show();
  page->tree()->setCurrentItem(item(0));
  page->insertButton()->click();
  answers = {MessageResult::No};
  EXPECT_TRUE(window->close());
  EXPECT_EQ(boxes.back(), "Save changes to the user program?");
  EXPECT_TRUE(requests.empty());
}

}  // namespace
}  // namespace halvern

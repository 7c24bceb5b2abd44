#pragma once

#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/page_host.h"
#include "program/program_history.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace halvern {

class ProgramDocument;
class Shell;

// The page among the window's tabs.
inline constexpr Page kProgramPage{"User Program", "TabSheetUserPgm"};

// The User Program page: a thin view of the ProgramDocument. The tree shows the program, one
// top-level line per instruction and one child line per parameter; every edit goes to the
// document, and the tree follows it line by line. The parameter dialogs open beside the
// "&Edit Parameter" button. The context menu (Cut, Copy, Paste, Delete) opens on a right click
// only while "Enable Edit" is checked, and its shortcuts act on the tree only then too.
class ProgramPage : public QWidget, public PageView {
 public:
  // Runs a modal dialog and returns its result (QDialog::Accepted or Rejected). Tests answer
  // dialogs through this instead of exec().
  using DialogRunner = std::function<int(QDialog&)>;

  // `popupMenu` holds the actions Cut1Click, Copy1Click, Paste1Click and Delete1Click.
  ProgramPage(ProgramDocument& document, Shell& shell, QMenu* popupMenu, QWidget* parent = nullptr);

  void setDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }
  // Where a parameter dialog's top-left corner goes; unset: beside the Edit Parameter button.
  void setDialogPlacement(std::function<QPoint()> placement) { m_placement = std::move(placement); }

  // After the document's program was replaced as a whole (instrument, file): the tree rebuilt,
  // nothing selected, the instruction label as at start. After its notes were replaced: the
  // notes shown anew.
  void refresh() override;
  // The whole tree expanded, as Expand does.
  void expandAll() override { buttonExpandClick(); }
  // The tree rebuilt from the document (also after a new program).
  void showProgram();
  // Shows the document's notes after they were replaced.
  void showNotes();

  ProgramDocument& document() { return m_document; }
  // The undo history of the program, and whether it or the notes have unsaved changes.
  ProgramHistory& history() { return m_history; }

  // Enter on the tree: a parameter is edited (while editing), an instruction opened or closed.
  void enterPressed();
  // Finds `text` (any case) in the listing's lines after the selected line, or before it,
  // starting again at the other end; the line found is selected, its instruction opened. False
  // when no line holds it.
  bool find(const QString& text, bool forward);
  // Edit > Find...: asks what to find and finds it forward; F3 and Shift+F3 find it again.
  void findClick();
  void findAgain(bool forward);

  // The handlers.
  void checkBoxEditPgmClick();
  void buttonInsPgmClick();
  void buttonDelPgmClick();
  void buttonNewPgmClick();
  void treeViewPgmChange();
  void buttonEditPgmClick();
  void treeViewPgmDblClick();
  void buttonExpandClick();
  void buttonCollapseClick();
  void cut1Click();
  void copy1Click();
  void paste1Click();
  void delete1Click();

  // The controls, by their role (for the window and the tests).
  QTreeWidget* tree() const { return m_tree; }
  QLabel* labelInstrNum() const { return m_labelInstrNum; }
  QComboBox* instructions() const { return m_instructions; }
  QPushButton* editButton() const { return m_edit; }
  QPushButton* insertButton() const { return m_insert; }
  QPushButton* deleteButton() const { return m_delete; }
  QPushButton* newButton() const { return m_new; }
  QCheckBox* enableEdit() const { return m_enableEdit; }
  QCheckBox* confirmDelete() const { return m_confirmDelete; }
  QPushButton* expandButton() const { return m_expand; }
  QPushButton* collapseButton() const { return m_collapse; }
  QPlainTextEdit* notes() const { return m_notes; }
  QMenu* popupMenu() const { return m_popupMenu; }
  // The pane beside the dropped-down pick list.
  QLabel* helpPane() const { return m_helpPane; }

 private:
  // Insert, Delete and Enter on the tree.
  bool eventFilter(QObject* watched, QEvent* event) override;

  struct Selection {
    std::size_t instruction;
    std::optional<std::size_t> parameter;
  };
  std::optional<Selection> selection() const;
  bool isPgmEnd(std::size_t k) const;
  // The tree item of instruction k, made from the document's lines.
  QTreeWidgetItem* makeItem(std::size_t k) const;
  void insertItem(std::size_t k);
  void select(QTreeWidgetItem* item);
  void setInstructionLabel(std::size_t k);
  // Refusals of Delete, Copy and Cut: nothing selected, PGM END, a parameter.
  bool refuse(const char* nothing, const char* pgmEnd, const char* parameter) const;
  void deleteSelected(const char* parameterRefusal, bool mayConfirm, bool cut = false);
  void follow(const ProgramChange& change, bool undone);
  void insertSelected(const char* fullText, bool paste);
  void editParameter(std::size_t k, std::size_t j);
  QPoint dialogPosition() const;
  void notesEdited();
  void treeContextMenu(const QPoint& at);

  ProgramDocument& m_document;
  Shell& m_shell;
  ProgramHistory m_history;
  QString m_findText;
  QMenu* m_popupMenu;
  QAction* m_paste = nullptr;
  DialogRunner m_runDialog;
  std::function<QPoint()> m_placement;

  QTreeWidget* m_tree = nullptr;
  QLabel* m_labelInstrNum = nullptr;
  QComboBox* m_instructions = nullptr;
  QLabel* m_helpPane = nullptr;
  QPushButton* m_edit = nullptr;
  QPushButton* m_insert = nullptr;
  QPushButton* m_delete = nullptr;
  QPushButton* m_new = nullptr;
  QCheckBox* m_enableEdit = nullptr;
  QCheckBox* m_confirmDelete = nullptr;
  QPushButton* m_expand = nullptr;
  QPushButton* m_collapse = nullptr;
  QPlainTextEdit* m_notes = nullptr;
  std::uint64_t m_shownProgram = 0;
  std::uint64_t m_shownNotes = 0;
};

}  // namespace halvern

// The user program subsystem in the window: the User Program page with its context menu, Get
// User Program and Send User Program, and the program and notes file items of the File menu.
#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <tuple>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "platform/shell.h"
#include "program/program_commands.h"
#include "program/program_file.h"
#include "program/program_page.h"

namespace halvern {

namespace {

constexpr const char* kSaveQuestion = "Save changes to the user program?";

// The Edit menu: undo and redo of the program, the editing keys of the tree, and Find.
void installEditMenu(PageHost& host, ProgramPage* page) {
  ProgramHistory& history = page->history();
  QUndoStack& stack = history.stack();
  auto showing = [&host](auto run) {
    return [&host, run] {
      host.showPage(kProgramPage);
      run();
    };
  };
  host.setHandler(MenuHandler::Undo1Click, showing([&stack] { stack.undo(); }));
  host.setHandler(MenuHandler::Redo1Click, showing([&stack] { stack.redo(); }));
  host.setAvailability(MenuHandler::Undo1Click, [&stack] { return stack.canUndo(); });
  host.setAvailability(MenuHandler::Redo1Click, [&stack] { return stack.canRedo(); });
  host.action(MenuHandler::Redo1Click)
      ->setShortcuts(
          {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
  // The items say what they take back or make again: "Undo Delete WINDSPD".
  auto caption = [](QAction* item, const QString& verb, const QString& what) {
    QString step = what;
    item->setText(what.isEmpty() ? verb : verb + QLatin1Char(' ') + step.replace('&', "&&"));
  };
  QObject::connect(&stack, &QUndoStack::undoTextChanged, page,
                   [&host, caption](const QString& text) {
                     caption(host.action(MenuHandler::Undo1Click), QStringLiteral("&Undo"), text);
                   });
  QObject::connect(&stack, &QUndoStack::redoTextChanged, page,
                   [&host, caption](const QString& text) {
                     caption(host.action(MenuHandler::Redo1Click), QStringLiteral("&Redo"), text);
                   });
  for (auto signal : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged})
    QObject::connect(&stack, signal, page, [&host] { host.updateCommandStates(); });

  // The tree's own keys: the page takes Insert, Delete and Enter from the tree itself, and the
  // context menu's actions Ctrl+X, C and V. The items list them and act only while Enable Edit is
  // checked; their keys are shown beside them but never bound here, so that a key pressed in a
  // dialog or another control never reaches the program.
  const auto editing = [page] { return page->enableEdit()->isChecked(); };
  const std::tuple<MenuHandler, std::function<void()>, std::function<bool()>> keys[] = {
      {MenuHandler::EditCut1Click, [page] { page->cut1Click(); }, editing},
      {MenuHandler::EditCopy1Click, [page] { page->copy1Click(); }, editing},
      {MenuHandler::EditPaste1Click, [page] { page->paste1Click(); },
       [editing, &document = page->document()] { return editing() && document.canPaste(); }},
      {MenuHandler::InsertInstruction1Click, [page] { page->buttonInsPgmClick(); }, editing},
      {MenuHandler::DeleteInstruction1Click, [page] { page->buttonDelPgmClick(); }, editing},
      {MenuHandler::EditParameter1Click, [page] { page->enterPressed(); }, editing},
  };
  for (const auto& [handler, run, available] : keys) {
    host.setHandler(handler, showing(run));
    host.setAvailability(handler, available);
    QAction* item = host.action(handler);
    const QString key = item->shortcut().toString(QKeySequence::NativeText);
    item->setShortcut(QKeySequence());
    item->setText(item->text() + QLatin1Char('\t') + key);
  }
  // What can be pasted changes with the context menu's Copy and Cut: asked as the menu opens.
  for (QObject* menu : host.action(MenuHandler::Undo1Click)->associatedObjects()) {
    if (auto* edit = qobject_cast<QMenu*>(menu))
      QObject::connect(edit, &QMenu::aboutToShow, page, [&host] { host.updateCommandStates(); });
  }

  host.setHandler(MenuHandler::Find1Click, showing([page] { page->findClick(); }));
  host.setHandler(MenuHandler::FindNext1Click, showing([page] { page->findAgain(true); }));
  host.setHandler(MenuHandler::FindPrevious1Click, showing([page] { page->findAgain(false); }));

  // Unsaved changes: the window's title shows them, and closing asks first.
  history.setModifiedListener([&host](bool modified) { host.setModified(modified); });
  host.addCloseCheck([&host, &history] {
    if (!history.modified()) return true;
    const MessageResult answer = host.shell().message(kSaveQuestion, MessageKind::Confirmation,
                                                      MessageButtons::SaveDiscardCancel);
    if (answer == MessageResult::No) return true;
    if (answer != MessageResult::Yes) return false;
    // While an operation runs the File items wait for it, and so does the window.
    if (!host.action(MenuHandler::SavePgmFileClick)->isEnabled()) return false;
    // Save: the program and then the notes, each through its own File item; a dialog cancelled
    // or a save that failed keeps the window open.
    if (history.programModified()) host.trigger(MenuHandler::SavePgmFileClick);
    if (!history.programModified() && history.notesModified())
      host.trigger(MenuHandler::SavePgmNotesFile1Click);
    return !history.modified();
  });
}

void installProgramModule(PageHost& host) {
  ProgramDocument& document = host.document().part<ProgramDocument>();
  auto* page = new ProgramPage(document, host.shell(), host.popupMenu());
  host.setPage(kProgramPage, page, page, &document);
  installEditMenu(host, page);

  // New Program replaces the program: not while an instrument operation runs. The page enables
  // it with Enable Edit; the host has the last word after each click.
  host.registerInstrumentButton(page->newButton(),
                                [page] { return page->enableEdit()->isChecked(); });
  QObject::connect(page->enableEdit(), &QCheckBox::clicked, page,
                   [&host] { host.updateCommandStates(); });

  host.setHandler(MenuHandler::RxProgramClick, [&host, &document, page] {
    if (host.runCommand(kProgramPage, getProgramCommand(document)) == CommandResult::Done)
      page->tree()->setFocus();
  });
  host.setHandler(MenuHandler::TxUserProgramClick, [&host, &document] {
    (void)host.runCommand(kProgramPage, sendProgramCommand(document));
  });

  using namespace program_file;
  const std::string filter(kProgramFilter), suffix(kProgramExtension);
  auto& doc = document;
  host.setFileHandler(MenuHandler::SavePgmFileClick,
                      {true, filter, suffix, std::string(kProgramSaveTitle), {}, "program", {}},
                      [&doc](const std::string& path) { return saveProgramFile(path, doc); });
  host.setFileHandler(MenuHandler::OpenPgmFileClick,
                      {false, filter, suffix, std::string(kProgramOpenTitle), {}, "program", {}},
                      [&doc](const std::string& path) { return loadProgramFile(path, doc); });
  // The notes are saved under the name exactly as typed: no filter, no extension added.
  host.setFileHandler(MenuHandler::SavePgmNotesFile1Click,
                      {true, {}, {}, std::string(kNotesSaveTitle), {}, "notes", {}},
                      [&doc](const std::string& path) { return saveNotesFile(path, doc); });
  host.setFileHandler(MenuHandler::OpenPgmNotesFile1Click,
                      {false,
                       std::string(kNotesFilter),
                       std::string(kNotesExtension),
                       std::string(kNotesOpenTitle),
                       std::string(kNotesInitialName),
                       "notes",
                       {}},
                      [&doc](const std::string& path) { return loadNotesFile(path, doc); });
}

// The page the window opens on.
const Module::Registration kProgramModule{{.name = "program",
                                           .order = 30,
                                           .install = &installProgramModule,
                                           .page = kProgramPage,
                                           .shownAtStart = true}};

}  // namespace

}  // namespace halvern

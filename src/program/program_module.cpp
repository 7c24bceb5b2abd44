// The user program subsystem in the window: the User Program page with its context menu, Get
// User Program and Send User Program, and the program and notes file items of the File menu.
#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "program/program_commands.h"
#include "program/program_file.h"
#include "program/program_page.h"

namespace halvern {

namespace {

void installProgramModule(PageHost& host) {
  ProgramDocument& document = host.document().part<ProgramDocument>();
  auto* page = new ProgramPage(document, host.shell(), host.popupMenu());
  host.setPage(kProgramPage, page, page, &document);

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

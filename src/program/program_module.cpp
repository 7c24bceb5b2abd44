// The user program subsystem in the window: the User Program page with its context menu, Get
// User Program and Send User Program, and the program and notes file items of the File menu.
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
  ProgramDocument& document = host.document().program;
  auto* page = new ProgramPage(document, host.shell(), host.programPopupMenu());
  host.setPage(Page::UserProgram, page, page);

  host.setHandler(MenuHandler::RxProgramClick, [&host, &document, page] {
    if (host.runCommand(Page::UserProgram, getProgramCommand(document)) == CommandResult::Done)
      page->tree()->setFocus();
  });
  host.setHandler(MenuHandler::TxUserProgramClick, [&host, &document] {
    (void)host.runCommand(Page::UserProgram, sendProgramCommand(document));
  });

  using namespace program_file;
  host.setHandler(MenuHandler::SavePgmFileClick, [&host, &document] {
    const QString path = host.chooseFile({true,
                                          std::string(kProgramFilter),
                                          std::string(kProgramExtension),
                                          std::string(kProgramSaveTitle),
                                          {}});
    if (!path.isEmpty()) host.warnIf(saveProgramFile(path.toStdString(), document));
  });
  host.setHandler(MenuHandler::OpenPgmFileClick, [&host, &document] {
    const QString path = host.chooseFile({false,
                                          std::string(kProgramFilter),
                                          std::string(kProgramExtension),
                                          std::string(kProgramOpenTitle),
                                          {}});
    if (!path.isEmpty()) host.warnIf(loadProgramFile(path.toStdString(), document));
  });
  // The notes are saved under the name exactly as typed: no filter, no extension added.
  host.setHandler(MenuHandler::SavePgmNotesFile1Click, [&host, &document] {
    const QString path = host.chooseFile({true, {}, {}, std::string(kNotesSaveTitle), {}});
    if (!path.isEmpty()) host.warnIf(saveNotesFile(path.toStdString(), document));
  });
  host.setHandler(MenuHandler::OpenPgmNotesFile1Click, [&host, &document] {
    const QString path =
        host.chooseFile({false, std::string(kNotesFilter), std::string(kNotesExtension),
                         std::string(kNotesOpenTitle), std::string(kNotesInitialName)});
    if (!path.isEmpty()) host.warnIf(loadNotesFile(path.toStdString(), document));
  });
}

const Module::Registration kProgramModule{{"program", 30, &installProgramModule}};

}  // namespace

}  // namespace halvern

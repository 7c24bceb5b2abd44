// The setup subsystem in the window: the Setup page, Get Setup and Send Setup, and the setup file
// items of the File menu.
#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "setup/setup_commands.h"
#include "setup/setup_file.h"
#include "setup/setup_page.h"

namespace halvern {

namespace {

void installSetupModule(PageHost& host) {
  SetupModel& setup = host.document().setup;
  auto* page = new SetupPage(setup, host.calendar());
  host.setPage(Page::Setup, page, page);
  host.addClockListener([&host, page] { page->clockTick(host.currentPage() == Page::Setup); });

  host.setHandler(MenuHandler::RxSetupClick,
                  [&host, &setup] { (void)host.runCommand(Page::Setup, getSetupCommand(setup)); });
  host.setHandler(MenuHandler::TxSetupClick, [&host, &setup] {
    (void)host.runCommand(Page::Setup, sendSetupCommand(setup, host.calendar()));
  });

  auto request = [](bool save) {
    return FileRequest{save,
                       std::string(setup_file::kDialogFilter),
                       std::string(setup_file::kDefaultExtension),
                       std::string(save ? setup_file::kSaveTitle : setup_file::kOpenTitle),
                       {}};
  };
  host.setHandler(MenuHandler::SaveSetupFileClick, [&host, &setup, request] {
    const QString path = host.chooseFile(request(true));
    if (!path.isEmpty()) host.warnIf(saveSetupFile(path.toStdString(), setup));
  });
  host.setHandler(MenuHandler::OpenSetupFileClick, [&host, &setup, request] {
    const QString path = host.chooseFile(request(false));
    if (!path.isEmpty()) host.warnIf(loadSetupFile(path.toStdString(), setup));
  });
}

const Module::Registration kSetupModule{{"setup", 10, &installSetupModule}};

}  // namespace

}  // namespace halvern

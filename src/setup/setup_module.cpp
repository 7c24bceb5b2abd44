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
  SetupModel& setup = host.document().part<SetupModel>();
  auto* page = new SetupPage(setup, host.calendar());
  host.setPage(kSetupPage, page, page, &setup);
  host.addClockListener([&host, page] { page->clockTick(host.currentPage() == kSetupPage); });

  host.setHandler(MenuHandler::RxSetupClick,
                  [&host, &setup] { (void)host.runCommand(kSetupPage, getSetupCommand(setup)); });
  host.setHandler(MenuHandler::TxSetupClick, [&host, &setup] {
    (void)host.runCommand(kSetupPage, sendSetupCommand(setup, host.calendar()));
  });

  using namespace setup_file;
  const std::string filter(kDialogFilter), suffix(kDefaultExtension);
  host.setFileHandler(MenuHandler::SaveSetupFileClick,
                      {true, filter, suffix, std::string(kSaveTitle), {}, "setup", {}},
                      [&setup](const std::string& path) { return saveSetupFile(path, setup); });
  host.setFileHandler(MenuHandler::OpenSetupFileClick,
                      {false, filter, suffix, std::string(kOpenTitle), {}, "setup", {}},
                      [&setup](const std::string& path) { return loadSetupFile(path, setup); });
}

const Module::Registration kSetupModule{
    {.name = "setup", .order = 10, .install = &installSetupModule, .page = kSetupPage}};

}  // namespace

}  // namespace halvern

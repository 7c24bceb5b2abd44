// The screens subsystem in the window: the Screens page with the keyboard routed to it, Get
// Screens and Send Screens, and the screen file items of the File menu.
#include <QPushButton>

#include "app/document.h"
#include "app/key_router.h"
#include "app/module.h"
#include "app/page_host.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "screens/screen_file.h"
#include "screens/screens_page.h"

namespace halvern {

namespace {

void installScreensModule(PageHost& host) {
  ScreenBuffer& screens = host.document().part<ScreenBuffer>();
  auto* page = new ScreensPage(screens, host.shell());
  host.setPage(kScreensPage, page, page, &screens);
  host.keyRouter().setTarget(page, [&host] { return host.currentPage() == kScreensPage; });
  page->setOnEditing([&host](bool editing) { host.setEditing(editing); });
  // Editing neither starts nor ends while an instrument operation runs.
  host.registerInstrumentButton(page->startEdit(), [page] { return !page->isEditing(); });
  host.registerInstrumentButton(page->stopEdit(), [page] { return page->isEditing(); });
  page->guardAgainstSpace(host.clearMessageButton());

  host.setHandler(MenuHandler::RxScreensClick, [&host, &screens] {
    (void)host.runCommand(kScreensPage, getScreensCommand(screens));
  });
  host.setHandler(MenuHandler::TxScreensClick, [&host, &screens] {
    (void)host.runCommand(kScreensPage, sendScreensCommand(screens));
  });

  using namespace screen_file;
  const std::string filter(kDialogFilter), suffix(kDefaultExtension), name(kInitialName);
  host.setFileHandler(
      MenuHandler::SaveScreenFileClick,
      {true, filter, suffix, std::string(kSaveTitle), name, "screens", {}},
      [&screens](const std::string& path) { return saveScreenFile(path, screens); });
  host.setFileHandler(
      MenuHandler::OpenScreenFileClick,
      {false, filter, suffix, std::string(kOpenTitle), name, "screens", {}},
      [&screens](const std::string& path) { return loadScreenFile(path, screens); });
}

const Module::Registration kScreensModule{
    {.name = "screens", .order = 20, .install = &installScreensModule, .page = kScreensPage}};

}  // namespace

}  // namespace halvern

// The screens subsystem in the window: the Screens page with the keyboard routed to it, Get
// Screens and Send Screens, and the screen file items of the File menu.
#include <QPushButton>

#include "app/document.h"
#include "app/key_router.h"
#include "app/module.h"
#include "app/page_host.h"
#include "screens/screen_commands.h"
#include "screens/screen_file.h"
#include "screens/screens_page.h"

namespace halvern {

namespace {

void installScreensModule(PageHost& host) {
  ScreenBuffer& screens = host.document().screens;
  auto* page = new ScreensPage(screens, host.shell());
  host.setPage(Page::Screens, page, page);
  host.keyRouter().setTarget(page);
  page->setOnEditing([&host](bool editing) { host.setScreenEditing(editing); });
  // Editing neither starts nor ends while an instrument operation runs.
  host.registerInstrumentButton(page->startEdit(), [page] { return !page->isEditing(); });
  host.registerInstrumentButton(page->stopEdit(), [page] { return page->isEditing(); });
  page->guardAgainstSpace(host.clearMessageButton());

  host.setHandler(MenuHandler::RxScreensClick, [&host, &screens] {
    (void)host.runCommand(Page::Screens, getScreensCommand(screens));
  });
  host.setHandler(MenuHandler::TxScreensClick, [&host, &screens] {
    (void)host.runCommand(Page::Screens, sendScreensCommand(screens));
  });

  auto request = [](bool save) {
    return FileRequest{save, std::string(screen_file::kDialogFilter),
                       std::string(screen_file::kDefaultExtension),
                       std::string(save ? screen_file::kSaveTitle : screen_file::kOpenTitle),
                       std::string(screen_file::kInitialName)};
  };
  host.setHandler(MenuHandler::SaveScreenFileClick, [&host, &screens, request] {
    const QString path = host.chooseFile(request(true));
    if (!path.isEmpty()) host.warnIf(saveScreenFile(path.toStdString(), screens));
  });
  host.setHandler(MenuHandler::OpenScreenFileClick, [&host, &screens, request] {
    const QString path = host.chooseFile(request(false));
    if (!path.isEmpty()) host.warnIf(loadScreenFile(path.toStdString(), screens));
  });
}

const Module::Registration kScreensModule{{"screens", 20, &installScreensModule}};

}  // namespace

}  // namespace halvern

// The collections in the window: Get and Send Setup/Screens/Pgm, and the group file items of the
// File menu.
#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "collection/collection_commands.h"
#include "collection/group_file.h"
#include "platform/shell.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern {

namespace {

// The kinds of file a group names: they lie beside it, so their dialogs start there next.
const std::vector<std::string> kMemberKinds{"setup", "screens", "program", "notes"};

// The part of the document a collection's part moves.
const void* partOf(const CollectionParts& parts, CollectionPart part) {
  switch (part) {
    case CollectionPart::Setup:
      return &parts.setup;
    case CollectionPart::Screens:
      return &parts.screens;
    case CollectionPart::Program:
      break;
  }
  return &parts.program;
}

void installCollectionModule(PageHost& host) {
  Document& document = host.document();
  const CollectionParts parts{document.part<SetupModel>(), document.part<ScreenBuffer>(),
                              document.part<ProgramDocument>(), host.calendar()};
  auto collection = [&host, parts](bool get) {
    const Page remembered = host.currentPage();
    const CollectionView view{
        [&host, parts](CollectionPart part) { host.showPageOf(partOf(parts, part)); },
        [&host, remembered] { host.showPage(remembered); }};
    (void)host.runCommand(
        remembered, get ? getCollectionCommand(parts, view) : sendCollectionCommand(parts, view));
  };
  host.setHandler(MenuHandler::GetCollection1Click, [collection] { collection(true); });
  host.setHandler(MenuHandler::SendCollection1Click, [collection] { collection(false); });

  using namespace group_file;
  const GroupParts group{parts.setup, parts.screens, parts.program,
                         document.part<CurrentGroup>().name};
  host.setHandler(MenuHandler::OpenGroupClick, [&host, group] {
    // The question comes before the file dialog.
    if (host.shell().message(kOpenQuestion, MessageKind::Confirmation, MessageButtons::YesNo) !=
        MessageResult::Yes)
      return;
    const QString path = host.chooseFile({false,
                                          std::string(kOpenFilter),
                                          std::string(kExtension),
                                          std::string(kOpenTitle),
                                          {},
                                          "group",
                                          kMemberKinds});
    if (path.isEmpty()) return;
    const BusyCursor busy(host.shell());
    // Its warnings have told the user what could not be read.
    (void)openGroup(path.toStdString(), group, host.shell());
  });
  host.setHandler(MenuHandler::SaveGroupClick, [&host, group] {
    const QString path = host.chooseFile({true,
                                          std::string(kSaveFilter),
                                          std::string(kExtension),
                                          std::string(kSaveTitle),
                                          {},
                                          "group",
                                          kMemberKinds});
    if (path.isEmpty()) return;
    const BusyCursor busy(host.shell());
    (void)saveGroup(path.toStdString(), group, host.shell());
  });
}

const Module::Registration kCollectionModule{
    {.name = "collection", .order = 50, .install = &installCollectionModule}};

}  // namespace

}  // namespace halvern

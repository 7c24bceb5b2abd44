// The records subsystem in the window: the Get Records page and its download, and Erase Records.
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "records/records_commands.h"
#include "records/records_page.h"

namespace halvern {

namespace {

constexpr const char* kRecordsFilter = "Text File (*.txt)|*.txt|All Files (*.*)|*.*";
constexpr const char* kRecordsSaveTitle = "Save Records File";

void installRecordsModule(PageHost& host) {
  Document& document = host.document();
  auto* page = new RecordsPage(document.records);
  host.setPage(Page::Records, page, page);
  host.registerInstrumentButton(page->getRecords());

  // The view lives as long as the page: the download reaches the page through it.
  auto* view = new RecordsView{
      [&host]() -> std::optional<std::string> {
        const QString path = host.chooseFile({true, kRecordsFilter, "txt", kRecordsSaveTitle, {}});
        if (path.isEmpty()) return std::nullopt;
        return path.toStdString();
      },
      [page](std::string_view text) { page->appendRecordsText(text); },
      [page](bool enabled) { page->setButtonsEnabled(enabled); }};
  QObject::connect(page, &QObject::destroyed, [view] { delete view; });

  page->setOnGetRecords([&host, &document, view] {
    (void)host.runCommand(
        Page::Records, getRecordsCommand(document.setup, host.calendar(), document.records, *view));
    host.updateCommandStates();
  });
  host.setHandler(MenuHandler::EraseRecords1Click,
                  [&host] { (void)host.runCommand(Page::Records, eraseRecordsCommand()); });
}

const Module::Registration kRecordsModule{{"records", 40, &installRecordsModule}};

}  // namespace

}  // namespace halvern

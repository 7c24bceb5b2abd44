// The records subsystem in the window: the Get Records page and its download, Erase Records, and
// the page's two settings, kept in the window's section of the settings file.
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <memory>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "files/current_group.h"
#include "platform/calendar.h"
#include "platform/link.h"
#include "platform/shell.h"
#include "records/records_commands.h"
#include "records/records_page.h"
#include "records/records_plot.h"
#include "records/records_plot_view.h"
#include "setup/setup_model.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

constexpr const char* kRecordsFilter = "Text File (*.txt)|*.txt|All Files (*.*)|*.*";
constexpr const char* kRecordsSaveTitle = "Save Records File";
constexpr const char* kShowRecordsKey = "Show Records";
constexpr const char* kNumOfRecordsKey = "Num of Records";

// A records file's first name: the group's, the date and the time ("north-2026-12-08-1405.txt"),
// "records-..." when no group is open.
std::string recordsFileName(const std::string& group, const DateTime& at) {
  return (group.empty() ? std::string("records") : group) +
         formatText("-%04d-%02d-%02d-%02d%02d.txt", at.year, at.month, at.day, at.hour, at.minute);
}

// The page's two as the controls take them: the count within its bounds.
void loadRecordsSettings(Document& document, const Settings& settings) {
  auto& records = document.part<RecordsSettings>();
  const RecordsSettings defaults;
  const int count = SettingsFile::value(settings, kWindowSettingsSection, kNumOfRecordsKey,
                                        static_cast<int>(defaults.numOfRecords));
  records.numOfRecords = static_cast<std::uint32_t>(
      std::clamp<long long>(count, RecordsSettings::kMinRecords, RecordsSettings::kMaxRecords));
  records.showRecords =
      SettingsFile::value(settings, kWindowSettingsSection, kShowRecordsKey, 0) != 0;
}

void saveRecordsSettings(Document& document, Settings& settings) {
  const auto& records = document.part<RecordsSettings>();
  SettingsFile::set(settings, kWindowSettingsSection, kShowRecordsKey, records.showRecords ? 1 : 0);
  SettingsFile::set(settings, kWindowSettingsSection, kNumOfRecordsKey,
                    static_cast<int>(records.numOfRecords));
}

void installRecordsModule(PageHost& host) {
  RecordsSettings& records = host.document().part<RecordsSettings>();
  SetupModel& setup = host.document().part<SetupModel>();
  auto* page = new RecordsPage(records);
  host.setPage(kRecordsPage, page, page, &records);
  host.registerInstrumentButton(page->getRecords());

  // The plot asks for its files and warns through the window.
  RecordsPlotView* plot = page->plotView();
  plot->setFileChooser([&host](const FileRequest& request) { return host.chooseFile(request); });
  plot->setWarner([&host](const std::string& problem) { host.warnIf(problem); });
  // The CSV files say what the records are: the formats they were decoded with, the bridge, the
  // group.
  plot->setAbout([&host, &setup, plot] {
    const RecordsTable* table = plot->plot()->table();
    const auto report = host.link().bridgeReport();
    return CsvAbout{recordFormatsOf(setup, table ? table->fields() : 0),
                    report ? report->lastSerial : std::string(),
                    host.document().part<CurrentGroup>().name};
  });
  plot->setReporter([&host](const std::string& line) { host.shell().addMessageLine(line); });

  // The download reaches the page through its view; the file it writes is kept for the plot.
  auto downloaded = std::make_shared<std::string>();
  page->setView(RecordsView{
      [&host, downloaded]() -> std::optional<std::string> {
        const QString path = host.chooseFile(
            {true,
             kRecordsFilter,
             "txt",
             kRecordsSaveTitle,
             recordsFileName(host.document().part<CurrentGroup>().name, host.calendar().now()),
             "records",
             {}});
        if (path.isEmpty()) return std::nullopt;
        *downloaded = path.toStdString();
        return *downloaded;
      },
      [page](std::string_view text) { page->appendRecordsText(text); },
      [page](bool enabled) { page->setButtonsEnabled(enabled); }});

  page->setOnGetRecords([&host, &setup, &records, page, plot, downloaded] {
    downloaded->clear();
    const CommandResult result = host.runCommand(
        kRecordsPage, getRecordsCommand(setup, host.calendar(), records, page->view()));
    host.updateCommandStates();
    // The records just written, read back into the plot.
    if (result == CommandResult::Done && !downloaded->empty()) {
      host.warnIf(plot->openFile(*downloaded));
    }
  });
  host.setHandler(MenuHandler::EraseRecords1Click,
                  [&host] { (void)host.runCommand(kRecordsPage, eraseRecordsCommand()); });
}

const Module::Registration kRecordsModule{
    {.name = "records",
     .order = 40,
     .install = &installRecordsModule,
     .page = kRecordsPage,
     .settings = {{kWindowSettingsSection, kShowRecordsKey, 0},
                  {kWindowSettingsSection, kNumOfRecordsKey,
                   static_cast<int>(RecordsSettings{}.numOfRecords)}},
     .loadSettings = &loadRecordsSettings,
     .saveSettings = &saveRecordsSettings}};

}  // namespace

}  // namespace halvern

// The records subsystem in the window: the Get Records page and its download, Erase Records, and
// the page's two settings, kept in the window's section of the settings file.
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <memory>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "records/records_commands.h"
#include "records/records_page.h"
#include "records/records_plot_view.h"
#include "setup/setup_model.h"

namespace halvern {

namespace {

constexpr const char* kRecordsFilter = "Text File (*.txt)|*.txt|All Files (*.*)|*.*";
constexpr const char* kRecordsSaveTitle = "Save Records File";
constexpr const char* kShowRecordsKey = "Show Records";
constexpr const char* kNumOfRecordsKey = "Num of Records";

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

  // The download reaches the page through its view; the file it writes is kept for the plot.
  auto downloaded = std::make_shared<std::string>();
  page->setView(RecordsView{
      [&host, downloaded]() -> std::optional<std::string> {
        const QString path =
            host.chooseFile({true, kRecordsFilter, "txt", kRecordsSaveTitle, {}, "records", {}});
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

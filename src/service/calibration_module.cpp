// Calibration in the window: the Calibration page, its steps and checks through the one command
// path, Stop Calibration, and File > Calibration Enable.
#include <QPushButton>

#include "app/module.h"
#include "app/page_host.h"
#include "files/file_save.h"
#include "link/command_exchange.h"
#include "service/cal_data_dialog.h"
#include "service/calibrate_dialog.h"
#include "service/calibration.h"
#include "service/calibration_page.h"

namespace halvern {

namespace {

constexpr const char* kCsvFilter = "CSV File (*.csv)|*.csv|All Files (*.*)|*.*";
constexpr const char* kCsvSaveTitle = "Save Calibration Data";

constexpr CalibrationStep kSteps[] = {CalibrationStep::SeZero,   CalibrationStep::SeFullScale,
                                      CalibrationStep::DiffZero, CalibrationStep::DiffFullScale,
                                      CalibrationStep::WdZero,   CalibrationStep::WdExcitation,
                                      CalibrationStep::Vout,     CalibrationStep::Iout};
constexpr CalibrationCheck kChecks[] = {CalibrationCheck::Se,     CalibrationCheck::Diff,
                                        CalibrationCheck::Wd,     CalibrationCheck::VoutZero,
                                        CalibrationCheck::VoutFs, CalibrationCheck::IoutZero,
                                        CalibrationCheck::IoutFs};

void installCalibrationModule(PageHost& host) {
  auto* page = new CalibrationPage;
  host.setPage(kCalibrationPage, page, page);
  // Enabled in the page's order once the password was given.
  for (QPushButton* button : page->calibrationButtons())
    host.registerInstrumentButton(button, [page] { return page->calibrationEnabled(); });
  host.registerInstrumentButton(page->getCalData());

  for (CalibrationStep step : kSteps) {
    QObject::connect(page->stepButton(step), &QPushButton::clicked, page, [&host, page, step] {
      (void)host.runCommand(kCalibrationPage,
                            calibrationStepCommand(step, page->confirm(), page->reference()));
    });
  }
  for (CalibrationCheck check : kChecks) {
    QObject::connect(page->checkButton(check), &QPushButton::clicked, page, [&host, check] {
      (void)host.runCommand(kCalibrationPage, calibrationCheckCommand(check));
    });
  }
  QObject::connect(page->getCalData(), &QPushButton::clicked, page, [&host, page] {
    (void)host.runCommand(kCalibrationPage, getCalDataCommand([page](std::string received) {
                            page->setCalData(std::move(received));
                          }));
  });
  QObject::connect(page->showTable(), &QPushButton::clicked, page, [&host, page] {
    CalDataDialog dialog(
        calDataTable(page->calData()),
        [&host](const std::string& csv) {
          const QString path =
              host.chooseFile({true, kCsvFilter, "csv", kCsvSaveTitle, {}, "calibration data", {}});
          if (!path.isEmpty())
            host.warnIf(saveFileBytes(path.toStdString(), csv, "calibration data file"));
        },
        host.dialogParent());
    host.runDialog(dialog);
  });
  // Live while a step waits: it ends the wait, which then reports its failure line.
  QObject::connect(page->stopCal(), &QPushButton::clicked, page,
                   [&host] { host.exchange().requestStop(); });

  auto* dialog = new CalibrateDialog(
      host.shell(),
      [&host, page] {
        page->enableCalibration();
        host.updateCommandStates();
        host.showPage(kCalibrationPage);
      },
      page);
  host.setHandler(MenuHandler::AllowCalibrationClick, [dialog] { dialog->exec(); });
}

const Module::Registration kCalibrationModule{{.name = "calibration",
                                               .order = 70,
                                               .install = &installCalibrationModule,
                                               .page = kCalibrationPage}};

}  // namespace

}  // namespace halvern

// The firmware update in the window: File > Firmware Update..., the file checked whole, its
// summary, then the update through the one command path.
#include <QCryptographicHash>
#include <QFileInfo>

#include "app/module.h"
#include "app/page_host.h"
#include "firmware/firmware_summary_dialog.h"
#include "firmware/firmware_update.h"
#include "link/command_exchange.h"
#include "platform/shell.h"

namespace halvern {

namespace {

constexpr const char* kOpenTitle = "Firmware Update";

void firmwareUpdate1Click(PageHost& host) {
  using namespace firmware_text;
  Shell& shell = host.shell();
  if (!host.exchange().linkOpen()) {
    shell.message(kPortClosed, MessageKind::Warning, MessageButtons::Ok);
    return;
  }
  const QString path = host.chooseFile(
      {false, std::string(kFilter), std::string(kExtension), kOpenTitle, {}, "firmware", {}});
  if (path.isEmpty()) return;
  FirmwareFile file;
  {
    const BusyCursor busy(shell);
    file = loadFirmwareFile(path.toStdString());
  }
  if (!file.image) {
    shell.message(file.problem, MessageKind::Warning, MessageButtons::Ok);
    return;
  }
  const QByteArray sha256 = QCryptographicHash::hash(
      QByteArrayView(file.bytes.data(), static_cast<qsizetype>(file.bytes.size())),
      QCryptographicHash::Sha256);
  const std::string summary = firmwareSummary(*file.image, QFileInfo(path).fileName().toStdString(),
                                              sha256.toHex().toUpper().toStdString());
  FirmwareSummaryDialog dialog(QString::fromStdString(summary), host.dialogParent());
  dialog.adjustSize();
  host.runDialog(dialog);
  if (dialog.result() != QDialog::Accepted) return;
  (void)host.runCommand(host.currentPage(), firmwareUpdateCommand(*file.image));
}

void installFirmwareModule(PageHost& host) {
  host.setHandler(MenuHandler::FirmwareUpdate1Click, [&host] { firmwareUpdate1Click(host); });
}

const Module::Registration kFirmwareModule{
    {.name = "firmware", .order = 62, .install = &installFirmwareModule}};

}  // namespace

}  // namespace halvern

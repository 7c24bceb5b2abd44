// Firmware update: the image file checked whole and summed up, then the update, asked first
// unless --yes. `firmware --check` checks and sums up a file without any link.
#include <CLI/CLI.hpp>
#include <QByteArray>
#include <QCryptographicHash>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "firmware/firmware_update.h"

namespace halvern::cli {

namespace {

struct FirmwareArguments {
  std::string file;
  bool check = false;
};

std::string sha256Of(const std::string& bytes) {
  return QCryptographicHash::hash(
             QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
             QCryptographicHash::Sha256)
      .toHex()
      .toUpper()
      .toStdString();
}

int commandFirmware(CliApp& app, const FirmwareArguments& args) {
  // The file first: a bad one never costs a connection, nor reaches the instrument.
  const FirmwareFile file = loadFirmwareFile(args.file);
  if (!file.image) {
    app.shell().message(file.problem, MessageKind::Warning, MessageButtons::Ok);
    return kExitFailed;
  }
  const std::string summary = firmwareSummary(
      *file.image, std::filesystem::path(args.file).filename().string(), sha256Of(file.bytes));
  // The summary is --check's listing; before an update it is a note for whoever runs it.
  std::fputs(summary.c_str(), args.check ? app.out() : app.err());
  std::fflush(args.check ? app.out() : app.err());
  if (args.check) return kExitOk;
  if (!app.connect()) return kExitFailed;
  return exitStatus(
      runInstrumentCommand(app.exchange(), app.shell(), firmwareUpdateCommand(*file.image)));
}

CliCommand::Action defineFirmware(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<FirmwareArguments>();
  command.add_option("FILE", args->file, "the firmware image, a file of S-records (.glo)")
      ->required()
      ->type_name("FILE.glo");
  command.add_flag("--check", args->check,
                   "check the file and print its summary; nothing is sent (exit 0 when it passes, "
                   "1 with its fault)");
  return [&app, args] { return commandFirmware(app, *args); };
}

const CliCommand::Registration kFirmware{
    {"firmware",
     "replace the instrument's firmware with an image of S-records, checked whole first (asks\n"
     "unless --yes; a first Ctrl+C while the loader runs is refused); --check only checks it",
     &defineFirmware}};

}  // namespace

}  // namespace halvern::cli

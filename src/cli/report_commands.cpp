// The printed report as a PDF: from a group file (no link opened) or from what the instrument
// holds (its setup, screens and program read first).
#include <CLI/CLI.hpp>
#include <QPageSize>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli_app.h"
#include "cli/cli_command.h"
#include "collection/group_file.h"
#include "files/file_save.h"
#include "printing/report_layout.h"
#include "printing/report_painter.h"
#include "program/program_commands.h"
#include "program/program_document.h"
#include "program/program_file.h"
#include "screens/screen_buffer.h"
#include "screens/screen_commands.h"
#include "setup/setup_commands.h"
#include "setup/setup_model.h"

namespace halvern::cli {

namespace {

struct ReportArguments {
  std::string output;
  std::string group;
  std::string pageSize;
};

struct Held {
  SetupModel setup;
  ScreenBuffer screens;
  ProgramDocument program;
  std::string groupName;
};

// The group's members, all of them or nothing, and its notes where it has them.
int readGroup(CliApp& app, const std::string& path, Held& held) {
  if (const std::string problem =
          openGroupToSend(path, {held.setup, held.screens, held.program, held.groupName});
      !problem.empty())
    return app.fileError(problem);
  held.program.replaceNotes({});
  const std::string notes = std::filesystem::path(path).replace_extension(".nts").string();
  if (std::filesystem::exists(notes)) {
    if (const std::string problem = loadNotesFile(notes, held.program); !problem.empty())
      return app.fileError(problem);
  }
  return kExitOk;
}

// The instrument's setup, screens and program, each read as the window's gets read them.
int readInstrument(CliApp& app, Held& held) {
  if (!app.connect()) return kExitFailed;
  held.program.replaceNotes({});
  for (const InstrumentCommand& get : {getSetupCommand(held.setup), getScreensCommand(held.screens),
                                       getProgramCommand(held.program)}) {
    const CommandResult result = runInstrumentCommand(app.exchange(), app.shell(), get);
    if (result != CommandResult::Done) return exitStatus(result);
  }
  return kExitOk;
}

int commandReport(CliApp& app, const ReportArguments& args) {
  QPageSize pageSize = defaultReportPageSize();
  if (args.pageSize == "A4") pageSize = QPageSize(QPageSize::A4);
  if (args.pageSize == "Letter") pageSize = QPageSize(QPageSize::Letter);

  Held held;
  const int read =
      args.group.empty() ? readInstrument(app, held) : readGroup(app, args.group, held);
  if (read != kExitOk) return read;

  const DateTime today = app.calendar().now();
  const std::vector<ReportStep> steps =
      layoutReport({held.groupName, held.program.notes(), held.setup, held.program.tree(),
                    held.screens, today.year, today.month, today.day});
  const QByteArray pdf =
      reportPdf(steps, held.screens, QString::fromStdString(held.groupName), pageSize,
                [&app](const std::string& problem) {
                  app.shell().message(problem, MessageKind::Error, MessageButtons::Ok);
                });
  if (pdf.isEmpty()) return app.fileError("Cannot make the report's PDF.");
  if (const std::string problem =
          saveFileBytes(args.output, std::string_view(pdf.constData(), pdf.size()), "report");
      !problem.empty())
    return app.fileError(problem);
  std::fprintf(app.err(), "report %s written\n", args.output.c_str());
  return kExitOk;
}

CliCommand::Action defineReport(CLI::App& command, CliApp& app) {
  auto args = std::make_shared<ReportArguments>();
  command.add_option("OUT", args->output, "the PDF file to write")
      ->required()
      ->type_name("OUT.pdf");
  command
      .add_option("GROUP", args->group,
                  "a group file: its members instead of the instrument's (no link is opened)")
      ->type_name("GROUP.ssp");
  command.add_option("--page-size", args->pageSize, "A4 or Letter (unless given, by the locale)")
      ->transform(CLI::IsMember({"A4", "Letter"}))
      ->type_name("SIZE");
  return [&app, args] { return commandReport(app, *args); };
}

const CliCommand::Registration kReport{
    {"report",
     "the printed report (notes, setup, program listing, screens) as a PDF, of a group file or\n"
     "of what the instrument holds",
     &defineReport, true}};

}  // namespace

}  // namespace halvern::cli

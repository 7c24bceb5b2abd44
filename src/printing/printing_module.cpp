// The printed report in the window: File > Print... (Ctrl+P), Print Preview... and Export Report
// as PDF..., all painting the same steps of what the window holds.
#include <QDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "app/document.h"
#include "app/module.h"
#include "app/page_host.h"
#include "collection/group_file.h"
#include "files/file_save.h"
#include "platform/calendar.h"
#include "platform/shell.h"
#include "printing/report_layout.h"
#include "printing/report_painter.h"
#include "program/program_document.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern {

namespace {

constexpr const char* kPdfFilter = "PDF File (*.pdf)|*.pdf|All Files (*.*)|*.*";
constexpr const char* kPdfTitle = "Export Report as PDF";

std::vector<ReportStep> reportSteps(PageHost& host) {
  Document& document = host.document();
  const DateTime today = host.calendar().now();
  const ProgramDocument& program = document.part<ProgramDocument>();
  return layoutReport({document.part<CurrentGroup>().name, program.notes(),
                       document.part<SetupModel>(), program.tree(), document.part<ScreenBuffer>(),
                       today.year, today.month, today.day});
}

// The steps on a printer (or a preview's): portrait always, whatever the dialog chose, the
// group's name the job's title.
void paintOnPrinter(PageHost& host, QPrinter& printer) {
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setDocName(QString::fromStdString(host.document().part<CurrentGroup>().name));
  const std::vector<ReportStep> steps = reportSteps(host);
  QPainter painter;
  // A printer that cannot start says so through the toolkit.
  if (!painter.begin(&printer)) return;
  Shell& shell = host.shell();
  (void)paintReport(
      painter, steps, host.document().part<ScreenBuffer>(),
      {printer.pageRect(QPrinter::DevicePixel).size(), [&printer] { return printer.newPage(); },
       [&shell](const std::string& problem) {
         shell.message(problem, MessageKind::Error, MessageButtons::Ok);
       }});
  painter.end();
}

void printProgram1Click(PageHost& host) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, host.dialogParent());
  dialog.setObjectName(QStringLiteral("PrintDialog1"));
  if (dialog.exec() != QDialog::Accepted) return;
  paintOnPrinter(host, printer);
}

void printPreview1Click(PageHost& host) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Portrait);
  QPrintPreviewDialog preview(&printer, host.dialogParent());
  preview.setObjectName(QStringLiteral("PrintPreviewDialog1"));
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                   [&host](QPrinter* target) { paintOnPrinter(host, *target); });
  preview.resize(760, 900);
  preview.exec();
}

void exportReportPdf1Click(PageHost& host) {
  const QString path = host.chooseFile({true, kPdfFilter, "pdf", kPdfTitle, {}, "report", {}});
  if (path.isEmpty()) return;
  Shell& shell = host.shell();
  const BusyCursor busy(shell);
  const QByteArray pdf =
      reportPdf(reportSteps(host), host.document().part<ScreenBuffer>(),
                QString::fromStdString(host.document().part<CurrentGroup>().name),
                defaultReportPageSize(), [&shell](const std::string& problem) {
                  shell.message(problem, MessageKind::Error, MessageButtons::Ok);
                });
  if (pdf.isEmpty()) {
    host.warnIf("Cannot make the report's PDF.");
    return;
  }
  host.warnIf(
      saveFileBytes(path.toStdString(), std::string_view(pdf.constData(), pdf.size()), "report"));
}

void installReportModule(PageHost& host) {
  host.setHandler(MenuHandler::PrintProgram1Click, [&host] { printProgram1Click(host); });
  host.setHandler(MenuHandler::PrintPreview1Click, [&host] { printPreview1Click(host); });
  host.setHandler(MenuHandler::ExportReportPdf1Click, [&host] { exportReportPdf1Click(host); });
}

const Module::Registration kReportModule{
    {.name = "printing", .order = 64, .install = &installReportModule}};

}  // namespace

}  // namespace halvern

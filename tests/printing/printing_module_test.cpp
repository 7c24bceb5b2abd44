// The report in the window: the PDF export through the file dialog, the preview's pages in
// portrait whatever was chosen, the face the report resolves to, and the pictures' error boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "printing/report_painter.h"
#include "setup/setup_model.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

class ReportModuleTest : public test::WindowFixture {
 protected:
  std::string fileText(const std::string& name) {
    std::ifstream in(folder / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(ReportModuleTest, ExportAsPdfWritesThePagesWhereTheUserChose) {
  choose("site.pdf");
  window->action(MenuHandler::ExportReportPdf1Click)->trigger();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].save);
  EXPECT_EQ(requests[0].defaultSuffix, "pdf");
  const std::string pdf = fileText("site.pdf");
  EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
  // Three pages: the first with its listing, the two of screens.
  std::size_t pages = 0;
  for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos;
       at = pdf.find("/Type /Page\n", at + 1))
    ++pages;
  EXPECT_EQ(pages, 3u) << pdf.substr(0, 400);
  EXPECT_TRUE(boxes.empty());
  // A cancelled dialog writes nothing.
  chosenFile.clear();
  window->action(MenuHandler::ExportReportPdf1Click)->trigger();
  EXPECT_EQ(requests.size(), 2u);
}

TEST_F(ReportModuleTest, ThePreviewPrintsPortraitWhateverWasChosen) {
  int pageCount = 0;
  QPageLayout::Orientation orientation = QPageLayout::Landscape;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    if (!preview) return;
    poll.stop();
    // A landscape choice, then the pages painted again.
    preview->printer()->setPageOrientation(QPageLayout::Landscape);
    auto* widget = preview->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(widget, nullptr);
    widget->updatePreview();
    pageCount = widget->pageCount();
    orientation = preview->printer()->pageLayout().orientation();
    preview->reject();
  });
  poll.start();
  window->action(MenuHandler::PrintPreview1Click)->trigger();
  EXPECT_EQ(pageCount, 3);
  EXPECT_EQ(orientation, QPageLayout::Portrait);
}

TEST(ReportPainter, TheFaceScaleAndAPictureThatCannotBeMade) {
  // "Arial", 8 points; where it is not installed, its metric-compatible stand-in.
  const QFontInfo face(reportFont());
  EXPECT_EQ(face.pointSize(), 8);
  EXPECT_TRUE(face.family() == "Arial" || face.family() == "Liberation Sans")
      << face.family().toStdString();

  const ReportScale scale = reportScale(QSizeF(4800, 6300));
  EXPECT_EQ(scale.x, 600.0f);
  EXPECT_EQ(scale.y, 600.0f);

  // A picture that cannot be made: its box, that screen skipped, the report going on.
  SetupModel setup;
  ScreenBuffer screens;
  const std::vector<std::string> notes;
  const std::vector<ProgramNode> tree{{"PGM END", {}}};
  const auto steps = layoutReport({"", notes, setup, tree, screens, 2026, 12, 8});
  QImage page(850, 1100, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  std::vector<std::string> problems;
  int pages = 0;
  int made = 0;
  const bool painted = paintReport(
      painter, steps, screens,
      {QSizeF(800, 1050), [&pages] { return ++pages > 0; },
       [&problems](const std::string& problem) { problems.push_back(problem); },
       [&made](const Bitmap& bitmap) {
         ++made;
         if (made == 2) return ReportImage{{}, std::string(report_text::kDibCopy)};
         if (made == 5)
           return ReportImage{{}, std::string(report_text::kDibAllocation) + "out of memory"};
         return reportImage(bitmap);
       }});
  painter.end();
  EXPECT_TRUE(painted);
  EXPECT_EQ(pages, 2);
  EXPECT_EQ(made, 8);
  EXPECT_EQ(problems,
            (std::vector<std::string>{"Error copying the DIB.",
                                      "Error allocating memory for DIB : out of memory"}));
}

}  // namespace
}  // namespace halvern

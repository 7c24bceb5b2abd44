// The plot of the records: what reaches the pixels (a lone spike, gaps), zoom, pan and reset with
// the statistics that follow them, the exports read back, and the plot on the Get Records page.
#include "records/records_plot.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "files/current_group.h"
#include "records/records_commands.h"
#include "records/records_page.h"
#include "records/records_plot_view.h"
#include "support_qt/window_fixture.h"

namespace halvern {
namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
// 2026-12-01 00:00:00 in seconds from 2000-01-01.
constexpr double kDecember1 = 9831.0 * 86400;

// Number fields "A", "B", ... with value(r, i); times a minute apart from kDecember1 when `timed`.
std::shared_ptr<const RecordsTable> makeTable(
    std::size_t records, std::size_t fields, bool timed,
    const std::function<double(std::size_t, std::size_t)>& value) {
  auto table = std::make_shared<RecordsTable>();
  table->requested = records;
  table->downloaded = "12-01-2026 00:00:00";
  for (std::size_t i = 0; i < fields; ++i) {
    table->labels.push_back(std::string(1, static_cast<char>('A' + i)));
    table->kinds.push_back(RecordFieldKind::Number);
  }
  table->records = records;
  for (std::size_t r = 0; r < records; ++r) {
    for (std::size_t i = 0; i < fields; ++i) table->values.push_back(value(r, i));
    if (timed) table->times.push_back(kDecember1 + 60.0 * static_cast<double>(r));
  }
  return table;
}

// Pixels of the field's colour in column x between rows top and bottom.
int colouredIn(const QImage& image, int x, int top, int bottom, std::size_t field) {
  const QRgb colour = RecordsPlot::fieldColor(field).rgb();
  int count = 0;
  for (int y = top; y <= bottom; ++y) {
    if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++count;
  }
  return count;
}

// Pixels in column x between rows top and bottom that are neither white nor grey: drawn by a lane,
// smoothed or not.
int inkedIn(const QImage& image, int x, int top, int bottom) {
  int count = 0;
  for (int y = top; y <= bottom; ++y) {
    const QRgb p = image.pixel(x, y);
    if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)) ++count;
  }
  return count;
}

class RecordsPlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plot.resize(640, 300);
    plot.show();
  }
  QRect area() const { return RecordsPlot::plotArea(plot.size()); }
  int columnOf(double x) const {
    return area().left() +
           static_cast<int>(std::floor((x - plot.viewStart()) /
                                       (plot.viewEnd() - plot.viewStart()) * area().width()));
  }
  RecordsPlot plot;
};

// ---- What reaches the pixels ----

TEST_F(RecordsPlotTest, ALoneSpikeShowsAtFullZoomOutAndNothingElseRisesThere) {
  constexpr std::size_t kSpike = 61234;
  plot.setTable(makeTable(86507, 1, true, [](std::size_t r, std::size_t) {
    return r == kSpike ? 100.0 : std::sin(static_cast<double>(r) / 500.0);
  }));
  const QImage image = plot.renderImage(plot.size());
  const QRect lane = area();
  const int upper = lane.top() + lane.height() / 3;
  const int spike = columnOf(plot.table()->x(kSpike));
  // The spike reaches into the top third of the lane in its own column or its neighbour's...
  int reached = 0;
  for (int x = spike - 1; x <= spike + 1; ++x)
    reached += colouredIn(image, x, lane.top(), upper, 0);
  EXPECT_GT(reached, 0);
  // ...and no other column does: the rest of the curve lies near the foot.
  for (int x = lane.left() + 1; x < lane.right(); ++x) {
    if (std::abs(x - spike) <= 2) continue;
    ASSERT_EQ(colouredIn(image, x, lane.top() + 20, upper, 0), 0) << "column " << x;
  }
}

TEST_F(RecordsPlotTest, AGapIsLeftEmptyWhetherColumnsOrRecordsAreDrawn) {
  // Records 3000 to 5999 are gaps.
  plot.setTable(makeTable(9000, 1, false, [](std::size_t r, std::size_t) {
    return r >= 3000 && r < 6000 ? kGap : static_cast<double>(r % 7);
  }));
  QImage image = plot.renderImage(plot.size());
  const QRect lane = area();
  for (int x = columnOf(3001) + 2; x < columnOf(6000) - 1; ++x) {
    ASSERT_EQ(colouredIn(image, x, lane.top() + 20, lane.bottom() - 1, 0), 0) << "column " << x;
  }
  EXPECT_GT(colouredIn(image, columnOf(2000), lane.top(), lane.bottom(), 0), 0);
  EXPECT_GT(colouredIn(image, columnOf(7000), lane.top(), lane.bottom(), 0), 0);

  // Few records, joined one to the next: not across the gap.
  plot.setView(2990, 3010);
  image = plot.renderImage(plot.size());
  for (int x = columnOf(3000) + 4; x < lane.right(); ++x) {
    ASSERT_EQ(colouredIn(image, x, lane.top() + 20, lane.bottom() - 1, 0), 0) << "column " << x;
  }
  EXPECT_GT(colouredIn(image, columnOf(2995), lane.top(), lane.bottom(), 0), 0);
}

TEST_F(RecordsPlotTest, RecordsOfAClockSetBackAreJoinedInTheOrderOfTheirTimes) {
  // Records 0 to 9 at minutes 10 to 19 (10), then the clock set back: 10 to 19 at minutes 0 to 9
  // (0); record 20 has no time.
  auto table = std::make_shared<RecordsTable>(*makeTable(
      21, 1, true, [](std::size_t r, std::size_t) { return r < 10 || r == 20 ? 10.0 : 0.0; }));
  for (std::size_t r = 0; r < 20; ++r) {
    table->times[r] = kDecember1 + 60.0 * static_cast<double>(r < 10 ? r + 10 : r - 10);
  }
  table->times[20] = kGap;
  plot.setTable(table);
  EXPECT_EQ(plot.tableStart(), kDecember1);
  EXPECT_EQ(plot.tableEnd(), kDecember1 + 19 * 60);
  const QImage image = plot.renderImage(plot.size());
  const QRect lane = area();
  const int middle = lane.center().y();
  // Between minutes 4 and 5 the line runs low, and nothing crosses the lane's middle; between 14
  // and 15 it runs high.
  const int early = columnOf(kDecember1 + 4.5 * 60);
  EXPECT_GT(inkedIn(image, early, middle, lane.bottom()), 0);
  EXPECT_EQ(inkedIn(image, early, lane.top() + 20, middle), 0);
  const int late = columnOf(kDecember1 + 14.5 * 60);
  EXPECT_GT(inkedIn(image, late, lane.top(), middle), 0);
  EXPECT_EQ(inkedIn(image, late, middle, lane.bottom() - 1), 0);
}

TEST_F(RecordsPlotTest, EachFieldHasItsOwnLaneAndScale) {
  // B is A times a thousand: on scales of their own the two lanes look alike.
  plot.setTable(makeTable(5000, 3, false, [](std::size_t r, std::size_t i) {
    return i == 2 ? 0.0 : (i == 0 ? 1.0 : 1000.0) * std::sin(static_cast<double>(r) / 400.0);
  }));
  plot.setFields({0, 1, 2});
  EXPECT_EQ(plot.fields(), (std::vector<std::size_t>{0, 1, 2}));
  const QImage image = plot.renderImage(plot.size());
  const QRect all = area();
  const int lane = (all.height() - 12) / 3;
  for (const int x : {columnOf(600), columnOf(2500), columnOf(4200)}) {
    const int a = colouredIn(image, x, all.top(), all.top() + lane, 0);
    const int b = colouredIn(image, x, all.top() + lane + 6, all.top() + 2 * lane + 6, 1);
    EXPECT_GT(a, 0);
    EXPECT_NEAR(a, b, 2) << "column " << x;
  }
  // Choosing no Number field, or one out of range, draws no lane.
  plot.setFields({7});
  EXPECT_TRUE(plot.fields().empty());
}

TEST(RecordsPlotTicks, ValuesAndTimesFallOnRoundSteps) {
  std::vector<QString> texts;
  for (const AxisTick& t : valueTicks(-0.07, 0.43, 5)) texts.push_back(t.text);
  EXPECT_EQ(texts, (std::vector<QString>{"0", "0.1", "0.2", "0.3", "0.4"}));
  // Two asked of -11.2 to 11.2: not the lone 0 of a step of 20.
  texts.clear();
  for (const AxisTick& t : valueTicks(-11.2, 11.2, 2)) texts.push_back(t.text);
  EXPECT_EQ(texts, (std::vector<QString>{"-10", "0", "10"}));

  std::vector<bool> days;
  // 22:30 to 01:30 the next day.
  const auto ticks = timeTicks(kDecember1 - 5400, kDecember1 + 5400, 4, &days);
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_EQ(ticks[0].text, "23:00");
  EXPECT_EQ(ticks[1].text, "00:00");
  EXPECT_EQ(ticks[2].text, "01:00");
  EXPECT_EQ(days, (std::vector<bool>{true, true, false}));
  for (const AxisTick& t : timeTicks(kDecember1, kDecember1 + 20 * 86400, 4)) {
    EXPECT_TRUE(t.text.startsWith("2026-12-") && t.text.size() == 10) << t.text.toStdString();
  }
  EXPECT_EQ(timeTicks(kDecember1 + 5, kDecember1 + 25, 4).front().text, "00:00:05");
  // Ten days, four ticks asked: a week apart would leave one.
  EXPECT_GE(timeTicks(kDecember1 + 3600, kDecember1 + 10 * 86400, 4).size(), 2u);
}

// ---- Zoom, pan, reset ----

TEST_F(RecordsPlotTest, WheelDragKeysAndResetMoveTheRange) {
  plot.setTable(makeTable(1000, 1, false, [](std::size_t r, std::size_t) { return r * 1.0; }));
  EXPECT_EQ(plot.viewStart(), 1);
  EXPECT_EQ(plot.viewEnd(), 1000);

  // The wheel zooms in around the cursor: the record under it stays under it.
  const QPointF at(area().left() + area().width() / 4.0, 100);
  const double under = plot.xAt(at.x());
  QWheelEvent wheel(at, plot.mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(&plot, &wheel);
  EXPECT_NEAR(plot.viewEnd() - plot.viewStart(), 999 * 0.8, 1e-9);
  EXPECT_NEAR(plot.xAt(at.x()), under, 1e-9);

  // A left drag zooms into its range.
  plot.resetView();
  const int from = area().left() + 100;
  const int to = area().left() + 300;
  const double x0 = plot.xAt(from);
  const double x1 = plot.xAt(to);
  QTest::mousePress(&plot, Qt::LeftButton, {}, {from, 100});
  QTest::mouseMove(&plot, {to, 120});
  QTest::mouseRelease(&plot, Qt::LeftButton, {}, {to, 120});
  EXPECT_NEAR(plot.viewStart(), x0, 1e-9);
  EXPECT_NEAR(plot.viewEnd(), x1, 1e-9);

  // A right drag pans by what it moved, the width kept; so does Shift with the left button.
  const double span = x1 - x0;
  QTest::mousePress(&plot, Qt::RightButton, {}, {from, 100});
  QTest::mouseMove(&plot, {from + 50, 100});
  QTest::mouseRelease(&plot, Qt::RightButton, {}, {from + 50, 100});
  EXPECT_NEAR(plot.viewStart(), x0 - 50.0 / area().width() * span, 1e-6);
  EXPECT_NEAR(plot.viewEnd() - plot.viewStart(), span, 1e-9);
  QTest::mousePress(&plot, Qt::LeftButton, Qt::ShiftModifier, {from + 50, 100});
  QTest::mouseMove(&plot, {from, 100});
  QTest::mouseRelease(&plot, Qt::LeftButton, Qt::ShiftModifier, {from, 100});
  EXPECT_NEAR(plot.viewStart(), x0, 1e-6);

  // Keys: Right pans a tenth, Up zooms in, and a pan stops at the last record.
  QTest::keyClick(&plot, Qt::Key_Right);
  EXPECT_NEAR(plot.viewStart(), x0 + span / 10, 1e-6);
  QTest::keyClick(&plot, Qt::Key_Up);
  EXPECT_NEAR(plot.viewEnd() - plot.viewStart(), span * 0.8, 1e-6);
  for (int i = 0; i < 100; ++i) QTest::keyClick(&plot, Qt::Key_Right);
  EXPECT_EQ(plot.viewEnd(), 1000);
  // Zoomed in as far as it goes, a few records stay in sight.
  for (int i = 0; i < 100; ++i) QTest::keyClick(&plot, Qt::Key_Up);
  EXPECT_GE(plot.viewEnd() - plot.viewStart(), 3);

  QTest::keyClick(&plot, Qt::Key_Home);
  EXPECT_EQ(plot.viewStart(), 1);
  EXPECT_EQ(plot.viewEnd(), 1000);
}

TEST_F(RecordsPlotTest, AClickIsNotADragAndAOneRecordTableStillHasARange) {
  plot.setTable(makeTable(100, 1, false, [](std::size_t r, std::size_t) { return r * 1.0; }));
  QTest::mouseClick(&plot, Qt::LeftButton, {}, {area().left() + 50, 80});
  EXPECT_EQ(plot.viewStart(), 1);
  EXPECT_EQ(plot.viewEnd(), 100);

  plot.setTable(makeTable(1, 1, true, [](std::size_t, std::size_t) { return 5.0; }));
  EXPECT_LT(plot.viewStart(), kDecember1);
  EXPECT_GT(plot.viewEnd(), kDecember1);
  EXPECT_FALSE(plot.renderImage(plot.size()).isNull());
}

// ---- The window's picture and the command-line tool's ----

// The picture halvern-cli draws of the same records: the table read afresh, the fields and the
// range given to it as its options give them.
RecordsPlotPicture commandLinePicture(const RecordsPlot& plot, bool fieldsGiven = true) {
  RecordsPlotPicture picture(std::make_shared<const RecordsTable>(*plot.table()));
  if (fieldsGiven) picture.setFields(plot.fields());
  picture.setView(plot.viewStart(), plot.viewEnd());
  return picture;
}

// The pixels where two images differ (all of them when their sizes do).
int differingPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return a.width() * a.height();
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  int count = 0;
  for (int row = 0; row < x.height(); ++row) {
    for (int column = 0; column < x.width(); ++column)
      count += x.pixel(column, row) != y.pixel(column, row);
  }
  return count;
}

TEST_F(RecordsPlotTest, TheCommandLineDrawsPixelForPixelWhatTheWindowShows) {
  // Three fields over 20000 minutes: a spike in A, a stretch of gaps in C.
  plot.setTable(makeTable(20000, 3, true, [](std::size_t r, std::size_t i) {
    if (i == 0) return r == 12345 ? 50.0 : std::sin(static_cast<double>(r) / 300.0);
    if (i == 2 && r >= 4000 && r < 7000) return kGap;
    return static_cast<double>((r * (i + 3)) % 17);
  }));
  plot.clearFocus();
  const auto same = [this](const char* what, bool fieldsGiven = true) {
    const RecordsPlotPicture picture = commandLinePicture(plot, fieldsGiven);
    EXPECT_EQ(picture.fields(), plot.fields()) << what;
    EXPECT_EQ(picture.viewStart(), plot.viewStart()) << what;
    EXPECT_EQ(picture.viewEnd(), plot.viewEnd()) << what;
    // What the widget shows, its exported image and the command line's image.
    const QImage shown = plot.grab().toImage();
    const QImage image = picture.renderImage(plot.size());
    EXPECT_EQ(differingPixels(shown, image), 0) << what;
    EXPECT_EQ(differingPixels(plot.renderImage(plot.size()), image), 0) << what;
    EXPECT_EQ(plot.svgBytes({500, 260}, "t"), picture.svgBytes({500, 260}, "t")) << what;
  };
  // The first field, all the records: a column for many records.
  same("the first field, whole", false);
  // Two lanes, zoomed in by the wheel and moved by the keys until few records are joined.
  plot.setFields({0, 2});
  same("two fields, whole");
  const QPointF at(area().left() + area().width() * 0.6, 100);
  for (int i = 0; i < 20; ++i) {
    QWheelEvent wheel(at, plot.mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &wheel);
  }
  QTest::keyClick(&plot, Qt::Key_Left);
  plot.clearFocus();
  ASSERT_LT(plot.viewEnd() - plot.viewStart(), 60.0 * area().width());
  same("two fields, zoomed in");
  // Records numbered, not timed, their first field a date: the first Number field is drawn.
  auto numbered =
      std::make_shared<RecordsTable>(*makeTable(3000, 9, false, [](std::size_t r, std::size_t i) {
        return std::cos(static_cast<double>(r * (i + 1)) / 200.0) * static_cast<double>(i);
      }));
  numbered->kinds[0] = RecordFieldKind::Date;
  plot.setTable(numbered);
  ASSERT_EQ(plot.fields(), std::vector<std::size_t>{1});
  same("numbered records, the first Number field", false);
  // Eight low lanes, their names on the left.
  plot.setFields({1, 2, 3, 4, 5, 6, 7, 8});
  plot.setView(1000, 1400);
  same("eight lanes, a range");
}

// ---- The view: statistics and exports ----

class RecordsPlotViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        std::filesystem::path(::testing::TempDir()) / ("halvern_plot_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    view.resize(536, 350);
    // Field A: the record's number of minutes past the hour; B a gap every tenth record.
    view.setTable(makeTable(240, 2, true,
                            [](std::size_t r, std::size_t i) {
                              if (i == 1) return r % 10 == 0 ? kGap : -static_cast<double>(r);
                              return static_cast<double>(r % 60) + 0.5;
                            }),
                  "north.txt");
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  QString cell(int row, int column) const { return view.statistics()->item(row, column)->text(); }
  std::string fileText(const std::string& name) const {
    std::ifstream in(folder / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path folder;
  RecordsPlotView view;
};

TEST_F(RecordsPlotViewTest, TheStatisticsFollowTheRangeAndTheFieldsChosen) {
  ASSERT_EQ(view.fieldList()->count(), 2);
  EXPECT_EQ(view.fieldList()->item(0)->checkState(), Qt::Checked);
  ASSERT_EQ(view.statistics()->rowCount(), 1);
  EXPECT_EQ(cell(0, 0), "A");
  EXPECT_EQ(cell(0, 1), "0.5");
  EXPECT_EQ(cell(0, 2), "2026-12-01T00:00:00");
  EXPECT_EQ(cell(0, 3), "59.5");
  EXPECT_EQ(cell(0, 4), "2026-12-01T00:59:00");
  EXPECT_EQ(cell(0, 5), "30");
  EXPECT_EQ(cell(0, 6), "240");

  view.fieldList()->item(1)->setCheckState(Qt::Checked);
  ASSERT_EQ(view.statistics()->rowCount(), 2);
  EXPECT_EQ(cell(1, 0), "B");
  EXPECT_EQ(cell(1, 6), "216");
  EXPECT_EQ(cell(1, 7), "24");

  // 01:10 to 01:40: records 70 to 100.
  view.plot()->setView(kDecember1 + 70 * 60, kDecember1 + 100 * 60);
  EXPECT_EQ(cell(0, 1), "10.5");
  EXPECT_EQ(cell(0, 2), "2026-12-01T01:10:00");
  EXPECT_EQ(cell(0, 3), "40.5");
  EXPECT_EQ(cell(0, 4), "2026-12-01T01:40:00");
  EXPECT_EQ(cell(0, 6), "31");
  EXPECT_EQ(cell(1, 1), "-99");
  EXPECT_EQ(cell(1, 3), "-71");
  EXPECT_EQ(cell(1, 4), "2026-12-01T01:11:00");
  EXPECT_EQ(cell(1, 7), "4");
  EXPECT_EQ(view.rangeLabel()->text(), "2026-12-01T01:10:00 to 2026-12-01T01:40:00");

  view.resetButton()->click();
  EXPECT_EQ(cell(0, 6), "240");
  view.fieldList()->item(0)->setCheckState(Qt::Unchecked);
  ASSERT_EQ(view.statistics()->rowCount(), 1);
  EXPECT_EQ(cell(0, 0), "B");
}

TEST_F(RecordsPlotViewTest, TheExportsWriteFilesThatReadBack) {
  view.show();
  view.plot()->setView(kDecember1 + 70 * 60, kDecember1 + 100 * 60);
  EXPECT_EQ(view.savePng((folder / "p.png").string()), "");
  const QImage png(QString::fromStdString((folder / "p.png").string()));
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), view.plot()->size());

  EXPECT_EQ(view.saveSvg((folder / "p.svg").string()), "");
  QFile svgFile(QString::fromStdString((folder / "p.svg").string()));
  ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svgFile);
  QString root;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && root.isEmpty()) root = xml.name().toString();
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_EQ(root, "svg");

  EXPECT_EQ(view.saveCsv((folder / "p.csv").string()), "");
  const std::string csv = fileText("p.csv");
  EXPECT_EQ(csv.rfind("# ", 0), 0u);
  EXPECT_NE(csv.find("\r\n# Read from: north.txt\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\r\n# Shown: 2026-12-01T01:10:00 to 2026-12-01T01:40:00\r\n"),
            std::string::npos);
  // The header, then the 31 records shown.
  const std::size_t header = csv.find("\r\nTime,A,B\r\n2026-12-01T01:10:00,10.5,\r\n");
  ASSERT_NE(header, std::string::npos) << csv;
  EXPECT_EQ(std::count(csv.begin() + header + 2, csv.end(), '\n'), 1 + 31);
  EXPECT_TRUE(csv.ends_with("2026-12-01T01:40:00,40.5,\r\n")) << csv;

  // A save that cannot be made says so and leaves nothing behind.
  const std::string problem = view.savePng((folder / "none" / "p.png").string());
  EXPECT_NE(problem.find("Cannot save"), std::string::npos);
}

TEST_F(RecordsPlotViewTest, TheExportMenuAsksForTheFileOfItsKind) {
  std::vector<FileRequest> asked;
  std::vector<std::string> warned;
  view.setFileChooser([&](const FileRequest& request) {
    asked.push_back(request);
    return QString::fromStdString((folder / ("e." + request.defaultSuffix)).string());
  });
  view.setWarner([&](const std::string& text) { warned.push_back(text); });
  for (const char* name : {"ExportPlotPng", "ExportPlotSvg", "ExportPlotCsv"}) {
    view.exportButton()->menu()->findChild<QAction*>(name)->trigger();
  }
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].kind, "png");
  EXPECT_TRUE(asked[1].save);
  EXPECT_EQ(asked[2].filter, "CSV File (*.csv)|*.csv|All Files (*.*)|*.*");
  EXPECT_TRUE(warned.empty());
  for (const char* name : {"e.png", "e.svg", "e.csv"}) {
    EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
  }
}

TEST_F(RecordsPlotViewTest, AnArchiveGrowsOnlyByNewerRecords) {
  std::vector<std::string> reported;
  view.setReporter([&](const std::string& line) { reported.push_back(line); });
  view.setAbout([] { return CsvAbout{{}, "A1B2", "north"}; });
  const std::string archive = (folder / "north.csv").string();
  std::size_t added = 0;
  EXPECT_EQ(view.addToArchive(archive, &added), "");
  EXPECT_EQ(added, 240u);
  const std::string first = fileText("north.csv");
  EXPECT_NE(first.find("# Bridge serial number: A1B2\r\n# Group: north\r\n"), std::string::npos);
  // The same records again add nothing and change no byte.
  EXPECT_EQ(view.addToArchive(archive, &added), "");
  EXPECT_EQ(added, 0u);
  EXPECT_EQ(fileText("north.csv"), first);
  // Whole CSV: all 240 whatever is shown.
  view.plot()->setView(kDecember1 + 70 * 60, kDecember1 + 100 * 60);
  EXPECT_EQ(view.saveAllCsv((folder / "all.csv").string()), "");
  const std::string all = fileText("all.csv");
  EXPECT_EQ(all.substr(all.find("Time,")), first.substr(first.find("Time,")));
  // Through the menu: the archive's dialog does not ask to replace it, and the count is said.
  std::vector<FileRequest> asked;
  view.setFileChooser([&](const FileRequest& request) {
    asked.push_back(request);
    return QString::fromStdString(archive);
  });
  view.exportButton()->menu()->findChild<QAction*>("AddToArchive")->trigger();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_FALSE(asked[0].confirmOverwrite);
  EXPECT_EQ(reported, std::vector<std::string>{"0 NEW RECORDS ADDED TO " + archive});
}

// ---- On the Get Records page ----

class RecordsPlotPageTest : public test::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    page = dynamic_cast<RecordsPage*>(window->page(kRecordsPage));
    ASSERT_NE(page, nullptr);
    instrument.recordLog().setCount(30);
  }
  RecordsPage* page = nullptr;
};

TEST_F(RecordsPlotPageTest, ADownloadIsPlottedAndPlotTakesTheTextsPlace) {
  window->showPage(kRecordsPage);
  EXPECT_TRUE(page->records()->isVisible());
  EXPECT_FALSE(page->plotView()->isVisible());
  const QRect text = page->records()->geometry();
  page->showPlot()->click();
  EXPECT_FALSE(page->records()->isVisible());
  EXPECT_TRUE(page->plotView()->isVisible());
  EXPECT_EQ(page->plotView()->geometry(), text);

  window->document().part<RecordsSettings>().numOfRecords = 12;
  page->refresh();
  choose("r.txt");
  window->document().part<CurrentGroup>().name = "north";
  page->getRecords()->click();
  // The file's first name: the group's, the date and the time.
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().initialName, "north-2026-12-07-0905.txt");
  const RecordsTable* table = page->plotView()->plot()->table();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->records, 12u);
  EXPECT_GT(page->plotView()->fieldList()->count(), 0);
  EXPECT_EQ(page->plotView()->statistics()->rowCount(), 1);
  // The download's own notice, and no warning of the file read back.
  for (const std::string& box : boxes) EXPECT_EQ(box.find("Cannot open"), std::string::npos);

  page->showText()->click();
  EXPECT_TRUE(page->records()->isVisible());
  EXPECT_FALSE(page->plotView()->isVisible());
}

TEST_F(RecordsPlotPageTest, OpenRecordsFileReadsOneAndWarnsOfOneItCannotRead) {
  {
    std::ofstream out(folder / "bad.txt", std::ios::binary);
    out << "2 RECORDS\r\n12-01-2026 00:00:00\r\nA,B\r\n1,2\r\n1,2,3\r\n";
  }
  choose("bad.txt");
  page->plotView()->openButton()->click();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].save);
  EXPECT_EQ(requests[0].kind, "records");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Cannot open the records file"), std::string::npos) << boxes[0];
  EXPECT_EQ(page->plotView()->plot()->table(), nullptr);

  {
    std::ofstream out(folder / "good.txt", std::ios::binary);
    out << "2 RECORDS\r\n12-01-2026 00:00:00\r\nDate,Time,T\r\n"
           "12/01/2026,10:00:00,1.5\r\n12/01/2026,10:01:00,-99999\r\n";
  }
  choose("good.txt");
  page->plotView()->openButton()->click();
  EXPECT_EQ(boxes.size(), 1u);
  const RecordsTable* table = page->plotView()->plot()->table();
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->hasTimes());
  EXPECT_EQ(page->plotView()->fieldList()->count(), 1);
  EXPECT_EQ(page->plotView()->statistics()->item(0, 7)->text(), "1");
}

}  // namespace
}  // namespace halvern

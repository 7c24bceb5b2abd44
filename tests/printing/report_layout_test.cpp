// The printed report's drawing steps: the first page's lines and their spacing, the listing's
// columns and pages, the screen pages' titles, rulers and pictures, and the pictures' pixels.
#include "printing/report_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/program_document.h"
#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"

namespace halvern {
namespace {

// What the report is made of; a test changes what it needs.
struct Report {
  std::string group = "NORTH RIDGE";
  std::vector<std::string> notes;
  SetupModel setup;
  std::vector<ProgramNode> tree{{"PGM END", {}}};
  ScreenBuffer screens;

  std::vector<ReportStep> steps() const {
    return layoutReport({group, notes, setup, tree, screens, 2026, 12, 8});
  }
};

std::vector<ReportText> texts(const std::vector<ReportStep>& steps) {
  std::vector<ReportText> out;
  for (const auto& step : steps)
    if (const auto* text = std::get_if<ReportText>(&step)) out.push_back(*text);
  return out;
}

// The first step whose text is `text`; fails the test when there is none.
ReportText find(const std::vector<ReportStep>& steps, const std::string& text) {
  for (const ReportText& t : texts(steps))
    if (t.text == text) return t;
  ADD_FAILURE() << "no \"" << text << "\"";
  return {};
}

// The page each text stands on, from 0.
int pageOf(const std::vector<ReportStep>& steps, const std::string& text) {
  int page = 0;
  for (const auto& step : steps) {
    if (std::holds_alternative<ReportNewPage>(step)) ++page;
    if (const auto* t = std::get_if<ReportText>(&step); t && t->text == text) return page;
  }
  return -1;
}

constexpr float kStep = 0.15f;

TEST(ReportLayout, TheFirstPageLineByLine) {
  Report r;
  r.setup.setFieldsPerRecord(4);
  r.setup.setAutoScroll(false);
  r.setup.setFormat(0, {"DATE", RecordFormat::Date, 8, 0});
  r.setup.setFormat(1, {"TIME", RecordFormat::Time, 8, 0});
  r.setup.setFormat(2, {"WIND SPEED", RecordFormat::Number, 5, 1});
  r.setup.setFormat(3, {"WIND DIR", RecordFormat::Number, 3, 0});
  const auto steps = r.steps();
  const std::vector<ReportText> all = texts(steps);
  ASSERT_GE(all.size(), 4u);
  EXPECT_EQ(all[0], (ReportText{0.75f, 0.6f, "ZELKA MODEL 40100", ReportColour::Black}));
  EXPECT_EQ(all[1].text, "METEOROLOGICAL TRANSLATOR");
  EXPECT_EQ(all[2].text, "December 08, 2026");
  EXPECT_EQ(all[3].text, "NORTH RIDGE");
  EXPECT_NEAR(all[3].y, 0.6f + 3 * kStep, 1e-5);
  // No notes: PARAMETERS 0.30 below PROGRAM NOTES.
  const float notesAt = find(steps, "PROGRAM NOTES").y;
  EXPECT_NEAR(notesAt, all[3].y + 2 * kStep, 1e-5);
  EXPECT_NEAR(find(steps, "PARAMETERS").y, notesAt + 2 * kStep, 1e-5);
  EXPECT_NEAR(find(steps, "COM1 Type: RS-232").y, notesAt + 4 * kStep, 1e-5);
  EXPECT_EQ(find(steps, "COM1 Baud Rate: 9600").x, 0.75f);
  find(steps, "Stop On Error: OFF");
  find(steps, "Keypad Lockout: OFF");
  find(steps, "Program Execution Interval: 1");
  const float scrollAt = find(steps, "Screen Scroll: OFF").y;
  // Scrolling off: no scroll lines, the table right below.
  EXPECT_EQ(pageOf(steps, "Screen Scroll Pause: 1 seconds"), -1);
  const ReportText header = find(steps, "Field");
  EXPECT_NEAR(header.y, scrollAt + kStep, 1e-5);
  for (const auto& [caption, x] : {std::pair{"Width", 1.07f}, {"DecPt", 1.44f}, {"Label", 1.81f}}) {
    EXPECT_EQ(find(steps, caption).x, x);
    EXPECT_EQ(find(steps, caption).y, header.y);
  }
  // A Date row: its number and label only; a Number row all four columns, the label padded.
  const ReportText dateNumber = find(steps, "01");
  EXPECT_NEAR(dateNumber.y, header.y + kStep, 1e-5);
  int onDateRow = 0;
  for (const ReportText& t : all) onDateRow += t.y == dateNumber.y ? 1 : 0;
  EXPECT_EQ(onDateRow, 2);
  const ReportText speed = find(steps, "WIND SPEED               ");
  EXPECT_EQ(speed.x, 1.81f);
  EXPECT_EQ(find(steps, "5").y, speed.y);
  EXPECT_EQ(find(steps, "5").x, 1.07f);
  EXPECT_NEAR(find(steps, "USER PROGRAM").y, speed.y + 2 * kStep + kStep, 1e-5);

  // Scrolling on: its two lines, and everything below 0.30 further down.
  Report scrolling = r;
  scrolling.setup.setAutoScroll(true);
  const auto withScroll = scrolling.steps();
  EXPECT_NEAR(find(withScroll, "Screen Scroll Pause: 1 seconds").y, scrollAt + kStep, 1e-5);
  find(withScroll, "Screen Scroll End Screen: 8");
  EXPECT_NEAR(find(withScroll, "Field").y, header.y + 2 * kStep, 1e-5);

  // Notes, empty lines included; no group: the fourth line is empty.
  Report noted = r;
  noted.notes = {"Mast 10 m", "", "Battery 12 V"};
  noted.group.clear();
  const auto withNotes = noted.steps();
  EXPECT_EQ(texts(withNotes)[3].text, "");
  EXPECT_NEAR(find(withNotes, "Battery 12 V").y, notesAt + 3 * kStep, 1e-5);
  EXPECT_NEAR(find(withNotes, "PARAMETERS").y, notesAt + 5 * kStep, 1e-5);
}

TEST(ReportLayout, TheDateInEnglishWithTwoDigitDays) {
  EXPECT_EQ(reportDate(2026, 12, 8), "December 08, 2026");
  EXPECT_EQ(reportDate(2027, 1, 31), "January 31, 2027");
  EXPECT_EQ(reportDate(2024, 5, 1), "May 01, 2024");
}

TEST(ReportLayout, TheListingInThreeColumnsAPage) {
  Report r;
  r.setup.setFieldsPerRecord(0);
  r.tree.clear();
  for (int i = 0; i < 120; ++i) r.tree.push_back({"BEEP", {"num= 1"}});
  r.tree.push_back({"PGM END", {}});
  const auto steps = r.steps();
  const float userAt = find(steps, "USER PROGRAM").y;
  const ReportText first = find(steps, "001 BEEP");
  EXPECT_NEAR(first.y, userAt + 2 * kStep, 1e-5);
  EXPECT_EQ(first.x, 0.75f);
  // Its parameter at x + 0.22 on the next line; the next instruction one empty line below.
  const std::vector<ReportText> all = texts(steps);
  std::vector<ReportText> listing;
  for (const ReportText& t : all)
    if (t.text.size() > 3 && t.text[3] == ' ' &&
        std::isdigit(static_cast<unsigned char>(t.text[0])))
      listing.push_back(t);
  ASSERT_EQ(listing.size(), 121u);
  EXPECT_NEAR(listing[1].y, first.y + 3 * kStep, 1e-5);
  // The column break: the first instruction past 9.1 starts at 0.6 in the next column.
  std::vector<float> columns;
  int pages = 0;
  float lastX = -1;
  for (std::size_t i = 0; i < listing.size(); ++i) {
    if (listing[i].x != lastX) {
      columns.push_back(listing[i].x);
      lastX = listing[i].x;
      if (i > 0) {
        EXPECT_NEAR(listing[i].y, 0.6f, 1e-6) << i;
        EXPECT_GT(listing[i - 1].y + 3 * kStep, 9.1f - 1e-4) << i;
      }
    }
    EXPECT_LE(listing[i].y, 9.1f + 1e-4);
  }
  ASSERT_GE(columns.size(), 5u);
  EXPECT_EQ(columns[0], 0.75f);
  EXPECT_EQ(columns[1], 3.25f);
  EXPECT_EQ(columns[2], 5.75f);
  // The fourth column on a new page at the left again.
  EXPECT_EQ(columns[3], 0.75f);
  for (const auto& step : steps) pages += std::holds_alternative<ReportNewPage>(step) ? 1 : 0;
  // Nineteen instructions a column, 57 a page: three pages of listing, then the screen pages.
  EXPECT_EQ(pages, 4);
  EXPECT_EQ(pageOf(steps, listing.front().text), 0);
  EXPECT_EQ(pageOf(steps, listing[57].text), 1);
  EXPECT_EQ(pageOf(steps, listing.back().text), 2);
}

TEST(ReportLayout, ParametersStayInTheirColumnUnlessThePageCannotHoldThem) {
  Report r;
  r.setup.setFieldsPerRecord(0);
  r.tree.clear();
  // Instructions down to just above the foot, then one with many parameters.
  for (int i = 0; i < 16; ++i) r.tree.push_back({"BEEP", {}});
  std::vector<std::string> many;
  for (int p = 0; p < 20; ++p) many.push_back("p" + std::to_string(p));
  r.tree.push_back({"DISPLAY TEXT", many});
  r.tree.push_back({"PGM END", {}});
  const auto steps = r.steps();
  const ReportText last = find(steps, "017 DISPLAY TEXT");
  EXPECT_EQ(last.x, 0.75f);
  EXPECT_LE(last.y, 9.1f);
  // Below 9.1 the parameters stay in the column, at x + 0.22.
  const ReportText p0 = find(steps, "p0");
  EXPECT_NEAR(p0.x, 0.75f + 0.22f, 1e-6);
  bool belowFoot = false;
  for (const ReportText& t : texts(steps)) {
    if (t.text.rfind("p", 0) != 0) continue;
    belowFoot = belowFoot || (t.x == p0.x && t.y > 9.1f);
    // No line past what the page holds.
    EXPECT_LE(t.y, report_layout::kLastLine + 1e-4) << t.text;
  }
  EXPECT_TRUE(belowFoot);
  // Those the page cannot hold continue at the top of the next column.
  const ReportText carried = find(steps, "p19");
  EXPECT_NEAR(carried.x, 3.25f + 0.22f, 1e-5);
}

TEST(ReportLayout, LongNotesContinueOnAFurtherPage) {
  Report r;
  for (int i = 0; i < 80; ++i) r.notes.push_back("note " + std::to_string(i));
  const auto steps = r.steps();
  for (const ReportText& t : texts(steps)) EXPECT_LE(t.y, report_layout::kLastLine + 1e-4);
  EXPECT_EQ(pageOf(steps, "note 0"), 0);
  EXPECT_EQ(pageOf(steps, "note 79"), 1);
  EXPECT_EQ(pageOf(steps, "PARAMETERS"), 1);
}

TEST(ReportLayout, TheScreenPagesTitlesRulersAndPictures) {
  Report r;
  const auto steps = r.steps();
  std::vector<ReportPicture> pictures;
  int newPages = 0;
  for (const auto& step : steps) {
    newPages += std::holds_alternative<ReportNewPage>(step) ? 1 : 0;
    if (const auto* p = std::get_if<ReportPicture>(&step)) pictures.push_back(*p);
  }
  EXPECT_EQ(newPages, 2);  // the listing fits the first page
  ASSERT_EQ(pictures.size(), 8u);
  const float tops[] = {0.6f, 2.55f, 4.5f, 6.45f};
  for (int s = 0; s < 8; ++s) {
    const ReportText title = find(steps, "Screen " + std::to_string(s + 1));
    EXPECT_EQ(title.x, 1.0f);
    EXPECT_NEAR(title.y, tops[s % 4], 1e-4) << s;
    EXPECT_EQ(pageOf(steps, title.text), s < 4 ? 1 : 2);
    const ReportPicture& p = pictures[static_cast<std::size_t>(s)];
    EXPECT_EQ(p.screen, s);
    EXPECT_EQ(p.x, 1.0f);
    EXPECT_NEAR(p.y, tops[s % 4] + 0.45f, 1e-4);
    EXPECT_EQ(p.width, 5.0f);
    EXPECT_EQ(p.height, 1.0f);
  }
  // The rulers around screen 1 (silver) and screen 5 (the large ones grey, reading 1..9, 0).
  auto rulersBefore = [&steps](int screen) {
    std::vector<ReportText> out;
    int seen = -1;
    for (const auto& step : steps) {
      if (const auto* p = std::get_if<ReportPicture>(&step)) {
        if (p->screen == screen) return out;
        continue;
      }
      if (const auto* t = std::get_if<ReportText>(&step)) {
        if (t->text == "Screen " + std::to_string(screen + 1))
          seen = screen;
        else if (seen == screen)
          out.push_back(*t);
      }
    }
    return out;
  };
  const std::vector<ReportText> first = rulersBefore(0);
  ASSERT_EQ(first.size(), 3u + 20u + 6u + 40u);
  const float y = 0.6f + 0.45f;
  EXPECT_EQ(first[0],
            (ReportText{0.75f, y + 0.0f / 3.0f + 1.0f / 12.0f, "1", ReportColour::Silver}));
  EXPECT_EQ(first[3], (ReportText{1.0625f, y - 0.30f, "01", ReportColour::Silver}));
  EXPECT_EQ(first[22].text, "20");
  EXPECT_EQ(first[23], (ReportText{0.9f, y + 0.03f, "1", ReportColour::Silver}));
  EXPECT_EQ(first[29], (ReportText{1.03f, y - 0.15f, "1", ReportColour::Silver}));
  EXPECT_EQ(first[38].text, "0");
  const std::vector<ReportText> fifth = rulersBefore(4);
  ASSERT_EQ(fifth.size(), 69u);
  EXPECT_EQ(fifth[0].colour, ReportColour::Grey);
  std::string large;
  for (int i = 3; i < 23; ++i) {
    large += fifth[static_cast<std::size_t>(i)].text;
    EXPECT_EQ(fifth[static_cast<std::size_t>(i)].colour, ReportColour::Grey);
  }
  EXPECT_EQ(large, "12345678901234567890");
  EXPECT_NEAR(fifth[3].x, 1.0925f, 1e-6);
  EXPECT_EQ(fifth[23].colour, ReportColour::Silver);
  EXPECT_EQ(fifth[29].colour, ReportColour::Silver);
}

TEST(ReportLayout, APictureHasItsGridAndEachLargeCharacterOnce) {
  ScreenBuffer screens;
  const Bitmap empty = reportScreenPicture(screens, 2);
  EXPECT_EQ(empty.width(), 480);
  EXPECT_EQ(empty.height(), 96);
  constexpr auto grey = static_cast<std::uint32_t>(ReportColour::Grey);
  constexpr auto silver = static_cast<std::uint32_t>(ReportColour::Silver);
  EXPECT_EQ(empty.pixel(5, 0), grey);
  EXPECT_EQ(empty.pixel(5, 16), silver);
  EXPECT_EQ(empty.pixel(5, 32), grey);
  EXPECT_EQ(empty.pixel(5, 95), grey);
  EXPECT_EQ(empty.pixel(12, 5), silver);
  EXPECT_EQ(empty.pixel(24, 5), grey);
  EXPECT_EQ(empty.pixel(479, 5), grey);
  EXPECT_EQ(empty.pixel(5, 5), Bitmap::kWhite);

  // A large character typed in any of its block's four cells prints the same block.
  Bitmap expected = empty;
  inkLargeAt(expected, 2, 4, 0x80 | 'W');
  for (const auto& [row, column] : {std::pair{2, 4}, {2, 5}, {3, 4}, {3, 5}}) {
    ScreenBuffer one;
    one.setCell(2, row, column, 0x80 | 'W');
    EXPECT_EQ(reportScreenPicture(one, 2), expected) << row << "," << column;
  }
  // A small character inks its cell only, in black.
  ScreenBuffer small;
  small.setCell(2, 0, 0, 'A');
  const Bitmap a = reportScreenPicture(small, 2);
  EXPECT_NE(a, empty);
  EXPECT_EQ(reportScreenPicture(small, 1), reportScreenPicture(screens, 1));
}

}  // namespace
}  // namespace halvern

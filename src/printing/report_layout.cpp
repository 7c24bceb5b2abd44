#include "printing/report_layout.h"

#include <array>

#include "screens/glyph_painting.h"
#include "screens/screen_buffer.h"
#include "setup/setup_model.h"
#include "wire/text_format.h"

namespace halvern {

namespace {

using namespace report_layout;

constexpr std::array<const char*, 8> kBaudLabels = {"1200",  "2400",  "4800",   "9600",
                                                    "19.2k", "38.4k", "115.2k", "230.4k"};
constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};

const char* baudLabel(int index) {
  return index >= 0 && index < static_cast<int>(kBaudLabels.size())
             ? kBaudLabels[static_cast<std::size_t>(index)]
             : "";
}

const char* onOff(bool on) { return on ? "ON" : "OFF"; }

class Pages {
 public:
  explicit Pages(std::vector<ReportStep>& steps) : m_steps(steps) {}

  void text(float x, float y, std::string text, ReportColour colour = ReportColour::Black) {
    m_steps.push_back(ReportText{x, y, std::move(text), colour});
  }
  void picture(float x, float y, float width, float height, int screen) {
    m_steps.push_back(ReportPicture{x, y, width, height, screen});
  }
  void newPage() { m_steps.push_back(ReportNewPage{}); }

 private:
  std::vector<ReportStep>& m_steps;
};

// The first page's lines, one under the other at the left margin; a line that would fall past
// the printable area starts a further page.
class FirstPage {
 public:
  explicit FirstPage(Pages& pages) : m_pages(pages) {}

  float y() const { return m_y; }
  void down(float step) { m_y += step; }
  // Text at the current line (x from the left margin), kept within the page.
  void line(std::string text, float x = kLeft) {
    keepOnPage();
    m_pages.text(x, m_y, std::move(text));
  }
  void keepOnPage() {
    if (m_y <= kLastLine) return;
    m_pages.newPage();
    m_y = kTop;
  }

 private:
  Pages& m_pages;
  float m_y = kTop;
};

void firstPage(const ReportInput& in, FirstPage& page) {
  const SetupModel& setup = in.setup;
  page.line("ZELKA MODEL 40100");
  page.down(kLineStep);
  page.line("METEOROLOGICAL TRANSLATOR");
  page.down(kLineStep);
  page.line(reportDate(in.year, in.month, in.day));
  page.down(kLineStep);
  page.line(in.groupName);
  page.down(2 * kLineStep);
  page.line("PROGRAM NOTES");
  for (const std::string& note : in.notes) {
    page.down(kLineStep);
    page.line(note);
  }
  page.down(2 * kLineStep);
  page.line("PARAMETERS");
  page.down(2 * kLineStep);
  page.line(setup.com1Type() == 0 ? "COM1 Type: RS-232" : "COM1 Type: RS-485");
  page.down(kLineStep);
  page.line(formatText("COM1 Baud Rate: %s", baudLabel(setup.com1BaudIndex())));
  page.down(kLineStep);
  page.line(formatText("COM2 Baud Rate: %s", baudLabel(setup.com2BaudIndex())));
  page.down(kLineStep);
  page.line(formatText("Stop On Error: %s", onOff(setup.stopOnError())));
  page.down(kLineStep);
  page.line(formatText("Keypad Lockout: %s", onOff(setup.keypadLock())));
  page.down(kLineStep);
  page.line(formatText("Program Execution Interval: %u", static_cast<unsigned>(setup.interval())));
  page.down(kLineStep);
  page.line(formatText("Screen Scroll: %s", onOff(setup.autoScroll())));
  if (setup.autoScroll()) {
    page.down(kLineStep);
    page.line(
        formatText("Screen Scroll Pause: %u seconds", static_cast<unsigned>(setup.scrollPause())));
    page.down(kLineStep);
    page.line(formatText("Screen Scroll End Screen: %u", static_cast<unsigned>(setup.scrollEnd())));
  }
  page.down(kLineStep);
  page.keepOnPage();
  page.line("Field", 0.75f);
  page.line("Width", 1.07f);
  page.line("DecPt", 1.44f);
  page.line("Label", 1.81f);
  const int fields = setup.fieldsPerRecord();
  for (int f = 0; f < fields && f < static_cast<int>(setup.formats().size()); ++f) {
    const RecordFormat& format = setup.formats()[static_cast<std::size_t>(f)];
    page.down(kLineStep);
    page.keepOnPage();
    page.line(formatText("%02u", static_cast<unsigned>(f + 1)), 0.75f);
    if (format.type == RecordFormat::Number) {
      page.line(formatText("%01u", static_cast<unsigned>(format.width)), 1.07f);
      page.line(formatText("%01u", static_cast<unsigned>(format.precision)), 1.44f);
    }
    page.line(formatText("%-25s", format.label.c_str()), 1.81f);
  }
  page.down(2 * kLineStep);
  page.line("USER PROGRAM");
}

// The listing's columns: three a page at x 0.75, 3.25 and 5.75.
class Columns {
 public:
  Columns(Pages& pages, float y) : m_pages(pages), m_y(y) {}

  void instruction(int number, const std::string& text) {
    m_y += kLineStep;
    if (m_y > kColumnFoot) nextColumn();
    m_pages.text(m_x, m_y, formatText("%03i %s", number, text.c_str()));
    m_y += kLineStep;
  }
  void parameter(const std::string& text) {
    // An instruction keeps its parameters in its column; only lines the page cannot hold move on.
    if (m_y > kLastLine) nextColumn();
    m_pages.text(m_x + kParameterIndent, m_y, text);
    m_y += kLineStep;
  }

 private:
  void nextColumn() {
    if (++m_column <= 2) {
      m_x += kColumnStep;
    } else {
      m_pages.newPage();
      m_column = 0;
      m_x = kLeft;
    }
    m_y = kTop;
  }

  Pages& m_pages;
  float m_x = kLeft;
  float m_y;
  int m_column = 0;
};

void screenPages(Pages& pages) {
  float y = kTop;
  for (int screen = 0; screen < ScreenBuffer::kScreens; ++screen) {
    if (screen % 4 == 0) {
      pages.newPage();
      y = kTop;
    }
    const bool firstPage = screen < 4;
    const ReportColour large = firstPage ? ReportColour::Silver : ReportColour::Grey;
    pages.text(1.0f, y, formatText("Screen %u", static_cast<unsigned>(screen + 1)));
    y += 0.45f;
    for (int i = 0; i < 3; ++i)
      pages.text(0.75f, y + static_cast<float>(i) / 3.0f + 1.0f / 12.0f,
                 formatText("%u", static_cast<unsigned>(i + 1)), large);
    for (int i = 0; i < 20; ++i) {
      if (firstPage)
        pages.text(1.0625f + 0.25f * static_cast<float>(i), y - 0.30f,
                   formatText("%02u", static_cast<unsigned>(i + 1)), large);
      else
        pages.text(1.0925f + 0.25f * static_cast<float>(i), y - 0.30f,
                   formatText("%u", static_cast<unsigned>((i + 1) % 10)), large);
    }
    for (int i = 0; i < 6; ++i)
      pages.text(0.9f, y + static_cast<float>(i) / 6.0f + 0.03f,
                 formatText("%u", static_cast<unsigned>(i + 1)), ReportColour::Silver);
    for (int i = 0; i < 40; ++i)
      pages.text(1.03f + 0.125f * static_cast<float>(i), y - 0.15f,
                 formatText("%u", static_cast<unsigned>((i + 1) % 10)), ReportColour::Silver);
    pages.picture(1.0f, y, 5.0f, 1.0f, screen);
    y += 1.5f;
  }
}

}  // namespace

std::string reportDate(int year, int month, int day) {
  const char* name = month >= 1 && month <= 12 ? kMonths[static_cast<std::size_t>(month - 1)] : "";
  return formatText("%s %02d, %04d", name, day, year);
}

std::vector<ReportStep> layoutReport(const ReportInput& input) {
  std::vector<ReportStep> steps;
  Pages pages(steps);
  FirstPage first(pages);
  firstPage(input, first);

  Columns columns(pages, first.y() + kLineStep);
  int number = 1;
  for (const ProgramNode& node : input.tree) {
    columns.instruction(number++, node.text);
    for (const std::string& parameter : node.children) columns.parameter(parameter);
  }
  screenPages(pages);
  return steps;
}

Bitmap reportScreenPicture(const ScreenBuffer& screens, int screen) {
  constexpr auto grey = static_cast<std::uint32_t>(ReportColour::Grey);
  constexpr auto silver = static_cast<std::uint32_t>(ReportColour::Silver);
  Bitmap picture(screen_image::kWidth, screen_image::kCellsHeight, Bitmap::kWhite);
  for (int k = 0; k < ScreenBuffer::kRows; ++k)
    picture.fillRect(0, k * screen_image::kCellHeight, screen_image::kWidth, 1,
                     k % 2 == 0 ? grey : silver);
  picture.fillRect(0, screen_image::kCellsHeight - 1, screen_image::kWidth, 1, grey);
  for (int i = 0; i < ScreenBuffer::kColumns; ++i)
    picture.fillRect(i * screen_image::kCellWidth, 0, 1, screen_image::kCellsHeight,
                     i % 2 == 0 ? grey : silver);
  picture.fillRect(screen_image::kWidth - 1, 0, 1, screen_image::kCellsHeight, grey);
  for (int r = 0; r < ScreenBuffer::kRows; ++r) {
    for (int c = 0; c < ScreenBuffer::kColumns; ++c) {
      const std::uint8_t code = screens.cell(screen, r, c);
      if (code & 0x80)
        inkLargeAt(picture, r, c, code);
      else
        inkSmallAt(picture, r, c, code);
    }
  }
  return picture;
}

}  // namespace halvern

#pragma once

// The report's steps painted on a page device: a printer, a preview or a PDF. Header-only, so the
// command-line tool paints the same pages (it links Qt's GUI library, not the window's).
#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "printing/report_layout.h"
#include "screens/screen_buffer.h"
#include "wire/windows1252.h"

namespace halvern {

// Windows-1252 bytes as the page shows them.
inline QString reportText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes)
    text += QChar(static_cast<char32_t>(windows1252::toUnicode(static_cast<std::uint8_t>(c))));
  return text;
}

// The report's face: "Arial" 8 points, kept in points whatever the device's resolution (fontconfig
// gives a metric-compatible face where Arial is not installed).
inline QFont reportFont() {
  QFont font(QString::fromLatin1(report_layout::kFontFamily));
  font.setPointSize(report_layout::kFontPoints);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

namespace report_text {
inline constexpr std::string_view kDibAllocation = "Error allocating memory for DIB : ";
inline constexpr std::string_view kDibCopy = "Error copying the DIB.";
}  // namespace report_text

// A picture as the page takes it: an RGB copy of the bitmap, or the reason it could not be made
// (the two error texts above); the screen is then skipped and the report goes on.
struct ReportImage {
  QImage image;
  std::string problem;
};
inline ReportImage reportImage(const Bitmap& bitmap) {
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB32);
  if (image.isNull()) return {{}, std::string(report_text::kDibAllocation) + "out of memory"};
  const qsizetype rowBytes = static_cast<qsizetype>(bitmap.width()) * 4;
  if (image.bytesPerLine() < rowBytes) return {{}, std::string(report_text::kDibCopy)};
  for (int y = 0; y < bitmap.height(); ++y)
    std::memcpy(image.scanLine(y), bitmap.data() + static_cast<std::size_t>(y) * bitmap.width(),
                static_cast<std::size_t>(rowBytes));
  return {image, {}};
}

// Where the steps go: the printable area's size in device pixels (the painter's origin at its
// top-left corner), how a page is started, and how a picture's error is told.
struct ReportDevice {
  QSizeF printable;
  std::function<bool()> newPage;
  std::function<void(const std::string& problem)> pictureError;
  // How a screen's bitmap becomes a picture (reportImage unless replaced).
  std::function<ReportImage(const Bitmap&)> makeImage = reportImage;
};

// The scale factors: one horizontal unit is 1/8 of the printable width, one vertical unit 1/10.5
// of its height, both in single precision.
struct ReportScale {
  float x;
  float y;
};
inline ReportScale reportScale(QSizeF printable) {
  return {static_cast<float>(printable.width()) * 0.125f,
          static_cast<float>(printable.height()) / 10.5f};
}

// Paints every step; positions truncated to device pixels. False when a page could not be
// started.
inline bool paintReport(QPainter& painter, const std::vector<ReportStep>& steps,
                        const ScreenBuffer& screens, const ReportDevice& device) {
  const ReportScale scale = reportScale(device.printable);
  const QFont font = reportFont();
  painter.setFont(font);
  const qreal ascent = QFontMetricsF(font, painter.device()).ascent();
  for (const ReportStep& step : steps) {
    if (const auto* text = std::get_if<ReportText>(&step)) {
      const int x = static_cast<int>(text->x * scale.x);
      const int y = static_cast<int>(text->y * scale.y);
      painter.setPen(QColor::fromRgb(static_cast<QRgb>(text->colour)));
      painter.drawText(QPointF(x, y + ascent), reportText(text->text));
    } else if (const auto* picture = std::get_if<ReportPicture>(&step)) {
      const ReportImage image = device.makeImage(reportScreenPicture(screens, picture->screen));
      if (!image.problem.empty()) {
        if (device.pictureError) device.pictureError(image.problem);
        continue;
      }
      const QRect target(
          static_cast<int>(picture->x * scale.x), static_cast<int>(picture->y * scale.y),
          static_cast<int>(picture->width * scale.x), static_cast<int>(picture->height * scale.y));
      painter.drawImage(target, image.image);
    } else if (device.newPage && !device.newPage()) {
      return false;
    }
  }
  return true;
}

// The page size a report takes unless told: Letter where the locale measures in inches, else A4.
inline QPageSize defaultReportPageSize() {
  return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                       ? QPageSize::Letter
                       : QPageSize::A4);
}

// The margins around the printable area of a PDF page: a quarter of an inch, as a printer's.
inline QMarginsF reportPdfMargins() { return QMarginsF(18, 18, 18, 18); }

// The report as a PDF document: portrait pages of `pageSize`, the text real text in the
// embedded face, `title` the document's title. `pictureError` hears a picture that could not be
// made. Empty when the writer failed.
inline QByteArray reportPdf(const std::vector<ReportStep>& steps, const ScreenBuffer& screens,
                            const QString& title, const QPageSize& pageSize,
                            const std::function<void(const std::string&)>& pictureError = {}) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return {};
  bool painted = false;
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(600);
    writer.setPageLayout(
        QPageLayout(pageSize, QPageLayout::Portrait, reportPdfMargins(), QPageLayout::Point));
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Halvern"));
    QPainter painter;
    if (!painter.begin(&writer)) return {};
    const QSizeF printable = writer.pageLayout().paintRectPixels(writer.resolution()).size();
    painted = paintReport(painter, steps, screens,
                          {printable, [&writer] { return writer.newPage(); }, pictureError});
    painter.end();
  }
  buffer.close();
  return painted ? bytes : QByteArray();
}

}  // namespace halvern

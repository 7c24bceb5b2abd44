// The installed icon is the About box's logo: the SVG, cropped to the logo's place on its
// square, matches AboutDialog::logo() pixel for pixel, within what anti-aliasing and the two
// text renderers account for.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cstdlib>

#include "app/about_dialog.h"

namespace halvern {
namespace {

// Where logo()'s 80 x 95 pixels sit on the icon's 96 x 96 square.
const QRectF kLogoOnIcon(8, 0.5, 80, 95);

// The icon is a few kilobytes.
constexpr qint64 kMaxSvgBytes = 1 << 20;

QByteArray iconSvg() {
  QFile file(QStringLiteral(HALVERN_ICON_SVG));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.read(kMaxSvgBytes);
}

// The SVG's part under the logo, drawn at the logo's own size.
QImage iconUnderLogo(const QByteArray& svg) {
  QSvgRenderer renderer(svg);
  renderer.setViewBox(kLogoOnIcon);
  QImage image(80, 95, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, 80, 95));
  return image;
}

// The display's glass in the logo, where the two lines of text are.
const QRect kGlass(11, 55, 58, 28);
// The text lines' bands on the glass.
const QRect kTextLines[] = {QRect(11, 56, 58, 13), QRect(11, 69, 58, 14)};

int channelDifference(const QColor& p, const QColor& q) {
  return std::max({std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                   std::abs(p.blue() - q.blue()), std::abs(p.alpha() - q.alpha())});
}

// Pixels off the glass whose colours differ by 24 levels or more in some channel.
int differingShapePixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (kGlass.contains(x, y)) continue;
      if (channelDifference(a.pixelColor(x, y), b.pixelColor(x, y)) >= 24) ++count;
    }
  }
  return count;
}

// The green characters in `band`: where they are lit, and how much green they carry.
struct Ink {
  QRect lit;
  long green = 0;
};

Ink inkIn(const QImage& image, const QRect& band) {
  Ink ink;
  for (int y = band.top(); y <= band.bottom(); ++y) {
    for (int x = band.left(); x <= band.right(); ++x) {
      const int green = image.pixelColor(x, y).green();
      ink.green += green;
      if (green > 96) ink.lit |= QRect(x, y, 1, 1);
    }
  }
  return ink;
}

// The differences the two renderers leave: none in the shapes; in the text, glyph edges
// anti-aliased apart (the characters lit in the same box, within a pixel, with as much ink
// within a fifth).
void expectSamePicture(const QImage& logo, const QImage& icon) {
  EXPECT_LE(differingShapePixels(logo, icon), 4);
  for (const QRect& band : kTextLines) {
    SCOPED_TRACE(band.top());
    const Ink expected = inkIn(logo, band);
    const Ink got = inkIn(icon, band);
    ASSERT_FALSE(expected.lit.isEmpty());
    EXPECT_LE(std::abs(got.lit.left() - expected.lit.left()), 1);
    EXPECT_LE(std::abs(got.lit.right() - expected.lit.right()), 1);
    EXPECT_LE(std::abs(got.lit.top() - expected.lit.top()), 1);
    EXPECT_LE(std::abs(got.lit.bottom() - expected.lit.bottom()), 1);
    EXPECT_NEAR(got.green, expected.green, expected.green / 5);
  }
}

QImage logoImage() { return AboutDialog::logo().toImage().convertToFormat(QImage::Format_ARGB32); }

TEST(Icon, IsTheAboutBoxLogo) {
  const QByteArray svg = iconSvg();
  ASSERT_FALSE(svg.isEmpty()) << HALVERN_ICON_SVG;
  ASSERT_TRUE(QSvgRenderer(svg).isValid());
  EXPECT_EQ(QSvgRenderer(svg).viewBoxF(), QRectF(0, 0, 96, 96));
  const QImage logo = logoImage();
  ASSERT_EQ(logo.size(), QSize(80, 95));
  expectSamePicture(logo, iconUnderLogo(svg));
}

// The comparison sees a change as small as the hub's colour, or a line of text moved by two
// pixels or gone.
TEST(Icon, ComparisonSeesSmallChanges) {
  const QByteArray svg = iconSvg();
  const struct {
    const char* from;
    const char* to;
  } changes[] = {
      {"fill=\"#d98c1f\"", "fill=\"#1f3a5f\""},
      {"y=\"78\"", "y=\"80\""},
      {">40100<", "><"},
  };
  for (const auto& change : changes) {
    SCOPED_TRACE(change.from);
    ASSERT_TRUE(svg.contains(change.from));
    QByteArray changed = svg;
    changed.replace(change.from, change.to);
    testing::TestPartResultArray failures;
    {
      testing::ScopedFakeTestPartResultReporter reporter(
          testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
      expectSamePicture(logoImage(), iconUnderLogo(changed));
    }
    EXPECT_GT(failures.size(), 0);
  }
}

}  // namespace
}  // namespace halvern

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "app/about_dialog.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <cstdlib>

namespace halvern {
namespace {

TEST(AboutDialog, ShowsOurLogoAndTheProductLines) {
  AboutDialog about(nullptr);
  EXPECT_EQ(about.windowTitle(), "About Halvern");
  EXPECT_FALSE(about.windowFlags() & Qt::WindowMaximizeButtonHint);
  auto* lines = about.findChild<QPlainTextEdit*>();
  ASSERT_NE(lines, nullptr);
  EXPECT_TRUE(lines->isReadOnly());
  EXPECT_EQ(lines->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(lines->toPlainText(),
            "Zelka Part Number 40177\n\nHalvern v3.04 for \nModel 40100 Meteorological Display. ");

  const QImage logo = AboutDialog::logo().toImage();
  EXPECT_EQ(logo.size(), QSize(80, 95));
  // Drawn, not blank: the vane, the display glass and its green characters.
  int dark = 0, green = 0;
  for (int y = 0; y < logo.height(); ++y)
    for (int x = 0; x < logo.width(); ++x) {
      const QColor c = logo.pixelColor(x, y);
      dark += c.lightness() < 80;
      green += c.green() > 150 && c.red() < 120;
    }
  EXPECT_GT(dark, 500);
  EXPECT_GT(green, 10);
  if (const char* out = std::getenv("HALVERN_PICTURE_DIR"))
    about.grab().save(QString::fromLocal8Bit(out) + "/about.png");
}

}  // namespace
}  // namespace halvern

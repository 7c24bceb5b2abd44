// Build-only: renders the SVG icon into a square PNG of a given size, for the hicolor theme's
// fixed sizes.
//
//   halvern-render-icon ICON.svg SIZE OUT.png
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// An icon is a few kilobytes; anything past this is not one.
constexpr qint64 kMaxSvgBytes = 1 << 20;
constexpr int kMinSize = 8;
constexpr int kMaxSize = 1024;

int fail(const std::string& text) {
  std::fprintf(stderr, "halvern-render-icon: %s\n", text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Text needs the font database, which needs a platform; no display is wanted.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 4) return fail("usage: halvern-render-icon ICON.svg SIZE OUT.png");

  char* end = nullptr;
  const long size = std::strtol(argv[2], &end, 10);
  if (*argv[2] == '\0' || *end != '\0' || size < kMinSize || size > kMaxSize)
    return fail(std::string("the size must be a number from 8 to 1024, not ") + argv[2]);

  QFile file(QString::fromLocal8Bit(argv[1]));
  if (!file.open(QIODevice::ReadOnly)) return fail(std::string("cannot read ") + argv[1]);
  const QByteArray svg = file.read(kMaxSvgBytes + 1);
  if (svg.size() > kMaxSvgBytes) return fail(std::string(argv[1]) + " is too large for an icon");

  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return fail(std::string(argv[1]) + " is not an SVG picture");

  const int pixels = static_cast<int>(size);
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
  }
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG"))
    return fail(std::string("cannot write ") + argv[3]);
  return 0;
}

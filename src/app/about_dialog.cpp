#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace halvern {

QString AboutDialog::text() {
  return QStringLiteral(
      "Zelka Part Number 40177\n"
      "\n"
      "Halvern v3.04 for \n"
      "Model 40100 Meteorological Display. ");
}

QPixmap AboutDialog::logo() {
  QPixmap pixmap(80, 95);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);

  // A wind vane on its mast above a small character display.
  const QColor ink(0x1f, 0x3a, 0x5f);
  p.setPen(QPen(ink, 2));
  p.drawLine(QPointF(40, 12), QPointF(40, 50));
  QPainterPath vane;
  vane.moveTo(14, 22);
  vane.lineTo(58, 22);
  vane.lineTo(58, 17);
  vane.lineTo(70, 24);
  vane.lineTo(58, 31);
  vane.lineTo(58, 26);
  vane.lineTo(14, 26);
  vane.lineTo(8, 31);
  vane.lineTo(10, 24);
  vane.lineTo(8, 17);
  vane.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawPath(vane);
  p.setBrush(QColor(0xd9, 0x8c, 0x1f));
  p.drawEllipse(QPointF(40, 12), 4, 4);

  // The display: dark glass, green characters.
  const QRectF body(6, 50, 68, 38);
  p.setBrush(QColor(0x3a, 0x3f, 0x46));
  p.drawRoundedRect(body, 5, 5);
  const QRectF glass = body.adjusted(5, 5, -5, -5);
  p.setBrush(Qt::black);
  p.drawRect(glass);
  p.setPen(QColor(0x40, 0xff, 0x60));
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.drawText(glass.adjusted(0, 1, 0, -12), Qt::AlignCenter, QStringLiteral("40100"));
  font.setPixelSize(8);
  font.setBold(false);
  p.setFont(font);
  p.drawText(glass.adjusted(0, 14, 0, 0), Qt::AlignCenter, QStringLiteral("12.4 m/s"));
  return pixmap;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Halvern"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::Base, Qt::white);
  setPalette(pal);

  auto* picture = new QLabel(this);
  picture->setPixmap(logo());
  picture->setFixedSize(80, 95);

  auto* lines = new QPlainTextEdit(this);
  lines->setObjectName(QStringLiteral("Memo1"));
  lines->setPlainText(text());
  lines->setReadOnly(true);
  lines->setFrameShape(QFrame::NoFrame);
  lines->setFocusPolicy(Qt::NoFocus);
  lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lines->setFixedSize(230, 95);

  auto* row = new QHBoxLayout;
  row->addWidget(picture, 0, Qt::AlignTop);
  row->addSpacing(12);
  row->addWidget(lines, 0, Qt::AlignTop);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(row);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace halvern

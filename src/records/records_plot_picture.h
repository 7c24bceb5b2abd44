#pragma once

// The records plot as a picture: the lanes and the axes drawn on any QPainter, into an image, a PNG
// or an SVG document. The window's RecordsPlot holds one and draws it; header-only, so that
// halvern-cli draws the same pictures (it links Qt's GUI and SVG libraries, not the window's).
#include <QBuffer>
#include <QByteArray>
#include <QChar>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QSize>
#include <QString>
#include <QSvgGenerator>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "records/records_table.h"
#include "wire/windows1252.h"

namespace halvern {

// A mark on an axis: where it stands (in the axis' own units) and its text.
struct AxisTick {
  double at = 0;
  QString text;
};

// Ticks at 1, 2 or 5 times a power of ten within [low, high], at most about `most` of them; the
// text has as many decimals as the step needs, "." always.
inline std::vector<AxisTick> valueTicks(double low, double high, int most) {
  std::vector<AxisTick> ticks;
  if (!std::isfinite(low) || !std::isfinite(high)) return ticks;
  if (!(high > low)) {
    ticks.push_back({low, QString::number(low, 'g', 6)});
    return ticks;
  }
  const double raw = (high - low) / std::max(1, most);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double norm = raw / magnitude;
  const double step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  const double first = std::ceil(low / step - 1e-9);
  const double last = std::floor(high / step + 1e-9);
  for (double k = first; k <= last; ++k) {
    const double at = k * step;
    QString text = QString::number(at, 'f', decimals);
    if (k == 0) text = QStringLiteral("0");
    ticks.push_back({at, text});
  }
  // A round step wider than asked may leave a single tick: a scale needs two.
  if (ticks.size() < 2 && most < 64) return valueTicks(low, high, std::max(2, most) * 2);
  return ticks;
}

// Ticks on a time axis (seconds from 2000-01-01) at whole seconds, minutes, hours or days, at most
// about `most`: "14:05" (or "14:05:30" for steps under a minute), the day "2026-12-08" where the
// step is a day or more. `dayChanges` gets, for each tick, whether it is the first of its day
// among them (where a plot writes the date under the time).
inline std::vector<AxisTick> timeTicks(double low, double high, int most,
                                       std::vector<bool>* dayChanges = nullptr) {
  static constexpr std::array<double, 22> kSteps{
      1,    2,    5,    10,    15,    30,    60,    120,    300,    600,     900,
      1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800, 1209600, 2419200};
  constexpr double kSecondsADay = 86400;
  std::vector<AxisTick> ticks;
  if (dayChanges) dayChanges->clear();
  if (!std::isfinite(low) || !std::isfinite(high) || !(high >= low)) return ticks;
  const double raw = (high - low) / std::max(1, most);
  double step = kSteps.back();
  for (const double s : kSteps) {
    if (s >= raw) {
      step = s;
      break;
    }
  }
  while (step < raw) step *= 2;
  const double first = std::ceil(low / step);
  const double last = std::floor(high / step);
  double lastDay = std::numeric_limits<double>::quiet_NaN();
  for (double k = first; k <= last; ++k) {
    const double at = k * step;
    const QString iso = QString::fromStdString(isoTime(at));
    QString text = step >= kSecondsADay ? iso.left(10)
                   : step >= 60         ? iso.mid(11, 5)
                                        : iso.mid(11, 8);
    ticks.push_back({at, text});
    const double day = std::floor(at / kSecondsADay);
    if (dayChanges) dayChanges->push_back(day != lastDay);
    lastDay = day;
  }
  // As with values: two ticks at least where the range has room for them.
  if (ticks.size() < 2 && high > low && step > 1 && most < 64) {
    return timeTicks(low, high, std::max(2, most) * 2, dayChanges);
  }
  return ticks;
}

// The drawing's parts, for the picture below alone.
namespace records_plot_parts {

inline constexpr int kLeftMargin = 58;
inline constexpr int kRightMargin = 10;
inline constexpr int kTopMargin = 6;
inline constexpr int kBottomMargin = 34;
inline constexpr int kLaneGap = 6;

inline constexpr std::array<QRgb, 10> kColors{0x1f5fbf, 0xc0392b, 0x228b22, 0x8e44ad, 0xd35400,
                                              0x16a085, 0x7f6000, 0xc71585, 0x2c3e50, 0x1e90ff};

inline bool isGap(double v) { return std::isnan(v); }

inline QFont plotFont() {
  QFont font;
  font.setPointSize(8);
  return font;
}

// A label's Windows-1252 bytes as the plot writes them.
inline QString labelText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) {
    text.append(QChar(static_cast<char16_t>(windows1252::toUnicode(static_cast<std::uint8_t>(c)))));
  }
  return text;
}

// The lanes, stacked from the top of `area`, one a field.
inline std::vector<QRect> laneRects(const QRect& area, std::size_t lanes) {
  std::vector<QRect> rects;
  if (lanes == 0) return rects;
  const int count = static_cast<int>(lanes);
  // Many lanes stand closer.
  const int gap = count > 6 ? 2 : kLaneGap;
  const int height = std::max(4, (area.height() - gap * (count - 1)) / count);
  for (int i = 0; i < count; ++i) {
    rects.emplace_back(area.left(), area.top() + i * (height + gap), area.width(), height);
  }
  return rects;
}

// A lane's scale: `low` at its foot, `high` at its head.
struct Scale {
  double low = 0;
  double high = 1;
  double top = 0;
  double height = 1;
  double y(double v) const { return top + (high - v) / (high - low) * height; }
};

inline Scale scaleOf(double low, double high, const QRect& lane) {
  if (!(high > low)) {
    const double pad = low == 0 ? 1 : std::abs(low) * 0.05;
    low -= pad;
    high += pad;
  } else {
    const double pad = (high - low) * 0.06;
    low -= pad;
    high += pad;
  }
  return {low, high, static_cast<double>(lane.top()), static_cast<double>(lane.height() - 1)};
}

}  // namespace records_plot_parts

// The Number fields of a records table drawn over the records' times (or their numbers): each
// chosen field in a lane of its own, stacked from the top, with its own colour and its own
// scale on the left, and one x axis at the foot. Each pixel column shows the lowest and the
// highest value that fall in it, so a single record stands out at any zoom; a column without
// values is left empty. Where fewer records are shown than there are columns, the records are
// joined one to the next, except across a gap.
//
// The picture keeps the table, the fields chosen and the x range shown; it draws at any size.
class RecordsPlotPicture {
 public:
  RecordsPlotPicture() = default;
  // The table whole, with its first Number field chosen.
  explicit RecordsPlotPicture(std::shared_ptr<const RecordsTable> table) {
    setTable(std::move(table));
  }

  // Shows `table` whole, with its first Number field chosen. A null table shows nothing.
  void setTable(std::shared_ptr<const RecordsTable> table);
  const RecordsTable* table() const { return m_table.get(); }

  // The fields drawn, in their order in the table; only Number fields count. True when they
  // changed.
  bool setFields(std::vector<std::size_t> fields);
  const std::vector<std::size_t>& fields() const { return m_fields; }

  // The x range shown; the whole table's range after setTable.
  double viewStart() const { return m_x0; }
  double viewEnd() const { return m_x1; }
  double tableStart() const { return m_full0; }
  double tableEnd() const { return m_full1; }
  // Shown as given, kept within the table's range and no narrower than its finest step (four of
  // them). True when the range changed.
  bool setView(double x0, double x1);
  // The narrowest range shown.
  double minimumSpan() const {
    const double full = m_full1 - m_full0;
    return std::min(full, std::max(m_finestStep * 4, full * 1e-9));
  }

  // The area of the lanes inside a picture of size `size`.
  static QRect plotArea(QSize size) {
    using namespace records_plot_parts;
    return QRect(kLeftMargin, kTopMargin, std::max(1, size.width() - kLeftMargin - kRightMargin),
                 std::max(1, size.height() - kTopMargin - kBottomMargin));
  }
  // The lanes of the fields chosen, from the top, in a picture of size `size`.
  std::vector<QRect> lanes(QSize size) const {
    return records_plot_parts::laneRects(plotArea(size), m_fields.size());
  }
  // Where x stands on a picture of size `size`, and back.
  double pixelOf(double x, QSize size) const {
    const QRect area = plotArea(size);
    return area.left() + (x - m_x0) / (m_x1 - m_x0) * area.width();
  }
  double xAt(double pixel, QSize size) const {
    const QRect area = plotArea(size);
    return m_x0 + (pixel - area.left()) / area.width() * (m_x1 - m_x0);
  }

  // A lane's colour (by the field's place in the table, so a field keeps it when others are
  // chosen).
  static QColor fieldColor(std::size_t field) {
    using records_plot_parts::kColors;
    return QColor::fromRgb(kColors[field % kColors.size()]);
  }

  // The lanes and the axes drawn on `painter` over `size`.
  void paint(QPainter& painter, QSize size) const;
  // The picture drawn afresh into an image, a PNG file's bytes (empty when it cannot be made) or
  // an SVG document.
  QImage renderImage(QSize size) const;
  QByteArray pngBytes(QSize size) const;
  QByteArray svgBytes(QSize size, const QString& title) const;

 private:
  // `freeFrom`: the first row below the last name written in the left margin.
  void paintLane(QPainter& painter, std::size_t field, const QRect& lane, const QRect& area,
                 int& freeFrom) const;
  void paintXAxis(QPainter& painter, const QRect& area, int width) const;

  std::shared_ptr<const RecordsTable> m_table;
  std::vector<std::size_t> m_fields;
  double m_full0 = 0;
  double m_full1 = 1;
  double m_x0 = 0;
  double m_x1 = 1;
  // The smallest step between two records' x, for the narrowest range.
  double m_finestStep = 1;
  // The records that have an x, in the order of their x: the records shown are found by halves.
  std::vector<std::size_t> m_order;
};

inline void RecordsPlotPicture::setTable(std::shared_ptr<const RecordsTable> table) {
  m_table = std::move(table);
  m_fields.clear();
  m_full0 = 0;
  m_full1 = 1;
  m_finestStep = 1;
  m_order.clear();
  if (m_table) {
    const RecordsTable& t = *m_table;
    for (std::size_t i = 0; i < t.fields(); ++i) {
      if (t.kinds[i] == RecordFieldKind::Number) {
        m_fields.push_back(i);
        break;
      }
    }
    // The records with an x, in its order (a clock set back leaves the file's order otherwise).
    m_order.reserve(t.records);
    bool ordered = true;
    for (std::size_t r = 0; r < t.records; ++r) {
      if (std::isnan(t.x(r))) continue;
      if (!m_order.empty() && t.x(r) < t.x(m_order.back())) ordered = false;
      m_order.push_back(r);
    }
    if (!ordered) {
      std::stable_sort(m_order.begin(), m_order.end(),
                       [&t](std::size_t a, std::size_t b) { return t.x(a) < t.x(b); });
    }
    double finest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < m_order.size(); ++i) {
      const double step = t.x(m_order[i]) - t.x(m_order[i - 1]);
      if (step > 0) finest = std::min(finest, step);
    }
    if (!m_order.empty()) {
      m_full0 = t.x(m_order.front());
      m_full1 = t.x(m_order.back());
    }
    if (!(m_full1 > m_full0)) {
      m_full0 -= 0.5;
      m_full1 += 0.5;
    }
    m_finestStep = std::isfinite(finest) ? finest : m_full1 - m_full0;
  }
  m_x0 = m_full0;
  m_x1 = m_full1;
}

inline bool RecordsPlotPicture::setFields(std::vector<std::size_t> fields) {
  std::sort(fields.begin(), fields.end());
  fields.erase(std::unique(fields.begin(), fields.end()), fields.end());
  std::erase_if(fields, [this](std::size_t f) {
    return !m_table || f >= m_table->fields() || m_table->kinds[f] != RecordFieldKind::Number;
  });
  if (fields == m_fields) return false;
  m_fields = std::move(fields);
  return true;
}

inline bool RecordsPlotPicture::setView(double x0, double x1) {
  if (!std::isfinite(x0) || !std::isfinite(x1)) return false;
  if (x1 < x0) std::swap(x0, x1);
  const double full = m_full1 - m_full0;
  double span = std::clamp(x1 - x0, minimumSpan(), full);
  const double centre = (x0 + x1) / 2;
  x0 = centre - span / 2;
  x1 = x0 + span;
  if (x0 < m_full0) {
    x0 = m_full0;
    x1 = x0 + span;
  }
  if (x1 > m_full1) {
    x1 = m_full1;
    x0 = std::max(m_full0, x1 - span);
  }
  if (x0 == m_x0 && x1 == m_x1) return false;
  m_x0 = x0;
  m_x1 = x1;
  return true;
}

inline void RecordsPlotPicture::paintLane(QPainter& painter, std::size_t field, const QRect& lane,
                                          const QRect& area, int& freeFrom) const {
  using namespace records_plot_parts;
  const RecordsTable& t = *m_table;
  const QColor color = fieldColor(field);
  const int columns = area.width();
  const double span = m_x1 - m_x0;
  auto pixel = [&](double x) { return area.left() + (x - m_x0) / span * columns; };

  // The records shown, found by halves in the order of their x: few enough are joined one to the
  // next.
  const auto begin = std::lower_bound(m_order.begin(), m_order.end(), m_x0,
                                      [&t](std::size_t r, double x) { return t.x(r) < x; });
  const auto stop = std::upper_bound(begin, m_order.end(), m_x1,
                                     [&t](double x, std::size_t r) { return x < t.x(r); });
  const std::size_t first = static_cast<std::size_t>(begin - m_order.begin());
  const std::size_t end = static_cast<std::size_t>(stop - m_order.begin());
  const bool joined = end - first <= static_cast<std::size_t>(columns);

  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  Envelope columnsOf;
  if (joined) {
    for (std::size_t i = first; i < end; ++i) {
      const double v = t.value(m_order[i], field);
      if (isGap(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  } else {
    columnsOf = envelope(t, field, m_x0, m_x1, columns);
    for (std::size_t c = 0; c < columnsOf.low.size(); ++c) {
      if (isGap(columnsOf.low[c])) continue;
      low = std::min(low, columnsOf.low[c]);
      high = std::max(high, columnsOf.high[c]);
    }
  }

  painter.setPen(QColor(0xb0, 0xb0, 0xb0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(lane.adjusted(0, 0, -1, -1));

  const QString label = labelText(t.labels[field]);
  const QFontMetrics metrics(painter.font());
  // A lane too low for a scale has its name on the left instead, and no scale.
  const bool roomy = lane.height() >= 2 * metrics.height();
  // Where lanes are lower than a line of text, a name is left out where it would cover the one
  // above (the window's tool tip names every lane).
  if (!roomy) {
    const int top = lane.center().y() - metrics.height() / 2;
    if (top >= freeFrom) {
      painter.setPen(color);
      painter.drawText(QRect(0, top, lane.left() - 6, metrics.height()),
                       Qt::AlignRight | Qt::AlignVCenter,
                       metrics.elidedText(label, Qt::ElideRight, lane.left() - 6));
      freeFrom = top + metrics.height();
    }
  }
  if (!(low <= high)) {
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(lane, Qt::AlignCenter, label + QStringLiteral(": no values here"));
    return;
  }
  const Scale scale = scaleOf(low, high, lane);

  // Its scale on the left, in its colour, with faint lines across.
  const int most = std::max(2, lane.height() / (metrics.height() + 10));
  for (const AxisTick& tick :
       roomy ? valueTicks(scale.low, scale.high, most) : std::vector<AxisTick>{}) {
    const int y = static_cast<int>(std::lround(scale.y(tick.at)));
    if (y < lane.top() || y > lane.bottom()) continue;
    painter.setPen(QColor(0xe4, 0xe4, 0xe4));
    painter.drawLine(lane.left() + 1, y, lane.right() - 1, y);
    painter.setPen(color);
    painter.drawLine(lane.left() - 4, y, lane.left(), y);
    const QRect text(0, y - metrics.height() / 2, lane.left() - 6, metrics.height());
    painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter, tick.text);
  }

  painter.save();
  painter.setClipRect(lane.adjusted(1, 1, -1, -1));
  if (joined) {
    // Few records: each joined to the next unless a gap lies between; dots where they are apart.
    const std::size_t from = first > 0 ? first - 1 : 0;
    const std::size_t to = std::min(m_order.size(), end + 1);
    const bool dots = (end - first) * 8 <= static_cast<std::size_t>(columns);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(color, 1.5));
    QPolygonF run;
    auto flush = [&] {
      if (run.size() > 1) painter.drawPolyline(run);
      if (run.size() == 1 || (dots && !run.isEmpty())) {
        painter.setBrush(color);
        for (const QPointF& p : run) painter.drawEllipse(p, 2.2, 2.2);
        painter.setBrush(Qt::NoBrush);
      }
      run.clear();
    };
    for (std::size_t i = from; i < to; ++i) {
      const std::size_t r = m_order[i];
      const double v = t.value(r, field);
      if (isGap(v)) {
        flush();
        continue;
      }
      run.append(QPointF(pixel(t.x(r)), scale.y(v)));
    }
    flush();
  } else {
    // Each column from its lowest to its highest value, reaching to its neighbour's so the trace
    // is unbroken; an empty column stays empty.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto& lows = columnsOf.low;
    const auto& highs = columnsOf.high;
    for (std::size_t c = 0; c < lows.size(); ++c) {
      if (isGap(lows[c])) continue;
      double bottom = lows[c];
      double top = highs[c];
      if (c > 0 && !isGap(lows[c - 1])) {
        bottom = std::min(bottom, highs[c - 1]);
        top = std::max(top, lows[c - 1]);
      }
      const int y0 = static_cast<int>(std::lround(scale.y(top)));
      const int y1 = static_cast<int>(std::lround(scale.y(bottom)));
      painter.fillRect(QRect(area.left() + static_cast<int>(c), y0, 1, std::max(1, y1 - y0 + 1)),
                       color);
    }
  }
  painter.restore();

  // The field's name at the lane's head, over a pale ground.
  if (!roomy) return;
  const QRect name = metrics.boundingRect(label).adjusted(-3, -1, 3, 1);
  const QRect at(lane.left() + 4, lane.top() + 3, name.width(), name.height());
  painter.fillRect(at, QColor(255, 255, 255, 150));
  painter.setPen(color);
  painter.drawText(at, Qt::AlignCenter, label);
}

inline void RecordsPlotPicture::paintXAxis(QPainter& painter, const QRect& area, int width) const {
  const QFontMetrics metrics(painter.font());
  const int most = std::max(2, area.width() / 70);
  // A label under its tick, kept whole within the width.
  auto label = [&](int x, int row, const QString& text) {
    const int w = metrics.horizontalAdvance(text) + 2;
    const int left = std::clamp(x - w / 2, 0, std::max(0, width - w));
    painter.drawText(QRect(left, area.bottom() + 5 + row * metrics.height(), w, metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, text);
  };
  std::vector<AxisTick> ticks;
  std::vector<bool> dayChanges;
  const bool times = m_table->hasTimes();
  if (times) {
    ticks = timeTicks(m_x0, m_x1, most, &dayChanges);
  } else {
    for (AxisTick& tick : valueTicks(m_x0, m_x1, most)) {
      if (tick.at == std::floor(tick.at)) ticks.push_back(std::move(tick));
    }
  }
  const double span = m_x1 - m_x0;
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    const int x =
        area.left() + static_cast<int>(std::lround((ticks[i].at - m_x0) / span * area.width()));
    if (x < area.left() || x > area.right() + 1) continue;
    painter.setPen(QColor(0xec, 0xec, 0xec));
    painter.drawLine(x, area.top(), x, area.bottom());
    painter.setPen(Qt::black);
    painter.drawLine(x, area.bottom() + 1, x, area.bottom() + 4);
    label(x, 0, ticks[i].text);
    // The date under the first time of each day.
    if (times && ticks[i].text.size() < 10 && dayChanges[i]) {
      label(x, 1, QString::fromStdString(isoTime(ticks[i].at)).left(10));
    }
  }
  if (!times) {
    painter.drawText(QRect(0, area.bottom() + 5, area.left() - 6, metrics.height()),
                     Qt::AlignRight | Qt::AlignTop, QStringLiteral("Record"));
  }
}

inline void RecordsPlotPicture::paint(QPainter& painter, QSize size) const {
  painter.setFont(records_plot_parts::plotFont());
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  const QRect area = plotArea(size);
  if (!m_table || m_table->records == 0) {
    painter.setPen(QColor(0x70, 0x70, 0x70));
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("No records to plot: get records from the 40100, or open a "
                                    "records file."));
    return;
  }
  // The time lines first, so the lanes draw over them.
  paintXAxis(painter, area, size.width());
  if (m_fields.empty()) {
    painter.setPen(QColor(0x70, 0x70, 0x70));
    painter.drawText(area, Qt::AlignCenter, QStringLiteral("Choose a field to plot."));
    return;
  }
  const std::vector<QRect> rects = lanes(size);
  int freeFrom = 0;
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    paintLane(painter, m_fields[i], rects[i], area, freeFrom);
  }
}

inline QImage RecordsPlotPicture::renderImage(QSize size) const {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  paint(painter, size);
  return image;
}

inline QByteArray RecordsPlotPicture::pngBytes(QSize size) const {
  const QImage image = renderImage(size);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (image.isNull() || !image.save(&buffer, "PNG")) return {};
  return bytes;
}

inline QByteArray RecordsPlotPicture::svgBytes(QSize size, const QString& title) const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setTitle(title);
  QPainter painter(&generator);
  paint(painter, size);
  painter.end();
  return bytes;
}

}  // namespace halvern

#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "records/records_table.h"

class QPainter;

namespace halvern {

// A mark on an axis: where it stands (in the axis' own units) and its text.
struct AxisTick {
  double at = 0;
  QString text;
};

// Ticks at 1, 2 or 5 times a power of ten within [low, high], at most about `most` of them; the
// text has as many decimals as the step needs, "." always.
std::vector<AxisTick> valueTicks(double low, double high, int most);
// Ticks on a time axis (seconds from 2000-01-01) at whole seconds, minutes, hours or days, at most
// about `most`: "14:05" (or "14:05:30" for steps under a minute), the day "2026-12-08" where the
// step is a day or more. `dayChanges` gets, for each tick, whether it is the first of its day
// among them (where a plot writes the date under the time).
std::vector<AxisTick> timeTicks(double low, double high, int most,
                                std::vector<bool>* dayChanges = nullptr);

// The Number fields of a records table drawn over the records' times (or their numbers): each
// chosen field in a lane of its own, stacked from the top, with its own colour and its own
// scale on the left, and one x axis at the foot. Each pixel column shows the lowest and the
// highest value that fall in it, so a single record stands out at any zoom; a column without
// values is left empty. Where fewer records are shown than there are columns, the records are
// joined one to the next, except across a gap.
//
// The wheel zooms around the cursor; a drag with the left button zooms into its range; a drag
// with the right or the middle button, or with Shift held, pans; the arrow keys pan (Left,
// Right) and zoom (Up, Down); Home shows all the records again.
class RecordsPlot : public QWidget {
 public:
  explicit RecordsPlot(QWidget* parent = nullptr);

  // Shows `table` whole, with its first Number field chosen. A null table shows nothing.
  void setTable(std::shared_ptr<const RecordsTable> table);
  const RecordsTable* table() const { return m_table.get(); }

  // The fields drawn, in their order in the table; only Number fields count.
  void setFields(std::vector<std::size_t> fields);
  const std::vector<std::size_t>& fields() const { return m_fields; }

  // The x range shown; the whole table's range after setTable and reset.
  double viewStart() const { return m_x0; }
  double viewEnd() const { return m_x1; }
  double tableStart() const { return m_full0; }
  double tableEnd() const { return m_full1; }
  // Shown as given, kept within the table's range and no narrower than its finest step.
  void setView(double x0, double x1);
  void resetView();
  // The range made `factor` times as wide (below 1: zoom in), `x` staying where it is.
  void zoomAround(double x, double factor);
  // The range moved by `fraction` of its width (positive: later records).
  void panBy(double fraction);

  // Run after every change of the range, the fields or the table.
  void setOnViewChanged(std::function<void()> changed) { m_onViewChanged = std::move(changed); }

  // The area of the lanes inside a widget (or an image) of size `size`.
  static QRect plotArea(QSize size);
  // Where x stands on the widget, and back.
  double pixelOf(double x) const;
  double xAt(double pixel) const;

  // The plot as the widget shows it, drawn afresh into an image or an SVG document.
  QImage renderImage(QSize size) const;
  QByteArray svgBytes(QSize size, const QString& title) const;
  // The lanes and the axes drawn on `painter` over `size`.
  void paintPlot(QPainter& painter, QSize size) const;

  // A lane's colour (by the field's place in the table, so a field keeps it when others are
  // chosen).
  static QColor fieldColor(std::size_t field);

  QSize sizeHint() const override { return {400, 220}; }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  enum class Drag { None, Zoom, Pan };

  void changed();
  double minimumSpan() const;
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
  Drag m_drag = Drag::None;
  int m_dragFrom = 0;
  int m_dragTo = 0;
  double m_panFrom0 = 0;
  double m_panFrom1 = 0;
  std::function<void()> m_onViewChanged;
};

}  // namespace halvern

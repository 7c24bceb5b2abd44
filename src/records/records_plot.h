#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "records/records_plot_picture.h"
#include "records/records_table.h"

namespace halvern {

// The records plot in the window: its RecordsPlotPicture (the table, the fields chosen, the range
// shown) drawn at the widget's size, with the ways to move the range.
//
// The wheel zooms around the cursor; a drag with the left button zooms into its range; a drag
// with the right or the middle button, or with Shift held, pans; the arrow keys pan (Left,
// Right) and zoom (Up, Down); Home shows all the records again.
class RecordsPlot : public QWidget {
 public:
  explicit RecordsPlot(QWidget* parent = nullptr);

  // Shows `table` whole, with its first Number field chosen. A null table shows nothing.
  void setTable(std::shared_ptr<const RecordsTable> table);
  const RecordsTable* table() const { return m_picture.table(); }

  // The fields drawn, in their order in the table; only Number fields count.
  void setFields(std::vector<std::size_t> fields);
  const std::vector<std::size_t>& fields() const { return m_picture.fields(); }

  // The x range shown; the whole table's range after setTable and reset.
  double viewStart() const { return m_picture.viewStart(); }
  double viewEnd() const { return m_picture.viewEnd(); }
  double tableStart() const { return m_picture.tableStart(); }
  double tableEnd() const { return m_picture.tableEnd(); }
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
  static QRect plotArea(QSize size) { return RecordsPlotPicture::plotArea(size); }
  // Where x stands on the widget, and back.
  double pixelOf(double x) const;
  double xAt(double pixel) const;

  // The plot as the widget shows it, drawn afresh into an image or an SVG document.
  QImage renderImage(QSize size) const { return m_picture.renderImage(size); }
  QByteArray svgBytes(QSize size, const QString& title) const {
    return m_picture.svgBytes(size, title);
  }
  // The lanes and the axes drawn on `painter` over `size`.
  void paintPlot(QPainter& painter, QSize size) const { m_picture.paint(painter, size); }

  // A lane's colour (by the field's place in the table, so a field keeps it when others are
  // chosen).
  static QColor fieldColor(std::size_t field) { return RecordsPlotPicture::fieldColor(field); }

  // What the widget draws, as the command-line tool draws it too.
  const RecordsPlotPicture& picture() const { return m_picture; }

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

  RecordsPlotPicture m_picture;
  Drag m_drag = Drag::None;
  int m_dragFrom = 0;
  int m_dragTo = 0;
  double m_panFrom0 = 0;
  double m_panFrom1 = 0;
  std::function<void()> m_onViewChanged;
};

}  // namespace halvern

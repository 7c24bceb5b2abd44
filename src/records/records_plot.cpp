#include "records/records_plot.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/windows1252.h"

namespace halvern {

namespace {

// A drag shorter than this is a click, not a range.
constexpr int kLeastDrag = 4;

}  // namespace

RecordsPlot::RecordsPlot(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("RecordsPlot"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(false);
  setAutoFillBackground(false);
  setMinimumSize(160, 100);
}

void RecordsPlot::setTable(std::shared_ptr<const RecordsTable> table) {
  m_picture.setTable(std::move(table));
  changed();
}

void RecordsPlot::setFields(std::vector<std::size_t> fields) {
  if (m_picture.setFields(std::move(fields))) changed();
}

void RecordsPlot::setView(double x0, double x1) {
  if (m_picture.setView(x0, x1)) changed();
}

void RecordsPlot::resetView() { setView(m_picture.tableStart(), m_picture.tableEnd()); }

void RecordsPlot::zoomAround(double x, double factor) {
  if (!(factor > 0)) return;
  const double x0 = m_picture.viewStart();
  const double x1 = m_picture.viewEnd();
  x = std::clamp(x, x0, x1);
  const double span = std::clamp((x1 - x0) * factor, m_picture.minimumSpan(),
                                 m_picture.tableEnd() - m_picture.tableStart());
  // x keeps its place across the range.
  const double share = (x - x0) / (x1 - x0);
  const double from = x - share * span;
  setView(from, from + span);
}

void RecordsPlot::panBy(double fraction) {
  const double x0 = m_picture.viewStart();
  const double x1 = m_picture.viewEnd();
  const double shift = (x1 - x0) * fraction;
  setView(x0 + shift, x1 + shift);
}

double RecordsPlot::pixelOf(double x) const { return m_picture.pixelOf(x, size()); }

double RecordsPlot::xAt(double pixel) const { return m_picture.xAt(pixel, size()); }

void RecordsPlot::changed() {
  update();
  if (m_onViewChanged) m_onViewChanged();
}

void RecordsPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintPlot(painter, size());
  if (m_drag == Drag::Zoom && std::abs(m_dragTo - m_dragFrom) >= kLeastDrag) {
    const QRect area = plotArea(size());
    const QRect band(std::min(m_dragFrom, m_dragTo), area.top(), std::abs(m_dragTo - m_dragFrom),
                     area.height());
    painter.fillRect(band, QColor(0x1f, 0x5f, 0xbf, 50));
    painter.setPen(QColor(0x1f, 0x5f, 0xbf));
    painter.drawRect(band.adjusted(0, 0, -1, -1));
  }
  if (hasFocus()) {
    painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

bool RecordsPlot::event(QEvent* event) {
  // The tool tip over a lane names its field and the time (or record) under the cursor.
  const RecordsTable* shown = table();
  if (event->type() == QEvent::ToolTip && shown && !fields().empty()) {
    auto* help = static_cast<QHelpEvent*>(event);
    const std::vector<QRect> lanes = m_picture.lanes(size());
    for (std::size_t i = 0; i < lanes.size(); ++i) {
      if (!lanes[i].adjusted(0, 0, 0, 1).contains(help->pos())) continue;
      const double x = xAt(help->pos().x());
      const QString at = shown->hasTimes()
                             ? QString::fromStdString(isoTime(x))
                             : QStringLiteral("Record ") + QString::number(std::llround(x));
      QToolTip::showText(help->globalPos(),
                         Windows1252::toUnicode(shown->labels[fields()[i]]) + QStringLiteral("\n") +
                             at + QStringLiteral("\n\n") + toolTip(),
                         this);
      return true;
    }
  }
  return QWidget::event(event);
}

void RecordsPlot::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0 || !table()) return;
  zoomAround(xAt(event->position().x()), std::pow(0.8, delta / 120.0));
  event->accept();
}

void RecordsPlot::mousePressEvent(QMouseEvent* event) {
  if (!table()) return;
  const QRect area = plotArea(size());
  const int x = std::clamp(static_cast<int>(event->position().x()), area.left(), area.right() + 1);
  if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier)) {
    m_drag = Drag::Zoom;
  } else if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton ||
             event->button() == Qt::MiddleButton) {
    m_drag = Drag::Pan;
    m_panFrom0 = viewStart();
    m_panFrom1 = viewEnd();
    setCursor(Qt::ClosedHandCursor);
  } else {
    return;
  }
  m_dragFrom = m_dragTo = x;
  event->accept();
}

void RecordsPlot::mouseMoveEvent(QMouseEvent* event) {
  const QRect area = plotArea(size());
  if (m_drag == Drag::Zoom) {
    m_dragTo = std::clamp(static_cast<int>(event->position().x()), area.left(), area.right() + 1);
    update();
  } else if (m_drag == Drag::Pan) {
    const double shift =
        -(event->position().x() - m_dragFrom) / area.width() * (m_panFrom1 - m_panFrom0);
    setView(m_panFrom0 + shift, m_panFrom1 + shift);
  }
}

void RecordsPlot::mouseReleaseEvent(QMouseEvent* event) {
  const Drag drag = m_drag;
  m_drag = Drag::None;
  unsetCursor();
  if (drag == Drag::Zoom) {
    const QRect area = plotArea(size());
    m_dragTo = std::clamp(static_cast<int>(event->position().x()), area.left(), area.right() + 1);
    if (std::abs(m_dragTo - m_dragFrom) >= kLeastDrag) {
      setView(xAt(std::min(m_dragFrom, m_dragTo)), xAt(std::max(m_dragFrom, m_dragTo)));
    }
    update();
  }
}

void RecordsPlot::keyPressEvent(QKeyEvent* event) {
  const double centre = (viewStart() + viewEnd()) / 2;
  switch (event->key()) {
    case Qt::Key_Left:
      panBy(-0.1);
      break;
    case Qt::Key_Right:
      panBy(0.1);
      break;
    case Qt::Key_Up:
    case Qt::Key_Plus:
      zoomAround(centre, 0.8);
      break;
    case Qt::Key_Down:
    case Qt::Key_Minus:
      zoomAround(centre, 1.25);
      break;
    case Qt::Key_Home:
      resetView();
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

}  // namespace halvern

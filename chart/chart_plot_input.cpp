// ChartPlot's cursor and read-out, and what the mouse and the keys do to the view.
#include "chart_plot.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

#include "unit_panels.hpp"

namespace kestrix::chart {

ChartPlot::ReadOut ChartPlot::readOut(double key) const {
  ReadOut out;
  const auto row = static_cast<std::int64_t>(std::floor(data_->rowOfKey(key) + 1e-9));
  out.values.resize(graphs_.size());
  if (row < 0 || row >= data_->rowCount()) return out;
  out.inside = true;
  out.time = QString::fromStdString(data_->dateText(row));
  for (std::size_t c = 0; c < graphs_.size(); ++c)
    if (visible_[c]) out.values[c] = QString::fromStdString(data_->cellText(c, row));
  return out;
}

void ChartPlot::placeCursor(double key) {
  cursorKey_ = key;
  for (QCPItemStraightLine* cursor : cursors_) {
    cursor->point1->setCoords(key, 0);
    cursor->point2->setCoords(key, 1);
    cursor->setVisible(true);
  }
  if (onReadOut) onReadOut(readOut(key));
}

void ChartPlot::showCursor(double key) {
  placeCursor(key);
  layer(QStringLiteral("overlay"))->replot();
}

void ChartPlot::followView() {
  if (mouseAt_) {
    if (QCPAxisRect* panel = axisRectAt(*mouseAt_)) {
      placeCursor(timeAxis(panel)->pixelToCoord(mouseAt_->x()));
      return;
    }
  }
  // A cursor still in view keeps its time and values.
  if (cursorKey_ && timeRange().contains(*cursorKey_)) return;
  cursorKey_.reset();
  for (QCPItemStraightLine* cursor : cursors_) cursor->setVisible(false);
  if (onReadOut) {
    ReadOut none;
    none.values.resize(graphs_.size());
    onReadOut(none);
  }
}

void ChartPlot::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Up:
      zoomTime(0.5);
      break;
    case Qt::Key_Minus:
    case Qt::Key_Down:
      zoomTime(2);
      break;
    case Qt::Key_Left:
      panTime(-0.2);
      break;
    case Qt::Key_Right:
      panTime(0.2);
      break;
    case Qt::Key_Home:
      resetView();
      break;
    default:
      QCustomPlot::keyPressEvent(event);
      return;
  }
  event->accept();
}

void ChartPlot::mousePressEvent(QMouseEvent* event) {
  // Dragging pans; with Shift or the right button it draws a rectangle to zoom into.
  const bool rectangle =
      event->button() == Qt::RightButton || (event->modifiers() & Qt::ShiftModifier);
  setSelectionRectMode(rectangle ? QCP::srmZoom : QCP::srmNone);
  QCustomPlot::mousePressEvent(event);
}

void ChartPlot::mouseMoveEvent(QMouseEvent* event) {
  // Known before a drag moves the view, so that the cursor follows it there.
  mouseAt_ = event->position();
  QCustomPlot::mouseMoveEvent(event);
  if (QCPAxisRect* panel = axisRectAt(event->position())) {
    const double key = timeAxis(panel)->pixelToCoord(event->position().x());
    if (cursorKey_ != key) showCursor(key);
  }
}

void ChartPlot::leaveEvent(QEvent* event) {
  mouseAt_.reset();
  QCustomPlot::leaveEvent(event);
}

void ChartPlot::processRectZoom(QRect rect, QMouseEvent* event) {
  rect = rect.normalized();
  QCPAxisRect* top = axisRectAt(rect.topLeft());
  QCPAxisRect* bottom = axisRectAt(rect.bottomRight());
  if (top && top == bottom) {
    QCustomPlot::processRectZoom(rect, event);
    return;
  }
  if (QCPAxisRect* panel = top ? top : bottom) {
    const QCPAxis* x = timeAxis(panel);
    setTimeRange(QCPRange(x->pixelToCoord(rect.left()), x->pixelToCoord(rect.right())));
  }
  replot(rpQueuedReplot);  // takes the rectangle away
}

void ChartPlot::mouseDoubleClickEvent(QMouseEvent* event) {
  QCustomPlot::mouseDoubleClickEvent(event);
  resetView();
}

}  // namespace kestrix::chart

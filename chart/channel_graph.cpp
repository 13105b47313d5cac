#include "channel_graph.hpp"

#include "own_drawing.hpp"
#include "pixel_lines.hpp"

#include <algorithm>
#include <cmath>

namespace kestrix::chart {

AxisPixels::AxisPixels(const QCPAxis& axis)
    : linear_(axis.scaleType() == QCPAxis::stLinear && !axis.rangeReversed()),
      horizontal_(axis.orientation() == Qt::Horizontal),
      lower_(axis.range().lower),
      size_(axis.range().size()),
      length_(horizontal_ ? axis.axisRect()->width() : axis.axisRect()->height()),
      start_(horizontal_ ? axis.axisRect()->left() : axis.axisRect()->bottom()) {}

bool ChannelGraph::drawsStraight() const {
  const QCPAxis* key = keyAxis();
  const QCPAxis* value = valueAxis();
  return key && value && lineStyle() == lsLine && scatterStyle().isNone() &&
         brush().style() == Qt::NoBrush && !selected() && key->orientation() == Qt::Horizontal &&
         AxisPixels(*key).linear() && AxisPixels(*value).linear();
}

void ChannelGraph::draw(QCPPainter* painter) {
  if (drawnByPanel_) return;
  // Anything but a plain line on linear axes, time across: QCPGraph's own way.
  if (!drawsStraight() || !drawsOwnWay(*painter)) {
    QCPGraph::draw(painter);
    return;
  }
  drawStraight(painter);
}

namespace {

// The pixel positions of the points QCPGraph draws: those in view and one
// beyond each side; none for an empty graph or time range. One buffer a
// thread for every graph, kept from one drawing to the next: a plot draws
// its graphs one after the other.
const QVector<QPointF>& pixelsOf(const ChannelGraph& graph) {
  thread_local QVector<QPointF> pixels;
  const QCPAxis* key = graph.keyAxis();
  if (key->range().size() <= 0 || graph.data()->isEmpty()) {
    pixels.clear();
    return pixels;
  }
  const AxisPixels x(*key);
  const AxisPixels y(*graph.valueAxis());
  const auto begin = graph.data()->findBegin(key->range().lower);
  const auto end = graph.data()->findEnd(key->range().upper);
  pixels.resize(end - begin);
  QPointF* out = pixels.data();
  for (auto p = begin; p != end; ++p, ++out) *out = QPointF(x(p->key), y(p->value));
  return pixels;
}

}  // namespace

void ChannelGraph::drawStraight(QCPPainter* painter) const {
  if (pen().style() == Qt::NoPen || pen().color().alpha() == 0) return;
  const QVector<QPointF>& pixels = pixelsOf(*this);
  if (pixels.isEmpty()) return;
  painter->setBrush(Qt::NoBrush);
  painter->setPen(pen());
  applyDefaultAntialiasingHint(painter);
  // One polyline per unbroken stretch: a NaN value breaks the line.
  const QPointF* points = pixels.constData();
  const auto count = static_cast<int>(pixels.size());
  int start = 0;
  for (int i = 0; i < count; ++i) {
    if (std::isnan(points[i].y()) || std::isnan(points[i].x()) || std::isinf(points[i].y())) {
      painter->drawPolyline(points + start, i - start);
      start = i + 1;
    }
  }
  painter->drawPolyline(points + start, count - start);
}

bool ChannelGraph::hasPixelPen() const {
  const QCustomPlot* plot = parentPlot();
  const bool smooth = plot && !plot->notAntialiasedElements().testFlag(QCP::aePlottables) &&
                      (antialiased() || plot->antialiasedElements().testFlag(QCP::aePlottables));
  return !smooth && pen().style() == Qt::SolidLine && pen().widthF() <= 1 &&
         pen().color().alpha() == 255;
}

void ChannelGraph::drawPixels(LinePixels& pixels, std::uint8_t colour) const {
  const QVector<QPointF>& points = pixelsOf(*this);
  pixels.draw(points.constData(), static_cast<int>(points.size()), colour);
}

}  // namespace kestrix::chart

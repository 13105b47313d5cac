#include "channel_graph.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

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
  if (!drawsStraight()) {
    QCPGraph::draw(painter);
    return;
  }
  drawStraight(painter);
}

void ChannelGraph::drawStraight(QCPPainter* painter) const {
  const QCPAxis* key = keyAxis();
  const AxisPixels x(*key);
  const AxisPixels y(*valueAxis());
  if (key->range().size() <= 0 || data()->isEmpty()) return;
  if (pen().style() == Qt::NoPen || pen().color().alpha() == 0) return;

  // The points QCPGraph draws: those in view and one beyond each side.
  const auto begin = data()->findBegin(key->range().lower);
  const auto end = data()->findEnd(key->range().upper);
  // One buffer a thread for every graph, kept from one drawing to the next:
  // a plot draws its graphs one after the other.
  thread_local QVector<QPointF> pixels;
  pixels.resize(end - begin);
  QPointF* out = pixels.data();
  for (auto p = begin; p != end; ++p, ++out) *out = QPointF(x(p->key), y(p->value));

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

PanelLines::PanelLines(QCustomPlot* plot, QCPAxisRect* panel)
    : QCPLayerable(plot, QStringLiteral("main")), panel_(panel) {}

void PanelLines::draw(QCPPainter* painter) {
  std::vector<ChannelGraph*> shown;
  bool straight = enabled_ && painter->paintEngine() &&
                  painter->paintEngine()->type() == QPaintEngine::Raster &&
                  !painter->modes().testFlag(QCPPainter::pmVectorized) &&
                  painter->transform().type() <= QTransform::TxTranslate && painter->hasClipping();
  for (ChannelGraph* graph : graphs_) {
    if (!graph->realVisibility()) continue;
    straight = straight && graph->drawsStraight();
    shown.push_back(graph);
  }
  if (shown.size() < 2) straight = false;
  for (ChannelGraph* graph : graphs_) graph->setDrawnByPanel(straight);
  if (!straight) return;

  // The later graphs, about half of the points, for the second thread.
  std::vector<std::size_t> points;
  std::size_t total = 0;
  for (const ChannelGraph* graph : shown) {
    const QCPRange view = graph->keyAxis()->range();
    points.push_back(static_cast<std::size_t>(graph->data()->findEnd(view.upper) -
                                              graph->data()->findBegin(view.lower)));
    total += points.back();
  }
  std::size_t split = shown.size();  // shown[split ..] go to the second thread
  for (std::size_t later = 0; split > 1 && (later + points[split - 1]) * 2 <= total;)
    later += points[--split];
  split = std::min(split, shown.size() - 1);
  // The image reaches a little past the clip, as the buffer does: lines are
  // then cut by the same clip in both, not by the image's edge.
  const QRect area = painter->clipBoundingRect().toAlignedRect();
  constexpr int kMargin = 4;
  const QRect image = area.adjusted(-kMargin, -kMargin, kMargin, kMargin);
  const QCPPainter::PainterModes modes = painter->modes();
  QImage later(image.size(), QImage::Format_ARGB32_Premultiplied);
  std::exception_ptr failure;
  std::thread second([&] {
    try {
      later.fill(Qt::transparent);
      QCPPainter onImage(&later);
      onImage.setModes(modes);
      onImage.translate(-image.topLeft());
      onImage.setClipRect(area);
      for (std::size_t i = split; i < shown.size(); ++i) {
        onImage.save();
        shown[i]->drawStraight(&onImage);
        onImage.restore();
      }
    } catch (...) {
      failure = std::current_exception();
    }
  });
  for (std::size_t i = 0; i < split; ++i) {
    painter->save();
    shown[i]->drawStraight(painter);
    painter->restore();
  }
  second.join();
  if (failure) std::rethrow_exception(failure);
  painter->drawImage(image.topLeft(), later);
}

}  // namespace kestrix::chart

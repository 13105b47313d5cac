#include "extreme_marks.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kestrix::chart {

namespace {

// The distance from `point` to the nearest point of `box`.
double distance(const QPointF& point, const QRectF& box) {
  const double dx = std::max({box.left() - point.x(), 0.0, point.x() - box.right()});
  const double dy = std::max({box.top() - point.y(), 0.0, point.y() - box.bottom()});
  return std::hypot(dx, dy);
}

// The point of `box` nearest to `point`.
QPointF nearestPoint(const QPointF& point, const QRectF& box) {
  return {std::clamp(point.x(), box.left(), box.right()),
          std::clamp(point.y(), box.top(), box.bottom())};
}

// True when the segment `line` passes through `box`.
bool crosses(const QLineF& line, const QRectF& box) {
  if (box.contains(line.p1()) || box.contains(line.p2())) return true;
  const QLineF edges[] = {{box.topLeft(), box.topRight()},
                          {box.topRight(), box.bottomRight()},
                          {box.bottomRight(), box.bottomLeft()},
                          {box.bottomLeft(), box.topLeft()}};
  return std::any_of(std::begin(edges), std::end(edges), [&](const QLineF& edge) {
    return line.intersects(edge, nullptr) == QLineF::BoundedIntersection;
  });
}

}  // namespace

void ExtremeMarks::clear() {
  for (const Label& label : labels_) {
    plot_->removeItem(label.text);
    plot_->removeItem(label.leader);
  }
  labels_.clear();
  if (rings_) plot_->removePlottable(rings_);
  rings_ = nullptr;
}

void ExtremeMarks::show(const ChartData& data, std::size_t channel, QCPGraph* graph,
                        const QColor& colour) {
  clear();
  const MinMaxPyramid& series = data.channels()[channel].series;
  const RowSummary all = series.summarize(0, series.size());
  if (!all.hasValue()) return;
  rings_ = plot_->addGraph(graph->keyAxis(), graph->valueAxis());
  rings_->setLineStyle(QCPGraph::lsNone);
  rings_->setScatterStyle(
      QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(colour, 2), QBrush(Qt::white), 9));
  for (auto [row, tag] : {std::pair{all.minAt, "min"}, std::pair{all.maxAt, "max"}}) {
    const double key = data.keyOfRow(row);
    rings_->addData(key, series.value(row));
    auto* text = new QCPItemText(plot_);
    text->setClipAxisRect(graph->keyAxis()->axisRect());
    text->position->setType(QCPItemPosition::ptAbsolute);  // placed after each layout
    text->setPadding(QMargins(7, 4, 7, 4));
    text->setBrush(QColor(255, 255, 255, 200));
    text->setText(QStringLiteral("%1 %2").arg(QLatin1String(tag),
                                              QString::fromStdString(data.cellText(channel, row))));
    text->setColor(colour.darker(130));
    QFont markFont = plot_->font();
    markFont.setPixelSize(11);
    text->setFont(markFont);
    auto* leader = new QCPItemLine(plot_);
    leader->setClipAxisRect(graph->keyAxis()->axisRect());
    leader->start->setType(QCPItemPosition::ptAbsolute);
    leader->end->setType(QCPItemPosition::ptAbsolute);
    leader->setPen(QPen(colour.darker(130), 1));
    leader->setVisible(false);
    labels_.push_back({text, leader, key, series.value(row)});
  }
}

void ExtremeMarks::place() {
  // Each label beside its mark, toward the middle of the panel; else at the
  // mark's other corners or sides, or moved up to `reach` away, where it
  // stays inside the panel clear of the labels placed before it. Failing
  // that, further off with a leader line that crosses no other label.
  constexpr double ringClearance = 6;  // the ring's radius and a pixel
  constexpr int sides[][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  std::vector<QRectF> taken;
  for (const Label& label : labels_) {
    QCPAxisRect* panel = label.text->clipAxisRect();
    const QRectF area = panel->rect();
    const QPointF at(panel->axis(QCPAxis::atBottom)->coordToPixel(label.key),
                     panel->axis(QCPAxis::atLeft)->coordToPixel(label.value));
    const QMargins pad = label.text->padding();
    // As QCustomPlot measures the box, and a pixel apart from the next.
    const QSizeF size = QFontMetricsF(label.text->font()).boundingRect(label.text->text()).size() +
                        QSizeF(pad.left() + pad.right() + 2, pad.top() + pad.bottom() + 2);
    const double right = at.x() < area.center().x() ? 1 : -1;  // toward the middle
    const double down = at.y() < area.center().y() ? 1 : -1;
    // The box on side (sx, sy) of the mark, each -1, 0 or 1 counted toward the
    // middle (0: centred on the mark that way), then moved by `shift` pixels
    // further from the mark (toward the middle along a centred way).
    const auto box = [&](int sx, int sy, QPointF shift) {
      double x = at.x(), y = at.y();
      if (sx != 0) x += sx * right * ((sy == 0 ? ringClearance : 0) + size.width() / 2);
      if (sy != 0) y += sy * down * ((sx == 0 ? ringClearance : 0) + size.height() / 2);
      x += (sx == 0 ? 1 : sx) * right * shift.x();
      y += (sy == 0 ? 1 : sy) * down * shift.y();
      return QRectF(QPointF(x - size.width() / 2, y - size.height() / 2), size);
    };
    const auto fits = [&](const QRectF& b) {
      return area.contains(b) && std::none_of(taken.begin(), taken.end(),
                                              [&](const QRectF& t) { return t.intersects(b); });
    };
    std::optional<QRectF> chosen;
    for (QPointF shift : {QPointF(0, 0), QPointF(0, reach / 2), QPointF(reach / 2, 0),
                          QPointF(0, reach), QPointF(reach, 0)}) {
      for (const auto& [sx, sy] : sides) {
        const QRectF b = box(sx, sy, shift);
        if (!chosen && distance(at, b) <= reach && fits(b)) chosen = b;
      }
    }
    // Further out, a label's height or half its width at a time; best where
    // the leader line crosses no other label.
    std::optional<QRectF> crossing;
    for (int step = 1; step <= 4 && !chosen; ++step) {
      for (QPointF shift :
           {QPointF(0, step * size.height()), QPointF(step * size.width() / 2, 0)}) {
        for (const auto& [sx, sy] : sides) {
          const QRectF b = box(sx, sy, shift);
          if (chosen || !fits(b)) continue;
          const QLineF leader(at, nearestPoint(at, b));
          if (std::none_of(taken.begin(), taken.end(),
                           [&](const QRectF& t) { return crosses(leader, t); }))
            chosen = b;
          else if (!crossing)
            crossing = b;
        }
      }
    }
    const QRectF placed = chosen.value_or(crossing.value_or(box(1, 1, QPointF())));
    label.text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    label.text->position->setCoords(placed.topLeft());
    const bool far = distance(at, placed) > reach;
    label.leader->setVisible(far);
    if (far) {
      label.leader->start->setCoords(at);
      label.leader->end->setCoords(nearestPoint(at, placed));
    }
    taken.push_back(placed);
  }
}

}  // namespace kestrix::chart

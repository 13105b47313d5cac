#include "extreme_marks.hpp"

#include <algorithm>

namespace kestrix::chart {

void ExtremeMarks::clear() {
  for (const Label& label : labels_) plot_->removeItem(label.text);
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
    labels_.push_back({text, key, series.value(row)});
  }
}

void ExtremeMarks::place() {
  // Each label beside its mark, toward the middle of the panel; else on the
  // first other side, or stacked a line further out, where it stays inside
  // the panel clear of the labels placed before it.
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
    const bool towardRight = at.x() < area.center().x();
    const bool towardBottom = at.y() < area.center().y();
    QRectF chosen;
    bool found = false;
    for (int away = 0; away < 4 && !found; ++away) {
      for (int k = 0; k < 4 && !found; ++k) {
        const bool right = (k & 1) ? !towardRight : towardRight;
        const bool down = (k & 2) ? !towardBottom : towardBottom;
        const double shift = away * size.height();
        const QRectF box(QPointF(right ? at.x() : at.x() - size.width(),
                                 down ? at.y() + shift : at.y() - size.height() - shift),
                         size);
        found =
            area.contains(box) && std::none_of(taken.begin(), taken.end(),
                                               [&](const QRectF& t) { return t.intersects(box); });
        if (found || (away == 0 && k == 0)) chosen = box;
      }
    }
    label.text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    label.text->position->setCoords(chosen.topLeft());
    taken.push_back(chosen);
  }
}

}  // namespace kestrix::chart

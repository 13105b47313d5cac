#include "limit_marks.hpp"

#include <algorithm>
#include <cmath>

#include "chart_plot.hpp"

namespace kestrix::chart {

// The excursions of one panel's channels shown, as bands behind its lines.
// Worked out for the pixels in view at each drawing: a run may have a hundred
// thousand excursions, far more than items a plot can hold.
class LimitMarks::Shading : public QCPLayerable {
 public:
  Shading(ChartPlot& plot, QCPAxisRect* panel, const ChartLimits& limits)
      : QCPLayerable(&plot, QStringLiteral("background")),
        plot_(plot),
        panel_(panel),
        limits_(limits) {
    const std::size_t count = plot.data().channels().size();
    for (std::size_t c = 0; c < count; ++c) {
      if (plot.panelOf(c) == panel && !limits.checks()[c].excursions.empty())
        channels_.push_back(c);
    }
  }

 protected:
  void applyDefaultAntialiasingHint(QCPPainter* painter) const override {
    painter->setAntialiasing(false);
  }
  QRect clipRect() const override { return panel_->rect(); }

  void draw(QCPPainter* painter) override {
    const QRect area = panel_->rect();
    if (area.width() <= 0 || channels_.empty()) return;
    const QCPAxis* time = panel_->axis(QCPAxis::atBottom);
    const ChartData& data = plot_.data();
    // Per pixel column: 0 nothing, 1 an excursion without alarm, 2 with one.
    level_.assign(static_cast<std::size_t>(area.width()), 0);
    const double firstRow = data.rowOfKey(time->range().lower) + 1;  // 1-based rows
    const double lastRow = data.rowOfKey(time->range().upper) + 1;
    const auto pixel = [&](std::int64_t row) {
      return time->coordToPixel(data.keyOfRow(static_cast<double>(row - 1))) - area.left();
    };
    for (const std::size_t c : channels_) {
      if (!plot_.channelVisible(c)) continue;
      const std::vector<Excursion>& list = limits_.checks()[c].excursions;
      // The first one that ends in view: they are in order and apart.
      auto e = std::partition_point(list.begin(), list.end(), [&](const Excursion& x) {
        return static_cast<double>(x.endRow()) < firstRow;
      });
      for (; e != list.end() && static_cast<double>(e->firstRow) <= lastRow; ++e) {
        const double from = std::max(pixel(e->firstRow), 0.0);
        const double to = std::min(pixel(e->endRow()), static_cast<double>(area.width()));
        const auto first = static_cast<std::size_t>(std::floor(from));
        // At least one pixel, however short the excursion at this zoom.
        const auto end =
            std::clamp(static_cast<std::size_t>(std::ceil(to)), first + 1, level_.size());
        const std::uint8_t mark = e->alarm ? 2 : 1;
        for (std::size_t x = first; x < end; ++x) level_[x] = std::max(level_[x], mark);
      }
    }
    painter->setPen(Qt::NoPen);
    for (std::size_t x = 0; x < level_.size();) {
      std::size_t end = x + 1;
      while (end < level_.size() && level_[end] == level_[x]) ++end;
      if (level_[x] != 0) {
        painter->fillRect(QRect(area.left() + static_cast<int>(x), area.top(),
                                static_cast<int>(end - x), area.height()),
                          level_[x] == 2 ? alarmColour() : noAlarmColour());
      }
      x = end;
    }
  }

 private:
  ChartPlot& plot_;
  QCPAxisRect* panel_;
  const ChartLimits& limits_;
  std::vector<std::size_t> channels_;  // the panel's channels with excursions
  std::vector<std::uint8_t> level_;
};

QColor LimitMarks::alarmColour() {
  return {230, 30, 30, 48};
}

QColor LimitMarks::noAlarmColour() {
  return {255, 170, 0, 60};
}

LimitMarks::LimitMarks(ChartPlot& plot, std::shared_ptr<const ChartLimits> limits)
    : plot_(plot), limits_(std::move(limits)) {
  const std::vector<ChannelCheck>& checks = limits_->checks();
  for (std::size_t c = 0; c < checks.size() && c < plot.data().channels().size(); ++c) {
    if (!checks[c].rule) continue;
    QCPAxisRect* panel = plot.panelOf(c);
    for (const std::optional<double>& limit : {checks[c].rule->low, checks[c].rule->high}) {
      if (!limit) continue;
      auto* line = new QCPItemStraightLine(&plot);
      line->setClipAxisRect(panel);
      for (QCPItemPosition* p : {line->point1, line->point2}) {
        p->setAxes(panel->axis(QCPAxis::atBottom), panel->axis(QCPAxis::atLeft));
        p->setAxisRect(panel);
      }
      // Two points of the run: the line is horizontal at any zoom.
      const ChartData& data = plot.data();
      line->point1->setCoords(data.keyOfRow(0), *limit);
      line->point2->setCoords(
          data.keyOfRow(static_cast<double>(std::max<std::int64_t>(data.rowCount(), 1))), *limit);
      line->setPen(QPen(plot.colour(c), 1.2, Qt::DashLine));
      line->setSelectable(false);
      lines_.push_back({c, line, *limit});
    }
  }
  for (int p = 0; p < plot.axisRectCount(); ++p)
    shadings_.push_back(new Shading(plot, plot.axisRect(p), *limits_));
  follow();
}

LimitMarks::~LimitMarks() {
  for (const Line& line : lines_) plot_.removeItem(line.item);
  for (Shading* shading : shadings_) delete shading;
}

void LimitMarks::follow() {
  for (const Line& line : lines_) line.item->setVisible(plot_.channelVisible(line.channel));
}

void LimitMarks::widen(const QCPAxisRect* panel, double& low, double& high) const {
  for (const Line& line : lines_) {
    if (plot_.panelOf(line.channel) != panel || !plot_.channelVisible(line.channel)) continue;
    // A limit set far beyond any value a logger writes only says "no limit".
    if (std::abs(line.value) > 1e9) continue;
    low = std::min(low, line.value);
    high = std::max(high, line.value);
  }
}

}  // namespace kestrix::chart

#include "limit_marks.hpp"

#include <algorithm>
#include <cmath>

#include "channel_graph.hpp"
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
    const AxisPixels timePixel(*time);  // coordToPixel's pixels, without a call each
    const auto pixel = [&](std::int64_t row) {
      const double key = data.keyOfRow(static_cast<double>(row - 1));
      return (timePixel.linear() ? timePixel(key) : time->coordToPixel(key)) - area.left();
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
    if (plot_.drawingShortcuts() && painter->paintEngine() &&
        painter->paintEngine()->type() == QPaintEngine::Raster &&
        !painter->modes().testFlag(QCPPainter::pmVectorized)) {
      // One row of the colours, stretched over the panel's height in one
      // call: a whole run's shading may change colour at every pixel.
      const QRgb colours[3] = {0, qPremultiply(noAlarmColour().rgba()),
                               qPremultiply(alarmColour().rgba())};
      if (row_.width() != area.width())
        row_ = QImage(area.width(), 1, QImage::Format_ARGB32_Premultiplied);
      auto* pixels = reinterpret_cast<QRgb*>(row_.scanLine(0));
      for (std::size_t x = 0; x < level_.size(); ++x) pixels[x] = colours[level_[x]];
      painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
      painter->drawImage(area, row_);
      return;
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
  QImage row_;  // the shortcut's row of colours
};

// The limits of one panel's channels shown, as dashed lines over its graphs.
// On a screen the dashes are drawn as short plain segments, which costs a
// fraction of a dashed pen's stroke; a PDF or SVG gets a dashed pen.
class LimitMarks::Lines : public QCPLayerable {
 public:
  Lines(ChartPlot& plot, QCPAxisRect* panel, std::vector<Line> lines)
      : QCPLayerable(&plot, QStringLiteral("main")),
        plot_(plot),
        panel_(panel),
        lines_(std::move(lines)) {
    // One dash and its gap, two pixels high, in each line's colour: made
    // once, not at every drawing.
    for (const Line& line : lines_) {
      QImage pattern(dash + gap, 2, QImage::Format_ARGB32_Premultiplied);
      pattern.fill(Qt::transparent);
      QPainter dashes(&pattern);
      dashes.fillRect(0, 0, dash, 2, plot_.colour(line.channel));
      dashes.end();
      patterns_.emplace_back(pattern);
    }
  }

 protected:
  void applyDefaultAntialiasingHint(QCPPainter* painter) const override {
    painter->setAntialiasing(false);
  }
  QRect clipRect() const override { return panel_->rect(); }

  void draw(QCPPainter* painter) override {
    const QRect area = panel_->rect();
    if (area.width() <= 0) return;
    const QCPAxis* value = panel_->axis(QCPAxis::atLeft);
    const bool vector = painter->modes().testFlag(QCPPainter::pmVectorized);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const Line& line = lines_[i];
      if (!plot_.channelVisible(line.channel)) continue;
      const double y = value->coordToPixel(line.value);
      if (y < area.top() - 1 || y > area.bottom() + 1) continue;
      if (vector) {
        painter->setPen(QPen(plot_.colour(line.channel), 1.2, Qt::DashLine));
        painter->drawLine(QLineF(area.left(), y, area.right() + 1, y));
        continue;
      }
      // Two pixels high, so that the dashes stand out from a one-pixel
      // graph: one dash and its gap as a pattern, filled across the panel
      // from its left edge (a few hundred dashes drawn one by one cost more).
      const int top = static_cast<int>(y);
      painter->setBrushOrigin(area.left(), top);
      painter->fillRect(QRect(area.left(), top, area.width(), 2), patterns_[i]);
    }
  }

 private:
  static constexpr int dash = 7, gap = 4;
  ChartPlot& plot_;
  QCPAxisRect* panel_;
  std::vector<Line> lines_;
  std::vector<QBrush> patterns_;  // per line
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
    for (const std::optional<double>& limit : {checks[c].rule->low, checks[c].rule->high})
      if (limit) lines_.push_back({c, *limit});
  }
  for (int p = 0; p < plot.axisRectCount(); ++p) {
    QCPAxisRect* panel = plot.axisRect(p);
    shadings_.push_back(new Shading(plot, panel, *limits_));
    std::vector<Line> mine;
    for (const Line& line : lines_)
      if (plot.panelOf(line.channel) == panel) mine.push_back(line);
    if (!mine.empty()) drawnLines_.push_back(new Lines(plot, panel, std::move(mine)));
  }
}

LimitMarks::~LimitMarks() {
  for (Lines* lines : drawnLines_) delete lines;
  for (Shading* shading : shadings_) delete shading;
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

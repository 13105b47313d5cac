#include "limit_marks.hpp"

#include <algorithm>
#include <cmath>

#include "chart_plot.hpp"
#include "own_drawing.hpp"

namespace kestrix::chart {

// The excursions of one panel's channels shown, as bands behind its lines.
// A run may have a hundred thousand excursions, far more than items a plot
// can hold, and more than a drawing can go through: their marks are laid on
// the panel's rows once (again when a channel is shown or hidden), and each
// drawing takes the highest mark among the rows of each pixel column.
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

  // Per row (0-based): 0 no excursion, 1 one without alarm, 2 one with.
  void markRows() {
    std::vector<bool> shown;
    for (const std::size_t c : channels_) shown.push_back(plot_.channelVisible(c));
    if (!rowMarks_.empty() && shown == markedShown_) return;
    markedShown_ = std::move(shown);
    rowMarks_.assign(static_cast<std::size_t>(std::max<std::int64_t>(plot_.data().rowCount(), 1)),
                     0);
    for (const int mark : {1, 2}) {  // alarms last: they win a row
      for (std::size_t i = 0; i < channels_.size(); ++i) {
        if (!markedShown_[i]) continue;
        for (const Excursion& e : limits_.checks()[channels_[i]].excursions) {
          if ((e.alarm ? 2 : 1) != mark) continue;
          const auto first = static_cast<std::size_t>(std::max<std::int64_t>(e.firstRow - 1, 0));
          const auto end =
              std::min(static_cast<std::size_t>(std::max<std::int64_t>(e.endRow() - 1, 0)),
                       rowMarks_.size());
          if (first < end)
            std::fill(rowMarks_.begin() + first, rowMarks_.begin() + end,
                      static_cast<std::uint8_t>(mark));
        }
      }
    }
  }

  std::uint8_t highestMark(std::size_t first, std::size_t end) const {
    std::uint8_t level = 0;
    for (std::size_t i = first; i < end; ++i) level = std::max(level, rowMarks_[i]);
    return level;
  }

  void draw(QCPPainter* painter) override {
    const QRect area = panel_->rect();
    if (area.width() <= 0 || channels_.empty()) return;
    markRows();
    const QCPAxis* time = panel_->axis(QCPAxis::atBottom);
    const ChartData& data = plot_.data();
    // Per pixel column: the highest mark among the rows its time touches.
    level_.assign(static_cast<std::size_t>(area.width()), 0);
    const auto rows = static_cast<double>(rowMarks_.size());
    const auto rowAt = [&](int x) {  // the 0-based row position at the column's left edge
      return data.rowOfKey(time->pixelToCoord(area.left() + x));
    };
    double left = rowAt(0);
    for (std::size_t x = 0; x < level_.size(); ++x) {
      const double right = rowAt(static_cast<int>(x) + 1);
      // The rows i with i < right and i + 1 > left, within the run.
      const double from = std::clamp(std::floor(std::min(left, right)), 0.0, rows);
      const double to = std::clamp(std::ceil(std::max(left, right)), 0.0, rows);
      left = right;
      level_[x] = highestMark(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
    }
    if (plot_.drawingShortcuts() && shortcutsApply(*painter)) {
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
  std::vector<bool> markedShown_;      // which of them rowMarks_ holds
  std::vector<std::uint8_t> rowMarks_;
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

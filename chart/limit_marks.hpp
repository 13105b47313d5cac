// What a chart shows of its limits: each channel's low and high as dashed
// lines in the channel's colour, and the time of its excursions shaded
// behind the panel (red where an excursion raised an alarm, amber where it
// did not). Hidden channels show neither.
#pragma once

#include <qcustomplot.h>

#include <memory>
#include <vector>

#include "chart_limits.hpp"

namespace kestrix::chart {

class ChartPlot;

class LimitMarks {
 public:
  // Marks `limits` on `plot`, which outlives the marks.
  LimitMarks(ChartPlot& plot, std::shared_ptr<const ChartLimits> limits);
  ~LimitMarks();
  LimitMarks(const LimitMarks&) = delete;
  LimitMarks& operator=(const LimitMarks&) = delete;

  const std::shared_ptr<const ChartLimits>& limits() const noexcept { return limits_; }

  // Widens [low, high] to the limits of the channels of `panel` shown.
  void widen(const QCPAxisRect* panel, double& low, double& high) const;

  static QColor alarmColour();
  static QColor noAlarmColour();

 private:
  class Shading;
  class Lines;
  struct Line {
    std::size_t channel;
    double value;
  };

  ChartPlot& plot_;
  std::shared_ptr<const ChartLimits> limits_;
  std::vector<Line> lines_;
  std::vector<Shading*> shadings_;  // one per panel
  std::vector<Lines*> drawnLines_;  // one per panel with limits
};

}  // namespace kestrix::chart

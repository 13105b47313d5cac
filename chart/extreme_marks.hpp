// The marks of one channel's lowest and highest value: a ring at each and a
// label with the value beside it, kept inside the panel and apart; a label
// that finds no room within reach of its ring stands further off, tied to
// the ring by a leader line.
#pragma once

#include <qcustomplot.h>

#include <vector>

#include "chart_data.hpp"

namespace kestrix::chart {

class ExtremeMarks {
 public:
  explicit ExtremeMarks(QCustomPlot* plot) : plot_(plot) {}

  // Marks the extremes of `channel`, drawn by `graph`, in `colour`; replaces
  // the marks shown before. A channel without values gets none.
  void show(const ChartData& data, std::size_t channel, QCPGraph* graph, const QColor& colour);
  void clear();
  // Puts each label beside its ring; call once the panels are laid out.
  void place();

  // How far (pixels) a label may stand from its ring without a leader line.
  static constexpr double reach = 20;

 private:
  struct Label {
    QCPItemText* text;
    QCPItemLine* leader;
    double key, value;  // the marked point
  };
  QCustomPlot* plot_;
  QCPGraph* rings_ = nullptr;
  std::vector<Label> labels_;
};

}  // namespace kestrix::chart

// The excursion list under the chart: one line per excursion of the limits
// applied, in channel order and then by start, under the excursion list
// file's column names. A run may have a hundred thousand excursions: the
// lines are made only as they come into view.
#pragma once

#include <QTableView>
#include <functional>
#include <memory>

#include "chart_limits.hpp"

namespace kestrix::ui {

class ExcursionList : public QTableView {
 public:
  explicit ExcursionList(std::shared_ptr<const chart::ChartData> chartData,
                         QWidget* parent = nullptr);

  // Lists the excursions of `limits`; none: an empty list.
  void setLimits(std::shared_ptr<const chart::ChartLimits> limits);
  // The number of lines.
  int lineCount() const;
  // The channel and the excursion of line `line`.
  std::pair<std::size_t, const Excursion*> excursionAt(int line) const;

  // As high as the header and four lines, and a scroll bar: the chart keeps
  // the height.
  QSize sizeHint() const override;
  static constexpr int linesShown = 4;

  // Called with the channel and the excursion of a line double-clicked or
  // entered.
  std::function<void(std::size_t channel, const Excursion&)> onActivated;

 private:
  class Model;
  Model* model_;
};

}  // namespace kestrix::ui

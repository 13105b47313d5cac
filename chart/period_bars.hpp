// The bars of a period table, one panel per unit as in the chart, on the
// periods' time axis: each period's total for Watts, Pulses and Seconds
// channels, a bar from the minimum to the maximum with the mean marked for
// the others. Channels side by side within a period, in the chart's colours.
#pragma once

#include <qcustomplot.h>

#include <functional>
#include <memory>
#include <vector>

#include "chart_data.hpp"
#include "periods.hpp"

namespace kestrix::chart {

class PeriodBars : public QCustomPlot {
 public:
  // `colour` gives each channel's colour in the chart.
  PeriodBars(std::shared_ptr<const ChartData> data, std::function<QColor(std::size_t)> colour,
             QWidget* parent = nullptr);

  // Shows the bars of `table`, made of the data's values; none: no bars.
  void setTable(std::shared_ptr<const PeriodTable> table);
  const std::shared_ptr<const PeriodTable>& table() const noexcept { return table_; }

  bool channelVisible(std::size_t channel) const { return visible_[channel]; }
  void setChannelVisible(std::size_t channel, bool visible);

  // The panel of each unit, in the chart's order (ChartData::units()).
  const std::vector<QCPAxisRect*>& panels() const noexcept { return panels_; }
  // The bars (totals) and min-max bars of each visible channel with a value.
  int barCount() const noexcept { return bars_; }

 private:
  void build();

  std::shared_ptr<const ChartData> data_;
  std::function<QColor(std::size_t)> colour_;
  std::shared_ptr<const PeriodTable> table_;
  std::vector<QCPAxisRect*> panels_;  // per unit
  std::vector<int> panelOf_;          // per channel
  std::vector<bool> visible_;         // per channel
  QSharedPointer<QCPAxisTickerDateTime> ticker_;
  int bars_ = 0;
};

}  // namespace kestrix::chart

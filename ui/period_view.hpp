// The chart window's "Periods" view: a choice of days, ISO weeks, months or
// the whole run, the period table of the run (a line per channel and
// period), and beside it, in a tab of their own, the bars of each unit panel. A double-click (or
// Enter) on a line asks the chart to show that period.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "chart_data.hpp"
#include "periods.hpp"
#include "row_range.hpp"

class QCheckBox;
class QComboBox;
class QTableView;
class QTabWidget;

namespace kestrix::chart {
class ChartLimits;
class PeriodBars;
}  // namespace kestrix::chart

namespace kestrix::ui {

class PeriodModel;

class PeriodView : public QWidget {
 public:
  // `colour` gives each channel's colour in the chart.
  PeriodView(std::shared_ptr<const chart::ChartData> chartData,
             const std::function<QColor(std::size_t)>& colour, QWidget* parent = nullptr);
  ~PeriodView() override;

  PeriodKind kind() const noexcept { return kind_; }
  // Works the table out for `kind` (at once, when the view is in sight;
  // otherwise the first time it shows).
  void setKind(PeriodKind kind);
  // The table shown; none before the view was first shown.
  const std::shared_ptr<const PeriodTable>& table() const noexcept { return table_; }
  // Whether the user asked for the period table in the PDF report and the workbook.
  bool inExports() const;

  void setChannelVisible(std::size_t channel, bool visible);
  // With limits (checked over the whole run), the lines gain the time below
  // and above them; none: without.
  void setLimits(std::shared_ptr<const chart::ChartLimits> limits);

  QComboBox* choice() const noexcept { return choice_; }
  QTableView* lines() const noexcept { return lines_; }
  chart::PeriodBars* bars() const noexcept { return bars_; }
  // The tabs "Table" and "Bars".
  QTabWidget* shown() const noexcept { return shown_; }
  QCheckBox* reportBox() const noexcept { return report_; }

  // Called with the rows of a line's period when the user opens the line.
  std::function<void(RowRange)> onShowPeriod;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void rebuild();

  std::shared_ptr<const chart::ChartData> data_;
  PeriodKind kind_ = PeriodKind::Day;
  std::shared_ptr<const PeriodTable> table_;
  bool stale_ = true;  // the table does not follow kind_ yet
  QComboBox* choice_;
  QCheckBox* report_;
  QTableView* lines_;
  PeriodModel* model_;
  std::shared_ptr<const chart::ChartLimits> limits_;
  chart::PeriodBars* bars_;
  QTabWidget* shown_;
};

}  // namespace kestrix::ui

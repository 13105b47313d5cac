// The chart window of a run: the chart, its legend, a cursor read-out and the
// summary table, with exports to PNG, a PDF report and (through a hook) XLSX.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "chart_data.hpp"
#include "chart_limits.hpp"
#include "periods.hpp"

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QTabWidget;

namespace kestrix::chart {
class ChartPlot;
}

namespace kestrix::ui {

class ExcursionList;
class PeriodView;
class SummaryTable;

// Writes the run's table, its rows `rows` alone, as a workbook to the path,
// with the sheets of the limits when there are rules and the sheet Periods
// of `periods` when given; throws on failure.
using XlsxExport =
    std::function<void(const TableValues& table, const std::filesystem::path&, RowRange rows,
                       const std::vector<LimitRule>* rules, std::optional<PeriodKind> periods)>;

class ChartWindow : public QWidget {
 public:
  explicit ChartWindow(std::shared_ptr<const chart::ChartData> data, QWidget* parent = nullptr);

  chart::ChartPlot* plot() const noexcept { return plot_; }
  QListWidget* legend() const noexcept { return legend_; }
  SummaryTable* summaryTable() const noexcept { return summary_; }
  // The "Summary" and "Periods" tabs under the chart, and the second one.
  QTabWidget* views() const noexcept { return views_; }
  PeriodView* periodView() const noexcept { return periods_; }
  QLabel* readOutLabel() const noexcept { return readOut_; }
  QAction* xlsxAction() const noexcept { return xlsxAction_; }
  QAction* csvAction() const noexcept { return csvAction_; }

  // Limits (chart_window_limits.cpp): the "Limits…" entry, the excursion
  // list under the chart, and the limits applied to chart, summary and list.
  QAction* limitsAction() const noexcept { return limitsAction_; }
  ExcursionList* excursionList() const noexcept { return excursions_; }
  const std::shared_ptr<const chart::ChartLimits>& limits() const noexcept { return limits_; }
  // Applies `rules`, read from `source`; no rules: no limits.
  void setLimits(std::vector<LimitRule> rules, std::optional<chart::LimitsSource> source);
  // Applies the rules of the user's limits file, when there is one; a file
  // that cannot be read is told, and no limits are applied.
  void loadUserLimits();
  // The "Limits…" editor on the user's limits file; its rules are applied on OK.
  void editLimits();
  // Where messages go (by default a message box).
  void setMessageHandler(std::function<void(const QString&)> handler) {
    messageHandler_ = std::move(handler);
  }
  // Shows the excursion's rows and selects its channel.
  void zoomToExcursion(std::size_t channel, const Excursion& excursion);

  // Without a hook the "Table as XLSX…" entry is disabled.
  void setXlsxExport(XlsxExport hook);
  // Where the save dialogs start: the logger files' folder.
  void setSaveFolder(std::filesystem::path folder) { saveFolder_ = std::move(folder); }

  void setChannelVisible(std::size_t channel, bool visible);
  // Shows the read-out at `key` as if the mouse were there.
  void showReadOut(double key);

  // The exports, each to a temporary file renamed over `target`; throw
  // ConversionError (CannotWrite) naming the file and the reason on failure.
  // The picture is the chart as shown with a legend under it; the report
  // covers the rows in view or the whole run, the CSV table (csv_table.hpp,
  // ISO dates without an offset) every row or those in view.
  void exportPng(const std::filesystem::path& target) const;
  void exportReport(const std::filesystem::path& target, bool onlyRangeInView = true) const;
  void exportCsv(const std::filesystem::path& target, bool onlyRangeInView = false) const;

 private:
  void buildLegend();
  // The "Limits…" entry and the excursion list, a tab of views_ while limits are set.
  void buildLimitParts(QAction* limitsAction);
  void tell(const QString& message);
  void legendClicked(QListWidgetItem* item);
  // Asks for a file name (askForSaveFile), suggesting `suggestedName` in the
  // save folder, and writes it with `write`. With `onlyRangeInView` the
  // dialog offers "Only the range in view", ticked or not at first, and
  // `write` is told the user's choice.
  using Export = std::function<void(const std::filesystem::path&, bool onlyRangeInView)>;
  void chooseAndExport(const QString& caption, const QString& filter, const QString& suggestedName,
                       const Export& write, std::optional<bool> onlyRangeInView = std::nullopt);
  // The rows an export covers.
  RowRange exportRows(bool onlyRangeInView) const;

  std::shared_ptr<const chart::ChartData> data_;
  chart::ChartPlot* plot_;
  QListWidget* legend_;
  SummaryTable* summary_;
  PeriodView* periods_;
  QTabWidget* views_;
  QLabel* readOut_;
  QAction* xlsxAction_;
  QAction* csvAction_;
  XlsxExport xlsxExport_;
  QAction* limitsAction_ = nullptr;
  ExcursionList* excursions_ = nullptr;
  QWidget* excursionPane_ = nullptr;
  QLabel* excursionHeading_ = nullptr;
  std::shared_ptr<const chart::ChartLimits> limits_;
  std::function<void(const QString&)> messageHandler_;
  std::filesystem::path saveFolder_;
};

}  // namespace kestrix::ui

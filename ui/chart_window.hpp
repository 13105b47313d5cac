// The chart window of a run: the chart, its legend, a cursor read-out and the
// summary table, with exports to PNG, a PDF report and (through a hook) XLSX.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "chart_data.hpp"
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

class PeriodView;
class SummaryTable;

// Writes the run's table as a workbook to the path, with the sheet Periods
// of `periods` when given; throws on failure.
using XlsxExport = std::function<void(const TableValues& table, const std::filesystem::path&,
                                      std::optional<PeriodKind> periods)>;

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
  // covers the rows in view.
  void exportPng(const std::filesystem::path& target) const;
  void exportReport(const std::filesystem::path& target) const;

 private:
  void buildLegend();
  void legendClicked(QListWidgetItem* item);
  // Asks for a file name (askForSaveFile), suggesting `suggestedName` in the
  // save folder, and writes it with `write`.
  void chooseAndExport(const QString& caption, const QString& filter, const QString& suggestedName,
                       const std::function<void(const std::filesystem::path&)>& write);

  std::shared_ptr<const chart::ChartData> data_;
  chart::ChartPlot* plot_;
  QListWidget* legend_;
  SummaryTable* summary_;
  PeriodView* periods_;
  QTabWidget* views_;
  QLabel* readOut_;
  QAction* xlsxAction_;
  XlsxExport xlsxExport_;
  std::filesystem::path saveFolder_;
};

}  // namespace kestrix::ui

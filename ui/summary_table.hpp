// The summary under the chart: a line per channel with its colour, the
// summary's columns and the value at the cursor. The Channel column stays in
// place while the others scroll sideways, so that a channel's name and its
// value at the cursor are in view together.
#pragma once

#include <QTableWidget>
#include <functional>
#include <vector>

#include "chart_limits.hpp"

class QTableView;

namespace kestrix::ui {

class SummaryTable : public QTableWidget {
 public:
  // `colour` gives each channel's colour in the chart.
  SummaryTable(const chart::ChartData& chartData, const std::function<QColor(std::size_t)>& colour,
               QWidget* parent = nullptr);

  // The column of the values at the cursor, after the summary's own.
  static int cursorColumn();
  // Shows `texts`, one per channel, in the cursor column.
  void setCursorTexts(const std::vector<QString>& texts);
  // Shows the seven limit columns of `limits` after the cursor column, a
  // `fail` in red; none: no limit columns.
  void setLimits(const chart::ChartLimits* limits);
  // The column of the limit column named `name` ("Low", ..., "Result"), or -1
  // without limits.
  int limitColumn(const std::string& name) const;

  // The Channel column laid over the table's left edge.
  QTableView* channelColumn() const noexcept { return channels_; }

  // As high as the header and eight lines (every line, when fewer), and a
  // scroll bar: what the chart window gives it at first.
  QSize sizeHint() const override;
  static constexpr int linesShown = 8;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void scrollTo(const QModelIndex& index, ScrollHint hint) override;

 private:
  void placeChannelColumn();

  QTableView* channels_;
};

}  // namespace kestrix::ui

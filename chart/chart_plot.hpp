// The chart of a run: one panel per unit, stacked on a shared time axis,
// drawn from each channel's min/max pyramid for the range in view.
#pragma once

#include <qcustomplot.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "channel_graph.hpp"
#include "chart_data.hpp"
#include "extreme_marks.hpp"
#include "limit_marks.hpp"
#include "panel_lines.hpp"

namespace kestrix::chart {

class ChartPlot : public QCustomPlot {
 public:
  explicit ChartPlot(std::shared_ptr<const ChartData> data, QWidget* parent = nullptr);

  const ChartData& data() const noexcept { return *data_; }
  QColor colour(std::size_t channel) const;

  bool channelVisible(std::size_t channel) const { return visible_[channel]; }
  void setChannelVisible(std::size_t channel, bool visible);
  // Draws the channel bolder and marks its lowest and highest value; none: no highlight.
  void setHighlighted(std::optional<std::size_t> channel);
  // Draws the limits and shades the excursions of `limits` (of this chart's
  // data); none: no limits.
  void setLimits(std::shared_ptr<const ChartLimits> limits);
  std::shared_ptr<const ChartLimits> limits() const {
    return limitMarks_ ? limitMarks_->limits() : nullptr;
  }
  // The panel that draws `channel`.
  QCPAxisRect* panelOf(std::size_t channel) const {
    return panels_[static_cast<std::size_t>(panelOf_[channel])];
  }

  // The time range in view, as keys (seconds since 1970, UTC).
  QCPRange timeRange() const;
  void setTimeRange(QCPRange range);
  // The table rows (1-based) whose dates lie in view; empty for a run without rows.
  RowRange rowsInView() const;
  // Shows `rows` (1-based), to their dates exactly where the narrowest view allows.
  void showRows(RowRange rows);
  // factor < 1 zooms in around `centre` (default: the middle of the view).
  void zoomTime(double factor, std::optional<double> centre = std::nullopt);
  // Moves the view by `fraction` of its width (negative: back in time).
  void panTime(double fraction);
  // Shows the whole run.
  void resetView();
  // Shows the rows from the channel's first value to its last.
  void showChannelPeriod(std::size_t channel);

  // The read-out at `key`: the date of the row at or before it and, for each
  // channel (empty when hidden), that row's cell as the table shows it ("" for a gap).
  struct ReadOut {
    bool inside = false;
    QString time;
    std::vector<QString> values;
  };
  ReadOut readOut(double key) const;
  // Called with the read-out whenever the cursor moves: with the mouse over a
  // panel, and with the view; with none (inside = false) for a view without
  // the cursor.
  std::function<void(const ReadOut&)> onReadOut;
  // Whether a panel shows "no data in view" (no visible value in the time range).
  bool panelEmpty(int panel) const {
    return emptyNotes_[static_cast<std::size_t>(panel)]->visible();
  }

  // Shortcuts where shortcutsApply (raster devices of device pixel ratio 1):
  // each panel's lines on two threads, one-pixel lines written into the
  // panel's pixels (LinesAhead; the same lines as the plain way's to within a
  // pixel), the excursions' shading as one row of colours stretched over the
  // panel. Off: the plain way, as on every other device.
  void setDrawingShortcuts(bool on);
  bool drawingShortcuts() const noexcept { return drawingShortcuts_; }

  // Milliseconds the last update of the drawn points took (excluding painting).
  double lastUpdateMs() const noexcept { return lastUpdateMs_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // A rectangle within one panel zooms both its axes; one across panels the
  // time only, each panel keeping its own value range.
  void processRectZoom(QRect rect, QMouseEvent* event) override;

 private:
  void timeRangeChanged(QCPAxis* source, const QCPRange& range);
  // Works out the drawn points, the shaded overflow and the value ranges
  // for the view, unless the rows and width in view are those of the last time.
  void updatePoints();
  // Each panel's value scale to what it shows in view (panelExtent_), its
  // note and labels to whether it shows a value.
  void fitValueScales();
  void refreshMarks();
  void showCursor(double key);
  // Sets the cursor lines and tells the read-out; the caller replots.
  void placeCursor(double key);
  // After the view changed: the cursor under the mouse again, or gone when out of view.
  void followView();

  std::shared_ptr<const ChartData> data_;
  std::vector<QCPAxisRect*> panels_;           // per unit
  std::vector<int> panelOf_;                   // per channel
  std::vector<QCPGraph*> graphs_;              // per channel
  LinesAhead linesAhead_{this};                // the second thread of the panels' lines
  std::vector<PanelLines*> panelLines_;        // per panel
  std::vector<bool> visible_;                  // per channel
  std::vector<QCPItemStraightLine*> cursors_;  // per panel
  std::vector<QCPItemText*> emptyNotes_;       // per panel: "no data in view"
  std::optional<double> cursorKey_;            // where the cursor lines stand
  std::optional<QPointF> mouseAt_;             // over the plot, while it is
  std::vector<QCPAbstractItem*> overflowItems_;
  ExtremeMarks marks_;
  std::unique_ptr<LimitMarks> limitMarks_;
  std::optional<std::size_t> highlighted_;
  bool syncing_ = false;
  bool drawingShortcuts_ = true;
  double lastUpdateMs_ = 0;
  // What the points were last worked out for: rows [first, end) at a width;
  // none after a change of the channels shown or of the limits.
  struct PointsFor {
    std::int64_t first = 0, end = 0;
    std::int64_t firstInView = 0, lastInView = 0;
    int columns = 0;
    friend bool operator==(const PointsFor&, const PointsFor&) = default;
  };
  std::optional<PointsFor> pointsFor_;
  std::vector<RowSummary> panelExtent_;  // per panel: the values in view and just outside
  std::vector<bool> panelHasValue_;      // per panel: a value in view
};

}  // namespace kestrix::chart

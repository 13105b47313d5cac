#include "chart_plot.hpp"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

#include "channel_graph.hpp"
#include "two_threads.hpp"
#include "unit_panels.hpp"

namespace kestrix::chart {

namespace {

// At most this many shaded overflow stretches in view; closer ones are joined.
constexpr std::int64_t maxOverflowItems = 400;

}  // namespace

ChartPlot::ChartPlot(std::shared_ptr<const ChartData> chartData, QWidget* parent)
    : QCustomPlot(parent), data_(std::move(chartData)), marks_(this) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setNoAntialiasingOnDrag(true);
  // Thousands of points per line: antialiasing would cost more than it shows.
  setNotAntialiasedElements(QCP::aePlottables | QCP::aeItems);
  // QCustomPlot's "fast polylines" draw each segment with a call of its own;
  // one polyline per unbroken stretch paints these lines in half the time.
  setPlottingHint(QCP::phFastPolylines, false);
  setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plotLayout()->clear();

  QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
  ticker->setDateTimeSpec(Qt::UTC);
  ticker->setDateTimeFormat(QStringLiteral("dd/MM/yy\nhh:mm"));
  const QFont noteFont = axisFont(*this);
  const std::vector<std::string>& units = data_->units();
  // Panels are short: a few value labels, not one crowding the next.
  panels_ = addUnitPanels(*this, units, ticker, 4);
  for (std::size_t i = 0; i < units.size(); ++i) {
    QCPAxisRect* panel = panels_[i];
    panel->setRangeDrag(Qt::Horizontal);
    panel->setRangeZoom(Qt::Horizontal);
    valueAxis(panel)->setLabel(QString::fromStdString(units[i]));
    QCPAxis* x = timeAxis(panel);
    connect(x, QOverload<const QCPRange&>::of(&QCPAxis::rangeChanged), this,
            [this, x](const QCPRange& range) { timeRangeChanged(x, range); });

    auto* cursor = new QCPItemStraightLine(this);
    cursor->setLayer(QStringLiteral("overlay"));
    cursor->setClipAxisRect(panel);
    for (QCPItemPosition* p : {cursor->point1, cursor->point2}) {
      p->setAxes(x, valueAxis(panel));
      p->setAxisRect(panel);
    }
    cursor->setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    cursor->setVisible(false);
    cursors_.push_back(cursor);

    // Rather than an empty 0 to 1 scale.
    auto* note = new QCPItemText(this);
    note->setClipAxisRect(panel);
    note->position->setType(QCPItemPosition::ptAxisRectRatio);
    note->position->setAxisRect(panel);
    note->position->setCoords(0.5, 0.5);
    note->setText(QStringLiteral("no data in view"));
    note->setColor(Qt::gray);
    note->setFont(noteFont);
    note->setSelectable(false);
    note->setVisible(false);
    emptyNotes_.push_back(note);
  }

  // Before the graphs on their layer: drawn first, in their place.
  for (QCPAxisRect* panel : panels_)
    panelLines_.push_back(new PanelLines(this, panel, linesAhead_));
  std::vector<std::vector<ChannelGraph*>> panelGraphs(panels_.size());
  const std::vector<ChartChannel>& channels = data_->channels();
  for (std::size_t c = 0; c < channels.size(); ++c) {
    const auto unit = std::find(units.begin(), units.end(), channels[c].unit) - units.begin();
    panelOf_.push_back(static_cast<int>(unit));
    QCPAxisRect* panel = panels_[static_cast<std::size_t>(unit)];
    // The plot takes the graph over, as addGraph's would be.
    auto* graph = new ChannelGraph(timeAxis(panel), valueAxis(panel));
    panelGraphs[static_cast<std::size_t>(unit)].push_back(graph);
    graph->setName(QString::fromStdString(channels[c].name()));
    graph->setPen(QPen(colour(c), 1));
    graph->setAdaptiveSampling(false);  // the points come thinned already
    graphs_.push_back(graph);
  }
  for (std::size_t p = 0; p < panels_.size(); ++p) panelLines_[p]->setGraphs(panelGraphs[p]);
  linesAhead_.setPanels(panelLines_);
  // Nothing the second thread reads changes while it draws.
  connect(this, &QCustomPlot::afterReplot, this, [this] { linesAhead_.finish(); });
  visible_.assign(channels.size(), true);
  // Where a label fits is known once the panels are laid out, before they are drawn.
  connect(this, &QCustomPlot::afterLayout, this, [this] { marks_.place(); });
  resetView();
}

QColor ChartPlot::colour(std::size_t channel) const {
  // Hues a golden angle apart stay distinct for many channels.
  const double hue = std::fmod(0.05 + static_cast<double>(channel) * 0.618033988749895, 1.0);
  const double value = channel % 3 == 1 ? 0.6 : 0.85;
  return QColor::fromHsvF(static_cast<float>(hue), 0.9f, static_cast<float>(value));
}

void ChartPlot::setDrawingShortcuts(bool on) {
  drawingShortcuts_ = on;
  linesAhead_.setEnabled(on);
}

void ChartPlot::setChannelVisible(std::size_t channel, bool visible) {
  if (visible_[channel] == visible) return;
  visible_[channel] = visible;
  pointsFor_.reset();
  updatePoints();
  refreshMarks();
  replot(rpQueuedReplot);
}

void ChartPlot::setHighlighted(std::optional<std::size_t> channel) {
  if (highlighted_) graphs_[*highlighted_]->setPen(QPen(colour(*highlighted_), 1));
  highlighted_ = channel;
  if (highlighted_) graphs_[*highlighted_]->setPen(QPen(colour(*highlighted_), 2.6));
  refreshMarks();
  replot(rpQueuedReplot);
}

void ChartPlot::setLimits(std::shared_ptr<const ChartLimits> limits) {
  limitMarks_.reset();
  if (limits) limitMarks_ = std::make_unique<LimitMarks>(*this, std::move(limits));
  pointsFor_.reset();
  updatePoints();
  replot(rpQueuedReplot);
}

QCPRange ChartPlot::timeRange() const {
  return panels_.empty() ? QCPRange() : timeAxis(panels_.back())->range();
}

void ChartPlot::setTimeRange(QCPRange range) {
  if (panels_.empty()) return;
  timeAxis(panels_.back())->setRange(range);
  replot(rpQueuedReplot);
}

void ChartPlot::zoomTime(double factor, std::optional<double> centre) {
  const QCPRange r = timeRange();
  const double c = centre.value_or(r.center());
  setTimeRange(QCPRange(c - (c - r.lower) * factor, c + (r.upper - c) * factor));
}

void ChartPlot::panTime(double fraction) {
  const QCPRange r = timeRange();
  setTimeRange(QCPRange(r.lower + r.size() * fraction, r.upper + r.size() * fraction));
}

RowRange ChartPlot::rowsInView() const {
  const std::int64_t rows = data_->rowCount();
  if (rows <= 0) return {1, 0};
  const QCPRange r = timeRange();
  // A row on the edge of the view counts as in it.
  auto first = static_cast<std::int64_t>(std::ceil(data_->rowOfKey(r.lower) - 1e-6));
  auto last = static_cast<std::int64_t>(std::floor(data_->rowOfKey(r.upper) + 1e-6));
  first = std::clamp<std::int64_t>(first, 0, rows - 1);
  last = std::clamp<std::int64_t>(last, first, rows - 1);
  return {first + 1, last + 1};
}

void ChartPlot::showRows(RowRange rows) {
  if (rows.count() <= 0) {
    resetView();
    return;
  }
  const double first = static_cast<double>(rows.first - 1);
  const double last = static_cast<double>(rows.last - 1);
  if (last > first)
    setTimeRange(QCPRange(data_->keyOfRow(first), data_->keyOfRow(last)));
  else
    setTimeRange(QCPRange(data_->keyOfRow(first - 0.5), data_->keyOfRow(first + 0.5)));
}

void ChartPlot::resetView() {
  const double last = static_cast<double>(std::max<std::int64_t>(data_->rowCount() - 1, 1));
  syncing_ = true;
  for (QCPAxisRect* panel : panels_)
    timeAxis(panel)->setRange(data_->keyOfRow(0), data_->keyOfRow(last));
  syncing_ = false;
  updatePoints();
  followView();
  replot(rpQueuedReplot);
}

void ChartPlot::showChannelPeriod(std::size_t channel) {
  const MinMaxPyramid& series = data_->channels()[channel].series;
  const RowSummary all = series.summarize(0, series.size());
  if (!all.hasValue()) return;
  setTimeRange(
      QCPRange(data_->keyOfRow(all.firstValue - 0.5), data_->keyOfRow(all.lastValue + 0.5)));
}

void ChartPlot::timeRangeChanged(QCPAxis* source, const QCPRange& range) {
  if (syncing_) return;
  // Never further out than the run, never closer in than a few rows.
  const double first = data_->keyOfRow(0);
  const double last =
      data_->keyOfRow(static_cast<double>(std::max<std::int64_t>(data_->rowCount() - 1, 1)));
  const double narrowest = std::min(last - first, 4 * (data_->keyOfRow(1) - first));
  QCPRange r = range;
  if (r.size() > last - first) r = QCPRange(first, last);
  if (r.size() < narrowest) r = QCPRange(r.center() - narrowest / 2, r.center() + narrowest / 2);
  if (r.lower < first) r += first - r.lower;
  if (r.upper > last) r += last - r.upper;
  syncing_ = true;
  for (QCPAxisRect* panel : panels_)
    if (timeAxis(panel) != source || r != range) timeAxis(panel)->setRange(r);
  syncing_ = false;
  updatePoints();
  followView();
}

void ChartPlot::updatePoints() {
  QElapsedTimer timer;
  timer.start();
  const QCPRange r = timeRange();
  const auto first = static_cast<std::int64_t>(std::floor(data_->rowOfKey(r.lower))) - 1;
  const auto end = static_cast<std::int64_t>(std::ceil(data_->rowOfKey(r.upper))) + 2;
  const RowRange inView = rowsInView();
  const int columns = std::max(width(), 64);
  // A pan or zoom that the run's edges hold back leaves the same rows in
  // view: the points stand, the value scales are set anew.
  const PointsFor now{first, end, inView.first, inView.last, columns};
  if (pointsFor_ == now) {
    fitValueScales();
    lastUpdateMs_ = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return;
  }
  pointsFor_ = now;
  const std::int64_t joinGap = std::max<std::int64_t>(1, (end - first) / maxOverflowItems);

  // The channels' points are worked out on two threads; the plot's items are
  // touched on this one only.
  struct ChannelView {
    QSharedPointer<QCPGraphDataContainer> points;
    RowSummary extent;  // with the rows just outside, whose lines run in
    bool valueInView = false;
    std::vector<RowStretch> overflow;
  };
  std::vector<ChannelView> views(graphs_.size());
  forEachOnTwoThreads(graphs_.size(), [&](std::size_t c) {
    if (!visible_[c]) return;
    const MinMaxPyramid& series = data_->channels()[c].series;
    std::vector<PlotPoint> points;
    series.decimate(first, end, columns, points);
    QVector<QCPGraphData> keyed;
    keyed.reserve(static_cast<qsizetype>(points.size()));
    for (const PlotPoint& point : points)
      keyed.emplaceBack(data_->keyOfRow(point.row), point.value);
    ChannelView& view = views[c];
    view.points.reset(new QCPGraphDataContainer);
    view.points->set(keyed, true);
    view.extent = series.summarize(first, end);
    view.valueInView = series.summarize(inView.first - 1, inView.last).hasValue();
    view.overflow = series.overflowIn(first, end, joinGap);
  });

  for (QCPAbstractItem* item : overflowItems_) removeItem(item);
  overflowItems_.clear();
  std::vector<RowSummary>& extent = panelExtent_;
  std::vector<bool>& valueInView = panelHasValue_;
  extent.assign(panels_.size(), RowSummary{});
  valueInView.assign(panels_.size(), false);
  for (std::size_t c = 0; c < graphs_.size(); ++c) {
    QCPGraph* graph = graphs_[c];
    graph->setVisible(visible_[c]);
    if (!visible_[c]) {
      graph->data()->clear();
      continue;
    }
    graph->setData(views[c].points);
    const auto panel = static_cast<std::size_t>(panelOf_[c]);
    extent[panel].append(views[c].extent);
    if (views[c].valueInView) valueInView[panel] = true;

    for (const RowStretch& s : views[c].overflow) {
      auto* shade = new QCPItemRect(this);
      shade->setLayer(QStringLiteral("grid"));
      shade->setClipAxisRect(panels_[panel]);
      for (QCPItemPosition* p : {shade->topLeft, shade->bottomRight}) {
        p->setTypeX(QCPItemPosition::ptPlotCoords);
        p->setTypeY(QCPItemPosition::ptAxisRectRatio);
        p->setAxes(graph->keyAxis(), graph->valueAxis());
        p->setAxisRect(panels_[panel]);
      }
      shade->topLeft->setCoords(data_->keyOfRow(s.begin - 0.5), 0);
      shade->bottomRight->setCoords(data_->keyOfRow(s.end - 0.5), 1);
      QColor fill = colour(c);
      fill.setAlpha(45);
      shade->setBrush(fill);
      shade->setPen(Qt::NoPen);
      shade->setSelectable(false);
      overflowItems_.push_back(shade);
    }
  }
  fitValueScales();
  lastUpdateMs_ = static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void ChartPlot::fitValueScales() {
  for (std::size_t p = 0; p < panels_.size(); ++p) {
    const RowSummary& s = panelExtent_[p];
    emptyNotes_[p]->setVisible(!panelHasValue_[p]);
    valueAxis(panels_[p])->setTickLabels(panelHasValue_[p]);
    if (!s.hasValue()) continue;  // the scale it had: nothing is drawn on it
    double low = s.min, high = s.max;
    if (limitMarks_) limitMarks_->widen(panels_[p], low, high);  // the limits in view too
    const double pad = high > low ? (high - low) * 0.06 : 1;
    valueAxis(panels_[p])->setRange(low - pad, high + pad);
  }
}

void ChartPlot::refreshMarks() {
  if (highlighted_ && visible_[*highlighted_]) {
    marks_.show(*data_, *highlighted_, graphs_[*highlighted_], colour(*highlighted_));
  } else {
    marks_.clear();
  }
}

void ChartPlot::resizeEvent(QResizeEvent* event) {
  QCustomPlot::resizeEvent(event);
  updatePoints();
}

}  // namespace kestrix::chart

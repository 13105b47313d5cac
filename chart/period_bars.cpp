#include "period_bars.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "own_drawing.hpp"
#include "unit_panels.hpp"

namespace kestrix::chart {

namespace {

// How long a period lasts on the calendar (the whole run: its rows, one step each).
double periodSeconds(const PeriodTable& table, const Period& period, int interval) {
  if (table.kind == PeriodKind::All)
    return static_cast<double>(std::max<std::int64_t>(period.rows.count() * interval, 1));
  return static_cast<double>(nextPeriodStart(table.kind, period.start) - period.start);
}

double totalValue(const FixedDecimal& total) {
  return static_cast<double>(total.units) / std::pow(10.0, total.digits);
}

// A channel's boxes from minimum to maximum with the mean marked, drawn as
// QCPStatisticalBox draws them but thousands at a time: the boxes in one
// call, then each mark clipped to its box as there, without saving and
// restoring the whole painter around every mark (the clip is set anew from
// the one the plot gave, which is a rectangle).
class PeriodBoxes : public QCPStatisticalBox {
 public:
  using QCPStatisticalBox::QCPStatisticalBox;

 protected:
  void draw(QCPPainter* painter) override {
    if (!drawsOwnWay(*painter) || selected() || whiskerPen().style() != Qt::NoPen ||
        whiskerBarPen().style() != Qt::NoPen || !keyAxis() ||
        keyAxis()->orientation() != Qt::Horizontal || !painter->hasClipping() ||
        painter->clipRegion().rectCount() != 1) {
      QCPStatisticalBox::draw(painter);
      return;
    }
    QCPStatisticalBoxDataContainer::const_iterator begin, end;
    getVisibleDataBounds(begin, end);
    boxes_.clear();
    marks_.clear();
    for (auto it = begin; it != end; ++it) {
      if (!it->outliers.isEmpty()) {  // none in a period table
        QCPStatisticalBox::draw(painter);
        return;
      }
      boxes_.push_back(getQuartileBox(it));
      marks_.emplace_back(coordsToPixels(it->key - width() * 0.5, it->median),
                          coordsToPixels(it->key + width() * 0.5, it->median));
    }
    const QRectF given = painter->clipBoundingRect();
    applyDefaultAntialiasingHint(painter);
    painter->setPen(pen());
    painter->setBrush(brush());
    painter->drawRects(boxes_.data(), static_cast<int>(boxes_.size()));
    painter->setPen(medianPen());
    for (std::size_t i = 0; i < marks_.size(); ++i) {
      painter->setClipRect(given, Qt::ReplaceClip);
      painter->setClipRect(boxes_[i], Qt::IntersectClip);
      painter->drawLine(marks_[i]);
    }
    painter->setClipRect(given, Qt::ReplaceClip);
  }

 private:
  std::vector<QRectF> boxes_;
  std::vector<QLineF> marks_;
};

}  // namespace

PeriodBars::PeriodBars(std::shared_ptr<const ChartData> chartData,
                       std::function<QColor(std::size_t)> colour, QWidget* parent)
    : QCustomPlot(parent), data_(std::move(chartData)), colour_(std::move(colour)) {
  plotLayout()->clear();
  // Thousands of boxes and bars, all upright rectangles: drawn without
  // antialiasing a frame takes a fifth of the time, and their edges stay sharp.
  setNotAntialiasedElements(QCP::aePlottables);
  ticker_.reset(new QCPAxisTickerDateTime);
  ticker_->setDateTimeSpec(Qt::UTC);
  const std::vector<std::string>& units = data_->units();
  panels_ = addUnitPanels(*this, units, ticker_, 3);  // the panels are low
  const std::vector<ChartChannel>& channels = data_->channels();
  for (const ChartChannel& channel : channels) {
    panelOf_.push_back(
        static_cast<int>(std::find(units.begin(), units.end(), channel.unit) - units.begin()));
  }
  visible_.assign(channels.size(), true);
  build();
}

void PeriodBars::setTable(std::shared_ptr<const PeriodTable> table) {
  table_ = std::move(table);
  build();
}

void PeriodBars::setChannelVisible(std::size_t channel, bool visible) {
  if (visible_[channel] == visible) return;
  visible_[channel] = visible;
  build();
}

void PeriodBars::build() {
  clearPlottables();
  bars_ = 0;
  const std::vector<ChartChannel>& channels = data_->channels();
  const std::vector<std::string>& units = data_->units();
  const std::size_t periods = table_ ? table_->periods.size() : 0;
  const int interval = data_->run().step;  // a row of the table
  // Key of a date: the chart's time axis.
  const auto keyOf = [this](double seconds) {
    return data_->keyOfRow(0) + seconds - static_cast<double>(data_->run().earliestStart);
  };
  double shortest = std::numeric_limits<double>::infinity();
  for (std::size_t p = 0; p < periods; ++p)
    shortest = std::min(shortest, periodSeconds(*table_, table_->periods[p], interval));

  for (std::size_t u = 0; u < panels_.size(); ++u) {
    QCPAxisRect* panel = panels_[u];
    std::vector<std::size_t> shown;
    for (std::size_t c = 0; c < channels.size(); ++c)
      if (panelOf_[c] == static_cast<int>(u) && visible_[c]) shown.push_back(c);
    const TotalKind totals = shown.empty()
                                 ? TotalKind::None
                                 : totalKindOf(data_->values().column(channels[shown[0]].column));
    valueAxis(panel)->setLabel(QString::fromStdString(
        totals == TotalKind::None ? units[u] : std::string(totalUnitText(totals))));
    double low = totals == TotalKind::None ? std::numeric_limits<double>::infinity() : 0;
    double high = totals == TotalKind::None ? -std::numeric_limits<double>::infinity() : 0;
    // Each period's channels side by side in nine tenths of the shortest period.
    const double slot =
        periods == 0 ? 1
                     : shortest * 0.9 / static_cast<double>(std::max<std::size_t>(shown.size(), 1));
    for (std::size_t i = 0; i < shown.size(); ++i) {
      const std::size_t c = shown[i];
      const std::size_t column = channels[c].column;
      const double offset =
          (static_cast<double>(i) - (static_cast<double>(shown.size()) - 1) / 2) * slot;
      QColor fill = colour_(c);
      QVector<double> keys;
      if (totals != TotalKind::None) {
        QVector<double> values;
        for (std::size_t p = 0; p < periods; ++p) {
          const PeriodLine& line = table_->line(column, p);
          if (!line.total) continue;
          const Period& period = table_->periods[p];
          const double middle =
              static_cast<double>(period.start) + periodSeconds(*table_, period, interval) / 2;
          keys.push_back(keyOf(middle) + offset);
          values.push_back(totalValue(*line.total));
          low = std::min(low, values.back());
          high = std::max(high, values.back());
        }
        auto* bars = new QCPBars(timeAxis(panel), valueAxis(panel));
        bars->setWidthType(QCPBars::wtPlotCoords);
        bars->setWidth(slot * 0.85);
        bars->setPen(Qt::NoPen);
        bars->setBrush(fill);
        bars->setData(keys, values, true);
        bars->setName(QString::fromStdString(channels[c].name()));
        bars_ += static_cast<int>(keys.size());
        continue;
      }
      QVector<double> minimum, mean, maximum;
      for (std::size_t p = 0; p < periods; ++p) {
        const ColumnFigures& s = table_->line(column, p).summary;
        if (s.values == 0) continue;
        const Period& period = table_->periods[p];
        const double middle =
            static_cast<double>(period.start) + periodSeconds(*table_, period, interval) / 2;
        keys.push_back(keyOf(middle) + offset);
        minimum.push_back(static_cast<double>(s.minTenths) / 10.0);
        maximum.push_back(static_cast<double>(s.maxTenths) / 10.0);
        mean.push_back(static_cast<double>(meanHundredths(s)) / 100.0);
        low = std::min(low, minimum.back());
        high = std::max(high, maximum.back());
      }
      auto* boxes = new PeriodBoxes(timeAxis(panel), valueAxis(panel));
      boxes->setWidth(slot * 0.85);
      boxes->setWhiskerWidth(0);
      boxes->setWhiskerPen(Qt::NoPen);
      boxes->setWhiskerBarPen(Qt::NoPen);
      boxes->setPen(QPen(fill, 1));
      fill.setAlpha(150);
      boxes->setBrush(fill);
      boxes->setMedianPen(QPen(Qt::black, 2));
      // A box from the minimum to the maximum, its median line at the mean.
      boxes->setData(keys, minimum, minimum, mean, maximum, maximum, true);
      boxes->setName(QString::fromStdString(channels[c].name()));
      bars_ += static_cast<int>(keys.size());
    }
    if (low <= high) {
      const double pad = high > low ? (high - low) * 0.06 : 1;
      valueAxis(panel)->setRange(totals == TotalKind::None ? low - pad : std::min(low, 0.0),
                                 high + pad);
    }
  }

  // The periods' time: from the first's start to the last's end.
  if (periods > 0) {
    const Period& first = table_->periods.front();
    const Period& last = table_->periods.back();
    const double from = keyOf(static_cast<double>(first.start));
    const double to =
        keyOf(static_cast<double>(last.start) + periodSeconds(*table_, last, interval));
    for (QCPAxisRect* panel : panels_) timeAxis(panel)->setRange(from, to);
    ticker_->setDateTimeFormat(table_->kind == PeriodKind::Month ? QStringLiteral("MM/yyyy")
                                                                 : QStringLiteral("dd/MM/yy"));
  }
  replot(rpQueuedReplot);
}

}  // namespace kestrix::chart

#include "period_report.hpp"

#include <QFontMetricsF>
#include <algorithm>

#include "period_bars.hpp"
#include "period_lines.hpp"

namespace kestrix::chart {

namespace {

// The largest and smallest type of the table, in points.
constexpr double kLargest = 7;
constexpr double kSmallest = 5;

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// The table's type size and column widths: each column as wide as its
// widest text (measured as the painter draws them); where they do not fit the
// page, the channel names give way first (down to a fifth of the page), then
// the type shrinks, to the smallest.
struct TableLayout {
  double points = kLargest;
  double gap = 0;  // after each column
  std::vector<double> widths;
};

TableLayout layOut(const std::vector<std::vector<QString>>& rows, const ReportPainter& report,
                   QPainter& painter, double pageWidth) {
  // Measured once at the largest type: the widths shrink with it.
  std::vector<double> widest(rows[0].size(), 0.0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    painter.setFont(report.font(kLargest, r == 0));
    const QFontMetricsF metrics = QFontMetricsF(painter.fontMetrics());
    for (std::size_t i = 0; i < rows[r].size(); ++i)
      widest[i] = std::max(widest[i], metrics.horizontalAdvance(rows[r][i]) + 2);
  }
  TableLayout layout;
  for (layout.points = kLargest;; layout.points -= 0.5) {
    const double scale = layout.points / kLargest;
    const double rowHeight = report.lineHeight(layout.points);
    layout.gap = rowHeight * 0.7;
    layout.widths.clear();
    for (const double w : widest) layout.widths.push_back(w * scale + layout.gap);
    layout.widths[0] += rowHeight;  // the colour swatch
    double total = 0;
    for (const double w : layout.widths) total += w;
    const double over = total - pageWidth;
    if (over <= 0) {
      layout.widths[0] -= over;  // the rest of the line goes to the names
      return layout;
    }
    if (layout.widths[0] - over >= pageWidth / 5 || layout.points <= kSmallest) {
      layout.widths[0] = std::max(layout.widths[0] - over, pageWidth / 5);
      return layout;
    }
  }
}

}  // namespace

int drawPeriodPages(ReportPainter& report, QCPPainter& painter,
                    const std::shared_ptr<const ChartData>& data, PeriodKind kind, RowRange rows,
                    bool wholeRun, const std::vector<bool>& visible,
                    const std::function<QColor(std::size_t)>& colour,
                    const std::vector<ChannelCheck>* limits) {
  const std::shared_ptr<const PeriodTable> table = periodTableOf(*data, kind, rows, limits);
  report.newPage();
  const QRect page = report.page();
  int y = page.top();
  const int headingHeight = report.lineHeight(9);
  painter.setFont(report.font(9, true));
  painter.drawText(QRect(page.left(), y, page.width(), headingHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   text("Period table: " + periodChoiceText(kind) +
                        (wholeRun ? ", over the whole run"
                                  : ", over the period drawn, " + data->periodText(rows))));
  y += headingHeight;

  // The bars, laid out as on a screen and scaled to the page.
  PeriodBars bars(data, colour);
  for (std::size_t c = 0; c < visible.size() && c < data->channels().size(); ++c)
    bars.setChannelVisible(c, visible[c]);
  bars.setTable(table);
  const int barsHeight = page.height() * 9 / 20;
  const double screen = 96.0 / reportDpi;
  bars.resize(static_cast<int>(page.width() * screen), static_cast<int>(barsHeight * screen));
  painter.save();
  painter.translate(page.left(), y);
  painter.scale(1 / screen, 1 / screen);
  bars.toPainter(&painter, bars.width(), bars.height());
  painter.restore();
  y += barsHeight + report.lineHeight(kLargest) / 2;

  // The lines, channel after channel, period after period.
  const int columns = hasTimeOutside(*table) ? periodColumnCount : periodColumnCount - 2;
  std::vector<std::vector<QString>> lines(1);
  for (int i = 0; i < columns; ++i)
    lines[0].push_back(text(periodHeading(static_cast<PeriodColumn>(i))));
  std::vector<std::size_t> channelOf(1, 0);
  for (std::size_t c = 0; c < data->channels().size(); ++c) {
    for (std::size_t p = 0; p < table->periods.size(); ++p) {
      if (!table->line(c, p).held) continue;
      lines.emplace_back();
      for (int i = 0; i < columns; ++i)
        lines.back().push_back(text(periodCell(*data, *table, c, p, static_cast<PeriodColumn>(i))));
      channelOf.push_back(c);
    }
  }
  const TableLayout layout = layOut(lines, report, painter, page.width());
  const int rowHeight = report.lineHeight(layout.points);
  const auto drawLine = [&](std::size_t r) {
    painter.setFont(report.font(layout.points, r == 0));
    double x = page.left();
    for (std::size_t i = 0; i < lines[r].size(); ++i) {
      QRectF cell(x, y, layout.widths[i] - layout.gap, rowHeight);
      if (i == 0 && r > 0) {
        painter.fillRect(QRectF(x, y + rowHeight * 0.3, rowHeight * 0.8, rowHeight * 0.4),
                         colour(channelOf[r]));
        cell.adjust(rowHeight, 0, 0, 0);
      }
      painter.drawText(cell, Qt::AlignVCenter | (i >= 2 ? Qt::AlignRight : Qt::AlignLeft),
                       painter.fontMetrics().elidedText(lines[r][i], Qt::ElideRight,
                                                        static_cast<int>(cell.width())));
      x += layout.widths[i];
    }
    y += rowHeight;
  };
  for (std::size_t r = 0; r < lines.size(); ++r) {
    if (y + rowHeight > page.bottom()) {  // a new page, headed by the column names
      report.newPage();
      y = page.top();
      if (r > 0) drawLine(0);
    }
    drawLine(r);
  }
  return y;
}

}  // namespace kestrix::chart

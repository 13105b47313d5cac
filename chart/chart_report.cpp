#include "chart_report.hpp"

#include <QDateTime>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QPixmap>
#include <algorithm>

#include "chart_plot.hpp"
#include "period_report.hpp"
#include "replacement_device.hpp"
#include "report_painter.hpp"
#include "report_sections.hpp"

namespace kestrix::chart {

namespace fs = std::filesystem;

QString kestrixVersionText() {
  return QStringLiteral("Kestrix " KESTRIX_VERSION);
}

namespace {

constexpr int dpi = reportDpi;

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// The summary table's type size and column widths: each column as wide as
// its widest text; where they do not fit the page, the channel names give way
// first (down to a fifth of the page), then the type shrinks, to 5 points.
struct SummaryLayout {
  double points = 7;
  double gap = 0;  // after each column
  std::vector<double> widths;
};

SummaryLayout layOutSummary(const std::vector<std::vector<QString>>& rows,
                            const ReportPainter& report, QPainter& painter, double pageWidth,
                            int rowHeight) {
  SummaryLayout layout;
  layout.gap = rowHeight * 0.7;
  for (layout.points = 7;; layout.points -= 0.5) {
    layout.widths.assign(rows[0].size(), 0.0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      // Measured as the painter will draw them.
      painter.setFont(report.font(layout.points, r == 0));
      for (std::size_t i = 0; i < rows[r].size(); ++i) {
        layout.widths[i] = std::max(
            layout.widths[i],
            static_cast<double>(painter.fontMetrics().boundingRect(rows[r][i]).width() + 2));
      }
    }
    layout.widths[0] += rowHeight;  // the colour swatch
    for (double& w : layout.widths) w += layout.gap;
    double total = 0;
    for (double w : layout.widths) total += w;
    const double over = total - pageWidth;
    if (over <= 0) {
      layout.widths[0] -= over;  // the rest of the line goes to the names
      return layout;
    }
    if (layout.widths[0] - over >= pageWidth / 5 || layout.points <= 5) {
      layout.widths[0] = std::max(layout.widths[0] - over, pageWidth / 5);
      return layout;
    }
  }
}

}  // namespace

void writeChartReport(std::shared_ptr<const ChartData> data, const fs::path& target,
                      const ReportView& view) {
  ReplacementDevice file(target, "a report");
  {
    QPdfWriter writer(&file.device());
    writer.setResolution(dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(10, 10, 10, 8), QPageLayout::Millimeter);
    writer.setCreator(kestrixVersionText());
    writer.setTitle(QStringLiteral("Kestrix report"));
    QCPPainter painter;
    if (!painter.begin(&writer)) file.fail("the PDF writer did not start");
    const QString footer =
        QStringLiteral("Generated %1 by %2")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                 kestrixVersionText());
    ReportPainter report(writer, painter, footer);
    const QRect page = report.page();
    int y = page.top();

    // The chart, and with it the rows it draws: what the period line and the
    // summary state.
    ChartPlot plot(data);
    for (std::size_t c = 0; c < view.visible.size() && c < data->channels().size(); ++c)
      plot.setChannelVisible(c, view.visible[c]);
    if (view.rows)
      plot.showRows(*view.rows);
    else
      plot.resetView();
    // A time window that holds no row: no chart, a period of no rows.
    const bool noRows = view.rows && view.rows->empty();
    RowRange drawn = plot.rowsInView();
    if (view.rows) {
      drawn.first = std::max<std::int64_t>(view.rows->first, 1);
      drawn.last = std::min(view.rows->last, data->rowCount());
    }
    const bool wholeRun = drawn.first <= 1 && drawn.last >= data->rowCount();
    std::shared_ptr<const ChartLimits> limits;
    if (view.limitRules) {
      limits = std::make_shared<const ChartLimits>(*data, *view.limitRules, view.limitsSource,
                                                   wholeRun ? data->allRows() : drawn);
      plot.setLimits(limits);
    }

    // Title, files and period.
    painter.setFont(report.font(15, true));
    const int files = static_cast<int>(data->run().files.size());
    painter.drawText(
        QRect(page.left(), y, page.width(), report.lineHeight(15)), Qt::AlignLeft,
        QStringLiteral("Logger data: %1 file%2").arg(files).arg(files == 1 ? "" : "s"));
    y += report.lineHeight(15);
    painter.setFont(report.font(9));
    const QRect filesBox =
        painter.boundingRect(QRect(page.left(), y, page.width(), page.height() / 6),
                             Qt::TextWordWrap, text(data->fileList()));
    painter.drawText(
        QRect(page.left(), y, page.width(), std::min(filesBox.height(), page.height() / 6)),
        Qt::TextWordWrap, text(data->fileList()));
    y += std::min(filesBox.height(), page.height() / 6);
    QString period = QStringLiteral("Period: ") + text(data->periodText(drawn));
    if (!wholeRun) period += QStringLiteral(", part of the run from ") + text(data->periodText());
    painter.drawText(QRect(page.left(), y, page.width(), report.lineHeight(9)), Qt::AlignLeft,
                     period);
    y += report.lineHeight(9) * 3 / 2;

    // The chart as vectors, laid out as on a screen and scaled to the page.
    const int rowHeight = report.lineHeight(7);
    const int headingHeight = report.lineHeight(9);
    const auto tableRows = static_cast<int>(data->channels().size()) + 1;
    const int chartHeight =
        std::max(page.bottom() - y - tableRows * rowHeight - rowHeight - headingHeight,
                 page.height() * 9 / 20);
    const double screen = 96.0 / dpi;
    plot.resize(static_cast<int>(page.width() * screen), static_cast<int>(chartHeight * screen));
    painter.save();
    painter.translate(page.left(), y);
    painter.scale(1 / screen, 1 / screen);
    if (!noRows) plot.toPainter(&painter, plot.width(), plot.height());
    painter.restore();
    y += chartHeight + rowHeight / 2;

    // The summary's heading says which rows it covers.
    if (y + headingHeight + 2 * rowHeight > page.bottom()) {
      report.newPage();
      y = page.top();
    }
    painter.setFont(report.font(9, true));
    painter.drawText(
        QRect(page.left(), y, page.width(), headingHeight), Qt::AlignLeft | Qt::AlignVCenter,
        wholeRun
            ? QStringLiteral("Summary over the whole run")
            : QStringLiteral("Summary over the period drawn, ") + text(data->periodText(drawn)));
    y += headingHeight;

    // The summary, continued on further pages as needed.
    std::vector<std::vector<QString>> rows(1);
    for (const std::string& h : ChartData::summaryHeaders()) rows[0].push_back(text(h));
    const std::vector<SummaryLine> lines = wholeRun ? data->summary() : data->summaryOver(drawn);
    for (std::size_t c = 0; c < data->channels().size(); ++c) {
      rows.emplace_back();
      for (const std::string& cell : data->summaryRow(c, lines[c]))
        rows.back().push_back(text(cell));
    }
    const SummaryLayout layout = layOutSummary(rows, report, painter, page.width(), rowHeight);
    auto drawRow = [&](std::size_t r) {
      painter.setFont(report.font(layout.points, r == 0));
      double x = page.left();
      for (std::size_t i = 0; i < rows[r].size(); ++i) {
        QRectF cell(x, y, layout.widths[i] - layout.gap, rowHeight);
        if (i == 0 && r > 0) {
          painter.fillRect(QRectF(x, y + rowHeight * 0.3, rowHeight * 0.8, rowHeight * 0.4),
                           plot.colour(r - 1));
          cell.adjust(rowHeight, 0, 0, 0);
        }
        painter.drawText(cell, Qt::AlignVCenter | (i >= 2 ? Qt::AlignRight : Qt::AlignLeft),
                         painter.fontMetrics().elidedText(rows[r][i], Qt::ElideRight,
                                                          static_cast<int>(cell.width())));
        x += layout.widths[i];
      }
      y += rowHeight;
    };
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (y + rowHeight > page.bottom()) {  // a new page, headed by the column names
        report.newPage();
        y = page.top();
        if (r > 0) drawRow(0);
      }
      drawRow(r);
    }
    ReportPage rest{painter,
                    page,
                    y,
                    [&report] { report.newPage(); },
                    [&report](double points, bool bold) { return report.font(points, bold); },
                    [&report](double points) { return report.lineHeight(points); }};
    if (limits) {
      drawLimitSections(
          rest, *data, *limits,
          wholeRun ? QStringLiteral("over the whole run") : QStringLiteral("over the period drawn"),
          [&plot](std::size_t c) { return plot.colour(c); });
    }
    if (view.periods) {
      y = drawPeriodPages(
          report, painter, data, *view.periods, drawn, wholeRun, view.visible,
          [&plot](std::size_t c) { return plot.colour(c); }, limits ? &limits->checks() : nullptr);
    }
    drawFileRecord(rest, *data, view.limitsSource);
    report.footer();
    if (!painter.end()) file.fail("the PDF writer did not finish");
  }
  file.commit();
}

}  // namespace kestrix::chart

#include "chart_report.hpp"

#include <QDateTime>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QPixmap>
#include <stdexcept>
#include <system_error>

#include "chart_plot.hpp"

namespace kestrix::ui {

namespace fs = std::filesystem;

QString kestrixVersionText() {
  return QStringLiteral("Kestrix " KESTRIX_VERSION);
}

namespace {

constexpr int dpi = 150;

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

class ReportPainter {
 public:
  ReportPainter(QPdfWriter& writer, QCPPainter& painter, const QString& footer)
      : writer_(writer), painter_(painter), footer_(footer) {
    page_ = painter.viewport();
    page_.adjust(0, 0, 0, -lineHeight(8) * 2);  // room for the footer
  }
  QRect page() const { return page_; }
  int lineHeight(double points) const { return static_cast<int>(points * dpi / 72.0 * 1.45); }
  void footer() {
    painter_.setFont(font(8));
    painter_.setPen(Qt::darkGray);
    const QRect r = painter_.viewport();
    painter_.drawText(QRect(r.left(), r.bottom() - lineHeight(8), r.width(), lineHeight(8)),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      footer_ + QStringLiteral(" \u2014 page %1").arg(++pages_));
    painter_.setPen(Qt::black);
  }
  void newPage() {
    footer();
    writer_.newPage();
  }
  QFont font(double points, bool bold = false) const {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
  }

 private:
  QPdfWriter& writer_;
  QCPPainter& painter_;
  QString footer_;
  QRect page_;
  int pages_ = 0;
};

}  // namespace

ReplacementFile replacementFor(const fs::path& target, const std::string& what) {
  try {
    return ReplacementFile(target, "a " + what);
  } catch (const std::exception&) {
    throw std::runtime_error("cannot write the " + what + " " + target.string());
  }
}

void writeChartReport(std::shared_ptr<const ChartData> data, const fs::path& target,
                      const ReportView& view) {
  ReplacementFile file = replacementFor(target, "report");
  {
    QPdfWriter writer(QString::fromStdString(file.path().string()));
    writer.setResolution(dpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(10, 10, 10, 8), QPageLayout::Millimeter);
    writer.setCreator(kestrixVersionText());
    writer.setTitle(QStringLiteral("Kestrix report"));
    QCPPainter painter;
    if (!painter.begin(&writer)) {
      throw std::runtime_error("cannot write the report " + target.string());
    }
    const QString footer =
        QStringLiteral("Generated %1 by %2")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                 kestrixVersionText());
    ReportPainter report(writer, painter, footer);
    const QRect page = report.page();
    int y = page.top();

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
    painter.drawText(QRect(page.left(), y, page.width(), report.lineHeight(9)), Qt::AlignLeft,
                     QStringLiteral("Period: ") + text(data->periodText()));
    y += report.lineHeight(9) * 3 / 2;

    // The chart as vectors, laid out as on a screen and scaled to the page.
    const int rowHeight = report.lineHeight(7);
    const auto tableRows = static_cast<int>(data->channels().size()) + 1;
    const int chartHeight =
        std::max(page.bottom() - y - tableRows * rowHeight - rowHeight, page.height() * 9 / 20);
    ChartPlot plot(data);
    const double screen = 96.0 / dpi;
    plot.resize(static_cast<int>(page.width() * screen), static_cast<int>(chartHeight * screen));
    for (std::size_t c = 0; c < view.visible.size() && c < data->channels().size(); ++c)
      plot.setChannelVisible(c, view.visible[c]);
    if (view.timeRange)
      plot.setTimeRange(QCPRange(view.timeRange->first, view.timeRange->second));
    else
      plot.resetView();
    painter.save();
    painter.translate(page.left(), y);
    painter.scale(1 / screen, 1 / screen);
    plot.toPainter(&painter, plot.width(), plot.height());
    painter.restore();
    y += chartHeight + rowHeight / 2;

    // The summary, continued on further pages as needed.
    const std::vector<std::string>& headers = ChartData::summaryHeaders();
    const double widths[] = {3.4, 0.8, 0.8, 2.2, 2.2, 0.9, 1.8, 0.9, 1.8, 0.8, 0.8};
    double total = 0;
    for (double w : widths) total += w;
    auto drawRow = [&](const std::vector<QString>& cells, const QColor* swatch, bool bold) {
      if (y + rowHeight > page.bottom()) {
        report.newPage();
        y = page.top();
      }
      painter.setFont(report.font(7, bold));
      double x = page.left();
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const double w = page.width() * widths[i] / total;
        QRectF cell(x, y, w - 6, rowHeight);
        if (i == 0 && swatch) {
          painter.fillRect(QRectF(x, y + rowHeight * 0.3, rowHeight * 0.8, rowHeight * 0.4),
                           *swatch);
          cell.adjust(rowHeight, 0, 0, 0);
        }
        painter.drawText(cell, Qt::AlignVCenter | (i >= 2 ? Qt::AlignRight : Qt::AlignLeft),
                         painter.fontMetrics().elidedText(cells[i], Qt::ElideRight,
                                                          static_cast<int>(cell.width())));
        x += w;
      }
      y += rowHeight;
    };
    std::vector<QString> head;
    for (const std::string& h : headers) head.push_back(text(h));
    drawRow(head, nullptr, true);
    for (std::size_t c = 0; c < data->channels().size(); ++c) {
      const ChartChannel& ch = data->channels()[c];
      const SummaryLine& s = data->summary()[c];
      const QColor colour = plot.colour(c);
      drawRow({text(ch.name()), text(ch.unit), text(s.values), text(s.first), text(s.last),
               text(s.min), text(s.minAt), text(s.max), text(s.maxAt), text(s.mean), text(s.mkt)},
              &colour, false);
    }
    report.footer();
    if (!painter.end()) throw std::runtime_error("cannot write the report " + target.string());
  }
  std::error_code ec;
  if (fs::file_size(file.path(), ec) == 0 || ec) {
    throw std::runtime_error("cannot write the report " + target.string());
  }
  file.commit();
}

}  // namespace kestrix::ui

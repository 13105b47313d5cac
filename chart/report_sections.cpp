#include "report_sections.hpp"

#include <QCryptographicHash>
#include <algorithm>

namespace kestrix::chart {

namespace {

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

constexpr double tablePoints = 7;

// A table of `count` lines made by `line`; `rightAligned` per column.
struct ReportTable {
  std::vector<QString> headers;
  std::vector<bool> rightAligned;
  std::size_t count = 0;
  std::function<std::vector<QString>(std::size_t)> line;
  std::function<QColor(std::size_t line, std::size_t column)> ink;  // none: black
  std::function<std::optional<QColor>(std::size_t line)> swatch;    // before the first cell
};

// Column widths: each as wide as its widest text. A long table is measured
// on its first lines and on each column's longest text.
std::vector<double> measure(QPainter& painter, const ReportPage& page, const ReportTable& table,
                            double gap, double swatchWidth) {
  std::vector<double> widths(table.headers.size(), 0.0);
  const auto widen = [&](const std::vector<QString>& cells) {
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i)
      // With room to spare: the PDF's glyphs come out a little wider than measured.
      widths[i] =
          std::max(widths[i], painter.fontMetrics().boundingRect(cells[i]).width() * 1.06 + 2);
  };
  painter.setFont(page.font(tablePoints, true));
  widen(table.headers);
  painter.setFont(page.font(tablePoints, false));
  std::vector<QString> longest(table.headers.size());
  for (std::size_t l = 0; l < table.count; ++l) {
    const std::vector<QString> cells = table.line(l);
    if (l < 200) widen(cells);
    for (std::size_t i = 0; i < cells.size() && i < longest.size(); ++i)
      if (cells[i].size() > longest[i].size()) longest[i] = cells[i];
  }
  widen(longest);
  widths[0] += swatchWidth;
  for (double& w : widths) w += gap;
  // Wider than the page: the first column gives way.
  double total = 0;
  for (double w : widths) total += w;
  const double over = total - page.area.width();
  if (over > 0) widths[0] = std::max(widths[0] - over, page.area.width() / 6.0);
  return widths;
}

void drawHeading(ReportPage& page, const QString& heading) {
  const int height = page.lineHeight(9);
  const int row = page.lineHeight(tablePoints);
  if (page.y + height + 2 * row > page.area.bottom()) {
    page.newPage();
    page.y = page.area.top();
  } else {
    page.y += row / 2;
  }
  page.painter.setFont(page.font(9, true));
  page.painter.setPen(Qt::black);
  page.painter.drawText(QRect(page.area.left(), page.y, page.area.width(), height),
                        Qt::AlignLeft | Qt::AlignVCenter, heading);
  page.y += height;
}

void drawTable(ReportPage& page, const QString& heading, const ReportTable& table) {
  drawHeading(page, heading);
  QPainter& painter = page.painter;
  const int row = page.lineHeight(tablePoints);
  const double gap = row * 0.7;
  const double swatchWidth = table.swatch ? row : 0;
  const std::vector<double> widths = measure(painter, page, table, gap, swatchWidth);
  const auto drawLine = [&](const std::vector<QString>& cells, bool header,
                            std::optional<std::size_t> line) {
    painter.setFont(page.font(tablePoints, header));
    double x = page.area.left();
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
      QRectF cell(x, page.y, widths[i] - gap, row);
      if (i == 0 && swatchWidth > 0) {
        if (line) {
          if (const std::optional<QColor> colour = table.swatch(*line))
            painter.fillRect(QRectF(x, page.y + row * 0.3, row * 0.8, row * 0.4), *colour);
        }
        cell.adjust(swatchWidth, 0, 0, 0);
      }
      painter.setPen(line && table.ink ? table.ink(*line, i) : QColor(Qt::black));
      painter.drawText(cell,
                       Qt::AlignVCenter | (table.rightAligned[i] ? Qt::AlignRight : Qt::AlignLeft),
                       painter.fontMetrics().elidedText(cells[i], Qt::ElideRight,
                                                        static_cast<int>(cell.width())));
      x += widths[i];
    }
    painter.setPen(Qt::black);
    page.y += row;
  };
  drawLine(table.headers, true, std::nullopt);
  for (std::size_t l = 0; l < table.count; ++l) {
    if (page.y + row > page.area.bottom()) {  // a new page, headed by the column names
      page.newPage();
      page.y = page.area.top();
      drawLine(table.headers, true, std::nullopt);
    }
    drawLine(table.line(l), false, l);
  }
}

std::vector<QString> texts(const std::vector<std::string>& cells) {
  std::vector<QString> out;
  out.reserve(cells.size());
  for (const std::string& cell : cells) out.push_back(text(cell));
  return out;
}

}  // namespace

QString sha256Text(QByteArrayView bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

void drawLimitSections(ReportPage& page, const ChartData& data, const ChartLimits& limits,
                       const QString& over, const std::function<QColor(std::size_t)>& colour) {
  const std::vector<ChannelCheck>& checks = limits.checks();
  const QColor failInk(200, 0, 0);

  ReportTable verdicts;
  verdicts.headers = {QStringLiteral("Channel"), QStringLiteral("Unit"), QStringLiteral("Limits"),
                      QStringLiteral("Result"), QStringLiteral("Details")};
  verdicts.rightAligned.assign(verdicts.headers.size(), false);
  verdicts.count = checks.size();
  verdicts.line = [&](std::size_t c) {
    const ChannelCheck& check = checks[c];
    return std::vector<QString>{text(data.channels()[c].name()), text(data.channels()[c].unit),
                                check.rule ? text(ruleText(*check.rule)) : QStringLiteral("none"),
                                text(std::string(verdictText(check.verdict))),
                                text(verdictSentence(check))};
  };
  verdicts.ink = [&](std::size_t c, std::size_t column) {
    return column == 3 && checks[c].verdict == Verdict::Fail ? failInk : QColor(Qt::black);
  };
  verdicts.swatch = [&](std::size_t c) -> std::optional<QColor> { return colour(c); };
  drawTable(page, QStringLiteral("Limits and verdicts ") + over, verdicts);

  // The excursions in channel order, then by start.
  std::vector<std::pair<std::size_t, std::size_t>> lines;
  lines.reserve(limits.excursionCount());
  for (std::size_t c = 0; c < checks.size(); ++c)
    for (std::size_t e = 0; e < checks[c].excursions.size(); ++e) lines.emplace_back(c, e);
  ReportTable list;
  list.headers = texts(excursionHeaders());
  list.rightAligned.assign(list.headers.size(), false);
  list.rightAligned[7] = list.rightAligned[8] = true;  // Duration, Peak
  list.count = lines.size();
  list.line = [&](std::size_t l) {
    const auto [c, e] = lines[l];
    return texts(excursionCells(data, c, checks[c].excursions[e]));
  };
  list.ink = [&](std::size_t l, std::size_t column) {
    const auto [c, e] = lines[l];
    return column == 10 && checks[c].excursions[e].alarm ? failInk : QColor(Qt::black);
  };
  drawTable(
      page,
      lines.empty()
          ? QStringLiteral("Excursions ") + over + QStringLiteral(": none")
          : QStringLiteral("Excursions ") + over +
                QStringLiteral(": %1, %2 with an alarm").arg(lines.size()).arg(limits.alarmCount()),
      list);
}

void drawFileRecord(ReportPage& page, const ChartData& data,
                    const std::optional<LimitsSource>& limitsSource) {
  const std::vector<LoggerFile>& files = data.run().files;
  ReportTable record;
  record.headers = {QStringLiteral("File"), QStringLiteral("Bytes"), QStringLiteral("SHA-256")};
  record.rightAligned = {false, true, false};
  record.count = files.size() + 1;
  record.line = [&](std::size_t f) -> std::vector<QString> {
    if (f < files.size()) {
      const std::span<const std::uint8_t> bytes = files[f].bytes();
      const QByteArrayView view(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<qsizetype>(bytes.size()));
      return {text(files[f].displayName), QString::number(bytes.size()), sha256Text(view)};
    }
    if (!limitsSource) return {QStringLiteral("Limits file: none"), QString(), QString()};
    return {QStringLiteral("Limits file: ") + text(limitsSource->path),
            QString::number(limitsSource->bytes.size()),
            sha256Text(QByteArrayView(limitsSource->bytes.data(),
                                      static_cast<qsizetype>(limitsSource->bytes.size())))};
  };
  drawTable(page, QStringLiteral("Files"), record);
}

}  // namespace kestrix::chart

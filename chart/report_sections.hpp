// The report's parts after the summary: the verdict of each channel with its
// limits, the excursion list, and the record of the files the report is of
// (each input's size and SHA-256, the limits file's path and SHA-256). Each
// is a table whose columns are as wide as their texts and whose pages repeat
// the column names.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "chart_limits.hpp"

namespace kestrix::chart {

// Where the report draws: the page's area, the line it has reached, and how
// it starts a new page.
struct ReportPage {
  QPainter& painter;
  QRect area;
  int& y;
  std::function<void()> newPage;
  std::function<QFont(double points, bool bold)> font;
  std::function<int(double points)> lineHeight;
};

// The verdict of each channel, its limits and the excursion list of `limits`
// (checked over the rows the report covers), under `heading` words such as
// "over the whole run"; `colour` gives each channel's colour in the chart.
void drawLimitSections(ReportPage& page, const ChartData& data, const ChartLimits& limits,
                       const QString& over, const std::function<QColor(std::size_t)>& colour);

// The files of the run, each with its size and SHA-256, and the limits file
// the rules came from with its path and SHA-256 (none: "no limits file").
void drawFileRecord(ReportPage& page, const ChartData& data,
                    const std::optional<LimitsSource>& limitsSource);

// The SHA-256 of `bytes` in lower-case hexadecimal.
QString sha256Text(QByteArrayView bytes);

}  // namespace kestrix::chart

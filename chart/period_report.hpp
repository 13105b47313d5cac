// The report's period pages: the period table of the rows the report covers,
// its bars and its lines, after the summary.
#pragma once

#include <QColor>
#include <functional>
#include <memory>
#include <vector>

#include "chart_data.hpp"
#include "periods.hpp"
#include "report_painter.hpp"

namespace kestrix::chart {

// Starts a new page headed by the period and the rows covered, draws the
// bars of the period table of `rows` (of the channels `visible`, all when
// empty, in their `colour`) and then its lines, continued on further pages
// under the column names; with `limits` (one check per channel over `rows`)
// the time below and above them. Returns the line reached on the last page,
// which the caller ends.
int drawPeriodPages(ReportPainter& report, QCPPainter& painter,
                    const std::shared_ptr<const ChartData>& data, PeriodKind kind, RowRange rows,
                    bool wholeRun, const std::vector<bool>& visible,
                    const std::function<QColor(std::size_t)>& colour,
                    const std::vector<ChannelCheck>* limits = nullptr);

}  // namespace kestrix::chart

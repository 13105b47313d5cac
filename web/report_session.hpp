// What the page's Periods view and its print view ask of the chart's run:
// the period table as --periods writes it, and the parts of the report over
// the rows drawn (the period line, the summary, the limits' verdicts and
// excursions), as the chart's PDF report states them. Each answer is a JSON
// text for the page's JavaScript.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart_data.hpp"
#include "excursions.hpp"
#include "limit_rules.hpp"
#include "periods.hpp"
#include "row_range.hpp"
#include "text_format.hpp"

namespace kestrix::web {

// {"text": the period table of `rows` as --periods writes it, "rows": for
// each of its lines in order, its period's table rows and its channel,
// [first, last, channel]};
// `limits` (one check per channel over `rows`) adds the time outside them.
std::string periodsJson(const chart::ChartData& data, RowRange rows, PeriodKind kind,
                        const std::vector<ChannelCheck>* limits, const TextFormat& format);

// The report's parts over `drawn` (rows of the table, 1-based), checked
// against `rules` when given; at most `mostExcursions` excursions are
// listed, "excursionCount" giving them all:
// {"version": "Kestrix 1.0.0", "files", "fileList", "period", "summaryHeading", "summary":
// {"headers",
//  "rows"}, "limits": null or {"verdictsHeading", "verdicts": {"headers",
//  "rows", "fail"}, "excursionsHeading", "excursions": {"headers", "rows",
//  "alarm"}, "excursionCount"}, "periods": null or, with `periods`, the
//  period table of the report's period pages {"heading", "lines": {"headers",
//  "rows"}, "channels": each line's channel}}.
std::string reportJson(const chart::ChartData& data, RowRange drawn,
                       const std::vector<LimitRule>* rules, std::size_t mostExcursions,
                       std::optional<PeriodKind> periods = std::nullopt);

// The limits the page hands over with a request: the one file in
// `folder` (its name the limits file's), read as the command reads --limits;
// no file, no limits. Throws LimitsFileError naming the file.
std::optional<std::vector<LimitRule>> readPageLimits(const std::filesystem::path& folder);

// periodsJson over `rows` with the limits in `limitsFolder`, their checks
// kept for the next request with the same limits and rows; {"error"} when
// the limits do not read.
std::string periodsAnswer(const std::shared_ptr<const chart::ChartData>& data, RowRange rows,
                          PeriodKind kind, const TextFormat& format,
                          const std::filesystem::path& limitsFolder);
// reportJson with the limits in `limitsFolder`, or {"error"}.
std::string reportAnswer(const chart::ChartData& data, RowRange drawn, std::size_t mostExcursions,
                         std::optional<PeriodKind> periods,
                         const std::filesystem::path& limitsFolder);

}  // namespace kestrix::web

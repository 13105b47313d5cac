#include "report_session.hpp"

#include <algorithm>
#include <memory>

#include "chart_limits.hpp"
#include "json_text.hpp"
#include "limits_file.hpp"
#include "period_lines.hpp"
#include "sink.hpp"

namespace kestrix::web {

using chart::ChartData;

namespace {

// {"headers":[...],"rows":[[...],...]
void appendTable(const std::vector<std::string>& headers,
                 const std::vector<std::vector<std::string>>& rows, std::string& out) {
  out += "{\"headers\":";
  appendJsonStrings(headers, out);
  out += ",\"rows\":[";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r) out += ',';
    appendJsonStrings(rows[r], out);
  }
  out += ']';
}

void appendFlags(const char* name, const std::vector<bool>& flags, std::string& out) {
  ((out += ",\"") += name) += "\":[";
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (i) out += ',';
    out += flags[i] ? "true" : "false";
  }
  out += ']';
}

void appendLimitParts(const ChartData& data, const chart::ChartLimits& limits,
                      const std::string& over, std::size_t mostExcursions, std::string& out) {
  const std::vector<ChannelCheck>& checks = limits.checks();
  std::vector<std::vector<std::string>> verdicts;
  std::vector<bool> fail;
  for (std::size_t c = 0; c < checks.size() && c < data.channels().size(); ++c) {
    const ChannelCheck& check = checks[c];
    verdicts.push_back({data.channels()[c].name(), data.channels()[c].unit,
                        check.rule ? chart::ruleText(*check.rule) : "none",
                        std::string(verdictText(check.verdict)), chart::verdictSentence(check)});
    fail.push_back(check.verdict == Verdict::Fail);
  }
  out += "{\"verdictsHeading\":";
  appendJsonString("Limits and verdicts " + over, out);
  out += ",\"verdicts\":";
  appendTable({"Channel", "Unit", "Limits", "Result", "Details"}, verdicts, out);
  appendFlags("fail", fail, out);
  out += '}';

  // The excursions in channel order, then by start, as the list file.
  std::vector<std::vector<std::string>> listed;
  std::vector<bool> alarm;
  for (std::size_t c = 0; c < checks.size() && listed.size() < mostExcursions; ++c) {
    for (const Excursion& e : checks[c].excursions) {
      if (listed.size() == mostExcursions) break;
      listed.push_back(chart::excursionCells(data, c, e));
      alarm.push_back(e.alarm);
    }
  }
  const std::size_t count = limits.excursionCount();
  out += ",\"excursionsHeading\":";
  appendJsonString(count == 0 ? "Excursions " + over + ": none"
                              : "Excursions " + over + ": " + std::to_string(count) + ", " +
                                    std::to_string(limits.alarmCount()) + " with an alarm",
                   out);
  out += ",\"excursions\":";
  appendTable(chart::excursionHeaders(), listed, out);
  appendFlags("alarm", alarm, out);
  out += "},\"excursionCount\":" + std::to_string(count) + '}';
}

// The period table of the report's period pages: its lines as the window
// writes them, channel after channel, each held period.
void appendPeriodPart(const ChartData& data, PeriodKind kind, RowRange drawn, bool wholeRun,
                      const std::vector<ChannelCheck>* limits, std::string& out) {
  const std::shared_ptr<const PeriodTable> table = chart::periodTableOf(data, kind, drawn, limits);
  const int columns =
      chart::hasTimeOutside(*table) ? chart::periodColumnCount : chart::periodColumnCount - 2;
  std::vector<std::string> headers;
  for (int i = 0; i < columns; ++i)
    headers.push_back(chart::periodHeading(static_cast<chart::PeriodColumn>(i)));
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> channels;  // of each line, as a number
  for (std::size_t c = 0; c < data.channels().size(); ++c) {
    for (std::size_t p = 0; p < table->periods.size(); ++p) {
      if (!table->line(c, p).held) continue;
      lines.emplace_back();
      for (int i = 0; i < columns; ++i)
        lines.back().push_back(
            chart::periodCell(data, *table, c, p, static_cast<chart::PeriodColumn>(i)));
      channels.push_back(std::to_string(c));
    }
  }
  out += "{\"heading\":";
  appendJsonString("Period table: " + chart::periodChoiceText(kind) +
                       (wholeRun ? ", over the whole run"
                                 : ", over the period drawn, " + data.periodText(drawn)),
                   out);
  out += ",\"lines\":";
  appendTable(headers, lines, out);
  out += "},\"channels\":";
  appendJsonStrings(channels, out);
  out += '}';
}

}  // namespace

std::string periodsJson(const ChartData& data, RowRange rows, PeriodKind kind,
                        const std::vector<ChannelCheck>* limits, const TextFormat& format) {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, data.rowCount());
  const PeriodTable table = makePeriodTable(data.values(), rows, kind, limits);
  StringSink sink;
  writePeriods(table, data.values(), sink, format);
  std::string out = "{\"text\":";
  appendJsonString(sink.data, out);
  // The lines writePeriods wrote: channel after channel, each held period.
  out += ",\"rows\":[";
  bool first = true;
  for (std::size_t c = 0; c < table.columns; ++c) {
    for (std::size_t p = 0; p < table.periods.size(); ++p) {
      if (!table.line(c, p).held) continue;
      if (!first) out += ',';
      first = false;
      const RowRange period = table.periods[p].rows;
      out += '[' + std::to_string(period.first) + ',' + std::to_string(period.last) + ',' +
             std::to_string(c) + ']';
    }
  }
  return out + "]}";
}

std::string reportJson(const ChartData& data, RowRange drawn, const std::vector<LimitRule>* rules,
                       std::size_t mostExcursions, std::optional<PeriodKind> periods) {
  drawn.first = std::max<std::int64_t>(drawn.first, 1);
  drawn.last = std::min(drawn.last, data.rowCount());
  const bool wholeRun = drawn.first <= 1 && drawn.last >= data.rowCount();
  const std::size_t files = data.run().files.size();
  std::string out = "{\"version\":\"Kestrix " KESTRIX_VERSION "\",\"files\":";
  appendJsonString("Logger data: " + std::to_string(files) + " file" + (files == 1 ? "" : "s"),
                   out);
  out += ",\"fileList\":";
  appendJsonString(data.fileList(), out);
  std::string period = "Period: " + data.periodText(drawn);
  if (!wholeRun) period += ", part of the run from " + data.periodText();
  out += ",\"period\":";
  appendJsonString(period, out);

  out += ",\"summaryHeading\":";
  appendJsonString(wholeRun ? "Summary over the whole run"
                            : "Summary over the period drawn, " + data.periodText(drawn),
                   out);
  const std::vector<chart::SummaryLine> lines = wholeRun ? data.summary() : data.summaryOver(drawn);
  std::vector<std::vector<std::string>> summary;
  for (std::size_t c = 0; c < data.channels().size(); ++c)
    summary.push_back(data.summaryRow(c, lines[c]));
  out += ",\"summary\":";
  appendTable(ChartData::summaryHeaders(), summary, out);
  out += "},\"limits\":";
  std::optional<chart::ChartLimits> limits;
  if (rules) {
    limits.emplace(data, *rules, std::nullopt, wholeRun ? data.allRows() : drawn);
    appendLimitParts(data, *limits, wholeRun ? "over the whole run" : "over the period drawn",
                     mostExcursions, out);
  } else {
    out += "null";
  }
  out += ",\"periods\":";
  if (periods) {
    appendPeriodPart(data, *periods, drawn, wholeRun, limits ? &limits->checks() : nullptr, out);
  } else {
    out += "null";
  }
  return out + '}';
}

std::optional<std::vector<LimitRule>> readPageLimits(const std::filesystem::path& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    return parseLimits(readLimitsText(entry.path(), name), name);
  }
  return std::nullopt;
}

namespace {

std::string errorJson(const std::string& message) {
  std::string out = "{\"error\":";
  appendJsonString(message, out);
  return out + "}";
}

// The checks of the last periods request: switching between days, weeks
// and months checks the limits once.
struct KeptChecks {
  std::weak_ptr<const ChartData> data;  // a later run is another
  std::vector<LimitRule> rules;
  RowRange rows;
  std::shared_ptr<const chart::ChartLimits> limits;
};
KeptChecks kept;

}  // namespace

std::string periodsAnswer(const std::shared_ptr<const ChartData>& data, RowRange rows,
                          PeriodKind kind, const TextFormat& format,
                          const std::filesystem::path& limitsFolder) {
  try {
    const std::optional<std::vector<LimitRule>> rules = readPageLimits(limitsFolder);
    if (!rules) return periodsJson(*data, rows, kind, nullptr, format);
    if (!kept.limits || kept.data.lock() != data || kept.rules != *rules || kept.rows != rows) {
      kept = {data, *rules, rows,
              std::make_shared<const chart::ChartLimits>(*data, *rules, std::nullopt, rows)};
    }
    return periodsJson(*data, rows, kind, &kept.limits->checks(), format);
  } catch (const LimitsFileError& e) {
    return errorJson(e.what());
  }
}

std::string reportAnswer(const ChartData& data, RowRange drawn, std::size_t mostExcursions,
                         std::optional<PeriodKind> periods,
                         const std::filesystem::path& limitsFolder) {
  try {
    const std::optional<std::vector<LimitRule>> rules = readPageLimits(limitsFolder);
    return reportJson(data, drawn, rules ? &*rules : nullptr, mostExcursions, periods);
  } catch (const LimitsFileError& e) {
    return errorJson(e.what());
  }
}

}  // namespace kestrix::web

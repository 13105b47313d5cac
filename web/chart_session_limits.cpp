// The limits applied to the chart's run, as the page asks for them: a limits
// file's text read as the command reads it, each channel checked over the
// rows the table holds, and what the page draws and lists of the result: the
// limit lines, the rows of the excursions per panel, pages of the excursion
// list (its lines as --excursions writes them) and where each summary line's
// values lie.
//
// The page writes its input into the instance's files first: /limits/name
// (the file's name, which messages give) and /limits/text (its TOML).

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chart_limits.hpp"
#include "chart_session.hpp"
#include "chart_session_limits.hpp"
#include "limits.hpp"
#include "limits_file.hpp"
#include "sink.hpp"
#include "summary.hpp"
#include "worker_answer.hpp"

namespace {

using kestrix::chart::ChartData;
using kestrix::chart::ChartLimits;
using kestrix::web::answerText;
using kestrix::web::appendJsonString;
using kestrix::web::chartSession;
using kestrix::web::fileText;

struct Applied {
  std::weak_ptr<const ChartData> data;  // the run they were applied to
  std::unique_ptr<const ChartLimits> limits;
  std::vector<std::size_t> firstLine;  // per column: its first excursion's line in the list
};

Applied applied;
std::vector<std::uint8_t> marks;   // the last marks answer
std::vector<double> summaryViews;  // the last summary views answer

// The limits applied to the session's run, or null.
const ChartLimits* current() {
  const kestrix::web::Session* s = chartSession();
  if (!s || !applied.limits || applied.data.lock() != s->data) return nullptr;
  return applied.limits.get();
}

std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// [fromKey, toKey, channel] of the 1-based rows `rows` of `channel`.
std::string viewJson(const ChartData& data, kestrix::RowRange rows, std::size_t channel) {
  return "[" + number(data.keyOfRow(static_cast<double>(rows.first - 1))) + "," +
         number(data.keyOfRow(static_cast<double>(rows.last - 1))) + "," + std::to_string(channel) +
         "]";
}

}  // namespace

std::vector<kestrix::LimitRule> kestrix::web::readPageLimits(std::string_view text,
                                                             const std::string& fileName) {
  if (text.size() > limits::maxLimitsFileBytes) {
    throw LimitsFileError(fileName, 0, 0,
                          "too large for a limits file (more than " +
                              std::to_string(limits::maxLimitsFileBytes >> 20) + " MiB)");
  }
  return parseLimits(text, fileName);
}

const std::vector<kestrix::ChannelCheck>* kestrix::web::appliedChecks() noexcept {
  const ChartLimits* limits = current();
  return limits ? &limits->checks() : nullptr;
}

extern "C" {

// Reads /limits/text as the limits file /limits/name and applies its rules
// to the chart's run; an empty text applies none. Returns {"rules": n,
// "excursions": n, "alarms": n, "lines": [[channel, limit]...]}, or
// {"error": message} with the file's name, line and column (and then no
// limits are applied).
EMSCRIPTEN_KEEPALIVE const char* kestrix_limits_apply() {
  applied = {};
  const std::string name = fileText("/limits/name");
  std::string text = fileText("/limits/text");
  std::vector<kestrix::LimitRule> rules;
  try {
    rules = kestrix::web::readPageLimits(text, name);
  } catch (const std::exception& e) {
    std::string out = "{\"error\":";
    appendJsonString(e.what(), out);
    return answerText(out + "}");
  }
  const kestrix::web::Session* s = chartSession();
  std::string out = "{\"rules\":" + std::to_string(rules.size());
  if (!s || rules.empty()) return answerText(out + ",\"excursions\":0,\"alarms\":0,\"lines\":[]}");
  applied.data = s->data;
  applied.limits = std::make_unique<const ChartLimits>(
      *s->data, std::move(rules), kestrix::chart::LimitsSource{name, std::move(text)}, s->rows);
  const ChartLimits& limits = *applied.limits;
  std::size_t line = 0;
  for (const kestrix::ChannelCheck& check : limits.checks()) {
    applied.firstLine.push_back(line);
    line += check.excursions.size();
  }
  out += ",\"excursions\":" + std::to_string(limits.excursionCount()) +
         ",\"alarms\":" + std::to_string(limits.alarmCount()) + ",\"lines\":[";
  bool first = true;
  for (std::size_t c = 0; c < limits.checks().size(); ++c) {
    const std::optional<kestrix::LimitRule>& rule = limits.checks()[c].rule;
    if (!rule) continue;
    for (const std::optional<double>& limit : {rule->low, rule->high}) {
      if (!limit) continue;
      out += first ? "[" : ",[";
      out += std::to_string(c) + "," + number(*limit) + "]";
      first = false;
    }
  }
  return answerText(out + "]}");
}

// Per panel, one byte per row of the run (0-based): 2 where an excursion
// with an alarm covers it, 1 where one without does, 0 elsewhere; an
// excursion covers its rows up to the next sample of its channel. Channels
// hidden (a '1' at their place in /limits/hidden) mark nothing. The bytes
// are at the pointer returned, kestrix_limits_marks_count() of them (none
// without limits).
EMSCRIPTEN_KEEPALIVE const std::uint8_t* kestrix_limits_marks() {
  marks.clear();
  const ChartLimits* limits = current();
  if (!limits) return nullptr;
  const ChartData& data = *chartSession()->data;
  const auto rows = static_cast<std::size_t>(std::max<std::int64_t>(data.rowCount(), 0));
  const std::vector<std::string>& units = data.units();
  marks.assign(units.size() * rows, 0);
  const std::string hidden = fileText("/limits/hidden");
  for (const std::uint8_t mark : {std::uint8_t{1}, std::uint8_t{2}}) {  // alarms last: they win
    for (std::size_t c = 0; c < data.channels().size() && c < limits->checks().size(); ++c) {
      const auto panel = static_cast<std::size_t>(
          std::find(units.begin(), units.end(), data.channels()[c].unit) - units.begin());
      if (panel >= units.size() || (c < hidden.size() && hidden[c] == '1')) continue;
      std::uint8_t* row0 = marks.data() + panel * rows;
      for (const kestrix::Excursion& e : limits->checks()[c].excursions) {
        if ((e.alarm ? 2 : 1) != mark) continue;
        const auto first = static_cast<std::size_t>(
            std::clamp<std::int64_t>(e.firstRow - 1, 0, static_cast<std::int64_t>(rows)));
        const auto end = static_cast<std::size_t>(
            std::clamp<std::int64_t>(e.endRow() - 1, 0, static_cast<std::int64_t>(rows)));
        if (first < end) std::fill(row0 + first, row0 + end, mark);
      }
    }
  }
  return marks.data();
}

EMSCRIPTEN_KEEPALIVE int kestrix_limits_marks_count() {
  return static_cast<int>(marks.size());
}

// Lines [first, first + count) of the excursion list (by channel, then by
// start): {"lines": [text...], "views": [[fromKey, toKey, channel]...]}, each
// line as --excursions writes it (without its line end) and each view the
// range the chart shows it over.
EMSCRIPTEN_KEEPALIVE const char* kestrix_limits_excursions(double first, double count) {
  const ChartLimits* limits = current();
  if (!limits || !(first >= 0) || !(count > 0)) return answerText("{\"lines\":[],\"views\":[]}");
  const ChartData& data = *chartSession()->data;
  const std::vector<kestrix::ChannelCheck>& checks = limits->checks();
  const auto from = static_cast<std::size_t>(first);
  const std::size_t end =
      std::min(from + static_cast<std::size_t>(count), limits->excursionCount());
  // The columns' excursions among those lines alone, for writeExcursions.
  std::vector<kestrix::ChannelCheck> slice(checks.size());
  std::string views;
  for (std::size_t c = 0; c < checks.size(); ++c) {
    const std::size_t at = applied.firstLine[c];
    const std::vector<kestrix::Excursion>& all = checks[c].excursions;
    const std::size_t a = std::clamp(from, at, at + all.size()) - at;
    const std::size_t b = std::clamp(end, at, at + all.size()) - at;
    for (std::size_t e = a; e < b; ++e) {
      slice[c].excursions.push_back(all[e]);
      if (!views.empty()) views += ',';
      views += viewJson(data, kestrix::chart::excursionView(all[e], data.rowCount()), c);
    }
  }
  kestrix::StringSink sink;
  kestrix::writeExcursions(slice, data.values(), sink, chartSession()->text);
  std::string out = "{\"lines\":[";
  std::size_t at = sink.data.find("\r\n");  // after the column names
  bool firstLine = true;
  while (at != std::string::npos && at + 2 < sink.data.size()) {
    const std::size_t next = sink.data.find("\r\n", at + 2);
    if (!firstLine) out += ',';
    appendJsonString(sink.data.substr(at + 2, next - at - 2), out);
    firstLine = false;
    at = next;
  }
  return answerText(out + "],\"views\":[" + views + "]}");
}

// Per summary line (per column, in table order), the keys of its first and
// last value among the rows the table holds, NaN for a column without one:
// at the pointer returned, two doubles each, kestrix_limits_summary_count()
// of them.
EMSCRIPTEN_KEEPALIVE const double* kestrix_limits_summary_views() {
  summaryViews.clear();
  const kestrix::web::Session* s = chartSession();
  if (!s) return nullptr;
  const ChartData& data = *s->data;
  for (const kestrix::ColumnSummary& column : kestrix::summarize(data.values(), s->rows)) {
    const bool any = column.values > 0;
    summaryViews.push_back(any ? data.keyOfRow(static_cast<double>(column.firstRow - 1)) : NAN);
    summaryViews.push_back(any ? data.keyOfRow(static_cast<double>(column.lastRow - 1)) : NAN);
  }
  return summaryViews.data();
}

EMSCRIPTEN_KEEPALIVE int kestrix_limits_summary_count() {
  return static_cast<int>(summaryViews.size());
}

}  // extern "C"

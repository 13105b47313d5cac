// The chart's side of the page's worker: one conversion kept in memory
// (ChartData, the window's own), asked by the page's JavaScript for its
// panels, for the points of a time range at a pixel width and for the table's
// cells at a row. Every answer is a text (JSON or tab-separated) or arrays of
// numbers (chart_points.hpp) that the worker reads out of the instance's memory.
//
// The conversion reads the command line of the table (the same files,
// options and time window), from /chart/args, one argument after another,
// each ended by a NUL: the chart shows what the table holds.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "argument_path.hpp"
#include "chart_data.hpp"
#include "chart_points.hpp"
#include "chart_session.hpp"
#include "chart_session_limits.hpp"
#include "convert_files.hpp"
#include "error.hpp"
#include "json_text.hpp"
#include "options.hpp"
#include "periods.hpp"
#include "platform/regional_settings.hpp"
#include "report_session.hpp"
#include "sink.hpp"
#include "summary.hpp"
#include "worker_answer.hpp"

namespace {

using kestrix::chart::ChartData;
using kestrix::web::answerText;
using kestrix::web::appendJsonString;
using kestrix::web::Session;

std::unique_ptr<Session> session;
kestrix::web::ChartPoints points;  // the last points answer

}  // namespace

const Session* kestrix::web::chartSession() noexcept {
  return session.get();
}

namespace {

std::vector<std::string> readArguments(const char* path) {
  const std::string bytes = kestrix::web::fileText(path);
  std::vector<std::string> args;
  std::string current;
  for (const char c : bytes) {
    if (c == '\0') {
      args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  return args;
}

// The run of the command line `args` (without the program's name), made
// ready for the chart.
std::unique_ptr<Session> openSession(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"kestrix-convert"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const kestrix::cli::CommandLine line =
      kestrix::cli::parseCommandLine(static_cast<int>(argv.size()), argv.data());
  const kestrix::cli::Options& o = line.options;

  kestrix::ConversionRequest request;
  for (const std::string& file : o.files) request.paths.push_back(kestrix::cli::argumentPath(file));
  request.displayNames = o.files;
  request.options.regional = kestrix::platform::regionalSettings();
  request.options.includeOverflowed = o.includeOverflowed;
  request.options.dates = o.dates;
  request.options.utcOffsetMinutes = o.utcOffsetMinutes;
  request.joinDownloads = o.join;
  request.window = o.window;
  request.format = kestrix::OutputFormat::None;
  const kestrix::ConversionResult result = kestrix::convertFiles(request);

  auto opened = std::make_unique<Session>();
  opened->data = std::make_shared<const ChartData>(result.run, o.includeOverflowed);
  opened->rows = result.rows;
  opened->dates.regional = request.options.regional;
  opened->dates.style = o.dates;
  if (o.dates == kestrix::DateStyle::Iso) opened->dates.utcOffsetMinutes = o.utcOffsetMinutes;
  opened->decimalMark = request.options.regional.decimalMark;
  opened->limitsGiven = o.limits.has_value();
  opened->text.regional = request.options.regional;
  opened->text.encoding = kestrix::Encoding::Utf8;
  opened->text.dates = o.dates;
  if (o.dates == kestrix::DateStyle::Iso) opened->text.utcOffsetMinutes = o.utcOffsetMinutes;
  return opened;
}

// {"rows":[first,last],"step":s,"firstKey":k,"units":[...],
//  "channels":[{"name","unit","panel","decimals"}...]}; keys are seconds
// since 1970 of the row's date read as UTC.
std::string panelsJson(const Session& s) {
  const ChartData& data = *s.data;
  std::string out = "{\"rows\":[" + std::to_string(s.rows.first) + "," +
                    std::to_string(s.rows.last) +
                    "],\"rowCount\":" + std::to_string(data.rowCount());
  char number[64];
  std::snprintf(number, sizeof number, ",\"firstKey\":%.17g,\"step\":%.17g", data.keyOfRow(0),
                data.keyOfRow(1) - data.keyOfRow(0));
  out += number;
  out += ",\"period\":";
  appendJsonString(data.periodText(s.rows), out);
  out += ",\"units\":[";
  const std::vector<std::string>& units = data.units();
  for (std::size_t u = 0; u < units.size(); ++u) {
    if (u) out += ',';
    appendJsonString(units[u], out);
  }
  out += "],\"channels\":[";
  const auto& channels = data.channels();
  for (std::size_t c = 0; c < channels.size(); ++c) {
    if (c) out += ',';
    out += "{\"name\":";
    appendJsonString(channels[c].name(), out);
    out += ",\"unit\":";
    appendJsonString(channels[c].unit, out);
    std::size_t panel = 0;
    while (panel < units.size() && units[panel] != channels[c].unit) ++panel;
    out += ",\"panel\":" + std::to_string(panel) + "}";
  }
  out += "]}";
  return out;
}

// The row's date and each channel's cell as the table writes them, tab-separated.
std::string rowCells(const Session& s, std::int64_t row0) {
  const ChartData& data = *s.data;
  std::string out;
  if (row0 < 0 || row0 >= data.rowCount()) return out;
  kestrix::appendDate(data.run().rowDate(row0 + 1), s.dates, out);
  for (const auto& channel : data.channels()) {
    out += '\t';
    kestrix::appendCellValueText(data.values().tableCell(channel.column, row0 + 1),
                                 channel.decimals, s.decimalMark, out);
  }
  return out;
}

// The summary of the rows the table holds, as --summary writes it (in UTF-8).
std::string summaryText(const Session& s) {
  kestrix::StringSink sink;
  const ChartData& data = *s.data;
  kestrix::writeSummary(kestrix::summarize(data.values(), s.rows), data.run(), sink, s.text,
                        kestrix::web::appliedChecks());
  return sink.data;
}

std::string errorJson(const std::string& message) {
  std::string out = "{\"error\":";
  appendJsonString(message, out);
  return out + "}";
}

}  // namespace

extern "C" {

// Converts as /chart/args says and keeps the run. Returns panelsJson's text,
// or {"error": message} naming the file and the problem.
EMSCRIPTEN_KEEPALIVE const char* kestrix_chart_open() {
  session.reset();
  try {
    session = openSession(readArguments("/chart/args"));
    // Worked out now rather than after CHART, when it would hold up the
    // panels' first moves; with limits given, the page applies them and asks
    // for the summary with their columns instead.
    if (!session->limitsGiven) session->summary = summaryText(*session);
    return answerText(panelsJson(*session));
  } catch (const kestrix::ConversionError& e) {
    return answerText(errorJson(e.what()));
  } catch (const kestrix::cli::UsageError& e) {
    return answerText(errorJson(e.message));
  } catch (const std::exception& e) {
    return answerText(errorJson(e.what()));
  }
}

// The points of keys [fromKey, toKey] across `columns` (chart_points.hpp):
// kestrix_chart_index() and kestrix_chart_pairs() point at them, of
// kestrix_chart_pair_count() pairs. Returns the count of numbers in the index.
EMSCRIPTEN_KEEPALIVE int kestrix_chart_points(double fromKey, double toKey, int columns) {
  points.index.clear();
  points.pairs.clear();
  if (!session) return 0;
  kestrix::web::fillChartPoints(*session->data, session->rows, fromKey, toKey, columns, points);
  return static_cast<int>(points.index.size());
}

EMSCRIPTEN_KEEPALIVE const double* kestrix_chart_index() {
  return points.index.data();
}

EMSCRIPTEN_KEEPALIVE const float* kestrix_chart_pairs() {
  return points.pairs.data();
}

EMSCRIPTEN_KEEPALIVE int kestrix_chart_pair_count() {
  return static_cast<int>(points.pairs.size() / 2);
}

// "first date to last date" of the table's rows that keys [fromKey, toKey]
// show, as the window's Period line writes them.
EMSCRIPTEN_KEEPALIVE const char* kestrix_chart_period(double fromKey, double toKey) {
  if (!session) return answerText({});
  return answerText(session->data->periodText(
      kestrix::web::rowsInRange(*session->data, session->rows, fromKey, toKey)));
}

// rowCells of the 0-based row, or "" outside the table.
EMSCRIPTEN_KEEPALIVE const char* kestrix_chart_row(double row0) {
  if (!session) return answerText({});
  return answerText(rowCells(*session, static_cast<std::int64_t>(row0)));
}

// summaryText of the session's run.
EMSCRIPTEN_KEEPALIVE const char* kestrix_chart_summary() {
  if (!session) return answerText({});
  // The one worked out at opening holds no limit columns.
  if (kestrix::web::appliedChecks()) return answerText(summaryText(*session));
  if (session->summary.empty()) session->summary = summaryText(*session);
  return answerText(session->summary);
}

// The Periods view and the print view (report_session.hpp), with the limits
// the page wrote into /chart/limits/ (none there: none).

// periodsAnswer of the rows the table holds; `kind` as PeriodKind counts.
EMSCRIPTEN_KEEPALIVE const char* kestrix_chart_periods(int kind) {
  if (!session || kind < 0 || kind > static_cast<int>(kestrix::PeriodKind::All))
    return answerText("{\"error\":\"no chart\"}");
  return answerText(kestrix::web::periodsAnswer(session->data, session->rows,
                                                static_cast<kestrix::PeriodKind>(kind),
                                                session->text, "/chart/limits"));
}

// reportAnswer of the 1-based rows [first, last], with the period table of
// `periods` (as PeriodKind counts; -1: none).
EMSCRIPTEN_KEEPALIVE const char* kestrix_chart_report(double first, double last, int mostExcursions,
                                                      int periods) {
  if (!session) return answerText("{\"error\":\"no chart\"}");
  const kestrix::RowRange drawn{static_cast<std::int64_t>(first), static_cast<std::int64_t>(last)};
  std::optional<kestrix::PeriodKind> kind;
  if (periods >= 0 && periods <= static_cast<int>(kestrix::PeriodKind::All))
    kind = static_cast<kestrix::PeriodKind>(periods);
  return answerText(kestrix::web::reportAnswer(
      *session->data, drawn, static_cast<std::size_t>(std::max(mostExcursions, 0)), kind,
      "/chart/limits"));
}

}  // extern "C"

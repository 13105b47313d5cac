// The page's limits editor, as the chart window's: a line per unit of the
// chart's run (its unit-wide rule) above a line per channel (the rule of that
// logger's channel), each with low, high, delay and total. The lines are
// filled from a limits file's rules, those naming none of them kept as they
// are; the cells typed are checked as the window checks them and, when none
// is at fault, written back as a limits file's text.
//
// The page writes its input into the instance's files first: /limits/name
// and /limits/text (a limits file), /limits/kept (the rules kept, as a
// limits file) and /limits/cells (a line per editor line, its four cells
// TAB-separated).

#include <emscripten/emscripten.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart_session.hpp"
#include "chart_session_limits.hpp"
#include "limits_file.hpp"
#include "text_format.hpp"

namespace {

using kestrix::LimitRule;
using kestrix::web::appendJsonString;

enum Column { Low, High, Delay, Total };
constexpr const char* columnNames[] = {"Low", "High", "Delay", "Total"};

struct Line {
  std::optional<std::string> unit;      // a unit line
  std::optional<std::uint32_t> logger;  // a channel line
  int channel = 0;                      // 1 or 2, with logger
  std::string channelUnit;              // a channel line's unit
  std::string name, tip;
  bool editable = true;
};

std::string answer;

const char* answerText(std::string text) {
  answer = std::move(text);
  return answer.c_str();
}

std::string fileText(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<Line> editorLines() {
  std::vector<Line> lines;
  const kestrix::web::Session* s = kestrix::web::chartSession();
  if (!s) return lines;
  const kestrix::chart::ChartData& data = *s->data;
  for (const std::string& unit : data.units()) {
    lines.push_back({unit, std::nullopt, 0, unit, "Every " + unit + " channel",
                     "The limits of every channel in " + unit + " that has none of its own"});
  }
  for (const kestrix::chart::ChartChannel& channel : data.channels()) {
    const kestrix::ColumnInfo& column = data.values().column(channel.column);
    Line line{std::nullopt,
              kestrix::parseLoggerIdentity(column.loggerId),
              column.channel + 1,
              channel.unit,
              channel.name(),
              "Logger " + column.loggerId + ", channel " + std::to_string(column.channel + 1)};
    // A channel without a logger identity cannot be named by a rule.
    line.editable = line.logger.has_value();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string_view trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

std::string quoted(std::string_view text) {
  return "\u201c" + std::string(text) + "\u201d";
}

// A limit as typed: empty, or a number with '.' or ',' as its mark.
std::optional<double> parseLimit(std::string_view cell, std::string& problem) {
  std::string typed(trimmed(cell));
  if (typed.empty()) return std::nullopt;
  for (char& c : typed)
    if (c == ',') c = '.';
  // A plain decimal number, as from_chars reads one: no sign '+', no
  // hexadecimal, no infinity; the whole cell.
  const bool plain =
      typed.find_first_not_of("0123456789.-eE") == std::string::npos && typed.front() != 'e';
  char* end = nullptr;
  const double value = plain ? std::strtod(typed.c_str(), &end) : 0.0;
  if (!plain || end != typed.c_str() + typed.size() || !std::isfinite(value)) {
    problem = quoted(trimmed(cell)) + " is not a number";
    return std::nullopt;
  }
  return value;
}

// A duration as typed: empty, "90s", "30m", "2h", "1h30m" or seconds.
std::optional<std::int64_t> parseDurationCell(std::string_view cell, std::string& problem) {
  const std::string_view typed = trimmed(cell);
  if (typed.empty()) return std::nullopt;
  std::int64_t seconds = 0;
  const char* end = typed.data() + typed.size();
  const auto [at, error] = std::from_chars(typed.data(), end, seconds);
  if (error == std::errc() && at == end && seconds >= 0 && seconds <= kestrix::maxDurationSeconds)
    return seconds;
  if (const auto parsed = kestrix::parseDuration(typed)) return parsed;
  problem = quoted(typed) + " is not a duration such as 90s, 30m, 2h or 1h30m";
  return std::nullopt;
}

struct Fault {
  int column = -1;
  std::string message;  // "High: ...", or empty
};

// The rule of one line's cells, or none when they are all empty; `fault`
// says which cell is wrong and why otherwise.
std::optional<LimitRule> lineRule(const Line& line, const std::vector<std::string>& cells,
                                  Fault& fault) {
  const auto fail = [&](int column, const std::string& why) -> std::optional<LimitRule> {
    fault = {column, std::string(columnNames[column]) + ": " + why};
    return std::nullopt;
  };
  bool empty = true;
  for (const std::string& cell : cells) empty = empty && trimmed(cell).empty();
  if (empty || !line.editable) return std::nullopt;
  LimitRule rule;
  rule.unit = line.unit;
  rule.logger = line.logger;
  if (line.logger) rule.channel = line.channel;
  std::string why;
  rule.low = parseLimit(cells[Low], why);
  if (!why.empty()) return fail(Low, why);
  rule.high = parseLimit(cells[High], why);
  if (!why.empty()) return fail(High, why);
  rule.delaySeconds = parseDurationCell(cells[Delay], why).value_or(0);
  if (!why.empty()) return fail(Delay, why);
  rule.totalSeconds = parseDurationCell(cells[Total], why);
  if (!why.empty()) return fail(Total, why);
  if (!rule.low && !rule.high) return fail(Low, "a delay or a total needs a low or a high limit");
  if (const std::optional<kestrix::RuleProblem> p = kestrix::ruleProblem(rule)) {
    const int column = p->key == "high"    ? High
                       : p->key == "delay" ? Delay
                       : p->key == "total" ? Total
                                           : Low;
    return fail(column, p->message);
  }
  return rule;
}

std::string limitText(const std::optional<double>& value) {
  std::string out;
  if (value) kestrix::appendShortestDecimal(*value, ".", out);
  return out;
}

std::vector<std::vector<std::string>> typedCells(std::size_t lines) {
  std::vector<std::vector<std::string>> cells(lines, std::vector<std::string>(4));
  const std::string text = fileText("/limits/cells");
  std::size_t line = 0, column = 0;
  for (const char c : text) {
    if (c == '\n') {
      ++line;
      column = 0;
    } else if (c == '\t') {
      ++column;
    } else if (line < lines && column < 4) {
      cells[line][column] += c;
    }
  }
  return cells;
}

}  // namespace

extern "C" {

// The editor's lines for the chart's run, filled from the rules of the
// limits file /limits/name, /limits/text: {"lines": [{"name", "unit", "tip",
// "whole" (a unit line), "editable", "cells": [low, high, delay, total]}...],
// "kept": the rules naming no line, as a limits file}; or {"error": message}.
EMSCRIPTEN_KEEPALIVE const char* kestrix_limits_lines() {
  std::vector<LimitRule> rules;
  try {
    rules = kestrix::web::readPageLimits(fileText("/limits/text"), fileText("/limits/name"));
  } catch (const std::exception& e) {
    std::string out = "{\"error\":";
    appendJsonString(e.what(), out);
    return answerText(out + "}");
  }
  const std::vector<Line> lines = editorLines();
  // Which rule fills each line: the last unit-wide rule of its unit; the
  // last rule of its logger that names its channel, as the check picks it.
  std::vector<std::optional<std::size_t>> filledBy(lines.size());
  std::vector<bool> shown(rules.size(), false);
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const LimitRule& rule = rules[i];
    for (std::size_t row = 0; row < lines.size(); ++row) {
      const Line& line = lines[row];
      const bool names = line.unit ? (!rule.logger && rule.unit == line.unit)
                                   : (line.logger && rule.logger == line.logger &&
                                      (!rule.channel || *rule.channel == line.channel) &&
                                      (!rule.unit || *rule.unit == line.channelUnit));
      if (!names) continue;
      filledBy[row] = i;
      shown[i] = true;
    }
  }
  std::vector<LimitRule> kept;
  for (std::size_t i = 0; i < rules.size(); ++i)
    if (!shown[i]) kept.push_back(rules[i]);

  std::string out = "{\"lines\":[";
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const Line& line = lines[row];
    const LimitRule* rule = filledBy[row] ? &rules[*filledBy[row]] : nullptr;
    out += row ? ",{\"name\":" : "{\"name\":";
    appendJsonString(line.name, out);
    out += ",\"unit\":";
    appendJsonString(line.channelUnit, out);
    out += ",\"tip\":";
    appendJsonString(line.tip, out);
    out += line.unit ? ",\"whole\":true" : ",\"whole\":false";
    out += line.editable ? ",\"editable\":true,\"cells\":[" : ",\"editable\":false,\"cells\":[";
    const std::string cells[] = {
        rule ? limitText(rule->low) : "", rule ? limitText(rule->high) : "",
        rule && rule->delaySeconds != 0 ? kestrix::durationText(rule->delaySeconds) : "",
        rule && rule->totalSeconds ? kestrix::durationText(*rule->totalSeconds) : ""};
    for (int c = 0; c < 4; ++c) {
      if (c) out += ',';
      appendJsonString(cells[c], out);
    }
    out += "]}";
  }
  out += "],\"kept\":";
  appendJsonString(kestrix::limitsText(kept), out);
  return answerText(out + "}");
}

// The cells of /limits/cells checked: {"faults": [[line, column, reason]...],
// "problem": the first in words ("Cellar — Humidity, High: ...") or "",
// "text": the rules kept (/limits/kept) then those of the lines, as a limits
// file, only when no cell is at fault; "rules": how many}.
EMSCRIPTEN_KEEPALIVE const char* kestrix_limits_check() {
  const std::vector<Line> lines = editorLines();
  const std::vector<std::vector<std::string>> cells = typedCells(lines.size());
  std::vector<LimitRule> rules;
  try {
    rules = kestrix::parseLimits(fileText("/limits/kept"), "kept");
  } catch (const std::exception&) {
    rules.clear();  // the editor's own text: it always reads back
  }
  std::string faults, problem;
  for (std::size_t row = 0; row < lines.size(); ++row) {
    Fault fault;
    std::optional<LimitRule> rule = lineRule(lines[row], cells[row], fault);
    if (fault.column >= 0) {
      if (!faults.empty()) faults += ',';
      faults += "[" + std::to_string(row) + "," + std::to_string(fault.column) + ",";
      appendJsonString(fault.message, faults);
      faults += "]";
      if (problem.empty()) problem = lines[row].name + ", " + fault.message;
    } else if (rule) {
      rules.push_back(std::move(*rule));
    }
  }
  std::string out = "{\"faults\":[" + faults + "],\"problem\":";
  appendJsonString(problem, out);
  if (problem.empty()) {
    out += ",\"text\":";
    appendJsonString(kestrix::limitsText(rules), out);
  }
  return answerText(out + ",\"rules\":" + std::to_string(rules.size()) + "}");
}

}  // extern "C"

// The page's limits editor: the chart window's lines of the chart's run
// (limit_lines.hpp), filled from a limits file's rules, and the cells typed
// checked and, when none is at fault, written back as a limits file's text.
//
// The page writes its input into the instance's files first: /limits/name
// and /limits/text (a limits file), /limits/kept (the rules kept, as a
// limits file) and /limits/cells (a line per editor line, its four cells
// TAB-separated).

#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "chart_limits.hpp"
#include "chart_session.hpp"
#include "chart_session_limits.hpp"
#include "limit_lines.hpp"
#include "limits_file.hpp"
#include "worker_answer.hpp"

namespace {

using namespace kestrix;
using namespace kestrix::web;

std::vector<LimitLine> editorLines() {
  const Session* s = chartSession();
  return s ? chart::limitLines(*s->data) : std::vector<LimitLine>{};
}

// /limits/cells: a line per editor line, its four cells TAB-separated.
std::vector<LimitCells> typedCells(std::size_t lines) {
  std::vector<LimitCells> cells(lines);
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
    rules = readPageLimits(fileText("/limits/text"), fileText("/limits/name"));
  } catch (const std::exception& e) {
    std::string out = "{\"error\":";
    appendJsonString(e.what(), out);
    return answerText(out + "}");
  }
  const std::vector<LimitLine> lines = editorLines();
  const FilledLimitLines filled = fillLimitLines(lines, rules);
  std::string out = "{\"lines\":[";
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const LimitLine& line = lines[row];
    out += row ? ",{\"name\":" : "{\"name\":";
    appendJsonString(line.name, out);
    out += ",\"unit\":";
    appendJsonString(line.channelUnit, out);
    out += ",\"tip\":";
    appendJsonString(line.tip, out);
    out += line.unit ? ",\"whole\":true" : ",\"whole\":false";
    out += line.editable() ? ",\"editable\":true,\"cells\":" : ",\"editable\":false,\"cells\":";
    const LimitCells& cells = filled.cells[row];
    appendJsonStrings({cells.begin(), cells.end()}, out);
    out += "}";
  }
  out += "],\"kept\":";
  appendJsonString(limitsText(filled.kept), out);
  return answerText(out + "}");
}

// The cells of /limits/cells checked: {"faults": [[line, column, reason]...],
// "problem": the first in words ("Cellar — Humidity, High: ...") or "",
// "text": the rules kept (/limits/kept) then those of the lines, as a limits
// file, only when no cell is at fault; "rules": how many (none while one is)}.
EMSCRIPTEN_KEEPALIVE const char* kestrix_limits_check() {
  const std::vector<LimitLine> lines = editorLines();
  std::vector<LimitRule> kept;
  try {
    kept = parseLimits(fileText("/limits/kept"), "kept");
  } catch (const std::exception&) {
    kept.clear();  // the editor's own text: it always reads back
  }
  const EditedLimits edited = editedLimits(lines, typedCells(lines.size()), std::move(kept));
  std::string faults;
  for (const EditedLimits::Fault& fault : edited.faults) {
    if (!faults.empty()) faults += ',';
    faults += "[" + std::to_string(fault.line) + "," + std::to_string(fault.cell.cell) + ",";
    appendJsonString(fault.cell.message, faults);
    faults += "]";
  }
  std::string out = "{\"faults\":[" + faults + "],\"problem\":";
  appendJsonString(edited.problem, out);
  if (edited.faults.empty()) {
    out += ",\"text\":";
    appendJsonString(limitsText(edited.rules), out);
  }
  return answerText(out + ",\"rules\":" + std::to_string(edited.rules.size()) + "}");
}

}  // extern "C"

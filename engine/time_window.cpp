#include "time_window.hpp"

#include <algorithm>

#include "dates.hpp"

namespace kestrix {

namespace {

// Reads exactly `digits` digits at `at`.
std::optional<int> number(std::string_view text, std::size_t at, std::size_t digits) {
  if (at + digits > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Rounds n / d towards plus infinity (d > 0).
std::int64_t ceilDivide(std::int64_t n, std::int64_t d) {
  return n >= 0 ? (n + d - 1) / d : -(-n / d);
}

}  // namespace

std::optional<std::int64_t> parseWindowDate(std::string_view text) {
  // YYYY-MM-DD[( |T)HH:MM[:SS]]
  const auto year = number(text, 0, 4);
  const auto month = number(text, 5, 2);
  const auto day = number(text, 8, 2);
  if (!year || !month || !day || text[4] != '-' || text[7] != '-') return std::nullopt;
  CivilTime t{*year, *month, *day, 0, 0, 0};
  if (text.size() > 10) {
    const auto hour = number(text, 11, 2);
    const auto minute = number(text, 14, 2);
    if ((text[10] != ' ' && text[10] != 'T') || !hour || !minute || text[13] != ':')
      return std::nullopt;
    t.hour = *hour;
    t.minute = *minute;
    if (text.size() > 16) {
      const auto second = number(text, 17, 2);
      if (text[16] != ':' || !second || text.size() != 19) return std::nullopt;
      t.second = *second;
    } else if (text.size() != 16) {
      return std::nullopt;
    }
  } else if (text.size() != 10) {
    return std::nullopt;
  }
  if (!isValidCivilTime(t)) return std::nullopt;
  return toSeconds(t);
}

RowRange rowsInWindow(const ConversionRun& run, const TimeWindow& window) {
  RowRange rows{1, std::max<std::int64_t>(run.totalRows, 0)};
  const std::int64_t step = std::max(run.step, 1);
  // Row r is dated earliestStart + (r - 1) * step.
  if (window.from) {
    rows.first = std::max(rows.first, 1 + ceilDivide(*window.from - run.earliestStart, step));
  }
  if (window.to) {
    rows.last = std::min(rows.last, ceilDivide(*window.to - run.earliestStart, step));
  }
  if (rows.empty()) {
    // Between rows, or before or after them all: first is the row after.
    rows.first = std::min(rows.first, rows.last + 1);
    rows.first = std::max<std::int64_t>(rows.first, 1);
    rows.last = rows.first - 1;
  }
  return rows;
}

}  // namespace kestrix

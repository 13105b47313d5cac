// The fuzz targets, each checking one part of what a run makes from the
// same bytes (see fuzz_input.hpp), so that each tries inputs quickly:
// - table: reading the files, the run, its table against the plain row
//   builder, its ISO dates, CSV and a time window;
// - values: the run's cells as values, the summary, the excursions, the
//   period tables and the chart's pyramids, each against a plain scan;
// - join: the first file joined with a shifted copy of itself, cell by cell
//   against the plain merge, and the joined table;
// - workbook: the run written as a workbook (tables up to 2,000 rows).
// A finding aborts (fuzz_check.hpp); each target returns normally otherwise.
#pragma once

#include <array>
#include <string_view>

namespace kestrix::fuzz {

void fuzzTable(std::string_view input);
void fuzzValues(std::string_view input);
void fuzzJoin(std::string_view input);
void fuzzWorkbook(std::string_view input);

struct Target {
  std::string_view name;
  void (*fuzz)(std::string_view input);
};

inline constexpr std::array<Target, 4> kTargets{
    {{"table", fuzzTable}, {"values", fuzzValues}, {"join", fuzzJoin}, {"workbook", fuzzWorkbook}}};

// Runs `target` over `input`: an exception escaping it is a finding.
void runTarget(const Target& target, std::string_view input);

}  // namespace kestrix::fuzz

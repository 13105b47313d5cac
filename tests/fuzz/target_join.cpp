#include <optional>
#include <string>

#include "check_dates.hpp"
#include "check_table.hpp"
#include "fuzz_check.hpp"
#include "fuzz_input.hpp"
#include "fuzz_targets.hpp"
#include "table.hpp"

namespace kestrix::fuzz {

namespace {

// What a row shows of one file alone, by its cell text.
enum class Shows { Nothing, Overflow, Value };
Shows showsOf(const std::string& cell) {
  if (cell.empty() || cell == "\t") return Shows::Nothing;
  if (cell == "overflow" || cell == "overflow\toverflow") return Shows::Overflow;
  return Shows::Value;
}

}  // namespace

// The first file joined with a copy of itself shifted along its sampling
// grid: one column, which row by row is the plain merge of the two files' own
// columns (the newest file's value, else the other's, else "overflow", else
// nothing), and whose table is written and checked as any other.
void fuzzJoin(std::string_view input) {
  const std::optional<ConversionRun> run = readRun(input);
  if (!run) return;
  const LoggerFile& file = run->files.front();
  const std::optional<JoinedCopy> copy = joinCopy(file, input);
  if (!copy) return;
  const ConversionRun& joined = copy->joined;
  const ConversionRun& apart = copy->apart;
  check(joined.columns.size() == 1 && joined.keptApart.empty(), "a copy kept apart");
  check(joined.totalRows == apart.totalRows && joined.earliestStart == apart.earliestStart,
        "joining moved the time axis");
  // The copy is the newer file unless it ends earlier (a tie goes to it).
  const std::size_t newest = copy->steps >= 0 ? 1 : 0;
  const TableText joinedText(joined, Regional{});
  const TableText apartText(apart, Regional{});
  std::int64_t withValues = 0;
  for (std::int64_t r = 1; r <= joined.totalRows; ++r) {
    const std::string mine = apartText.cellText(newest, r);
    const std::string other = apartText.cellText(1 - newest, r);
    const Shows a = showsOf(mine);
    const Shows b = showsOf(other);
    std::string expected;
    if (a == Shows::Value)
      expected = mine;
    else if (b == Shows::Value)
      expected = other;
    else if (a == Shows::Overflow)
      expected = mine;
    else if (b == Shows::Overflow)
      expected = other;
    else
      expected = mine;
    withValues += a == Shows::Value || b == Shows::Value ? 1 : 0;
    const std::string got = joinedText.cellText(0, r);
    check(got == expected, "joined cell differs from the plain merge:", [&] {
      return "row " + std::to_string(r) + ": " + got + " instead of " + expected;
    });
  }
  const JoinCounts& counts = joined.columns[0].counts(false);
  check(counts.rowsWithValues == withValues, "joined rows with values miscounted");
  check(counts.conflicting <= counts.overlapping && counts.overlapping <= counts.rowsWithValues,
        "joined counts out of order");
  const Encoding encoding = input.size() % 2 == 1 ? Encoding::Utf8 : Encoding::Windows1252;
  const std::string table = checkedTable(joined, file.channelCount, encoding);
  checkDatesCsvAndWindow(joined, table, encoding, input);
}

}  // namespace kestrix::fuzz

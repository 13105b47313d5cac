// Fuzz entry over the whole engine: bytes -> logger file(s) -> run -> table in
// memory, and from the run its values, summary, excursions (limits taken from
// the input's bytes), period tables, chart pyramids and workbook, its ISO
// dates, CSV and a time window (taken from the input's bytes too).
//
// The input is one logger file, or several joined by the 8 bytes "KSTXNEXT"
// (at most four files), so that runs where the time axis combines files are
// fuzzed too. Every file is read, the files that read well make one run, and
// the run's table is written into memory; the first file is also joined with
// a shifted copy of itself. Refusals (ConversionError) are the
// expected outcome for most inputs; anything else escaping, a sanitizer
// report, a broken invariant below or a row that differs from TableText's (the
// plain reference for the writer) is a finding.
//
// Tables are bounded: a few header bytes can ask for up to limits::maxRows
// (16,777,216) rows, some 300 MiB of text, which is legitimate output but
// would make each such input take seconds and gigabytes; even 100,000 rows
// cost a tenth of a second under the sanitizers and would starve the fuzzer.
// So the run is made with a smaller row limit (kLimits), which the engine
// enforces as it does its own: a longer table is refused like any other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "check_dates.hpp"
#include "check_outputs.hpp"
#include "error.hpp"
#include "fuzz_check.hpp"
#include "limits.hpp"
#include "recording.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

namespace {

constexpr std::string_view kNextFile = "KSTXNEXT";
constexpr int kMaxFiles = 4;
constexpr kestrix::Limits kLimits{.maxFiles = kMaxFiles, .maxRows = 20'000};
// Workbooks cost a zip file each: only for the shorter tables.
constexpr std::int64_t kMaxWorkbookRows = 2'000;

using kestrix::fuzz::broken;
using kestrix::fuzz::check;

// Messages name the file they are about and say something.
void checkMessage(const kestrix::ConversionError& e, const std::string& file) {
  const std::string message = e.what();
  check(e.file() == file, "error names another file:", message);
  check(!e.detail().empty() && message == (file.empty() ? "" : file + ": ") + e.detail(),
        "malformed message:", message);
  check(message.find('\n') == std::string::npos && message.find('\r') == std::string::npos,
        "message spans lines:", message);
}

std::vector<std::string_view> splitFiles(std::string_view input) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < static_cast<std::size_t>(kMaxFiles)) {
    const std::size_t at = input.find(kNextFile);
    if (at == std::string_view::npos) break;
    parts.push_back(input.substr(0, at));
    input.remove_prefix(at + kNextFile.size());
  }
  parts.push_back(input);
  return parts;
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

void checkFile(const kestrix::LoggerFile& f) {
  check(f.channelCount == 1 || f.channelCount == 2, "channel count");
  check(f.memorySize * f.channelCount == 65536 || f.memorySize * f.channelCount == 131072,
        "memory size");
  check(std::find(kestrix::intervalTable.begin(), kestrix::intervalTable.end(), f.interval) !=
            kestrix::intervalTable.end(),
        "interval");
  // The loader keeps at most one logger memory, whatever the header claims.
  check(f.samples.size() <= 131072, "sample column larger than a logger memory");
  check(f.samples.size() >= 0, "negative column size");
  check(f.samples.base() >= 0, "negative column base");
  // Nothing outside the stored positions, and the block reader agrees with
  // the one-position reader.
  check(!f.samples.at(f.samples.base()) && !f.samples.at(f.samples.base() + f.samples.size() + 1),
        "a sample outside the stored positions");
  if (f.samples.size() > 0) {
    std::vector<std::int16_t> block(static_cast<std::size_t>(f.samples.size()));
    const bool all = f.samples.decode(0, f.samples.size(), block.data());
    bool every = true;
    for (std::int64_t i = 0; i < f.samples.size(); ++i) {
      const auto s = f.samples.at(f.samples.base() + 1 + i);
      every = every && s.has_value();
      check(s.value_or(0) == block[static_cast<std::size_t>(i)], "decode differs from at");
    }
    check(all == every, "decode misreports missing samples");
  }
}

// Every data row: a date, then one TAB before each channel's cell.
void checkRow(std::string_view row, int channels, const std::string& where) {
  check(row.size() >= 17, "row shorter than its date", where);
  check(count(row, "\t") == static_cast<std::size_t>(channels), "row has a wrong column count",
        where + ": " + std::string(row));
  check(row.find('\r') == std::string_view::npos && row.find('\n') == std::string_view::npos,
        "line break inside a row", where);
}

void writeWholeTable(const kestrix::ConversionRun& run, int channels, std::string_view input) {
  const bool utf8 = input.size() % 2 == 1;
  kestrix::TableOptions options;
  options.encoding = utf8 ? kestrix::Encoding::Utf8 : kestrix::Encoding::Windows1252;
  std::vector<int> progress;
  options.progress = [&progress](int percent) { progress.push_back(percent); };
  kestrix::StringSink sink;
  const std::string status = kestrix::writeTable(run, sink, options);

  check(status == kestrix::closingStatus(run.inconsistentFlag), "closing status");
  const std::string_view table = sink.data;
  check(table.size() >= 2 && table.substr(table.size() - 2) == "\r\n", "table ends without CR LF");
  const std::int64_t rows = std::max<std::int64_t>(run.totalRows, 0);
  check(count(table, "\r\n") == static_cast<std::size_t>(4 + rows), "line count",
        std::to_string(count(table, "\r\n")) + " lines for " + std::to_string(rows) + " rows");

  // The writer builds rows its own fast way; TableText is the plain one.
  const kestrix::TableText reference(run, kestrix::Regional{});
  std::string expected;
  std::size_t from = 0;
  for (std::int64_t line = 1; line <= 4 + rows; ++line) {
    const std::size_t end = table.find("\r\n", from);
    const std::string_view text = table.substr(from, end - from);
    if (line > 4) {
      const std::string where = "row " + std::to_string(line - 4);
      checkRow(text, channels, where);
      expected.clear();
      reference.appendRow(line - 4, expected);
      check(text == expected, "row differs from TableText:",
            where + ": " + std::string(text) + " instead of " + expected);
    } else {
      // Header lines: one field per channel, however odd the container names.
      check(count(text, "\t") == static_cast<std::size_t>(channels),
            "header line has a wrong column count",
            "line " + std::to_string(line) + ": " + std::string(text));
    }
    from = end + 2;
  }

  for (std::size_t i = 0; i < progress.size(); ++i) {
    check(progress[i] >= 1 && progress[i] <= 100, "progress out of range");
    check(i == 0 || progress[i] > progress[i - 1], "progress not rising");
  }
  check(rows == 0 || (!progress.empty() && progress.back() == 100), "progress does not end at 100");

  kestrix::fuzz::checkOutputs(run, table, rows <= kMaxWorkbookRows, input);
  kestrix::fuzz::checkDatesCsvAndWindow(run, table, options.encoding, input);
}

// What a row shows of one file alone, by its cell text.
enum class Shows { Nothing, Overflow, Value };
Shows showsOf(const std::string& cell) {
  if (cell.empty() || cell == "\t") return Shows::Nothing;
  if (cell == "overflow" || cell == "overflow\toverflow") return Shows::Overflow;
  return Shows::Value;
}

// `file` joined with a copy of itself shifted along its sampling grid: one
// column, which row by row is the plain merge of the two files' own columns
// (the newest file's value, else the other's, else "overflow", else nothing),
// and whose table is written and checked as any other.
void checkJoinedCopy(const kestrix::LoggerFile& file, std::string_view input) {
  kestrix::LoggerFile copy = file;
  copy.displayName = "UC00S.PDB";
  const std::int64_t steps =
      std::int64_t{file.sampleCount} * (static_cast<std::int64_t>(input.size() % 5) - 2) / 4;
  copy.startDate += steps * file.interval;
  std::vector<kestrix::LoggerFile> pair{file, copy};
  kestrix::ConversionRun joined;
  kestrix::ConversionRun apart;
  try {
    joined = kestrix::makeRun(pair, kLimits, true);
    apart = kestrix::makeRun(std::move(pair), kLimits);
  } catch (const kestrix::ConversionError& e) {
    checkMessage(e, e.file());
    return;
  }
  check(joined.columns.size() == 1 && joined.keptApart.empty(), "a copy kept apart");
  check(joined.totalRows == apart.totalRows && joined.earliestStart == apart.earliestStart,
        "joining moved the time axis");
  // The copy is the newer file unless it ends earlier (a tie goes to it).
  const std::size_t newest = steps >= 0 ? 1 : 0;
  const kestrix::TableText joinedText(joined, kestrix::Regional{});
  const kestrix::TableText apartText(apart, kestrix::Regional{});
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
    check(got == expected, "joined cell differs from the plain merge:",
          "row " + std::to_string(r) + ": " + got + " instead of " + expected);
  }
  const kestrix::JoinCounts& counts = joined.columns[0].counts(false);
  check(counts.rowsWithValues == withValues, "joined rows with values miscounted");
  check(counts.conflicting <= counts.overlapping && counts.overlapping <= counts.rowsWithValues,
        "joined counts out of order");
  writeWholeTable(joined, file.channelCount, input);
}

void convert(std::string_view input) {
  std::vector<kestrix::LoggerFile> files;
  int fileNumber = 0;
  for (std::string_view part : splitFiles(input)) {
    const std::string name = "UC00" + std::to_string(++fileNumber) + ".PDB";
    const auto* data = reinterpret_cast<const std::uint8_t*>(part.data());
    try {
      files.push_back(kestrix::readLoggerFile(name, {data, part.size()}));
      checkFile(files.back());
    } catch (const kestrix::ConversionError& e) {
      checkMessage(e, name);
    }
  }
  if (files.empty()) return;

  kestrix::ConversionRun run;
  try {
    run = kestrix::makeRun(std::move(files), kLimits);
  } catch (const kestrix::ConversionError& e) {
    checkMessage(e, e.file());
    return;
  }
  check(run.totalRows <= kLimits.maxRows, "table longer than the row limit");
  check(run.columns.size() == run.files.size(), "one column per file");
  int channels = 0;
  for (std::size_t j = 0; j < run.columns.size(); ++j) {
    const kestrix::FilePlan& plan = run.columns[j].file();
    check(plan.file == j && plan.offset >= 0, "column plan");
    channels += run.files[j].channelCount;
  }
  writeWholeTable(run, channels, input);
  checkJoinedCopy(run.files.front(), input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    convert({reinterpret_cast<const char*>(data), size});
  } catch (const std::exception& e) {
    broken("exception escaped:", e.what());
  }
  return 0;
}

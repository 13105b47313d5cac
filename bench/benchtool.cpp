// Helpers of scripts/bench.
//
//   kestrix-benchtool floor PATH BYTES      writes BYTES bytes, all held in memory, to the new
//                                           file PATH; prints the milliseconds the writing took
//   kestrix-benchtool floor-hot PATH BYTES  the same, every write from one 1 MiB buffer
//   kestrix-benchtool floor-inputs PATH BYTES FILE...
//                                           reads every FILE once, then writes as floor does;
//                                           prints the milliseconds of both (the floor of a
//                                           run of thousands of small files)
//   kestrix-benchtool measure CMD ARG...    runs CMD; prints its wall milliseconds and peak
//                                           resident memory in KiB
//   kestrix-benchtool check TABLE FILE...   compares TABLE, written from FILE... by
//                                           kestrix-convert, with rows formatted the slow way,
//                                           cell by cell by TableText
//   kestrix-benchtool phases TABLE FILE...  converts FILE... into the new file TABLE as
//                                           kestrix-convert does; prints the milliseconds of
//                                           reading the files and of writing the table
//   kestrix-benchtool clipboard FILE...     converts FILE... into a discarded table while
//                                           gathering the clipboard text; prints the peak memory
//                                           with the text gathered and after joining it
//   kestrix-benchtool summary FILE...       summarizes every column of FILE...; prints the best
//                                           processor milliseconds of taking the cells as
//                                           values, of the summary, and the column count
//   kestrix-benchtool cpu CMD ARG...        runs CMD; prints its processor milliseconds (user
//                                           and system, all its threads)
//   kestrix-benchtool limits-for PATH COUNT FILE...
//                                           writes the limits file PATH: a rule on every
//                                           channel of FILE..., low and high placed so that
//                                           the run has about COUNT excursions; prints how many
//   kestrix-benchtool excursions LIMITS FILE...
//                                           checks every column of FILE... against LIMITS;
//                                           prints the best processor milliseconds of taking
//                                           the cells as values, of the check, of reading the
//                                           cells alone (as the check does), of the list's
//                                           text, and the number of excursions
//   kestrix-benchtool xlsx-floor PATH ROWS COLUMNS
//                                           libxlsxwriter's own loop: ROWS rows of COLUMNS
//                                           number cells (table-like values) into the new
//                                           workbook PATH, constant memory; prints the
//                                           milliseconds of writing the cells and of packing
#include <xlsxwriter.h>
#include <CStringBuilder.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bench_support.hpp"
#include "clipboard_tee.hpp"
#include "convert_files.hpp"
#include "error.hpp"
#include "excursions.hpp"
#include "input_files.hpp"
#include "limits_file.hpp"
#include "mapped_file.hpp"
#include "platform/file_system.hpp"
#include "platform/resource_usage.hpp"
#include "regional.hpp"
#include "run.hpp"
#include "summary.hpp"
#include "table.hpp"

namespace {

using kestrix::bench::Clock;
using kestrix::bench::millisecondsSince;
using kestrix::bench::readRun;

long peakKiB() {
  return static_cast<long>(kestrix::platform::peakMemoryKiB().value_or(-1));
}

// Writes `size` bytes to the new file `path` in 1 MiB writes, from a buffer
// holding them all or, `hot`, from one 1 MiB buffer again and again.
int floor(const char* path, std::size_t size, bool hot) {
  constexpr std::size_t chunk = std::size_t{1} << 20;
  // Table-like bytes, every page touched before the clock starts.
  std::vector<char> bytes(hot ? std::min(size, chunk) : size);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = i % 61 == 60 ? '\n' : static_cast<char>('0' + i % 10);
  }

  const Clock::time_point start = Clock::now();
  std::error_code error;
  std::FILE* file = kestrix::platform::createNewFile(path, error);
  if (!file) {
    std::fprintf(stderr, "%s: %s\n", path, error.message().c_str());
    return 1;
  }
  // Unbuffered: each write goes to the system as it is, 1 MiB at a time.
  std::setvbuf(file, nullptr, _IONBF, 0);
  for (std::size_t at = 0; at < size;) {
    const char* from = hot ? bytes.data() : bytes.data() + at;
    const std::size_t n = std::min(chunk, size - at);
    if (std::fwrite(from, 1, n, file) != n) {
      std::perror(path);
      std::fclose(file);
      return 1;
    }
    at += n;
  }
  if (std::fclose(file) != 0) {
    std::perror(path);
    return 1;
  }
  std::printf("%.2f\n", millisecondsSince(start));
  return 0;
}

// Reads each of `files` whole, then writes `size` bytes to `path` as floor does.
int floorWithInputs(const char* path, std::size_t size, int count, char** files) {
  const Clock::time_point start = Clock::now();
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t read = 0;
  for (int i = 0; i < count; ++i) {
    std::FILE* file = kestrix::platform::openFile(files[i], "rb");
    if (!file) {
      std::perror(files[i]);
      return 1;
    }
    // Unbuffered: each read fills the 1 MiB buffer straight from the system.
    std::setvbuf(file, nullptr, _IONBF, 0);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;) read += n;
    std::fclose(file);
  }
  const double readMs = millisecondsSince(start);
  std::fflush(stdout);
  // floor prints its own milliseconds; the reading's go before them.
  std::printf("%.2f ", readMs);
  (void)read;
  return floor(path, size, false);
}

// Runs the command to its end; false (with a message) unless it exits with 0.
bool ranToSuccess(char** command, kestrix::platform::CommandUsage& usage) {
  if (const std::error_code error = kestrix::platform::runToEnd(command, usage)) {
    std::fprintf(stderr, "kestrix-benchtool: %s: %s\n", command[0], error.message().c_str());
    return false;
  }
  if (usage.exitStatus != 0) {
    std::fprintf(stderr, "kestrix-benchtool: %s failed\n", command[0]);
    return false;
  }
  return true;
}

int measure(char** command) {
  const Clock::time_point start = Clock::now();
  kestrix::platform::CommandUsage usage;
  if (!ranToSuccess(command, usage)) return 1;
  std::printf("%.2f %lld\n", millisecondsSince(start), static_cast<long long>(usage.peakMemoryKiB));
  return 0;
}

int cpu(char** command) {
  kestrix::platform::CommandUsage usage;
  if (!ranToSuccess(command, usage)) return 1;
  std::printf("%.2f\n", usage.processorMilliseconds);
  return 0;
}

int check(const char* tablePath, int count, char** names) {
  const kestrix::ConversionRun run = readRun(count, names);
  // kestrix-convert's settings: the locale's, in Windows-1252, which ASCII
  // separators share (the benchmark runs in the C locale).
  const kestrix::Regional regional = kestrix::regionalFromLocale();

  std::ifstream in(tablePath, std::ios::binary);
  const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string_view> lines;
  for (std::size_t from = 0; from < table.size();) {
    const std::size_t end = table.find("\r\n", from);
    if (end == std::string::npos) {
      std::fprintf(stderr, "check: the table does not end in CR LF\n");
      return 1;
    }
    lines.emplace_back(table.data() + from, end - from);
    from = end + 2;
  }
  const kestrix::TableText text(run, regional);
  if (lines.size() != static_cast<std::size_t>(4 + std::max<std::int64_t>(0, run.totalRows)) ||
      table.compare(0, text.headerLines().size(), text.headerLines()) != 0) {
    std::fprintf(stderr, "check: wrong header or %zu lines for %lld rows\n", lines.size(),
                 static_cast<long long>(run.totalRows));
    return 1;
  }

  // Every n-th row, and the rows around each file's start, end and overflow end.
  std::set<std::int64_t> rows;
  const std::int64_t step = std::max<std::int64_t>(1, run.totalRows / 5000);
  for (std::int64_t r = 1; r <= run.totalRows; r += step) rows.insert(r);
  for (const kestrix::ColumnPlan& column : run.columns) {
    const kestrix::FilePlan& plan = column.file();
    for (const std::int64_t edge :
         {plan.rows.first - 1, plan.withMargin.overflow.last, plan.rows.last}) {
      for (std::int64_t r = edge - 2; r <= edge + 2; ++r) rows.insert(r);
    }
  }
  rows.insert(run.totalRows);
  std::size_t checked = 0;
  for (const std::int64_t r : rows) {
    if (r < 1 || r > run.totalRows) continue;
    std::string expected;
    text.appendRow(r, expected);
    const std::string_view got = lines[static_cast<std::size_t>(r + 3)];
    if (got != expected) {
      std::fprintf(stderr, "check: row %lld differs\n  table: %.*s\n  slow:  %s\n",
                   static_cast<long long>(r), static_cast<int>(got.size()), got.data(),
                   expected.c_str());
      return 1;
    }
    ++checked;
  }
  std::printf("%zu of %lld rows checked cell by cell, %zu files\n", checked,
              static_cast<long long>(run.totalRows), run.files.size());
  return 0;
}

// The conversion kestrix-convert makes; reading ends with the first progress
// report (the header and row 1 written by then take microseconds).
int phases(const char* tablePath, int count, char** names) {
  kestrix::ConversionRequest request;
  request.paths.assign(names, names + count);
  request.displayNames.assign(names, names + count);
  request.target = tablePath;
  request.options.regional = kestrix::regionalFromLocale();
  const Clock::time_point start = Clock::now();
  double reading = -1;
  request.options.progress = [&](int) {
    if (reading < 0) reading = millisecondsSince(start);
  };
  kestrix::convertFiles(request);
  const double total = millisecondsSince(start);
  if (reading < 0) reading = total;
  std::printf("%.1f %.1f %.1f\n", reading, total - reading, total);
  return 0;
}

class NullSink final : public kestrix::Sink {
 public:
  void write(std::string_view bytes) override { size += bytes.size(); }
  std::size_t size = 0;
};

int clipboard(int count, char** names) {
  const kestrix::ConversionRun run = readRun(count, names);
  CStringBuilder text;
  kestrix::TableOptions options;
  options.regional = kestrix::regionalFromLocale();
  NullSink sink;
  kestrix::ClipboardTee tee(sink, text);
  kestrix::writeTable(run, tee, options);
  const long gathered = peakKiB();
  const std::string& joined = text.ToString();
  const long afterJoin = peakKiB();
  if (joined.size() != sink.size) {
    std::fprintf(stderr, "clipboard: %zu bytes gathered, %zu written\n", joined.size(), sink.size);
    return 1;
  }
  std::printf("%ld %ld %zu\n", gathered, afterJoin, joined.size());
  return 0;
}

// Processor time of the calling thread: the machine's other work does not count.
double threadMilliseconds() {
  return kestrix::platform::threadProcessorMilliseconds();
}

int summary(int count, char** names) {
  const kestrix::ConversionRun run = readRun(count, names);
  double bestValues = 1e300;
  double bestSummary = 1e300;
  std::size_t columns = 0;
  for (int i = 0; i < 7; ++i) {
    const double start = threadMilliseconds();
    const kestrix::TableValues values(run);
    const double summarizing = threadMilliseconds();
    NullSink sink;
    kestrix::writeSummary(kestrix::summarize(values), run, sink, kestrix::Regional{},
                          kestrix::Encoding::Windows1252);
    bestValues = std::min(bestValues, summarizing - start);
    bestSummary = std::min(bestSummary, threadMilliseconds() - summarizing);
    columns = values.columnCount();
  }
  std::printf("%.1f %.1f %zu\n", bestValues, bestSummary, columns);
  return 0;
}

// Excursions of a column above (or below) each possible limit, counted at
// once: a run above starts at row i for every boundary A (a cell is above
// when its tenths are at least A) with previous < A <= value.
struct CrossingCounts {
  std::int64_t min = 0;
  std::vector<std::int64_t> above;  // by A - min: excursions above
  std::vector<std::int64_t> below;  // by B - min (below: tenths at most B)
};

CrossingCounts crossingsOf(const std::vector<kestrix::CellValue>& cells) {
  std::int64_t min = INT64_MAX, max = INT64_MIN;
  for (const kestrix::CellValue& cell : cells) {
    if (cell.kind != kestrix::CellKind::Number) continue;
    min = std::min(min, cell.tenths);
    max = std::max(max, cell.tenths);
  }
  CrossingCounts counts;
  if (min > max) return counts;
  counts.min = min;
  const auto size = static_cast<std::size_t>(max - min + 2);
  std::vector<std::int64_t> aboveStarts(size + 1), belowStarts(size + 1);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (cells[i].kind != kestrix::CellKind::Number) continue;
    const std::int64_t v = cells[i].tenths - min;
    const bool after = i > 0 && cells[i - 1].kind == kestrix::CellKind::Number;
    const std::int64_t previous = after ? cells[i - 1].tenths - min : -1;
    if (!after || previous < v) {  // above for A in previous + 1 .. v
      ++aboveStarts[static_cast<std::size_t>(after ? previous + 1 : 0)];
      --aboveStarts[static_cast<std::size_t>(v + 1)];
    }
    if (!after || previous > v) {  // below for B in v .. previous - 1
      ++belowStarts[static_cast<std::size_t>(v)];
      --belowStarts[static_cast<std::size_t>(after ? previous : static_cast<std::int64_t>(size))];
    }
  }
  std::int64_t a = 0, b = 0;
  for (std::size_t k = 0; k < size; ++k) {
    counts.above.push_back(a += aboveStarts[k]);
    counts.below.push_back(b += belowStarts[k]);
  }
  return counts;
}

// The limits of a column nearest to `perSide` excursions on each side: high
// in the upper half of the values' range, low in the lower half.
struct Placement {
  std::int64_t aboveFrom = 0;  // relative to CrossingCounts::min
  std::int64_t belowTo = 0;
  std::int64_t excursions = 0;
};

Placement place(const CrossingCounts& counts, std::int64_t perSide) {
  const auto size = static_cast<std::int64_t>(counts.above.size());
  const std::int64_t middle = size / 2;
  const auto above = [&](std::int64_t k) { return counts.above[static_cast<std::size_t>(k)]; };
  const auto below = [&](std::int64_t k) { return counts.below[static_cast<std::size_t>(k)]; };
  Placement p{middle + 1, middle - 1, 0};
  for (std::int64_t k = middle + 1; k < size; ++k) {
    if (std::abs(above(k) - perSide) < std::abs(above(p.aboveFrom) - perSide)) p.aboveFrom = k;
  }
  for (std::int64_t k = 0; k < middle; ++k) {
    if (std::abs(below(k) - perSide) < std::abs(below(p.belowTo) - perSide)) p.belowTo = k;
  }
  p.excursions = above(p.aboveFrom) + below(p.belowTo);
  return p;
}

int limitsFor(const char* path, long count, int files, char** names) {
  const kestrix::ConversionRun run = readRun(files, names);
  const kestrix::TableValues values(run);
  std::vector<std::size_t> columns;
  std::vector<CrossingCounts> counts;
  std::vector<kestrix::CellValue> cells(static_cast<std::size_t>(values.rowCount()));
  for (std::size_t c = 0; c < values.columnCount(); ++c) {
    values.cells(c, 1, values.rowCount(), cells.data());
    CrossingCounts column = crossingsOf(cells);
    if (column.above.size() < 4) continue;  // too few values to place both limits
    columns.push_back(c);
    counts.push_back(std::move(column));
  }
  // The share of each side, the same for every channel, that brings the
  // whole run nearest to `count` (channels that cannot reach it give less).
  const auto total = [&](std::int64_t perSide) {
    std::int64_t sum = 0;
    for (const CrossingCounts& column : counts) sum += place(column, perSide).excursions;
    return sum;
  };
  std::int64_t low = 1, high = count;
  while (low < high) {
    const std::int64_t mid = (low + high) / 2;
    if (total(mid) < count) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  std::vector<kestrix::LimitRule> rules;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Placement p = place(counts[i], low);
    const kestrix::ColumnInfo& info = values.column(columns[i]);
    kestrix::LimitRule rule;
    rule.logger = kestrix::parseLoggerIdentity(info.loggerId);
    rule.channel = info.channel + 1;
    rule.low = static_cast<double>(counts[i].min + p.belowTo + 1) / 10.0;
    rule.high = static_cast<double>(counts[i].min + p.aboveFrom - 1) / 10.0;
    rule.delaySeconds = 600;
    rules.push_back(rule);
  }
  kestrix::writeLimitsFile(path, rules);
  std::size_t excursions = 0;
  for (const kestrix::ChannelCheck& check :
       kestrix::checkLimits(values, rules, {1, values.rowCount()}))
    excursions += check.excursions.size();
  std::printf("%zu\n", excursions);
  return 0;
}

int excursions(const char* limitsPath, int count, char** names) {
  const kestrix::ConversionRun run = readRun(count, names);
  const std::vector<kestrix::LimitRule> rules = kestrix::readLimitsFile(limitsPath);
  double bestValues = 1e300, bestCells = 1e300, bestCheck = 1e300, bestText = 1e300;
  std::size_t found = 0;
  std::vector<std::int32_t> block(1024);
  for (int i = 0; i < 7; ++i) {
    const double start = threadMilliseconds();
    const kestrix::TableValues values(run);
    const double reading = threadMilliseconds();
    // The cells alone, read as the check reads them.
    for (std::size_t c = 0; c < values.columnCount(); ++c) {
      for (std::int64_t first = 1; first <= values.rowCount(); first += 1024) {
        values.cellCodes(c, first, std::min<std::int64_t>(1024, values.rowCount() - first + 1),
                         block.data());
      }
    }
    bestCells = std::min(bestCells, threadMilliseconds() - reading);
    const double checking = threadMilliseconds();
    const std::vector<kestrix::ChannelCheck> checks =
        kestrix::checkLimits(values, rules, {1, values.rowCount()});
    const double writing = threadMilliseconds();
    NullSink sink;
    kestrix::writeExcursions(checks, values, sink, kestrix::TextFormat{});
    bestValues = std::min(bestValues, reading - start);
    bestCheck = std::min(bestCheck, writing - checking);
    bestText = std::min(bestText, threadMilliseconds() - writing);
    found = 0;
    for (const kestrix::ChannelCheck& check : checks) found += check.excursions.size();
  }
  std::printf("%.1f %.1f %.1f %.1f %zu\n", bestValues, bestCheck, bestCells, bestText, found);
  return 0;
}

// The least any workbook of that many cells costs with the library: one
// number format, every cell a number, rows in order.
int xlsxFloor(const char* path, long rows, int columns) {
  const Clock::time_point start = Clock::now();
  lxw_workbook_options settings{};
  settings.constant_memory = LXW_TRUE;
  const std::string folder = std::filesystem::path(path).parent_path().string();
  std::string tmpdir = folder.empty() ? std::string(".") : folder;
  settings.tmpdir = tmpdir.data();
  lxw_workbook* workbook = workbook_new_opt(path, &settings);
  lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, "uc1") : nullptr;
  if (!sheet) {
    std::fprintf(stderr, "xlsx-floor: cannot create %s\n", path);
    return 1;
  }
  lxw_format* format = workbook_add_format(workbook);
  format_set_num_format(format, "0.0");
  for (long r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      // Slowly varying values of one decimal, as a table's.
      const double value = static_cast<double>((r / 7 + c * 13) % 600 - 100) / 10.0;
      worksheet_write_number(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), value,
                             format);
    }
  }
  const double cells = millisecondsSince(start);
  const lxw_error error = workbook_close(workbook);
  if (error != LXW_NO_ERROR) {
    std::fprintf(stderr, "xlsx-floor: %s\n", lxw_strerror(error));
    return 1;
  }
  const double total = millisecondsSince(start);
  std::printf("%.2f %.2f\n", total, total - cells);
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: kestrix-benchtool floor|floor-hot PATH BYTES\n"
               "       kestrix-benchtool floor-inputs PATH BYTES FILE...\n"
               "       kestrix-benchtool measure CMD [ARG...]\n"
               "       kestrix-benchtool check TABLE FILE...\n"
               "       kestrix-benchtool phases TABLE FILE...\n"
               "       kestrix-benchtool clipboard FILE...\n"
               "       kestrix-benchtool summary FILE...\n"
               "       kestrix-benchtool cpu CMD [ARG...]\n"
               "       kestrix-benchtool limits-for PATH COUNT FILE...\n"
               "       kestrix-benchtool excursions LIMITS FILE...\n"
               "       kestrix-benchtool xlsx-floor PATH ROWS COLUMNS\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string_view what = argv[1];
  try {
    if ((what == "floor" || what == "floor-hot") && argc == 4) {
      return floor(argv[2], std::strtoull(argv[3], nullptr, 10), what == "floor-hot");
    }
    if (what == "floor-inputs" && argc >= 5) {
      return floorWithInputs(argv[2], std::strtoull(argv[3], nullptr, 10), argc - 4, argv + 4);
    }
    if (what == "measure") return measure(argv + 2);
    if (what == "check" && argc >= 4) return check(argv[2], argc - 3, argv + 3);
    if (what == "phases" && argc >= 4) return phases(argv[2], argc - 3, argv + 3);
    if (what == "clipboard") return clipboard(argc - 2, argv + 2);
    if (what == "summary") return summary(argc - 2, argv + 2);
    if (what == "cpu") return cpu(argv + 2);
    if (what == "limits-for" && argc >= 5) {
      return limitsFor(argv[2], std::strtol(argv[3], nullptr, 10), argc - 4, argv + 4);
    }
    if (what == "excursions" && argc >= 4) return excursions(argv[2], argc - 3, argv + 3);
    if (what == "xlsx-floor" && argc == 5) {
      return xlsxFloor(argv[2], std::strtol(argv[3], nullptr, 10), std::atoi(argv[4]));
    }
  } catch (const kestrix::ConversionError& e) {
    std::fprintf(stderr, "kestrix-benchtool: %s\n", e.what());
    return 1;
  } catch (const kestrix::LimitsFileError& e) {
    std::fprintf(stderr, "kestrix-benchtool: %s\n", e.what());
    return 1;
  }
  return usage();
}

// Helpers of scripts/bench.
//
//   kestrix-benchtool floor PATH BYTES      writes BYTES bytes, all held in memory, to the new
//                                           file PATH; prints the milliseconds the writing took
//   kestrix-benchtool floor-hot PATH BYTES  the same, every write from one 1 MiB buffer
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
//   kestrix-benchtool xlsx-floor PATH ROWS COLUMNS
//                                           libxlsxwriter's own loop: ROWS rows of COLUMNS
//                                           number cells (table-like values) into the new
//                                           workbook PATH, constant memory; prints the
//                                           milliseconds of writing the cells and of packing
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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
#include <vector>

#include "bench_support.hpp"
#include "clipboard_tee.hpp"
#include "convert_files.hpp"
#include "error.hpp"
#include "input_files.hpp"
#include "mapped_file.hpp"
#include "regional.hpp"
#include "run.hpp"
#include "summary.hpp"
#include "table.hpp"

namespace {

using kestrix::bench::Clock;
using kestrix::bench::millisecondsSince;
using kestrix::bench::readRun;

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
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
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    std::perror(path);
    return 1;
  }
  for (std::size_t at = 0; at < size;) {
    const char* from = hot ? bytes.data() : bytes.data() + at;
    const ssize_t n = write(fd, from, std::min(chunk, size - at));
    if (n <= 0) {
      std::perror(path);
      return 1;
    }
    at += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) {
    std::perror(path);
    return 1;
  }
  std::printf("%.2f\n", millisecondsSince(start));
  return 0;
}

int measure(char** command) {
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 1;
  }
  if (child == 0) {
    execvp(command[0], command);
    std::perror(command[0]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("wait4");
    return 1;
  }
  const double wall = millisecondsSince(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "kestrix-benchtool: %s failed\n", command[0]);
    return 1;
  }
  std::printf("%.2f %ld\n", wall, usage.ru_maxrss);
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
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
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
               "       kestrix-benchtool measure CMD [ARG...]\n"
               "       kestrix-benchtool check TABLE FILE...\n"
               "       kestrix-benchtool phases TABLE FILE...\n"
               "       kestrix-benchtool clipboard FILE...\n"
               "       kestrix-benchtool summary FILE...\n"
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
    if (what == "measure") return measure(argv + 2);
    if (what == "check" && argc >= 4) return check(argv[2], argc - 3, argv + 3);
    if (what == "phases" && argc >= 4) return phases(argv[2], argc - 3, argv + 3);
    if (what == "clipboard") return clipboard(argc - 2, argv + 2);
    if (what == "summary") return summary(argc - 2, argv + 2);
    if (what == "xlsx-floor" && argc == 5) {
      return xlsxFloor(argv[2], std::strtol(argv[3], nullptr, 10), std::atoi(argv[4]));
    }
  } catch (const kestrix::ConversionError& e) {
    std::fprintf(stderr, "kestrix-benchtool: %s\n", e.what());
    return 1;
  }
  return usage();
}

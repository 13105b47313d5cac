// The table writer: the header, row 1 as TableText builds it, then rows 2
// onward by row writers in segments, on two threads where it pays, written in
// order with the progress reported; the rows of a time window alone when asked.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "rounding.hpp"
#include "row_writer.hpp"
#include "table.hpp"
#include "text.hpp"
#include "two_threads.hpp"

namespace kestrix {

namespace {

// Rows in a segment. Small segments keep the buffers small: each page of a
// buffer costs a page fault the first time it is written.
constexpr std::int64_t segmentRows = 2 * RowWriter::blockRows;
// A segment buffer's first size: a segment of rows of usual width and room
// for the widest block.
constexpr std::size_t segmentBytes = std::size_t{768} << 10;

// The rows of one segment, in a buffer that grows to hold them.
class SegmentBuffer {
 public:
  char* w = nullptr;  // the write position

  void clear() {
    if (!data_) grow(segmentBytes);
    w = data_.get();
  }
  void ensure(std::size_t n) {
    if (capacity_ - used() < n) grow(std::max(2 * capacity_, used() + n));
  }
  std::string_view text() const noexcept { return {data_.get(), used()}; }

 private:
  std::size_t used() const noexcept { return static_cast<std::size_t>(w - data_.get()); }
  void grow(std::size_t capacity) {
    std::unique_ptr<char[]> bigger(new char[capacity]);  // left uninitialised
    const std::size_t kept = data_ ? used() : 0;
    if (kept > 0) std::memcpy(bigger.get(), data_.get(), kept);
    data_ = std::move(bigger);
    capacity_ = capacity;
    w = data_.get() + kept;
  }

  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
};

// Rows `from` to `last` (from >= 2) in segments of segmentRows rows, each
// formatted by whichever of two threads is free (unless `oneThread`), each
// thread with a RowWriter (and so field tables) of its own. The calling thread
// writes the segments in order, with `ahead` (row 1, when it is written)
// before them, and reports each row written.
template <class Progress>
void writeSegments(const ConversionRun& run, const RowForm& form, bool includeOverflowed,
                   std::int64_t from, std::int64_t last, std::string_view ahead, Sink& sink,
                   bool oneThread, Progress&& progress) {
  // Segments formatted but not written yet, at most; segment s uses buffer
  // s % inFlight, free again once segment s - inFlight is written.
  constexpr std::size_t inFlight = 4;
  const std::int64_t segments = last >= from ? (last - from + segmentRows) / segmentRows : 0;
  std::array<SegmentBuffer, inFlight> buffers;
  std::array<std::optional<RowWriter>, 2> writers;  // one a thread, made on its first segment

  auto firstRow = [from](std::size_t segment) {
    return from + static_cast<std::int64_t>(segment) * segmentRows;
  };
  auto lastRow = [&](std::size_t segment) {
    return std::min(last, firstRow(segment) + segmentRows - 1);
  };
  auto format = [&](std::size_t segment, int worker) {
    std::optional<RowWriter>& rows = writers[static_cast<std::size_t>(worker)];
    if (!rows) rows.emplace(run, form, includeOverflowed);
    SegmentBuffer& out = buffers[segment % inFlight];
    out.clear();
    const std::int64_t end = lastRow(segment);
    rows->seek(firstRow(segment));
    for (std::int64_t r = firstRow(segment); r <= end; r += RowWriter::blockRows)
      rows->write(r, std::min(RowWriter::blockRows, end - r + 1), out);
  };
  auto write = [&](std::size_t segment) {
    sink.write(buffers[segment % inFlight].text());
    for (std::int64_t r = firstRow(segment); r <= lastRow(segment); ++r) progress(r);
  };

  if (!ahead.empty()) {
    sink.write(ahead);
    progress(1);
  }
  TwoThreads how;
  how.ahead = inFlight;
  how.oneThread = oneThread;
  forEachOnTwoThreads(static_cast<std::size_t>(segments), format, write, how);
}

}  // namespace

void writeTableRows(const ConversionRun& run, const RowForm& form, const TableOptions& options,
                    Sink& sink) {
  RowRange rows{1, run.totalRows};
  if (options.rows) {
    rows.first = std::max(rows.first, options.rows->first);
    rows.last = std::min(rows.last, options.rows->last);
  }
  if (rows.empty()) return;

  // Row 1 carries the first-row texts: it is built as TableText builds it.
  std::string first;
  if (rows.first == 1) {
    TableText(run, form, options.includeOverflowed).appendRow(1, first);
    first += crlf;
  }

  int lastPercent = 0;
  auto progress = [&](std::int64_t r) {
    // Rows written * 100 / rows to write, to the nearest whole number.
    const auto percent =
        static_cast<int>(divideRoundHalfEven((r - rows.first + 1) * 100, rows.count()));
    if (percent > lastPercent) {
      lastPercent = percent;
      if (options.progress) options.progress(percent);
    }
  };
  writeSegments(run, form, options.includeOverflowed, std::max<std::int64_t>(rows.first, 2),
                rows.last, first, sink, options.oneThread, progress);
}

std::string writeTable(const ConversionRun& run, Sink& sink, const TableOptions& options) {
  std::string header = TableText(run, Regional{}).headerLines();
  if (options.encoding == Encoding::Utf8) header = windows1252ToUtf8(header);
  sink.write(header);
  writeTableRows(run, tableForm(options), options, sink);
  return closingStatus(run.inconsistentFlag);
}

}  // namespace kestrix

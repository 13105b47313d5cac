#include "gaps.hpp"

#include <algorithm>
#include <string>

#include "run.hpp"

namespace kestrix {

std::string_view gapCellsText(GapCells cells) noexcept {
  switch (cells) {
    case GapCells::Overflow:
      return "overflow";
    case GapCells::Mixed:
      return "mixed";
    case GapCells::Blank:
      break;
  }
  return "blank";
}

std::vector<Gap> findGaps(const TableValues& values, RowRange rows) {
  constexpr std::int64_t kChunk = 4096;
  std::vector<Gap> gaps;
  std::vector<CellValue> cells(static_cast<std::size_t>(kChunk));
  for (std::size_t c = 0; c < values.columnCount(); ++c) {
    const RowRange slots = values.slotsIn(c, rows);
    bool seenValue = false;
    bool open = false;  // a run of rows without a value since the last value
    Gap gap;
    gap.column = c;
    for (std::int64_t r = slots.first; r <= slots.last; r += kChunk) {
      const std::int64_t n = std::min(kChunk, slots.last - r + 1);
      values.cells(c, r, n, cells.data());
      for (std::int64_t k = 0; k < n; ++k) {
        const CellKind kind = cells[static_cast<std::size_t>(k)].kind;
        const bool value = kind == CellKind::Number || kind == CellKind::Text;
        if (value) {
          if (open) gaps.push_back(gap);  // closed by a value: a gap
          seenValue = true;
          open = false;
          continue;
        }
        if (!seenValue) continue;  // before the first value
        const GapCells these = kind == CellKind::Overflow ? GapCells::Overflow : GapCells::Blank;
        if (!open) {
          open = true;
          gap.rows = {r + k, r + k};
          gap.cells = these;
        } else {
          gap.rows.last = r + k;
          if (gap.cells != these) gap.cells = GapCells::Mixed;
        }
      }
    }
    // A run still open at the end lies after the last value: no gap.
  }
  return gaps;
}

void writeGaps(const std::vector<Gap>& gaps, const TableValues& values, Sink& sink,
               const TextFormat& format) {
  constexpr std::size_t kFlushBytes = 64 * 1024;
  const TextFormatter out(format);
  std::string text = "Title\tLogger\tLabel\tUnit\tStart\tEnd\tDuration\tCells\r\n";
  for (const Gap& gap : gaps) {
    out.channel(values.column(gap.column), text);
    text += '\t';
    out.date(values.slotDate(gap.column, gap.rows.first), text);
    text += '\t';
    out.date(values.slotDate(gap.column, gap.rows.last + 1), text);
    text += '\t';
    appendDuration(gap.rows.count() * values.interval(gap.column), text);
    (text += '\t') += gapCellsText(gap.cells);
    text += "\r\n";
    if (text.size() >= kFlushBytes) {
      sink.write(text);
      text.clear();
    }
  }
  sink.write(text);
}

}  // namespace kestrix

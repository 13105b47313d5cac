// The row writer's gathering of each block's fields: from the cell-text
// tables where it can, cell by cell where it must.
#include "row_writer.hpp"

#include <algorithm>
#include <utility>

namespace kestrix {

RowWriter::RowWriter(const ConversionRun& run, const RowForm& form, bool includeOverflowed)
    : run_(run),
      dateForm_(form.dates),
      includeOverflowed_(includeOverflowed),
      cells_(form.decimalMark(), form.separator),
      blank_(slotOf("", form.separator)),
      overflow_(form.numbersOnly ? blank_ : slotOf("overflow", form.separator)),
      date_(run.earliestStart, run.step, form.dates) {
  for (const ColumnPlan& column : run.columns) {
    const FilePlan& plan = column.file();
    Column c;
    c.plan = &column;
    c.pieces = &column.pieces(includeOverflowed);
    c.field = fields_;
    fields_ += plan.twoChannels ? 2 : 1;
    c.two = plan.twoChannels;
    c.rawOffset = plan.reduced.rawOffset;
    c.tables = cells_.tablesFor(plan.reduced.params);
    columns_.push_back(c);
  }
  pieces_.resize(static_cast<std::size_t>(blockRows) * fields_);
}

void RowWriter::seek(std::int64_t first) {
  date_ = RowDateText(run_.rowDate(first - 1), run_.step, dateForm_);
}

void RowWriter::gather(const Column& c, std::int64_t first, std::int64_t count) {
  const Slot** out = pieces_.data() + c.field;
  const ColumnPlan& plan = *c.plan;
  // A column of a longer interval than the run's step: its slots on every
  // stride-th row, blanks between.
  std::int64_t last = first + count - 1;
  std::size_t stride = fields_;
  if (plan.stride > 1) {
    for (std::int64_t k = 0; k < count; ++k) {
      out[static_cast<std::size_t>(k) * fields_] = &blank_;
      if (c.two) out[static_cast<std::size_t>(k) * fields_ + 1] = &blank_;
    }
    const RowRange slots = plan.slotsIn({first, last});
    if (slots.empty()) return;
    out += static_cast<std::size_t>(plan.tableRow(slots.first) - first) * fields_;
    stride = fields_ * static_cast<std::size_t>(plan.stride);
    first = slots.first;
    last = slots.last;
  }
  // The slots of a piece of samples show values, the others a fixed text.
  auto fixed = [&](const Slot* slot, std::int64_t rows) {
    for (; rows > 0; --rows, out += stride) {
      out[0] = slot;
      if (c.two) out[1] = slot;
    }
  };
  const std::vector<ColumnPiece>& pieces = *c.pieces;
  std::int64_t r = first;
  for (std::size_t at = plan.firstPieceFrom(first, includeOverflowed_);
       at < pieces.size() && pieces[at].rows.first <= last; ++at) {
    const ColumnPiece& piece = pieces[at];
    const std::int64_t from = std::max(r, piece.rows.first);
    const std::int64_t to = std::min(last, piece.rows.last);
    fixed(&blank_, from - r);
    if (piece.shows == RowShows::Samples) {
      sampleFields(c, plan.files[piece.file], from, to - from + 1, out, stride);
      out += stride * static_cast<std::size_t>(to - from + 1);
    } else {
      fixed(piece.shows == RowShows::Overflow ? &overflow_ : &blank_, to - from + 1);
    }
    r = to + 1;
  }
  fixed(&blank_, last - r + 1);
}

void RowWriter::sampleFields(const Column& c, const FilePlan& file, std::int64_t first,
                             std::int64_t count, const Slot** out, std::size_t stride) {
  const SampleColumn& samples = run_.files[file.file].samples;
  const std::int64_t p = file.position(first);
  const std::int64_t base = samples.base();
  const std::int64_t i = c.two ? 2 * p - 2 - base : p - 1 - base;
  // The plain way first, straight from the file's bytes; where a sample
  // is missing or a field was not ready, the careful way.
  const bool done = c.tables[0] && samples.decode(i, c.two ? 2 * count : count, raw_.data()) &&
                    (c.two ? values2(c, count, out, stride) : values1(c, count, out, stride));
  if (!done) {
    for (std::int64_t k = 0; k < count; ++k)
      value(c, file, p + k, out + static_cast<std::size_t>(k) * stride);
  }
}

bool RowWriter::values1(const Column& c, std::int64_t count, const Slot** out,
                        std::size_t stride) const {
  const std::int16_t* s = raw_.data();
  const Slot* texts = c.tables[0];
  const std::int16_t rawOffset = c.rawOffset;
  bool all = true;
  for (const std::int16_t* end = s + count; s != end; ++s, out += stride) {
    const Slot* slot = texts + static_cast<std::uint16_t>(*s + rawOffset);
    all &= ready(*slot);
    out[0] = slot;
  }
  return all;
}

bool RowWriter::values2(const Column& c, std::int64_t count, const Slot** out,
                        std::size_t stride) const {
  const std::int16_t* s = raw_.data();
  const Slot* texts1 = c.tables[0];
  const Slot* texts2 = c.tables[1];
  const std::int16_t rawOffset = c.rawOffset;
  bool all = true;
  for (const std::int16_t* end = s + 2 * count; s != end; s += 2, out += stride) {
    const Slot* slot1 = texts1 + static_cast<std::uint16_t>(s[0] + rawOffset);
    const Slot* slot2 = texts2 + static_cast<std::uint16_t>(s[1] + rawOffset);
    all &= ready(*slot1);
    all &= ready(*slot2);
    out[0] = slot1;
    out[1] = slot2;
  }
  return all;
}

void RowWriter::value(const Column& c, const FilePlan& file, std::int64_t p, const Slot** out) {
  const SampleColumn& samples = run_.files[file.file].samples;
  const auto sample1 = samples.at(c.two ? 2 * p - 1 : p);
  const auto sample2 = c.two ? samples.at(2 * p) : sample1;
  if (!sample1 || !sample2) {
    out[0] = &blank_;
    if (c.two) out[1] = &blank_;
    return;
  }
  const std::int16_t s1 = *sample1;
  const std::int16_t s2 = *sample2;
  if (c.tables[0]) {
    const auto v1 = static_cast<std::int16_t>(s1 + c.rawOffset);
    const auto v2 = static_cast<std::int16_t>(s2 + c.rawOffset);
    Slot& slot1 = c.tables[0][static_cast<std::uint16_t>(v1)];
    const CellParams& reduced = file.reduced.params;
    if (sizeOf(slot1) == kNotYet) cells_.fill(reduced, c.tables, v1);
    Slot* slot2 = c.two ? &c.tables[1][static_cast<std::uint16_t>(v2)] : nullptr;
    if (slot2 && sizeOf(*slot2) == kNotYet) cells_.fill(reduced, c.tables, v2);
    if (ready(slot1) && (!slot2 || ready(*slot2))) {
      out[0] = &slot1;
      if (slot2) out[1] = slot2;
      return;
    }
  }
  std::string text(1, cells_.separator());
  appendCellText(file.formula, s1, s2, false, cells_.decimalMark(), text);
  if (cells_.separator() != '\t') std::replace(text.begin(), text.end(), '\t', cells_.separator());
  out[0] = longSlot(std::move(text));
  if (c.two) out[1] = longSlot({});  // the whole cell is in the first
}

const Slot* RowWriter::longSlot(std::string text) {
  longBytes_ += text.size();
  const std::size_t index = longTexts_.size();
  longTexts_.push_back(std::move(text));
  Slot& slot = longSlots_.emplace_back();
  std::memcpy(slot.data(), &index, sizeof index);
  slot[kSlotText] = static_cast<char>(kNotYet);
  return &slot;
}
}  // namespace kestrix

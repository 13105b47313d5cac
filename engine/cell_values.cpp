#include "cell_values.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "cell_texts.hpp"
#include "channels.hpp"
#include "table.hpp"
#include "vector_clones.hpp"

namespace kestrix {

namespace {

// One table entry read or stored whole while another thread may be storing
// it: relaxed atomic access through the compilers' builtins (std::atomic_ref
// does the same, but the browser's standard library has none).
std::int32_t loadEntry(const std::int32_t& entry) noexcept {
  return __atomic_load_n(&entry, __ATOMIC_RELAXED);
}
void storeEntry(std::int32_t& entry, std::int32_t value) noexcept {
  __atomic_store_n(&entry, value, __ATOMIC_RELAXED);
}

// A look-up entry: kUnknown until computed, kNotNumber for a text no number
// (none of the formulas gives one), else the tenths plus kBias. Cell values
// stay far inside +-kBias: the largest formula result is below 40000.
constexpr std::int32_t kUnknown = 0;
constexpr std::int32_t kNotNumber = 1;
constexpr std::int32_t kBias = std::int32_t{1} << 30;

// The tenths of a cell text "[-]digits[.digit]", or nothing for anything else.
std::optional<std::int64_t> tenthsOf(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::int64_t whole = 0;
  std::size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    whole = whole * 10 + (text[i] - '0');
    if (whole >= kBias) return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  std::int64_t tenths = whole * 10;
  if (i < text.size()) {
    if (text[i] != '.' || i + 2 != text.size() || text[i + 1] < '0' || text[i + 1] > '9')
      return std::nullopt;
    tenths += text[i + 1] - '0';
  }
  return negative ? -tenths : tenths;
}

std::int32_t entryOf(std::string_view text) {
  const auto tenths = tenthsOf(text);
  if (!tenths || *tenths <= -kBias + cellCodeNoNumber + 1 || *tenths >= kBias) return kNotNumber;
  return static_cast<std::int32_t>(*tenths + kBias);
}

CellValue valueOf(std::int32_t entry) {
  if (entry == kNotNumber || entry == kUnknown) return {CellKind::Text, 0};
  return {CellKind::Number, std::int64_t{entry} - kBias};
}

// Field `channel` of a TAB-joined header text.
std::string fieldOf(std::string_view text, int channel) {
  const std::size_t tab = text.find('\t');
  if (tab == std::string_view::npos) return std::string(text);
  return std::string(channel == 0 ? text.substr(0, tab) : text.substr(tab + 1));
}

// The digits after the mark in channel `channel`'s cells: as its formula
// writes the raw value 0.
int decimalsOf(std::uint8_t type, int channel) {
  std::string text;
  appendCellText(CellParams{type, 0, 0, 60}, 0, 0, false, ".", text);
  return fieldOf(text, channel).find('.') == std::string::npos ? 0 : 1;
}

// What the table's first row shows in place of a value, if anything: a
// number ("0") or a text ("-"); Blank when it is converted like any other row.
CellKind firstRowKindOf(std::uint8_t type) {
  const std::string_view text = firstRowTextOf(type);
  if (text.empty()) return CellKind::Blank;
  return tenthsOf(fieldOf(text, 0)) ? CellKind::Number : CellKind::Text;
}

// The look-up index of each of n samples' big-endian bytes: the raw value
// plus `offset`, modulo 2^16.
KESTRIX_VECTOR_CLONES
void lookupIndices(const std::uint8_t* bytes, std::int64_t n, std::int16_t offset,
                   std::uint16_t* out) {
  for (std::int64_t k = 0; k < n; ++k) {
    std::uint16_t stored;  // the two bytes as they lie in memory
    std::memcpy(&stored, bytes + 2 * k, 2);
    const auto raw = std::endian::native == std::endian::big
                         ? stored
                         : static_cast<std::uint16_t>(stored << 8 | stored >> 8);
    out[k] = static_cast<std::uint16_t>(raw + static_cast<std::uint16_t>(offset));
  }
}

// How many of values[0 .. n) equal `value`.
KESTRIX_VECTOR_CLONES
std::int32_t countOf(const std::int32_t* values, std::int64_t n, std::int32_t value) {
  std::int32_t count = 0;
  for (std::int64_t k = 0; k < n; ++k) count += values[k] == value ? 1 : 0;
  return count;
}

}  // namespace

// The value of every raw value met, per reduced formula and channel, as
// entries (kUnknown until computed).
class TableValues::Formulas : public FormulaTables<std::int32_t> {
 public:
  // Computes raw value v (after the raw offset) in both channels' tables,
  // from the text the table writer formats for it.
  // Readers may look at the entries meanwhile: each is stored at once, whole.
  void fill(const CellParams& reduced, const Tables& tables, std::int16_t v) {
    FormulaTables::fill(reduced, tables, v, ".", [](std::int32_t& entry, std::string_view field) {
      storeEntry(entry, entryOf(field));
    });
  }
};

char* writeDecimal(std::int64_t units, int unitDigits, int shownDigits,
                   std::string_view decimalMark, char* at) noexcept {
  const std::uint64_t magnitude =
      units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  std::uint64_t scale = 1;
  for (int i = 0; i < unitDigits; ++i) scale *= 10;
  if (units < 0) *at++ = '-';
  at = std::to_chars(at, at + 20, magnitude / scale).ptr;
  if (shownDigits == 0) return at;
  at = std::copy(decimalMark.begin(), decimalMark.end(), at);
  std::uint64_t rest = magnitude % scale;
  for (int i = 0; i < shownDigits; ++i) {
    scale /= 10;
    *at++ = static_cast<char>('0' + rest / scale);
    rest %= scale;
  }
  return at;
}

void appendDecimal(std::int64_t units, int unitDigits, int shownDigits,
                   std::string_view decimalMark, std::string& out) {
  const std::size_t at = out.size();
  out.resize(at + decimalSizeMost(shownDigits, decimalMark));
  out.resize(static_cast<std::size_t>(
      writeDecimal(units, unitDigits, shownDigits, decimalMark, out.data() + at) - out.data()));
}

void appendNumberText(std::int64_t tenths, int decimals, std::string_view decimalMark,
                      std::string& out) {
  appendDecimal(tenths, 1, decimals, decimalMark, out);
}

void appendCellValueText(const CellValue& cell, int decimals, std::string_view decimalMark,
                         std::string& out) {
  switch (cell.kind) {
    case CellKind::Number:
      appendNumberText(cell.tenths, decimals, decimalMark, out);
      break;
    case CellKind::Overflow:
      out += "overflow";
      break;
    case CellKind::Text:
      out += '-';
      break;
    case CellKind::Blank:
      break;
  }
}

TableValues::TableValues(const ConversionRun& run, bool includeOverflowed)
    : includeOverflowed_(includeOverflowed),
      run_(run),
      rows_(std::max<std::int64_t>(0, run.totalRows)),
      formulas_(new Formulas) {
  for (const ColumnPlan& column : run.columns) {
    const FilePlan& plan = column.file();
    const LoggerFile& f = run.files[plan.file];
    const Formulas::Tables tables = formulas_->tablesFor(plan.reduced.params);

    Column c;
    c.plan = &column;
    c.pieces = &column.pieces(includeOverflowed);
    c.two = plan.twoChannels;
    c.rawOffset = plan.reduced.rawOffset;
    c.firstRowKind = firstRowKindOf(f.typeCode);
    c.formula = &plan;

    const std::string_view label = channelLabels(f.typeCode);
    const std::string_view unit = channelUnits(f.typeCode);
    for (int channel = 0; channel < f.channelCount; ++channel) {
      c.info.file = plan.file;
      c.info.column = static_cast<std::size_t>(&column - run.columns.data());
      c.info.channel = channel;
      c.info.title = f.containerName;
      c.info.loggerId = identityText(f.loggerId);
      c.info.label = fieldOf(label, channel);
      c.info.unit = fieldOf(unit, channel);
      c.info.decimals = decimalsOf(f.typeCode, channel);
      c.values = tables[static_cast<std::size_t>(channel)];
      columns_.push_back(c);
    }
  }
}

TableValues::~TableValues() = default;

CellValue TableValues::valueAt(const Column& c, std::int64_t r) const {
  const ColumnPiece* piece = c.plan->pieceAt(r, includeOverflowed_);
  if (!piece) return {};
  if (piece->shows == RowShows::Overflow) return {CellKind::Overflow, 0};
  const FilePlan& file = c.plan->files[piece->file];
  const SampleColumn& samples = run_.files[file.file].samples;
  const std::int64_t p = file.position(r);
  const auto s1 = c.two ? samples.at(2 * p - 1) : samples.at(p);
  const auto s2 = c.two ? samples.at(2 * p) : s1;
  if (!s1 || !s2) return {};  // never read from the file
  if (c.plan->tableRow(r) == 1 && c.firstRowKind != CellKind::Blank) return {c.firstRowKind, 0};
  const std::int16_t s = c.info.channel == 0 ? *s1 : *s2;
  const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(s + c.rawOffset));
  return valueOf(entry(c, v));
}

std::int32_t TableValues::entry(const Column& c, std::uint16_t v) const {
  // Entries only ever go from kUnknown to their value: a reader that sees
  // kUnknown takes the lock and looks again.
  const std::int32_t e = loadEntry(c.values[v]);
  if (e != kUnknown) [[likely]]
    return e;
  return fillEntry(c, v);
}

std::int32_t TableValues::fillEntry(const Column& c, std::uint16_t v) const {
  const std::scoped_lock lock(fillLock_);
  const CellParams& params = c.formula->reduced.params;
  if (c.values[v] == kUnknown)
    formulas_->fill(params, formulas_->tablesFor(params), static_cast<std::int16_t>(v));
  return c.values[v];
}

CellValue TableValues::cell(std::size_t c, std::int64_t slot) const {
  return valueAt(columns_[c], slot);
}

CellValue TableValues::tableCell(std::size_t c, std::int64_t row) const {
  const std::int64_t slot = columns_[c].plan->slotAt(row);
  return slot > 0 ? valueAt(columns_[c], slot) : CellValue{};
}

void TableValues::tableCells(std::size_t c, std::int64_t first, std::int64_t n,
                             CellValue* out) const {
  const ColumnPlan& plan = *columns_[c].plan;
  if (plan.stride == 1 && plan.phase == 0) {
    cells(c, first, n, out);
    return;
  }
  std::fill(out, out + n, CellValue{});
  const RowRange slots = plan.slotsIn({first, first + n - 1});
  if (slots.empty()) return;
  std::vector<CellValue> shown(static_cast<std::size_t>(slots.count()));
  cells(c, slots.first, slots.count(), shown.data());
  for (std::int64_t s = slots.first; s <= slots.last; ++s)
    out[plan.tableRow(s) - first] = shown[static_cast<std::size_t>(s - slots.first)];
}

std::int64_t TableValues::slotCount(std::size_t c) const noexcept {
  return std::max<std::int64_t>(0, columns_[c].plan->slotsIn({1, rows_}).last);
}

RowRange TableValues::slotsIn(std::size_t c, RowRange rows) const noexcept {
  rows.first = std::max<std::int64_t>(rows.first, 1);
  rows.last = std::min(rows.last, rows_);
  return columns_[c].plan->slotsIn(rows);
}

std::int64_t TableValues::slotRow(std::size_t c, std::int64_t slot) const noexcept {
  return columns_[c].plan->tableRow(slot);
}

std::int64_t TableValues::slotDate(std::size_t c, std::int64_t slot) const noexcept {
  return run_.rowDate(slotRow(c, slot));
}

int TableValues::interval(std::size_t c) const noexcept {
  return columns_[c].plan->interval;
}

RowRange TableValues::heldRows(std::size_t c) const noexcept {
  const ColumnPlan& plan = *columns_[c].plan;
  std::int64_t first = 0, last = -1;
  for (const FilePlan& file : plan.files) {
    if (file.rows.empty()) continue;
    first = last < first ? file.rows.first : std::min(first, file.rows.first);
    last = std::max(last, file.rows.last);
  }
  if (last < first) return {1, 0};
  return {plan.tableRow(first), plan.tableRow(last)};
}

template <class Out, class FromEntry, class FromValue>
void TableValues::sampleCells(const Column& c, const FilePlan& file, std::int64_t first,
                              std::int64_t n, Out* out, FromEntry fromEntry,
                              FromValue fromValue) const {
  constexpr std::int64_t kChunk = 1024;
  const SampleColumn& samples = run_.files[file.file].samples;
  const std::int64_t base = samples.base();
  const std::int16_t rawOffset = c.rawOffset;
  const std::int32_t* const table = c.values;
  // A stretch of samples' bytes in the file: `skip` samples passed over,
  // then every `step`th sample's cell. The look-up indices, the entries, the
  // check for one never worked out and the cells each in a loop of their own,
  // which but for the look-ups the compiler vectorises. Codes are the entries
  // themselves once every one is worked out.
  constexpr bool kCodes = std::is_same_v<Out, std::int32_t>;
  std::uint16_t indices[kChunk];
  std::int32_t entryBuffer[kCodes ? 1 : kChunk];
  const auto stretchCells = [&](const std::uint8_t* bytes, std::int64_t stretch, std::int64_t skip,
                                std::int64_t step) {
    lookupIndices(bytes, stretch, rawOffset, indices);
    std::int32_t* entries = entryBuffer;
    if constexpr (kCodes) entries = out;
    const std::int64_t cells = (stretch - skip + step - 1) / step;
#pragma GCC unroll 4
    for (std::int64_t k = 0; k < cells; ++k) {
      entries[k] = loadEntry(table[indices[skip + k * step]]);
    }
    if (countOf(entries, cells, kUnknown) > 0) [[unlikely]] {
      for (std::int64_t k = 0; k < cells; ++k) entries[k] = entry(c, indices[skip + k * step]);
    }
    if constexpr (!kCodes) {
      for (std::int64_t k = 0; k < cells; ++k) out[k] = fromEntry(entries[k]);
    }
    out += cells;
  };
  for (std::int64_t r = first; r < first + n;) {
    const std::int64_t count = std::min(kChunk, first + n - r);
    const std::int64_t p = file.position(r);
    Out* const begin = out;
    bool all = false;
    if (c.two) {
      // The channel's samples are every other one, from the first of the row's pair on.
      std::int64_t met = 0;  // samples of the pairs met so far
      all = samples.forEachStretch(2 * p - 2 - base, 2 * count,
                                   [&](const std::uint8_t* bytes, std::int64_t stretch) {
                                     stretchCells(bytes, stretch, (c.info.channel - met) & 1, 2);
                                     met += stretch;
                                   });
    } else {
      all = samples.forEachStretch(p - 1 - base, count,
                                   [&](const std::uint8_t* bytes, std::int64_t stretch) {
                                     stretchCells(bytes, stretch, 0, 1);
                                   });
    }
    if (!all) {
      for (std::int64_t k = 0; k < count; ++k) begin[k] = fromValue(valueAt(c, r + k));
    }
    out = begin + count;
    r += count;
  }
}

template <class Out, class FromEntry, class FromValue>
void TableValues::readCells(std::size_t c, std::int64_t first, std::int64_t n, Out* out,
                            FromEntry fromEntry, FromValue fromValue) const {
  const Column& column = columns_[c];
  const std::int64_t last = first + n - 1;
  Out* const begin = out;
  // The pieces of samples in bulk; the others read "overflow", and the rows
  // outside every piece nothing.
  const Out blank = fromValue(CellValue{});
  const Out overflowed = fromValue(CellValue{CellKind::Overflow, 0});
  auto fixed = [&out](Out cell, std::int64_t rows) {
    for (; rows > 0; --rows) *out++ = cell;
  };
  const std::vector<ColumnPiece>& pieces = *column.pieces;
  std::int64_t r = first;
  for (std::size_t at = column.plan->firstPieceFrom(first, includeOverflowed_);
       at < pieces.size() && pieces[at].rows.first <= last; ++at) {
    const ColumnPiece& piece = pieces[at];
    const std::int64_t from = std::max(r, piece.rows.first);
    const std::int64_t to = std::min(last, piece.rows.last);
    fixed(blank, from - r);
    if (piece.shows == RowShows::Samples) {
      sampleCells(column, column.plan->files[piece.file], from, to - from + 1, out, fromEntry,
                  fromValue);
      out += to - from + 1;
    } else {
      fixed(overflowed, to - from + 1);
    }
    r = to + 1;
  }
  fixed(blank, last - r + 1);
  // The first row has texts of its own.
  if (first == 1 && n > 0) *begin = fromValue(cell(c, 1));
}

void TableValues::cells(std::size_t c, std::int64_t first, std::int64_t n, CellValue* out) const {
  readCells(
      c, first, n, out, [](std::int32_t entry) { return valueOf(entry); },
      [](const CellValue& v) { return v; });
}

void TableValues::cellCodes(std::size_t c, std::int64_t first, std::int64_t n,
                            std::int32_t* out) const {
  static_assert(kBias == cellCodeBias && kNotNumber == cellCodeText);
  // An entry is the code: sampleCells works out every entry it reads and
  // hands the codes on as they are.
  readCells(
      c, first, n, out, [](std::int32_t entry) { return entry; },
      [](const CellValue& v) {
        switch (v.kind) {
          case CellKind::Number:
            return static_cast<std::int32_t>(v.tenths + kBias);
          case CellKind::Overflow:
            return cellCodeOverflow;
          case CellKind::Text:
            return cellCodeText;
          case CellKind::Blank:
            break;
        }
        return cellCodeBlank;
      });
}

}  // namespace kestrix

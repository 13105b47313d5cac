#include "table.hpp"

#include <CStringBuilder.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <vector>

#include "channels.hpp"
#include "dates.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

constexpr std::string_view crlf = "\r\n";
// The rows go out in chunks of about this size.
constexpr std::size_t chunkBytes = std::size_t{1} << 20;

std::string identityText(std::int32_t id) {
  constexpr char digits[] = "0123456789ABCDEF";
  const auto u = static_cast<std::uint32_t>(id);
  std::string s(8, '0');
  for (int i = 0; i < 8; ++i) s[static_cast<std::size_t>(7 - i)] = digits[(u >> (4 * i)) & 0xF];
  return s;
}

// Rows written * 100 / total, to the nearest whole number, a half to the even one.
int percentOf(std::int64_t rows, std::int64_t total) {
  std::int64_t q = rows * 100 / total;
  const std::int64_t twiceRest = 2 * (rows * 100 % total);
  if (twiceRest > total || (twiceRest == total && q % 2 != 0)) ++q;
  return static_cast<int>(q);
}

// The separators and decimal mark come from the locale in UTF-8; a
// Windows-1252 table takes them in that code page, or the defaults when they
// have no place there.
Regional encodedFor(const Regional& regional, Encoding encoding) {
  if (encoding == Encoding::Utf8) return regional;
  const Regional defaults;
  Regional out;
  out.decimalMark = utf8ToWindows1252(regional.decimalMark).value_or(defaults.decimalMark);
  out.dateSeparator = utf8ToWindows1252(regional.dateSeparator).value_or(defaults.dateSeparator);
  out.timeSeparator = utf8ToWindows1252(regional.timeSeparator).value_or(defaults.timeSeparator);
  return out;
}

}  // namespace

std::string closingStatus(bool inconsistentFlag) {
  return inconsistentFlag ? "Done... inconsistent file(s)" : "Done...";
}

TableText::TableText(const ConversionRun& run, const Regional& regional)
    : run_(run), regional_(regional) {}

std::string TableText::headerLines() const {
  std::string lines = "Fichier";
  for (const LoggerFile& f : run_.files) {
    for (int c = 0; c < f.channelCount; ++c) (lines += '\t') += f.fileName;
  }
  lines += crlf;
  for (const LoggerFile& f : run_.files) {
    for (int c = 0; c < f.channelCount; ++c) (lines += '\t') += identityText(f.loggerId);
  }
  lines += crlf;
  for (const LoggerFile& f : run_.files) (lines += '\t') += typtext(f.typeCode);
  lines += crlf;
  lines += "Date";
  for (const LoggerFile& f : run_.files) (lines += '\t') += typunit(f.typeCode);
  lines += crlf;
  return lines;
}

void TableText::appendCell(std::size_t j, std::int64_t r, std::string& out) const {
  const LoggerFile& f = run_.files[j];
  const bool two = f.channelCount == 2;
  const std::int64_t p = r - run_.stepOffsets[j];
  if (p < 1 || p > f.sampleCount) {
    if (two) out += '\t';
    return;
  }
  // Samples the logger's memory no longer held, plus a margin.
  const std::int64_t margin = 120 / run_.interval;
  if (p < std::int64_t{f.sampleCount} + margin - f.memorySize + 1) {
    out += two ? "overflow\toverflow" : "overflow";
    return;
  }
  const auto s1 = two ? f.samples.at(2 * p - 1) : f.samples.at(p);
  const auto s2 = two ? f.samples.at(2 * p) : s1;
  if (!s1 || !s2) {  // never read from the file
    if (two) out += '\t';
    return;
  }
  const CellParams params{f.typeCode, f.offsetParam, f.factorParam, run_.interval};
  typvalue(params, *s1, *s2, r == 1, regional_.decimalMark, out);
}

void TableText::appendRow(std::int64_t r, std::string& out) const {
  appendRowDate(run_.rowDate(r), regional_, out);
  for (std::size_t j = 0; j < run_.files.size(); ++j) {
    out += '\t';
    appendCell(j, r, out);
  }
}

std::string TableText::cellText(std::size_t j, std::int64_t r) const {
  std::string cell;
  appendCell(j, r, cell);
  return cell;
}

ReducedFormula reduceFormula(const CellParams& params) noexcept {
  ReducedFormula reduced;
  reduced.params.typeCode = params.typeCode;
  switch (params.typeCode) {
    case 4:
    case 9:
      reduced.params.interval = params.interval;
      break;
    case 5:
      reduced.rawOffset = params.offsetParam;
      break;
    case 7:
      reduced.params.interval = params.interval;
      reduced.params.factorParam = params.factorParam;
      break;
    default:
      break;
  }
  return reduced;
}

namespace {

// ---- Cell texts by raw value ----

// A field as it goes into a row: its TAB, then its text. A table slot holds
// fields of up to kSlotBytes bytes and is copied as one block of that size;
// the bytes past the field's own are overwritten by what follows.
constexpr std::size_t kSlotBytes = 16;
using Slot = std::array<char, kSlotBytes>;
constexpr std::uint8_t kNotYet = 0;      // the size of a slot not computed yet
constexpr std::uint8_t kTooLong = 0xFF;  // a field longer than a slot: computed every time
constexpr std::size_t kRawValues = 65536;
// Tables per run at most (1.06 MiB each); the fields of further formulas are
// computed cell by cell. Tables are allocated zeroed and untouched: only the
// pages of the raw values met ever take memory.
constexpr std::size_t kMaxTables = 32;

constexpr Slot kBlank{'\t'};
constexpr Slot kOverflow{'\t', 'o', 'v', 'e', 'r', 'f', 'l', 'o', 'w'};
constexpr std::size_t kOverflowSize = 9;

// One channel's fields of one reduced formula, by raw value as unsigned.
struct FieldTable {
  Slot* texts = nullptr;  // null: no table
  std::uint8_t* sizes = nullptr;
};

struct Free {
  void operator()(void* p) const noexcept { std::free(p); }
};

// The field tables of every reduced formula of a run.
class CellTexts {
 public:
  explicit CellTexts(std::string decimalMark) : decimalMark_(std::move(decimalMark)) {}

  const std::string& decimalMark() const noexcept { return decimalMark_; }

  // The tables of `reduced` by channel, or none when they cannot be had: a
  // decimal mark holding a TAB (a two-field text could not be split) or no
  // table left.
  std::array<FieldTable, 2> tablesFor(const CellParams& reduced) {
    for (const Known& k : known_) {
      if (same(k.params, reduced)) return k.tables;
    }
    std::array<FieldTable, 2> tables{};
    const auto channels = static_cast<std::size_t>(channelCountOf(reduced.typeCode));
    if (decimalMark_.find('\t') == std::string::npos && tableCount_ + channels <= kMaxTables) {
      for (std::size_t c = 0; c < channels; ++c) {
        tables[c].texts = static_cast<Slot*>(zeroed(kRawValues * sizeof(Slot)));
        tables[c].sizes = static_cast<std::uint8_t*>(zeroed(kRawValues));
      }
      tableCount_ += channels;
    }
    known_.push_back({reduced, tables});
    return tables;
  }

  // Computes the fields of raw value v in every channel's table of `reduced`.
  void fill(const CellParams& reduced, const std::array<FieldTable, 2>& tables, std::int16_t v) {
    scratch_.clear();
    typvalue(reduced, v, v, false, decimalMark_, scratch_);
    const auto at = static_cast<std::uint16_t>(v);
    const std::string_view text(scratch_);
    if (!tables[1].texts) {
      put(tables[0], at, text);
      return;
    }
    const std::size_t tab = text.find('\t');
    put(tables[0], at, text.substr(0, tab));
    put(tables[1], at, text.substr(tab + 1));
  }

 private:
  struct Known {
    CellParams params;
    std::array<FieldTable, 2> tables;
  };

  static bool same(const CellParams& a, const CellParams& b) noexcept {
    return a.typeCode == b.typeCode && a.offsetParam == b.offsetParam &&
           a.factorParam == b.factorParam && a.interval == b.interval;
  }

  static void put(const FieldTable& table, std::uint16_t at, std::string_view field) noexcept {
    if (field.empty() || 1 + field.size() > kSlotBytes) {
      table.sizes[at] = kTooLong;
      return;
    }
    table.texts[at][0] = '\t';
    std::memcpy(table.texts[at].data() + 1, field.data(), field.size());
    table.sizes[at] = static_cast<std::uint8_t>(1 + field.size());
  }

  void* zeroed(std::size_t bytes) {
    void* p = std::calloc(bytes, 1);
    if (!p) throw std::bad_alloc();
    storage_.emplace_back(p);
    return p;
  }

  std::string decimalMark_;
  std::vector<Known> known_;
  std::vector<std::unique_ptr<void, Free>> storage_;
  std::size_t tableCount_ = 0;
  std::string scratch_;
};

// ---- Output in chunks ----

// A buffer the rows are written into directly; full chunks go to the sink
// and, as the same chunks, to the clipboard text.
class ChunkOutput {
 public:
  ChunkOutput(Sink& sink, CStringBuilder* clipboard) : sink_(sink), clipboard_(clipboard) {}

  char* w = nullptr;  // the write position

  // Makes room for n more bytes at w.
  void ensure(std::size_t n) {
    if (static_cast<std::size_t>(end_ - w) >= n) return;
    flush();
    if (static_cast<std::size_t>(end_ - w) < n) {
      const std::size_t capacity = chunkBytes + n;
      buffer_ = std::make_unique_for_overwrite<char[]>(capacity);
      end_ = buffer_.get() + capacity;
      w = buffer_.get();
    }
  }
  bool full() const noexcept { return static_cast<std::size_t>(w - buffer_.get()) >= chunkBytes; }
  void flush() {
    const std::string_view bytes(buffer_.get(), static_cast<std::size_t>(w - buffer_.get()));
    if (!bytes.empty()) emit(bytes);
    w = buffer_.get();
  }
  void put(std::string_view bytes) {
    ensure(bytes.size());
    std::memcpy(w, bytes.data(), bytes.size());
    w += bytes.size();
  }
  void emit(std::string_view bytes) {
    sink_.write(bytes);
    if (clipboard_) clipboard_->Append(bytes);
  }

 private:
  Sink& sink_;
  CStringBuilder* clipboard_;
  std::unique_ptr<char[]> buffer_;
  char* end_ = nullptr;
};

// ---- Rows ----

// A field of a row under construction: `size` bytes at `text`, of which
// kSlotBytes may be read when size is at most that.
struct Piece {
  const char* text;
  std::size_t size;
};

// Rows 2 onward, TableText's rows byte for byte, built a block of rows at a
// time: first each file's fields for the whole block (one file's samples
// after the other), then the rows from those fields.
class RowWriter {
 public:
  static constexpr std::int64_t blockRows = 64;

  RowWriter(const ConversionRun& run, const Regional& regional)
      : cells_(regional.decimalMark), date_(run.earliestStart, run.interval, regional) {
    const std::int64_t margin = 120 / run.interval;
    for (std::size_t j = 0; j < run.files.size(); ++j) {
      const LoggerFile& f = run.files[j];
      Column c;
      c.two = f.channelCount == 2;
      c.field = fields_;
      fields_ += c.two ? 2 : 1;
      c.offset = run.stepOffsets[j];
      c.sampleCount = f.sampleCount;
      c.overflowBelow = std::int64_t{f.sampleCount} + margin - f.memorySize + 1;
      const SampleColumn& samples = f.samples;
      const auto stored = static_cast<std::int64_t>(samples.values.size());
      c.values = samples.values.data();
      c.base = samples.base;
      // The positions whose sample(s) lie in the stored range.
      const std::int64_t storedFrom = c.two ? (samples.base + 3) / 2 : samples.base + 1;
      const std::int64_t storedTo = c.two ? (samples.base + stored) / 2 : samples.base + stored;
      c.valueFrom = std::max({std::int64_t{1}, c.overflowBelow, storedFrom});
      c.valueTo = std::min(std::int64_t{f.sampleCount}, storedTo);
      const bool allPresent = std::find(samples.present.begin(), samples.present.end(),
                                        std::uint8_t{0}) == samples.present.end();
      c.present = allPresent ? nullptr : samples.present.data();
      c.params = {f.typeCode, f.offsetParam, f.factorParam, run.interval};
      const ReducedFormula reduced = reduceFormula(c.params);
      c.reduced = reduced.params;
      c.rawOffset = reduced.rawOffset;
      c.tables = cells_.tablesFor(reduced.params);
      columns_.push_back(c);
    }
    pieces_.resize(static_cast<std::size_t>(blockRows) * fields_);
  }

  // Writes rows first to first + count - 1 (first >= 2, count <= blockRows).
  void write(std::int64_t first, std::int64_t count, ChunkOutput& out) {
    longTexts_.clear();
    longBytes_ = 0;
    for (const Column& c : columns_) gather(c, first, count);

    const auto rows = static_cast<std::size_t>(count);
    const std::size_t rowBytes = date_.text().size() + crlf.size() + fields_ * kSlotBytes;
    out.ensure(rows * rowBytes + longBytes_);
    char* w = out.w;
    const Piece* piece = pieces_.data();
    for (std::size_t k = 0; k < rows; ++k) {
      date_.next();
      const std::string_view date = date_.text();
      std::memcpy(w, date.data(), date.size());
      w += date.size();
      for (const Piece* end = piece + fields_; piece != end; ++piece) {
        if (piece->size <= kSlotBytes) [[likely]] {
          std::memcpy(w, piece->text, kSlotBytes);
        } else {
          std::memcpy(w, piece->text, piece->size);
        }
        w += piece->size;
      }
      *w++ = '\r';
      *w++ = '\n';
    }
    out.w = w;
  }

 private:
  struct Column {
    std::size_t field = 0;    // the index of its first field in a row
    std::int64_t offset = 0;  // row r shows position r - offset
    std::int64_t sampleCount = 0;
    std::int64_t overflowBelow = 0;  // positions below this read "overflow"
    std::int64_t valueFrom = 0;      // positions shown as values: stored and not overflow
    std::int64_t valueTo = 0;
    const std::int16_t* values = nullptr;   // by column index: position - 1 - base
    const std::uint8_t* present = nullptr;  // nothing when every stored sample was read
    std::int64_t base = 0;
    bool two = false;
    std::int16_t rawOffset = 0;
    CellParams params;   // the file's own
    CellParams reduced;  // what its fields are shared by
    std::array<FieldTable, 2> tables{};
  };

  static bool fits(std::uint8_t size) noexcept {
    return static_cast<std::uint8_t>(size - 1) < kSlotBytes;  // neither kNotYet nor kTooLong
  }

  // One file's fields in rows first to first + count - 1.
  void gather(const Column& c, std::int64_t first, std::int64_t count) {
    Piece* out = pieces_.data() + c.field;
    const std::size_t stride = fields_;
    const std::int64_t from = first - c.offset;  // positions from..to
    const std::int64_t to = from + count - 1;
    // Positions valueFrom..valueTo show values, the others a fixed text.
    const std::int64_t valuesFrom = std::max(from, c.valueFrom);
    const std::int64_t valuesTo = std::min(to, c.valueTo);
    auto fixed = [&](std::int64_t p) {
      const bool overflow = p >= 1 && p <= c.sampleCount && p < c.overflowBelow;
      const Piece piece = overflow ? Piece{kOverflow.data(), kOverflowSize} : blank();
      out[0] = piece;
      if (c.two) out[1] = piece;
      out += stride;
    };
    std::int64_t p = from;
    for (; p <= to && p < valuesFrom; ++p) fixed(p);
    if (valuesFrom <= valuesTo) {
      const std::int64_t n = valuesTo - valuesFrom + 1;
      if (!c.tables[0].texts) {
        for (std::int64_t q = valuesFrom; q <= valuesTo; ++q, out += stride) anyValue(c, q, out);
      } else {
        if (c.two) {
          values2(c, 2 * valuesFrom - 2 - c.base, n, out);
        } else {
          values1(c, valuesFrom - 1 - c.base, n, out);
        }
        out += stride * static_cast<std::size_t>(n);
      }
      p = valuesTo + 1;
    }
    for (; p <= to; ++p) fixed(p);
  }

  static constexpr Piece blank() noexcept { return {kBlank.data(), 1}; }

  // `count` cells of a one-channel file with tables, from column index i.
  void values1(const Column& c, std::int64_t i, std::int64_t count, Piece* out) {
    const std::int16_t* s = c.values + i;
    const std::uint8_t* present = c.present ? c.present + i : nullptr;
    const Slot* texts = c.tables[0].texts;
    const std::uint8_t* sizes = c.tables[0].sizes;
    const std::int16_t rawOffset = c.rawOffset;
    const std::size_t stride = fields_;
    for (const std::int16_t* end = s + count; s != end; ++s, out += stride) {
      if (present && !*present++) {
        out[0] = blank();
        continue;
      }
      const auto v = static_cast<std::uint16_t>(*s + rawOffset);
      const std::uint8_t size = sizes[v];
      if (fits(size)) [[likely]] {
        out[0] = {texts[v].data(), size};
      } else {
        slowCell(c, *s, *s, out);
      }
    }
  }

  // `count` cells of a two-channel file with tables, from column index i.
  void values2(const Column& c, std::int64_t i, std::int64_t count, Piece* out) {
    const std::int16_t* s = c.values + i;
    const std::uint8_t* present = c.present ? c.present + i : nullptr;
    const Slot* texts1 = c.tables[0].texts;
    const std::uint8_t* sizes1 = c.tables[0].sizes;
    const Slot* texts2 = c.tables[1].texts;
    const std::uint8_t* sizes2 = c.tables[1].sizes;
    const std::int16_t rawOffset = c.rawOffset;
    const std::size_t stride = fields_;
    for (const std::int16_t* end = s + 2 * count; s != end; s += 2, out += stride) {
      if (present) {
        const bool both = present[0] && present[1];
        present += 2;
        if (!both) {
          out[0] = blank();
          out[1] = blank();
          continue;
        }
      }
      const auto v1 = static_cast<std::uint16_t>(s[0] + rawOffset);
      const auto v2 = static_cast<std::uint16_t>(s[1] + rawOffset);
      const std::uint8_t size1 = sizes1[v1];
      const std::uint8_t size2 = sizes2[v2];
      if (fits(size1) && fits(size2)) [[likely]] {
        out[0] = {texts1[v1].data(), size1};
        out[1] = {texts2[v2].data(), size2};
      } else {
        slowCell(c, s[0], s[1], out);
      }
    }
  }

  // The cell of position p, a value position, of a file without tables.
  void anyValue(const Column& c, std::int64_t p, Piece* out) {
    if (!c.two) {
      const std::int64_t i = p - 1 - c.base;
      if (c.present && !c.present[i]) {
        out[0] = blank();
        return;
      }
      slowCell(c, c.values[i], c.values[i], out);
    } else {
      const std::int64_t i = 2 * p - 2 - c.base;
      if (c.present && (!c.present[i] || !c.present[i + 1])) {
        out[0] = blank();
        out[1] = blank();
        return;
      }
      slowCell(c, c.values[i], c.values[i + 1], out);
    }
  }

  // A cell from the tables, filling them first where needed, or, when a
  // field has no place there, computed in full as TableText does.
  void slowCell(const Column& c, std::int16_t s1, std::int16_t s2, Piece* out) {
    const FieldTable& t0 = c.tables[0];
    const FieldTable& t1 = c.tables[1];
    if (t0.texts) {
      const auto v1 = static_cast<std::int16_t>(s1 + c.rawOffset);
      const auto v2 = static_cast<std::int16_t>(s2 + c.rawOffset);
      const auto at1 = static_cast<std::uint16_t>(v1);
      const auto at2 = static_cast<std::uint16_t>(v2);
      if (t0.sizes[at1] == kNotYet) cells_.fill(c.reduced, c.tables, v1);
      if (c.two && t1.sizes[at2] == kNotYet) cells_.fill(c.reduced, c.tables, v2);
      if (t0.sizes[at1] != kTooLong && (!c.two || t1.sizes[at2] != kTooLong)) {
        out[0] = {t0.texts[at1].data(), t0.sizes[at1]};
        if (c.two) out[1] = {t1.texts[at2].data(), t1.sizes[at2]};
        return;
      }
    }
    std::string& text = longTexts_.emplace_back();
    text.reserve(kSlotBytes);  // kSlotBytes bytes may be read
    text = '\t';
    typvalue(c.params, s1, s2, false, cells_.decimalMark(), text);
    longBytes_ += text.size();
    out[0] = {text.data(), text.size()};
    if (c.two) out[1] = {kBlank.data(), 0};
  }

  CellTexts cells_;
  RowDateText date_;  // the date of the row last written
  std::vector<Column> columns_;
  std::size_t fields_ = 0;             // in a row, after the date
  std::vector<Piece> pieces_;          // the block's fields, row by row
  std::deque<std::string> longTexts_;  // cells computed in full for this block
  std::size_t longBytes_ = 0;
};

}  // namespace

std::string writeTable(const ConversionRun& run, Sink& sink, const TableOptions& options) {
  const Regional regional = encodedFor(options.regional, options.encoding);
  const TableText text(run, regional);

  std::string header = text.headerLines();
  if (options.encoding == Encoding::Utf8) header = windows1252ToUtf8(header);
  sink.write(header);
  if (options.clipboardText) options.clipboardText->Append(header);
  if (run.totalRows < 1) return closingStatus(run.inconsistentFlag);

  ChunkOutput out(sink, options.clipboardText);
  RowWriter rows(run, regional);

  // Row 1 carries the first-row texts: it is built as TableText builds it.
  std::string first;
  text.appendRow(1, first);
  first += crlf;
  out.put(first);

  int lastPercent = 0;
  auto progress = [&](std::int64_t r) {
    const int percent = percentOf(r, run.totalRows);
    if (percent > lastPercent) {
      lastPercent = percent;
      if (options.progress) options.progress(percent);
    }
  };
  progress(1);
  for (std::int64_t r = 2; r <= run.totalRows; r += RowWriter::blockRows) {
    const std::int64_t count = std::min(RowWriter::blockRows, run.totalRows - r + 1);
    rows.write(r, count, out);
    if (out.full()) out.flush();
    for (std::int64_t k = r; k < r + count; ++k) progress(k);
  }
  out.flush();
  return closingStatus(run.inconsistentFlag);
}

}  // namespace kestrix

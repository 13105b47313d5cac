#include "table.hpp"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "channels.hpp"
#include "dates.hpp"
#include "text.hpp"

namespace kestrix {

namespace {

constexpr std::string_view crlf = "\r\n";

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

// A field as it goes into a row: its TAB, then its text. A slot holds a field
// of up to kSlotText bytes and, in its last byte, the field's size; it is
// copied as one block of kSlotBytes, the bytes past the field landing where
// what follows overwrites them.
constexpr std::size_t kSlotBytes = 16;
constexpr std::size_t kSlotText = kSlotBytes - 1;
using Slot = std::array<char, kSlotBytes>;

// Sizes with a meaning of their own.
constexpr std::uint8_t kNotYet = 0;      // in a table: not computed yet; in a row: a long field
constexpr std::uint8_t kTooLong = 0xFF;  // in a table: longer than a slot, computed every time

constexpr std::uint8_t sizeOf(const Slot& slot) noexcept {
  return static_cast<std::uint8_t>(slot[kSlotText]);
}
// True for a slot holding its field (neither kNotYet nor kTooLong).
constexpr bool ready(const Slot& slot) noexcept {
  return static_cast<std::uint8_t>(sizeOf(slot) - 1) < kSlotText;
}
constexpr Slot slotOf(std::string_view field) noexcept {
  Slot slot{'\t'};
  for (std::size_t i = 0; i < field.size(); ++i) slot[1 + i] = field[i];
  slot[kSlotText] = static_cast<char>(1 + field.size());
  return slot;
}
constexpr Slot kBlank = slotOf("");
constexpr Slot kOverflow = slotOf("overflow");

constexpr std::size_t kRawValues = 65536;
// Tables per run at most (one MiB each); the fields of further formulas are
// computed cell by cell. Tables are allocated zeroed and left untouched: only
// the pages of the raw values met ever take memory.
constexpr std::size_t kMaxTables = 32;

struct Free {
  void operator()(void* p) const noexcept { std::free(p); }
};

// The field tables of every reduced formula of a run: by channel, a slot per
// raw value (as unsigned).
class CellTexts {
 public:
  using Tables = std::array<Slot*, 2>;  // null: no table

  explicit CellTexts(std::string decimalMark) : decimalMark_(std::move(decimalMark)) {}

  const std::string& decimalMark() const noexcept { return decimalMark_; }

  // The tables of `reduced`, or none when they cannot be had: a decimal mark
  // holding a TAB (a two-field text could not be split) or no table left.
  Tables tablesFor(const CellParams& reduced) {
    for (const Known& k : known_) {
      if (same(k.params, reduced)) return k.tables;
    }
    Tables tables{nullptr, nullptr};
    const auto channels = static_cast<std::size_t>(channelCountOf(reduced.typeCode));
    if (decimalMark_.find('\t') == std::string::npos && tableCount_ + channels <= kMaxTables) {
      for (std::size_t c = 0; c < channels; ++c) {
        void* slots = std::calloc(kRawValues, sizeof(Slot));
        if (!slots) throw std::bad_alloc();
        storage_.emplace_back(slots);
        tables[c] = static_cast<Slot*>(slots);
      }
      tableCount_ += channels;
    }
    known_.push_back({reduced, tables});
    return tables;
  }

  // Computes the fields of raw value v in every channel's table of `reduced`.
  void fill(const CellParams& reduced, const Tables& tables, std::int16_t v) {
    scratch_.clear();
    typvalue(reduced, v, v, false, decimalMark_, scratch_);
    const auto at = static_cast<std::uint16_t>(v);
    const std::string_view text(scratch_);
    if (!tables[1]) {
      put(tables[0][at], text);
      return;
    }
    const std::size_t tab = text.find('\t');
    put(tables[0][at], text.substr(0, tab));
    put(tables[1][at], text.substr(tab + 1));
  }

 private:
  struct Known {
    CellParams params;
    Tables tables;
  };

  static bool same(const CellParams& a, const CellParams& b) noexcept {
    return a.typeCode == b.typeCode && a.offsetParam == b.offsetParam &&
           a.factorParam == b.factorParam && a.interval == b.interval;
  }

  static void put(Slot& slot, std::string_view field) noexcept {
    if (field.empty() || 1 + field.size() > kSlotText) {
      slot[kSlotText] = static_cast<char>(kTooLong);
      return;
    }
    slot = slotOf(field);
  }

  std::string decimalMark_;
  std::vector<Known> known_;
  std::vector<std::unique_ptr<void, Free>> storage_;
  std::size_t tableCount_ = 0;
  std::string scratch_;
};

// ---- Rows ----

// Rows 2 onward, TableText's rows byte for byte, built a block of rows at a
// time: first each file's fields for the whole block, one file's samples after
// the other, as pointers to their slots; then the rows from those slots.
class RowWriter {
 public:
  static constexpr std::int64_t blockRows = 256;

  RowWriter(const ConversionRun& run, const Regional& regional)
      : run_(run),
        regional_(regional),
        cells_(regional.decimalMark),
        date_(run.earliestStart, run.interval, regional) {
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
      c.samples = &f.samples;
      c.base = f.samples.base();
      const std::int64_t stored = f.samples.size();
      // The positions whose sample(s) lie in the stored range.
      const std::int64_t storedFrom = c.two ? (c.base + 3) / 2 : c.base + 1;
      const std::int64_t storedTo = c.two ? (c.base + stored) / 2 : c.base + stored;
      c.valueFrom = std::max({std::int64_t{1}, c.overflowBelow, storedFrom});
      c.valueTo = std::min(std::int64_t{f.sampleCount}, storedTo);
      c.params = {f.typeCode, f.offsetParam, f.factorParam, run.interval};
      const ReducedFormula reduced = reduceFormula(c.params);
      c.reduced = reduced.params;
      c.rawOffset = reduced.rawOffset;
      c.tables = cells_.tablesFor(reduced.params);
      columns_.push_back(c);
    }
    pieces_.resize(static_cast<std::size_t>(blockRows) * fields_);
  }

  // The next row written is row `first` instead of the one after the last.
  void seek(std::int64_t first) {
    date_ = RowDateText(run_.rowDate(first - 1), run_.interval, regional_);
  }

  // Writes rows first to first + count - 1 (first >= 2, count <= blockRows)
  // at out.w, after out.ensure() made room for them.
  template <class Out>
  void write(std::int64_t first, std::int64_t count, Out& out) {
    longSlots_.clear();
    longTexts_.clear();
    longBytes_ = 0;
    for (const Column& c : columns_) gather(c, first, count);

    const auto rows = static_cast<std::size_t>(count);
    const std::size_t rowBytes = date_.text().size() + crlf.size() + fields_ * kSlotBytes;
    out.ensure(rows * rowBytes + longBytes_);
    char* w = out.w;
    const Slot* const* piece = pieces_.data();
    for (std::size_t k = 0; k < rows; ++k) {
      date_.next();
      const std::string_view date = date_.text();
      std::memcpy(w, date.data(), date.size());
      w += date.size();
      const Slot* const* end = piece + fields_;
      if (longTexts_.empty()) [[likely]] {
        for (; piece != end; ++piece) {
          std::memcpy(w, (*piece)->data(), kSlotBytes);
          w += sizeOf(**piece);
        }
      }
      for (; piece != end; ++piece) {
        const Slot& slot = **piece;
        const std::uint8_t size = sizeOf(slot);
        if (size != kNotYet) {
          std::memcpy(w, slot.data(), kSlotBytes);
          w += size;
        } else {
          const std::string& text = longTexts_[longIndex(slot)];
          std::memcpy(w, text.data(), text.size());
          w += text.size();
        }
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
    const SampleColumn* samples = nullptr;
    std::int64_t base = 0;  // column index = position - 1 - base
    bool two = false;
    std::int16_t rawOffset = 0;
    CellParams params;   // the file's own
    CellParams reduced;  // what its fields are shared by
    CellTexts::Tables tables{nullptr, nullptr};
  };

  // One file's fields in rows first to first + count - 1.
  void gather(const Column& c, std::int64_t first, std::int64_t count) {
    const Slot** out = pieces_.data() + c.field;
    const std::size_t stride = fields_;
    const std::int64_t from = first - c.offset;  // positions from..to
    const std::int64_t to = from + count - 1;
    // Positions valueFrom..valueTo show values, the others a fixed text.
    const std::int64_t valuesFrom = std::max(from, c.valueFrom);
    const std::int64_t valuesTo = std::min(to, c.valueTo);
    auto fixed = [&](std::int64_t p) {
      const bool overflow = p >= 1 && p <= c.sampleCount && p < c.overflowBelow;
      const Slot* slot = overflow ? &kOverflow : &kBlank;
      out[0] = slot;
      if (c.two) out[1] = slot;
      out += stride;
    };
    std::int64_t p = from;
    for (; p <= to && p < valuesFrom; ++p) fixed(p);
    if (valuesFrom <= valuesTo) {
      const std::int64_t n = valuesTo - valuesFrom + 1;
      const std::int64_t i = c.two ? 2 * valuesFrom - 2 - c.base : valuesFrom - 1 - c.base;
      // The plain way first, straight from the file's bytes; where a sample
      // is missing or a field was not ready, the careful way.
      const bool done = c.tables[0] && c.samples->decode(i, c.two ? 2 * n : n, raw_.data()) &&
                        (c.two ? values2(c, n, out) : values1(c, n, out));
      if (!done) {
        for (std::int64_t q = valuesFrom; q <= valuesTo; ++q)
          value(c, q, out + (q - valuesFrom) * stride);
      }
      out += stride * static_cast<std::size_t>(n);
      p = valuesTo + 1;
    }
    for (; p <= to; ++p) fixed(p);
  }

  // `count` fields of a one-channel file from the samples in raw_. False when
  // some field was not ready.
  bool values1(const Column& c, std::int64_t count, const Slot** out) const {
    const std::int16_t* s = raw_.data();
    const Slot* texts = c.tables[0];
    const std::int16_t rawOffset = c.rawOffset;
    const std::size_t stride = fields_;
    bool all = true;
    for (const std::int16_t* end = s + count; s != end; ++s, out += stride) {
      const Slot* slot = texts + static_cast<std::uint16_t>(*s + rawOffset);
      all &= ready(*slot);
      out[0] = slot;
    }
    return all;
  }

  // The same for a two-channel file.
  bool values2(const Column& c, std::int64_t count, const Slot** out) const {
    const std::int16_t* s = raw_.data();
    const Slot* texts1 = c.tables[0];
    const Slot* texts2 = c.tables[1];
    const std::int16_t rawOffset = c.rawOffset;
    const std::size_t stride = fields_;
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

  // The field(s) of value position p, the careful way: samples never read
  // give blanks; fields not computed yet are computed into the tables; cells
  // with a field too long for a slot, or without tables, are computed in full
  // as TableText does.
  void value(const Column& c, std::int64_t p, const Slot** out) {
    const auto sample1 = c.samples->at(c.two ? 2 * p - 1 : p);
    const auto sample2 = c.two ? c.samples->at(2 * p) : sample1;
    if (!sample1 || !sample2) {
      out[0] = &kBlank;
      if (c.two) out[1] = &kBlank;
      return;
    }
    const std::int16_t s1 = *sample1;
    const std::int16_t s2 = *sample2;
    if (c.tables[0]) {
      const auto v1 = static_cast<std::int16_t>(s1 + c.rawOffset);
      const auto v2 = static_cast<std::int16_t>(s2 + c.rawOffset);
      Slot& slot1 = c.tables[0][static_cast<std::uint16_t>(v1)];
      if (sizeOf(slot1) == kNotYet) cells_.fill(c.reduced, c.tables, v1);
      Slot* slot2 = c.two ? &c.tables[1][static_cast<std::uint16_t>(v2)] : nullptr;
      if (slot2 && sizeOf(*slot2) == kNotYet) cells_.fill(c.reduced, c.tables, v2);
      if (ready(slot1) && (!slot2 || ready(*slot2))) {
        out[0] = &slot1;
        if (slot2) out[1] = slot2;
        return;
      }
    }
    std::string text = "\t";
    typvalue(c.params, s1, s2, false, cells_.decimalMark(), text);
    out[0] = longSlot(std::move(text));
    if (c.two) out[1] = longSlot({});  // the whole cell is in the first
  }

  // A slot standing for a text of any length, kept until the block is written.
  const Slot* longSlot(std::string text) {
    longBytes_ += text.size();
    const std::size_t index = longTexts_.size();
    longTexts_.push_back(std::move(text));
    Slot& slot = longSlots_.emplace_back();
    std::memcpy(slot.data(), &index, sizeof index);
    slot[kSlotText] = static_cast<char>(kNotYet);
    return &slot;
  }
  static std::size_t longIndex(const Slot& slot) noexcept {
    std::size_t index = 0;
    std::memcpy(&index, slot.data(), sizeof index);
    return index;
  }

  const ConversionRun& run_;
  Regional regional_;
  CellTexts cells_;
  RowDateText date_;  // the date of the row last written
  std::vector<Column> columns_;
  std::size_t fields_ = 0;                         // in a row, after the date
  std::vector<const Slot*> pieces_;                // the block's fields, row by row
  std::array<std::int16_t, 2 * blockRows> raw_{};  // one file's samples in a block
  std::deque<Slot> longSlots_;                     // the block's cells computed in full ...
  std::vector<std::string> longTexts_;             // ... and their texts
  std::size_t longBytes_ = 0;
};

// ---- Rows on two threads ----

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
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    const std::size_t kept = data_ ? used() : 0;
    if (kept > 0) std::memcpy(bigger.get(), data_.get(), kept);
    data_ = std::move(bigger);
    capacity_ = capacity;
    w = data_.get() + kept;
  }

  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
};

// Rows 2 onward in segments of segmentRows rows. With `helperThread`, each
// segment is formatted by whichever of two threads is free, each thread with a
// RowWriter (and so field tables) of its own; without it, or when no second
// thread can be had, the calling thread formats them all. The calling thread
// writes the segments in order, with row 1 (`first`) ahead of them, and
// reports progress.
template <class Progress>
void writeRows(const ConversionRun& run, const Regional& regional, std::string_view first,
               Sink& sink, bool helperThread, Progress&& progress) {
  // Segments formatted but not written yet, at most; segment s uses buffer
  // s % inFlight, free again once segment s - inFlight is written.
  constexpr std::int64_t inFlight = 4;
  const std::int64_t segments = (run.totalRows - 1 + segmentRows - 1) / segmentRows;
  std::array<SegmentBuffer, inFlight> buffers;
  std::array<bool, inFlight> ready{};
  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t next = 0;     // the next segment to format
  std::int64_t written = 0;  // segments written
  bool stop = false;
  std::exception_ptr error;

  auto firstRow = [](std::int64_t segment) { return 2 + segment * segmentRows; };
  auto lastRow = [&](std::int64_t segment) {
    return std::min(run.totalRows, firstRow(segment) + segmentRows - 1);
  };
  auto format = [&](RowWriter& rows, std::int64_t segment) {
    SegmentBuffer& out = buffers[static_cast<std::size_t>(segment % inFlight)];
    out.clear();
    const std::int64_t last = lastRow(segment);
    rows.seek(firstRow(segment));
    for (std::int64_t r = firstRow(segment); r <= last; r += RowWriter::blockRows)
      rows.write(r, std::min(RowWriter::blockRows, last - r + 1), out);
  };
  auto mayTake = [&] { return !stop && next < segments && next < written + inFlight; };

  std::unique_ptr<RowWriter> helperRows;
  std::thread helper;
  if (helperThread && segments > 1) {
    helperRows = std::make_unique<RowWriter>(run, regional);
    try {
      helper = std::thread([&] {
        try {
          std::unique_lock lock(mutex);
          for (;;) {
            changed.wait(lock, [&] { return stop || next >= segments || mayTake(); });
            if (!mayTake()) return;
            const std::int64_t segment = next++;
            lock.unlock();
            format(*helperRows, segment);
            lock.lock();
            ready[static_cast<std::size_t>(segment % inFlight)] = true;
            changed.notify_all();
          }
        } catch (...) {
          const std::lock_guard lock(mutex);
          error = std::current_exception();
          stop = true;
          changed.notify_all();
        }
      });
    } catch (const std::system_error&) {
      // No second thread to be had: this one formats every segment.
    }
  }
  auto end = [&] {
    {
      const std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    if (helper.joinable()) helper.join();
  };

  try {
    RowWriter ownRows(run, regional);
    sink.write(first);
    progress(1);
    std::unique_lock lock(mutex);
    while (written < segments && !error) {
      const std::int64_t segment = written;
      const auto slot = static_cast<std::size_t>(segment % inFlight);
      if (ready[slot]) {
        lock.unlock();
        const std::string_view bytes = buffers[slot].text();
        sink.write(bytes);
        for (std::int64_t r = firstRow(segment); r <= lastRow(segment); ++r) progress(r);
        lock.lock();
        ready[slot] = false;
        ++written;
        changed.notify_all();
      } else if (mayTake()) {
        const std::int64_t own = next++;
        lock.unlock();
        format(ownRows, own);
        lock.lock();
        ready[static_cast<std::size_t>(own % inFlight)] = true;
      } else {
        changed.wait(lock);
      }
    }
  } catch (...) {
    end();
    throw;
  }
  end();
  if (error) std::rethrow_exception(error);
}

}  // namespace

std::string writeTable(const ConversionRun& run, Sink& sink, const TableOptions& options) {
  const Regional regional = encodedFor(options.regional, options.encoding);
  const TableText text(run, regional);

  std::string header = text.headerLines();
  if (options.encoding == Encoding::Utf8) header = windows1252ToUtf8(header);
  sink.write(header);
  if (run.totalRows < 1) return closingStatus(run.inconsistentFlag);

  // Row 1 carries the first-row texts: it is built as TableText builds it.
  std::string first;
  text.appendRow(1, first);
  first += crlf;

  int lastPercent = 0;
  auto progress = [&](std::int64_t r) {
    const int percent = percentOf(r, run.totalRows);
    if (percent > lastPercent) {
      lastPercent = percent;
      if (options.progress) options.progress(percent);
    }
  };

  // Tables of two segments or more are formatted on two threads where the
  // machine has two cores.
  const bool helperThread = !options.oneThread && std::thread::hardware_concurrency() != 1;
  writeRows(run, regional, first, sink, helperThread, progress);
  return closingStatus(run.inconsistentFlag);
}

}  // namespace kestrix

// Formula reduction and the field tables of the cell-text cache.
#include "cell_texts.hpp"

#include <cstdlib>
#include <new>

namespace kestrix {

namespace {

constexpr std::size_t kRawValues = 65536;
// Tables per run at most (one MiB each); the fields of further formulas are
// computed cell by cell. Tables are allocated zeroed and left untouched: only
// the pages of the raw values met ever take memory.
constexpr std::size_t kMaxTables = 32;

bool same(const CellParams& a, const CellParams& b) noexcept {
  return a.typeCode == b.typeCode && a.offsetParam == b.offsetParam &&
         a.factorParam == b.factorParam && a.interval == b.interval;
}

void put(Slot& slot, std::string_view field) noexcept {
  if (field.empty() || 1 + field.size() > kSlotText) {
    slot[kSlotText] = static_cast<char>(kTooLong);
    return;
  }
  slot = slotOf(field);
}

}  // namespace

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

void CellTexts::Free::operator()(void* p) const noexcept {
  std::free(p);
}

CellTexts::Tables CellTexts::tablesFor(const CellParams& reduced) {
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

void CellTexts::fill(const CellParams& reduced, const Tables& tables, std::int16_t v) {
  scratch_.clear();
  appendCellText(reduced, v, v, false, decimalMark_, scratch_);
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

}  // namespace kestrix

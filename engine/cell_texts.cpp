// The field tables of the cell-text cache.
#include "cell_texts.hpp"

namespace kestrix {

namespace {

// Tables per run at most (one MiB each); the fields of further formulas are
// computed cell by cell.
constexpr std::size_t kMaxTables = 32;

void put(Slot& slot, std::string_view field) noexcept {
  if (field.empty() || 1 + field.size() > kSlotText) {
    slot[kSlotText] = static_cast<char>(kTooLong);
    return;
  }
  slot = slotOf(field);
}

}  // namespace

CellTexts::CellTexts(std::string decimalMark)
    : decimalMark_(std::move(decimalMark)),
      // A two-field text could not be split at a decimal mark holding a TAB.
      tables_(decimalMark_.find('\t') == std::string::npos ? kMaxTables : 0) {}

void CellTexts::fill(const CellParams& reduced, const Tables& tables, std::int16_t v) {
  tables_.fill(reduced, tables, v, decimalMark_, put);
}

}  // namespace kestrix

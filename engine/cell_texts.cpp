// The field tables of the cell-text cache.
#include "cell_texts.hpp"

namespace kestrix {

namespace {

// Tables per run at most (one MiB each); the fields of further formulas are
// computed cell by cell.
constexpr std::size_t kMaxTables = 32;

void put(Slot& slot, std::string_view field, char separator) noexcept {
  if (field.empty() || 1 + field.size() > kSlotText) {
    slot[kSlotText] = static_cast<char>(kTooLong);
    return;
  }
  slot = slotOf(field, separator);
}

}  // namespace

CellTexts::CellTexts(std::string decimalMark, char separator)
    : decimalMark_(std::move(decimalMark)),
      separator_(separator),
      // A two-field text could not be split at a decimal mark holding a TAB,
      // nor a field told from the next by a mark holding the separator.
      tables_(decimalMark_.find('\t') == std::string::npos &&
                      decimalMark_.find(separator) == std::string::npos
                  ? kMaxTables
                  : 0) {}

void CellTexts::fill(const CellParams& reduced, const Tables& tables, std::int16_t v) {
  tables_.fill(reduced, tables, v, decimalMark_,
               [this](Slot& slot, std::string_view field) { put(slot, field, separator_); });
}

}  // namespace kestrix

#include "CStringBuilder.hpp"

#include <cstddef>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {
constexpr std::int64_t kMaxSlots = std::numeric_limits<std::int32_t>::max();
}

void CStringBuilder::BlockSize(std::int32_t Value) {
  if (Value < 1) throw std::invalid_argument("CStringBuilder: block size must be at least 1");
  blockSize_ = Value;
}

void CStringBuilder::Alloc(std::int32_t BlockCount) {
  if (BlockCount < 0) throw std::invalid_argument("CStringBuilder: negative block count");
  const std::int64_t added = std::int64_t{blockSize_} * BlockCount;
  if (added > kMaxSlots) throw std::invalid_argument("CStringBuilder: block count too large");
  Resize(allocatedSlots_ + added);
}

void CStringBuilder::Append(std::string_view Text) {
  // Copy first: if either allocation fails, nothing has changed.
  std::string piece(Text);
  if (usedSlots_ == allocatedSlots_) Grow();
  slots_[static_cast<std::size_t>(usedSlots_)] = std::move(piece);
  ++usedSlots_;
}

const std::string& CStringBuilder::ToString() {
  static const std::string none;
  if (usedSlots_ == 1) return slots_[0];
  if (allocatedSlots_ == 0) return none;

  const auto used = static_cast<std::size_t>(usedSlots_);
  std::size_t total = 0;
  for (std::size_t i = 0; i < used; ++i) total += slots_[i].size();
  std::string joined;
  joined.reserve(total);  // the only allocation that can fail before the pieces change

  // From here nothing can fail: each piece gives its memory back as soon as it
  // is copied, so the table is held about once, not twice, while joining.
  for (std::size_t i = 0; i < used; ++i) {
    joined += slots_[i];
    slots_[i] = std::string();
  }
  slots_[0] = std::move(joined);
  usedSlots_ = 1;
  return slots_[0];
}

void CStringBuilder::Clear(bool DeAlloc) {
  usedSlots_ = 0;
  if (DeAlloc) {
    std::vector<std::string>().swap(slots_);
    allocatedSlots_ = 0;
  }
}

void CStringBuilder::Grow() {
  Resize(std::int64_t{allocatedSlots_} + blockSize_);
}

void CStringBuilder::Resize(std::int64_t slots) {
  if (slots > kMaxSlots) throw std::length_error("CStringBuilder: too many slots");
  // vector::resize leaves the storage untouched when it throws, so the count
  // is only updated once the new storage exists.
  slots_.resize(static_cast<std::size_t>(slots));
  allocatedSlots_ = static_cast<std::int32_t>(slots);
}

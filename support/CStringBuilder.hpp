// Gathers many pieces of text and joins them once, at their exact total length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CStringBuilder {
 public:
  // Slots added by each growth, and the unit of Alloc. 256 at creation.
  std::int32_t BlockSize() const noexcept { return blockSize_; }
  // Throws std::invalid_argument for a size below 1.
  void BlockSize(std::int32_t Value);

  // Grows the storage by BlockCount blocks ahead of need. Throws
  // std::invalid_argument for a negative count or one beyond the 32-bit range.
  void Alloc(std::int32_t BlockCount);
  // Stores a copy of Text as the next piece.
  void Append(std::string_view Text);
  // All pieces in the order appended; afterwards they are one piece. The text
  // is the builder's own, valid until the builder next changes: a caller that
  // keeps it makes its copy, and one that only reads it costs no copy.
  const std::string& ToString();
  // Forgets all pieces; with DeAlloc also releases the storage.
  void Clear(bool DeAlloc);

  std::int32_t UsedSlots() const noexcept { return usedSlots_; }
  std::int32_t AllocatedSlots() const noexcept { return allocatedSlots_; }

 private:
  void Grow();
  void Resize(std::int64_t slots);

  std::vector<std::string> slots_;
  std::int32_t usedSlots_ = 0;
  std::int32_t allocatedSlots_ = 0;
  std::int32_t blockSize_ = 256;
};

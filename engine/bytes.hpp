// Big-endian decoding and the forward-only cursor over a logger file's bytes.
//
// Every offset and length taken from a file goes through ByteCursor: it never
// hands out a byte outside the buffer, whatever the file claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrix {

// Two file bytes, first byte most significant, read as two's complement.
constexpr std::int16_t bigEndian16(std::uint8_t b0, std::uint8_t b1) noexcept {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>((b0 << 8) | b1));
}

// Four file bytes, first byte most significant, read as two's complement.
constexpr std::int32_t bigEndian32(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2,
                                   std::uint8_t b3) noexcept {
  return static_cast<std::int32_t>((std::uint32_t{b0} << 24) | (std::uint32_t{b1} << 16) |
                                   (std::uint32_t{b2} << 8) | std::uint32_t{b3});
}

// A read position over a byte buffer that the cursor does not own. The
// position only moves forward. It may stand beyond the end of the buffer (a
// record offset may point there); reads from there yield nothing.
class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

  std::int64_t position() const noexcept { return position_; }
  std::int64_t size() const noexcept { return static_cast<std::int64_t>(bytes_.size()); }
  std::span<const std::uint8_t> bytes() const noexcept { return bytes_; }

  // True when the next `count` bytes lie inside the buffer.
  bool has(std::int64_t count) const noexcept {
    return count >= 0 && position_ <= size() && count <= size() - position_;
  }

  // The next `count` bytes, and the position moves past them. When they do not
  // all lie inside the buffer: nothing, and the position still moves, as a
  // reader that consumed them would.
  std::optional<std::span<const std::uint8_t>> take(std::int64_t count) noexcept {
    const bool inside = has(count);
    const std::int64_t start = position_;
    position_ += count;
    if (!inside) return std::nullopt;
    return bytes_.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
  }

  std::optional<std::uint8_t> u8() noexcept {
    auto b = take(1);
    if (!b) return std::nullopt;
    return (*b)[0];
  }

  std::optional<std::int16_t> be16() noexcept {
    auto b = take(2);
    if (!b) return std::nullopt;
    return bigEndian16((*b)[0], (*b)[1]);
  }

  std::optional<std::int32_t> be32() noexcept {
    auto b = take(4);
    if (!b) return std::nullopt;
    return bigEndian32((*b)[0], (*b)[1], (*b)[2], (*b)[3]);
  }

  // Reads and discards bytes until the position reaches `offset`. Never moves
  // back: an offset at or before the position (negative ones included) leaves
  // it where it is.
  void skipTo(std::int64_t offset) noexcept {
    if (offset > position_) position_ = offset;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::int64_t position_ = 0;
};

}  // namespace kestrix

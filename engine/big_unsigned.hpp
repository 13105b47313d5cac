// A non-negative integer of fixed, bounded size, on the stack: the exact
// arithmetic behind the decimal digits of doubles. Only what digit
// generation needs: shifts, products with small factors and powers of ten,
// sums, differences and comparisons.
#pragma once

#include <cstdint>

namespace kestrix {

class BigUnsigned {
 public:
  // 1536 bits. The largest number digit generation forms is about 2^1090
  // (ten times 2^1075, the denominator of the smallest subnormal double);
  // anything beyond the top limb would be dropped, never written past it.
  static constexpr int kLimbs = 48;

  BigUnsigned() noexcept = default;
  explicit BigUnsigned(std::uint64_t value) noexcept;
  // Copies only the limbs in use: most numbers are a few limbs long.
  BigUnsigned(const BigUnsigned& other) noexcept { *this = other; }
  BigUnsigned& operator=(const BigUnsigned& other) noexcept {
    size_ = other.size_;
    for (int i = 0; i < size_; ++i) limbs_[i] = other.limbs_[i];
    return *this;
  }

  bool isZero() const noexcept { return size_ == 0; }

  void shiftLeft(int bits) noexcept;
  void multiply(std::uint32_t factor) noexcept;
  void multiplyByPowerOfTen(int exponent) noexcept;
  void add(const BigUnsigned& other) noexcept;
  // Requires other <= *this.
  void subtract(const BigUnsigned& other) noexcept;

  // Negative, zero or positive as a < b, a == b, a > b.
  friend int compare(const BigUnsigned& a, const BigUnsigned& b) noexcept;

 private:
  void trim() noexcept;

  std::uint32_t limbs_[kLimbs];  // least significant first; those from size_ on unset
  int size_ = 0;
};

// compare(a + b, c), as digit generation asks whether a remainder plus a
// margin reaches the denominator.
int compareSum(const BigUnsigned& a, const BigUnsigned& b, const BigUnsigned& c) noexcept;

}  // namespace kestrix

#include "big_unsigned.hpp"

namespace kestrix {

BigUnsigned::BigUnsigned(std::uint64_t value) noexcept {
  while (value != 0) {
    limbs_[size_++] = static_cast<std::uint32_t>(value);
    value >>= 32;
  }
}

void BigUnsigned::trim() noexcept {
  while (size_ > 0 && limbs_[size_ - 1] == 0) --size_;
}

void BigUnsigned::shiftLeft(int bits) noexcept {
  if (size_ == 0 || bits <= 0) return;
  const int whole = bits / 32;
  const int rest = bits % 32;
  int size = size_ + whole + 1;  // the top limb may come out 0
  if (size > kLimbs) size = kLimbs;
  // From the top down: limb `to` is made of source limbs `from` and the one
  // below, neither overwritten yet.
  for (int to = size - 1; to >= whole; --to) {
    const int from = to - whole;
    std::uint32_t limb = from < size_ ? limbs_[from] << rest : 0;
    if (rest != 0 && from >= 1) limb |= limbs_[from - 1] >> (32 - rest);
    limbs_[to] = limb;
  }
  for (int i = 0; i < whole && i < size; ++i) limbs_[i] = 0;
  size_ = size;
  trim();
}

void BigUnsigned::multiply(std::uint32_t factor) noexcept {
  std::uint64_t carry = 0;
  for (int i = 0; i < size_; ++i) {
    const std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
    limbs_[i] = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0 && size_ < kLimbs) limbs_[size_++] = static_cast<std::uint32_t>(carry);
  trim();
}

void BigUnsigned::multiplyByPowerOfTen(int exponent) noexcept {
  constexpr std::uint32_t kPowers[] = {1,      10,      100,      1000,      10000,
                                       100000, 1000000, 10000000, 100000000, 1000000000};
  for (; exponent >= 9; exponent -= 9) multiply(kPowers[9]);
  if (exponent > 0) multiply(kPowers[exponent]);
}

void BigUnsigned::add(const BigUnsigned& other) noexcept {
  const int longer = size_ > other.size_ ? size_ : other.size_;
  std::uint64_t carry = 0;
  for (int i = 0; i < longer; ++i) {
    const std::uint64_t sum = (i < size_ ? std::uint64_t{limbs_[i]} : 0) +
                              (i < other.size_ ? other.limbs_[i] : 0) + carry;
    limbs_[i] = static_cast<std::uint32_t>(sum);
    carry = sum >> 32;
  }
  size_ = longer;
  if (carry != 0 && size_ < kLimbs) limbs_[size_++] = 1;
}

void BigUnsigned::subtract(const BigUnsigned& other) noexcept {
  std::uint32_t borrow = 0;
  for (int i = 0; i < size_; ++i) {
    const std::uint64_t taken = (i < other.size_ ? std::uint64_t{other.limbs_[i]} : 0) + borrow;
    borrow = limbs_[i] < taken ? 1 : 0;
    limbs_[i] = static_cast<std::uint32_t>(limbs_[i] - taken);
  }
  trim();
}

int compare(const BigUnsigned& a, const BigUnsigned& b) noexcept {
  if (a.size_ != b.size_) return a.size_ < b.size_ ? -1 : 1;
  for (int i = a.size_ - 1; i >= 0; --i) {
    if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
  }
  return 0;
}

int compareSum(const BigUnsigned& a, const BigUnsigned& b, const BigUnsigned& c) noexcept {
  BigUnsigned sum = a;
  sum.add(b);
  return compare(sum, c);
}

}  // namespace kestrix

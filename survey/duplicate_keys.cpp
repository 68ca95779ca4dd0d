#include "survey/duplicate_keys.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace dorvane {
namespace {

constexpr std::uint64_t kValueBits = 0xFFFFFFFFull;

std::uint64_t ValueBits(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  const float single = std::fabs(value) <= kLargest ? static_cast<float>(value)
                       : value > 0                  ? std::numeric_limits<float>::infinity()
                       : value < 0                  ? -std::numeric_limits<float>::infinity()
                                                    : std::numeric_limits<float>::quiet_NaN();
  return std::bit_cast<std::uint32_t>(single);
}

}  // namespace

void DuplicateKeys::Reset(std::size_t expected) {
  std::size_t size = 1024;
  // At most half full when `expected` keys come.
  while (size < 2 * std::min(expected, kMostKeys)) size *= 2;
  if (slots_.size() == size)
    std::fill(slots_.begin(), slots_.end(), 0);
  else
    slots_.assign(size, 0);
  used_ = 0;
}

void DuplicateKeys::Insert(std::uint64_t key, double value) {
  // Slots keep only part of their key, so the table cannot be rebuilt larger:
  // past three quarters full, further keys are not kept.
  if ((used_ + 1) * 4 > slots_.size() * 3) return;
  const std::uint64_t fingerprint = Fingerprint(key);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = key & mask;; i = (i + 1) & mask) {
    if ((slots_[i] & ~kValueBits) == fingerprint) return;
    if (slots_[i] == 0) {
      slots_[i] = fingerprint | ValueBits(value);
      ++used_;
      return;
    }
  }
}

bool DuplicateKeys::Find(std::uint64_t key, double& value) const {
  if (slots_.empty()) return false;
  const std::uint64_t fingerprint = Fingerprint(key);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = key & mask;; i = (i + 1) & mask) {
    if ((slots_[i] & ~kValueBits) == fingerprint) {
      value = std::bit_cast<float>(static_cast<std::uint32_t>(slots_[i] & kValueBits));
      return true;
    }
    if (slots_[i] == 0) return false;
  }
}

}  // namespace dorvane

#include "survey/duplicate_keys.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace dorvane {
namespace {

constexpr std::uint64_t kValueBits = 0xFFFFFFFFull;

std::uint32_t ValueBits(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  const float single = std::fabs(value) <= kLargest ? static_cast<float>(value)
                       : value > 0                  ? std::numeric_limits<float>::infinity()
                       : value < 0                  ? -std::numeric_limits<float>::infinity()
                                                    : std::numeric_limits<float>::quiet_NaN();
  return std::bit_cast<std::uint32_t>(single);
}

// Fingerprint in the high half, never 0 (a free slot is 0), value bits below.
std::uint64_t Fingerprint(std::uint64_t key) {
  return (key >> 32 | 1) << 32;
}

}  // namespace

void DuplicateKeys::Reset(std::size_t expected) {
  added_.clear();
  added_.reserve(std::min(expected, kMostKeys));
}

void DuplicateKeys::Add(std::uint64_t key, std::int64_t cell, double value) {
  if (added_.size() < kMostKeys) added_.push_back({key, Clamped(cell), ValueBits(value)});
}

bool DuplicateKeys::RegionOf(std::int64_t cell, std::size_t& region) const {
  cell = Clamped(cell);
  const std::uint64_t offset =
      static_cast<std::uint64_t>(cell) - static_cast<std::uint64_t>(cellLow_);
  if (cell < cellLow_ || offset >= cellCount_) return false;
  // More cells than keys (stray positions far off): neighbouring cells share.
  region = regions_ == cellCount_
               ? static_cast<std::size_t>(offset)
               : std::min(regions_ - 1, static_cast<std::size_t>(static_cast<double>(offset) /
                                                                 static_cast<double>(cellCount_) *
                                                                 static_cast<double>(regions_)));
  return true;
}

void DuplicateKeys::Seal() {
  slots_.clear();
  regionStart_.clear();
  regions_ = cellCount_ = 0;
  if (added_.empty()) return;
  const auto [low, high] = std::minmax_element(
      added_.begin(), added_.end(), [](const Added& a, const Added& b) { return a.cell < b.cell; });
  cellLow_ = low->cell;
  cellCount_ = static_cast<std::uint64_t>(std::int64_t{high->cell} - cellLow_ + 1);
  regions_ = std::min<std::uint64_t>(cellCount_, added_.size());
  // Each region twice the room its keys need: at most half full.
  regionStart_.assign(regions_ + 1, 0);
  std::size_t region = 0;
  for (const Added& added : added_)
    if (RegionOf(added.cell, region)) regionStart_[region + 1] += 2;
  for (std::size_t i = 1; i <= regions_; ++i) regionStart_[i] += regionStart_[i - 1];
  slots_.assign(regionStart_[regions_], 0);
  for (const Added& added : added_) Insert(added);
  added_.clear();
}

void DuplicateKeys::Insert(const Added& added) {
  std::size_t region = 0;
  if (!RegionOf(added.cell, region)) return;
  const std::uint64_t fingerprint = Fingerprint(added.key);
  const std::size_t start = regionStart_[region], end = regionStart_[region + 1];
  for (std::size_t i = SlotIn(region, added.key);; i = i + 1 == end ? start : i + 1) {
    if ((slots_[i] & ~kValueBits) == fingerprint) return;
    if (slots_[i] == 0) {
      slots_[i] = fingerprint | added.valueBits;
      return;
    }
  }
}

bool DuplicateKeys::Find(std::uint64_t key, std::int64_t cell, double& value) const {
  std::size_t region = 0;
  if (slots_.empty() || !RegionOf(cell, region)) return false;
  const std::uint64_t fingerprint = Fingerprint(key);
  const std::size_t start = regionStart_[region], end = regionStart_[region + 1];
  if (start == end) return false;
  for (std::size_t i = SlotIn(region, key);; i = i + 1 == end ? start : i + 1) {
    if ((slots_[i] & ~kValueBits) == fingerprint) {
      value = std::bit_cast<float>(static_cast<std::uint32_t>(slots_[i] & kValueBits));
      return true;
    }
    if (slots_[i] == 0) return false;
  }
}

}  // namespace dorvane

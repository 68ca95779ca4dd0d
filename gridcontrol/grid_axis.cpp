#include "gridcontrol/grid_axis.h"

#include <algorithm>
#include <bit>

namespace dorvane {

namespace {

std::size_t LowBit(std::size_t i) {
  return i & (~i + 1);
}

}  // namespace

GridAxis::GridAxis(std::int32_t count, std::int32_t fixed, std::int32_t defaultSize)
    : fixed_(fixed), first_(fixed), defaultSize_(defaultSize) {
  tree_.push_back(0);
  SetCount(count);
}

void GridAxis::SetCount(std::int32_t count) {
  if (count < count_) {
    explicit_.resize(static_cast<std::size_t>(count));
    // A Fenwick prefix stays valid when cut: node i only covers items <= i.
    tree_.resize(static_cast<std::size_t>(count) + 1);
  } else {
    explicit_.resize(static_cast<std::size_t>(count), kUseDefault);
    // Node i covers the items from i - lowbit(i) to i - 1. The new items all
    // take one size; only the few nodes reaching back past the old end sum old items.
    const std::int64_t size = EffectiveSize(count_);
    const auto old = static_cast<std::size_t>(count_);
    const std::int64_t oldTotal = Prefix(count_);
    tree_.resize(static_cast<std::size_t>(count) + 1);
    for (std::size_t i = old + 1; i <= static_cast<std::size_t>(count); ++i) {
      const std::size_t from = i - LowBit(i);
      tree_[i] = from >= old ? static_cast<std::int64_t>(i - from) * size
                             : oldTotal - Prefix(static_cast<std::int32_t>(from)) +
                                   static_cast<std::int64_t>(i - old) * size;
    }
  }
  count_ = count;
  SetFirst(first_);
}

void GridAxis::SetFixed(std::int32_t fixed) {
  fixed_ = fixed;
  SetFirst(first_);
}

void GridAxis::SetFirst(std::int32_t first) {
  first_ = std::clamp(first, fixed_, std::max(fixed_, MaxFirst()));
}

std::int32_t GridAxis::EffectiveSize(std::int32_t index) const {
  const bool useDefault =
      index >= count_ || explicit_[static_cast<std::size_t>(index)] == kUseDefault;
  const std::int32_t size = useDefault ? defaultSize_ : explicit_[static_cast<std::size_t>(index)];
  return std::max(size, minSize_);
}

std::int32_t GridAxis::Size(std::int32_t index) const {
  return EffectiveSize(index);
}

void GridAxis::SetSize(std::int32_t index, std::int32_t size) {
  const std::int64_t delta = std::max(size, minSize_) - std::int64_t{EffectiveSize(index)};
  explicit_[static_cast<std::size_t>(index)] = size;
  for (std::size_t i = static_cast<std::size_t>(index) + 1; i < tree_.size(); i += LowBit(i))
    tree_[i] += delta;
  SetFirst(first_);
}

void GridAxis::ResetSize(std::int32_t index) {
  const std::int32_t size = defaultSize_;
  SetSize(index, size);
  explicit_[static_cast<std::size_t>(index)] = kUseDefault;
}

void GridAxis::SetMinSize(std::int32_t size) {
  minSize_ = size;
  Rebuild();
  SetFirst(first_);
}

void GridAxis::Rebuild() {
  const std::size_t n = static_cast<std::size_t>(count_);
  for (std::size_t i = 1; i <= n; ++i) tree_[i] = EffectiveSize(static_cast<std::int32_t>(i - 1));
  for (std::size_t i = 1; i <= n; ++i) {
    const std::size_t parent = i + LowBit(i);
    if (parent <= n) tree_[parent] += tree_[i];
  }
}

std::int64_t GridAxis::Prefix(std::int32_t index) const {
  std::int64_t sum = 0;
  for (std::size_t i = static_cast<std::size_t>(std::clamp(index, 0, count_)); i > 0;
       i -= LowBit(i))
    sum += tree_[i];
  return sum;
}

std::int64_t GridAxis::Position(std::int32_t index) const {
  if (index < fixed_) return Prefix(index);
  return FixedExtent() + Prefix(index) - Prefix(first_);
}

void GridAxis::SetClientExtent(std::int64_t twips) {
  client_ = std::max<std::int64_t>(twips, 0);
  SetFirst(first_);
}

std::int32_t GridAxis::LastPrefixNotAbove(std::int64_t target) const {
  if (target < 0) return -1;
  const std::size_t n = static_cast<std::size_t>(count_);
  std::size_t pos = 0;
  for (std::size_t step = n == 0 ? 0 : std::bit_floor(n); step > 0; step >>= 1) {
    if (pos + step <= n && tree_[pos + step] <= target) {
      pos += step;
      target -= tree_[pos];
    }
  }
  return static_cast<std::int32_t>(pos);
}

std::int32_t GridAxis::FirstPrefixNotBelow(std::int64_t target) const {
  if (target <= 0) return 0;
  return std::min(LastPrefixNotAbove(target - 1) + 1, count_);
}

std::int32_t GridAxis::MaxFirst() const {
  if (count_ <= fixed_) return fixed_;
  const std::int64_t room = client_ - FixedExtent();
  if (client_ <= 0 || room <= 0) return count_ - 1;
  const std::int32_t first = FirstPrefixNotBelow(Prefix(count_) - room);
  return std::clamp(first, fixed_, count_ - 1);
}

std::int32_t GridAxis::FullyVisibleCount() const {
  const std::int64_t room = client_ - FixedExtent();
  if (room <= 0 || first_ >= count_) return 0;
  return std::max(0, LastPrefixNotAbove(Prefix(first_) + room) - first_);
}

std::int32_t GridAxis::LastVisible() const {
  const std::int64_t room = client_ - FixedExtent();
  if (room <= 0 || first_ >= count_) return first_ - 1;
  return std::min(LastPrefixNotAbove(Prefix(first_) + room - 1), count_ - 1);
}

std::int32_t GridAxis::ItemAt(std::int64_t offset) const {
  if (offset < 0) return -1;
  const std::int64_t fixedExtent = FixedExtent();
  if (offset < fixedExtent) return LastPrefixNotAbove(offset);
  const std::int32_t item = LastPrefixNotAbove(offset - fixedExtent + Prefix(first_));
  return item < count_ ? item : -1;
}

std::int32_t GridAxis::FirstShowing(std::int32_t index) const {
  if (index < fixed_) return first_;
  if (index < first_) return index;
  const std::int64_t room = client_ - FixedExtent();
  if (room <= 0) return first_;
  const std::int64_t end = Prefix(index + 1);
  if (end - Prefix(first_) <= room) return first_;
  const std::int32_t first = std::min(FirstPrefixNotBelow(end - room), index);
  return std::clamp(first, fixed_, std::max(fixed_, MaxFirst()));
}

}  // namespace dorvane

#pragma once

#include <cstdint>
#include <vector>

namespace dorvane {

// One direction of the grid (its rows or its columns): the count, the fixed
// header items, the first scrolled item and the item sizes in twips. Sizes are
// kept in a Fenwick tree so that positions and offset look-ups stay O(log n)
// for grids of tens of thousands of rows.
class GridAxis {
 public:
  GridAxis(std::int32_t count, std::int32_t fixed, std::int32_t defaultSize);

  std::int32_t Count() const { return count_; }
  std::int32_t Fixed() const { return fixed_; }
  std::int32_t First() const { return first_; }
  // Callers validate; these only keep the axis consistent.
  void SetCount(std::int32_t count);
  void SetFixed(std::int32_t fixed);
  // Puts `first` inside [Fixed, MaxFirst].
  void SetFirst(std::int32_t first);

  std::int32_t Size(std::int32_t index) const;
  // Sets an explicit size (still at least the minimum).
  void SetSize(std::int32_t index, std::int32_t size);
  // Back to the default size.
  void ResetSize(std::int32_t index);
  std::int32_t MinSize() const { return minSize_; }
  void SetMinSize(std::int32_t size);

  // Sum of the sizes of items 0..index-1.
  std::int64_t Prefix(std::int32_t index) const;
  std::int64_t FixedExtent() const { return Prefix(fixed_); }
  // Edge of an item relative to the client area, as scrolled.
  std::int64_t Position(std::int32_t index) const;

  // The visible extent of the client area, in twips (0 = no window yet).
  std::int64_t ClientExtent() const { return client_; }
  void SetClientExtent(std::int64_t twips);
  // The largest First that still fills the client area down to the last item.
  std::int32_t MaxFirst() const;
  // Scrollable items wholly visible from First.
  std::int32_t FullyVisibleCount() const;
  // Last item at least partly visible (First - 1 if none).
  std::int32_t LastVisible() const;
  // Item under a client offset in twips, or -1 outside the items.
  std::int32_t ItemAt(std::int64_t offset) const;
  // The First that brings `index` wholly into view with the least scrolling.
  std::int32_t FirstShowing(std::int32_t index) const;

 private:
  std::int32_t EffectiveSize(std::int32_t index) const;
  void Rebuild();
  // Largest k with Prefix(k) <= target (sizes are never negative).
  std::int32_t LastPrefixNotAbove(std::int64_t target) const;
  // Smallest k with Prefix(k) >= target.
  std::int32_t FirstPrefixNotBelow(std::int64_t target) const;

  static constexpr std::int32_t kUseDefault = -1;

  std::int32_t count_ = 0;
  std::int32_t fixed_ = 0;
  std::int32_t first_ = 0;
  std::int32_t defaultSize_ = 0;
  std::int32_t minSize_ = 0;
  std::int64_t client_ = 0;
  std::vector<std::int32_t> explicit_;  // kUseDefault or the size asked for
  std::vector<std::int64_t> tree_;      // 1-based Fenwick tree of effective sizes
};

}  // namespace dorvane

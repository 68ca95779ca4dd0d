#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "grid/geometry.h"

namespace dorvane {

enum class StepKind : std::int32_t {
  Sentinel = 0,
  BlockChange = 2,  // paste, reverse
  Clear = 3,        // clear, cut
  Insert = 4,       // replayed, no image
  Delete = 5,       // replayed on redo
  Average = 6,
  SortSome = 7,
  SortAll = 8,
  CellEdit = 9,
  FillDrag = 10,
};

// Texts of a block of cells, row by row, each followed by one NUL unit; the
// empty cells after the last row with text are only counted, one unit each.
struct CellImage {
  static constexpr std::size_t kMaxUnits = 262144;  // recorded length, empty tail included
  std::vector<char16_t> units;
  std::size_t emptyTail = 0;
};

struct HistoryStep {
  StepKind kind = StepKind::Sentinel;
  CellRegion region;
  std::optional<CellImage> before;
  std::optional<CellImage> after;  // taken lazily
  HistoryStep* prev = nullptr;
  std::unique_ptr<HistoryStep> next;
};

// A doubly linked list of steps behind a sentinel; `current` is the last step in
// effect, the steps after it can be redone.
class EditHistory {
 public:
  EditHistory();
  ~EditHistory();  // iterative: a long history must not recurse
  EditHistory(const EditHistory&) = delete;
  EditHistory& operator=(const EditHistory&) = delete;

  HistoryStep* head() { return head_.get(); }
  const HistoryStep* head() const { return head_.get(); }
  HistoryStep* current() { return current_; }
  const HistoryStep* current() const { return current_; }
  void SetCurrent(HistoryStep* step) { current_ = step; }
  bool AtSentinel() const { return current_ == head_.get(); }
  bool AtNewest() const { return current_->next == nullptr; }
  // Number of steps after the sentinel.
  std::size_t StepCount() const;
  // Discards every step after current, with their images.
  void DiscardRedo();
  // Appends a step after current and makes it current; null when out of memory.
  HistoryStep* Append(StepKind kind, const CellRegion& region) noexcept;
  // Unlinks the newest step (current) and makes its predecessor current.
  void DropCurrent();

 private:
  std::unique_ptr<HistoryStep> head_;
  HistoryStep* current_ = nullptr;
};

}  // namespace dorvane

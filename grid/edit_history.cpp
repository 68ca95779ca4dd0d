#include "grid/edit_history.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "grid/grid_editor.h"

namespace dorvane {

namespace {

// Frees a chain of steps one link at a time; letting the unique_ptrs unwind
// each other would recurse once per step.
void FreeChain(std::unique_ptr<HistoryStep> step) {
  while (step) step = std::move(step->next);
}

// Locks the grid window's painting for the life of the object.
class RedrawFreeze {
 public:
  explicit RedrawFreeze(EditorView* view) : view_(view) {
    if (view_ != nullptr) view_->FreezeRedraw(true);
  }
  ~RedrawFreeze() {
    if (view_ != nullptr) view_->FreezeRedraw(false);
  }
  RedrawFreeze(const RedrawFreeze&) = delete;
  RedrawFreeze& operator=(const RedrawFreeze&) = delete;

 private:
  EditorView* view_;
};

bool RegionHasCells(const CellRegion& region) {
  return region.firstRow <= region.lastRow && region.firstCol <= region.lastCol;
}

// Rows are checked one by one as the image is walked; columns and negative
// indexes never reach the control.
bool ColumnsInside(const CellRegion& region, std::int32_t cols) {
  return !RegionHasCells(region) ||
         (region.firstRow >= 0 && region.firstCol >= 0 && region.lastCol < cols);
}

// Rows up to `row` and a hundred spare ones below it, within the capacity; in
// 64 bits, since a region read from a step may lie anywhere.
std::int32_t GrownRowCount(std::int32_t row, std::int32_t capacity) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{row} + 100, capacity));
}

// How many whole rows of empty cells the image holds from `pos` on, at most `limit`.
std::int32_t EmptyRowsAt(const std::vector<char16_t>& units, std::size_t pos, std::size_t width,
                         std::int64_t limit) {
  if (width == 0 || limit <= 0) return 0;
  const std::size_t end = std::min(units.size(), pos + static_cast<std::size_t>(limit) * width);
  const auto first = units.begin() + static_cast<std::ptrdiff_t>(pos);
  const auto text = std::find_if(first, units.begin() + static_cast<std::ptrdiff_t>(end),
                                 [](char16_t unit) { return unit != u'\0'; });
  return static_cast<std::int32_t>(static_cast<std::size_t>(text - first) / width);
}

}  // namespace

EditHistory::EditHistory() : head_(std::make_unique<HistoryStep>()), current_(head_.get()) {}

EditHistory::~EditHistory() {
  FreeChain(std::move(head_));
}

std::size_t EditHistory::StepCount() const {
  std::size_t count = 0;
  for (const HistoryStep* step = head_->next.get(); step != nullptr; step = step->next.get())
    ++count;
  return count;
}

void EditHistory::DiscardRedo() {
  FreeChain(std::move(current_->next));
}

HistoryStep* EditHistory::Append(StepKind kind, const CellRegion& region) noexcept {
  try {
    auto step = std::make_unique<HistoryStep>();
    step->kind = kind;
    step->region = region;
    step->prev = current_;
    DiscardRedo();
    current_->next = std::move(step);
    current_ = current_->next.get();
    return current_;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void EditHistory::DropCurrent() {
  if (current_ == head_.get()) return;
  HistoryStep* previous = current_->prev;
  DiscardRedo();
  previous->next.reset();
  current_ = previous;
}

int GridEditor::RecordStep(std::int32_t firstRow, std::int32_t lastRow, std::int32_t firstCol,
                           std::int32_t lastCol, StepKind kind) {
  if (grid_ == nullptr) return 0;
  FlexGrid& grid = *grid_;
  CellRegion region{firstRow, lastRow, firstCol, lastCol};
  if (kind == StepKind::SortSome || kind == StepKind::SortAll) {
    region.firstCol = grid.FixedCols();
    region.lastCol = grid.Cols() - 1;
  }
  if (kind == StepKind::SortAll) {
    region.firstRow = grid.FixedRows();
    region.lastRow = grid.Rows() - 1;
  }

  history_.DiscardRedo();
  HistoryStep* previous = history_.current();
  previous->after.reset();
  // Without its after image the previous step can still be undone, only not
  // redone; refusing the new step instead would freeze the history for good.
  if (!history_.AtSentinel()) previous->after = TakeImage(previous->region);

  HistoryStep* step = history_.Append(kind, region);
  if (step == nullptr) return 0;
  if (kind != StepKind::Insert) {
    step->before = TakeImage(region);
    if (!step->before) {
      history_.DropCurrent();
      return 0;
    }
  }
  return 1;
}

std::optional<CellImage> GridEditor::TakeImage(const CellRegion& region) const {
  if (grid_ == nullptr) return std::nullopt;
  const FlexGrid& grid = *grid_;
  if (!ColumnsInside(region, grid.Cols())) return std::nullopt;
  if (region.firstRow <= region.lastRow && region.lastRow > grid.Rows() - 1) return std::nullopt;
  if (!RegionHasCells(region)) return CellImage{};
  try {
    // Every cell takes at least the NUL after its text.
    const std::int64_t width = std::int64_t{region.lastCol - region.firstCol + 1};
    const std::int64_t cells = std::int64_t{region.lastRow - region.firstRow + 1} * width;
    if (cells > static_cast<std::int64_t>(CellImage::kMaxUnits)) return std::nullopt;
    // Below the last row with text every cell is empty: those are only counted.
    const std::int32_t lastTextRow =
        std::min(region.lastRow, grid.RowsWithText(region.firstCol, region.lastCol) - 1);
    const std::int64_t textCells =
        std::max<std::int64_t>(lastTextRow - region.firstRow + 1, 0) * width;
    CellImage image;
    image.emptyTail = static_cast<std::size_t>(cells - textCells);
    // Only rows with text are read; every other cell is its NUL alone.
    image.units.reserve(static_cast<std::size_t>(textCells));
    std::int32_t copied = region.firstRow;  // rows above are in the image
    const auto addEmptyRows = [&](std::int32_t end) {
      image.units.insert(image.units.end(), static_cast<std::size_t>(end - copied) * width, u'\0');
    };
    const auto nextTextRow = [&](std::int32_t row) {
      return grid.NextRowWithText(region.firstCol, region.lastCol, row);
    };
    for (std::int32_t row = nextTextRow(region.firstRow); row <= lastTextRow;
         row = nextTextRow(row + 1)) {
      addEmptyRows(row);
      grid.AppendRowTexts(row, region.firstCol, region.lastCol, image.units);
      copied = row + 1;
      // Each cell still to come takes at least its NUL.
      const auto toCome =
          static_cast<std::size_t>(std::int64_t{lastTextRow - row} * width) + image.emptyTail;
      if (image.units.size() + toCome > CellImage::kMaxUnits) return std::nullopt;
    }
    addEmptyRows(std::max(lastTextRow + 1, copied));
    return image;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

int GridEditor::RestoreImage(const CellImage* image, const CellRegion& region) {
  if (image == nullptr || grid_ == nullptr) return 0;
  FlexGrid& grid = *grid_;
  if (!ColumnsInside(region, grid.Cols())) return 0;
  const std::vector<char16_t>& units = image->units;
  // Cells below the last row with text are empty already: only text goes there.
  const std::int32_t textRows =
      RegionHasCells(region) ? grid.RowsWithText(region.firstCol, region.lastCol) : 0;
  const auto width = static_cast<std::size_t>(std::max(region.lastCol - region.firstCol + 1, 0));
  std::size_t pos = 0;
  std::size_t empties = image->emptyTail;
  std::int32_t gridText = -1;  // the next row with text in the region's columns
  for (std::int32_t row = region.firstRow; row <= region.lastRow; ++row) {
    if (row > grid.Rows() - 1) {
      // Room below with some spare rows, but never past what the editor allows.
      const std::int32_t grown = GrownRowCount(row, RowCapacity());
      if (grown <= row) return 0;
      grid.SetRows(grown);
    }
    // Rows empty in the image and in the grid need no write. Writes land on
    // rows above, so the grid's next text stays where it was found.
    if (width > 0 &&
        (pos < units.size() ? EmptyRowsAt(units, pos, width, 1) : empties / width) > 0) {
      if (gridText < row) gridText = grid.NextRowWithText(region.firstCol, region.lastCol, row);
      const std::int64_t end = std::min(
          {region.lastRow + std::int64_t{1}, std::int64_t{grid.Rows()}, std::int64_t{gridText}});
      const std::int64_t skipped = pos < units.size()
                                       ? EmptyRowsAt(units, pos, width, end - row)
                                       : std::min<std::int64_t>(end - row, empties / width);
      if (skipped > 0) {
        const auto cells = static_cast<std::size_t>(skipped) * width;
        if (pos < units.size())
          pos += cells;
        else
          empties -= cells;  // the counted empty cells
        row += static_cast<std::int32_t>(skipped) - 1;
        continue;
      }
    }
    for (std::int32_t col = region.firstCol; col <= region.lastCol; ++col) {
      if (pos == units.size()) {
        if (empties == 0) return 0;  // the image is shorter than the region
        --empties;
        if (row < textRows) grid.SetTextMatrix(row, col, u"");
        continue;
      }
      const auto begin = units.begin() + static_cast<std::ptrdiff_t>(pos);
      const auto nul = std::find(begin, units.end(), u'\0');
      if (nul == units.end()) return 0;  // the image is shorter than the region
      if (row < textRows || nul != begin)
        grid.SetTextMatrix(row, col,
                           std::u16string_view(&*begin, static_cast<std::size_t>(nul - begin)));
      pos = static_cast<std::size_t>(nul - units.begin()) + 1;
    }
  }
  return pos == units.size() && empties == 0 ? 1 : 0;
}

int GridEditor::SelectRegion(const CellRegion& region) {
  if (grid_ == nullptr) return 0;
  FlexGrid& grid = *grid_;
  {
    RedrawFreeze freeze(view_);
    if (region.lastRow > grid.Rows() - 1) {
      const std::int32_t grown = GrownRowCount(region.lastRow, RowCapacity());
      if (grown > grid.Rows()) grid.SetRows(grown);
    }
    // A region that still does not fit is cut at the last row and column.
    const std::int32_t lastRowIndex = grid.Rows() - 1;
    const std::int32_t lastColIndex = grid.Cols() - 1;
    grid.SetRow(std::clamp(region.firstRow, 0, lastRowIndex));
    grid.SetCol(std::clamp(region.firstCol, 0, lastColIndex));
    grid.SetRowSel(std::clamp(region.lastRow, 0, lastRowIndex));
    grid.SetColSel(std::clamp(region.lastCol, 0, lastColIndex));
  }
  RefreshSelection();
  return 1;
}

int GridEditor::Undo() {
  if (grid_ == nullptr) return 0;
  CommitPendingEdit();
  if (history_.AtSentinel()) return 0;
  HistoryStep* step = history_.current();
  // None when it cannot be taken: the step is undone all the same, just not redoable.
  if (history_.AtNewest() && step->kind != StepKind::Insert && !step->after)
    step->after = TakeImage(step->region);
  switch (step->kind) {
    case StepKind::Insert:
      SelectRegion(step->region);
      if (DeleteRows(false) == 0) return 0;  // the user kept the rows
      break;
    case StepKind::Delete:
      SelectRegion(step->region);
      if (!TryInsertRows(false)) return 0;
      if (RestoreImage(step->before ? &*step->before : nullptr, step->region) == 0) return 0;
      break;
    default:
      if (RestoreImage(step->before ? &*step->before : nullptr, step->region) == 0) return 0;
      SelectRegion(step->region);
      break;
  }
  history_.SetCurrent(step->prev);
  return 1;
}

int GridEditor::Redo() {
  if (grid_ == nullptr) return 0;
  CommitPendingEdit();
  if (history_.AtNewest()) return 0;
  HistoryStep* step = history_.current()->next.get();
  const bool replayed = step->kind == StepKind::Insert || step->kind == StepKind::Delete;
  if (!replayed && !step->after) return 0;  // its after image could not be taken
  history_.SetCurrent(step);
  switch (step->kind) {
    case StepKind::Insert:
      SelectRegion(step->region);
      if (!TryInsertRows(false)) {
        history_.SetCurrent(step->prev);
        return 0;
      }
      break;
    case StepKind::Delete:
      SelectRegion(step->region);
      if (DeleteRows(false) == 0) {
        history_.SetCurrent(step->prev);
        return 0;
      }
      break;
    default:
      if (RestoreImage(step->after ? &*step->after : nullptr, step->region) == 0) return 0;
      SelectRegion(step->region);
      break;
  }
  return 1;
}

}  // namespace dorvane

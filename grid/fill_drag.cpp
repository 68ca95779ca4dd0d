#include <array>

#include "grid/grid_editor.h"
#include "grid/number_text.h"

namespace dorvane {

namespace {

// Cell texts of the fill are read into 256-unit buffers: at most 255 units.
constexpr std::size_t kMaxFillTextUnits = 255;

std::u16string ReadCellForFill(const FlexGrid& grid, std::int32_t row, std::int32_t col) {
  std::u16string text = grid.TextMatrix(row, col);
  if (text.size() > kMaxFillTextUnits) text.resize(kMaxFillTextUnits);
  return text;
}

}  // namespace

void GridEditor::BeginFillDrag() {
  FlexGrid& grid = Grid();
  CommitPendingEdit();
  fillDragging_ = true;
  view_->SetCursor(CursorKind::Cross);
  // Nothing but the XOR frame may draw on the window until the drag ends.
  view_->FreezeRedraw(true);

  RefreshSelection();
  dragRange_ = {selLeft_, selTop_, selRight_, selBottom_};
  DrawRangeXor(dragRange_);

  fillSteps_.assign(static_cast<std::size_t>(selRight_ - selLeft_ + 2), 0.0f);
  if (selTop_ != selBottom_) {
    for (std::int32_t col = selLeft_; col <= selRight_; ++col) {
      const float last = CellTextToNumber(ReadCellForFill(grid, selBottom_, col));
      const float previous = CellTextToNumber(ReadCellForFill(grid, selBottom_ - 1, col));
      fillSteps_[static_cast<std::size_t>(col - selLeft_ + 1)] = last - previous;
    }
  }
  fillSteps_[0] = static_cast<float>(selBottom_);
  // Losing the capture (another window activated) does not end the drag: only
  // a left release that reaches the grid window does.
  view_->CaptureMouse();
}

void GridEditor::ContinueFillDrag(std::int32_t x, std::int32_t y) {
  view_->SetCursor(CursorKind::Cross);
  if (fillSteps_.empty()) return;
  std::int32_t row = 0;
  std::int32_t col = 0;
  if (!HitTestCell(x, y, row, col)) return;
  // Only the bottom edge follows the mouse, and never above the starting block.
  const auto startBottom = static_cast<std::int32_t>(fillSteps_[0]);
  if (row < startBottom) return;
  prevDragRange_ = dragRange_;
  dragRange_.bottom = row;
  DrawRangeXor(prevDragRange_);
  DrawRangeXor(dragRange_);
}

void GridEditor::EndFillDrag() {
  view_->SetCursor(CursorKind::Arrow);
  DrawRangeXor(dragRange_);

  FlexGrid& grid = Grid();
  grid.SetRow(dragRange_.top);
  grid.SetCol(dragRange_.left);
  grid.SetRowSel(dragRange_.bottom);
  grid.SetColSel(dragRange_.right);
  RefreshSelection();
  RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::FillDrag);
  fillDragging_ = false;
  view_->FreezeRedraw(false);
  FillSeries();
  view_->ReleaseMouse();
}

void GridEditor::CancelFillDrag() {
  if (!fillDragging_) return;
  DrawRangeXor(dragRange_);
  fillDragging_ = false;
  buttonDown_ = false;
  fillSteps_.clear();
  view_->FreezeRedraw(false);
  view_->SetCursor(CursorKind::Arrow);
  view_->InvalidateGrid();
}

int GridEditor::FillSeries() {
  RefreshSelection();
  if (fillSteps_.empty()) return 1;
  FlexGrid& grid = Grid();
  const auto source = static_cast<std::int32_t>(fillSteps_[0]);
  for (std::int32_t col = selLeft_; col <= selRight_; ++col) {
    if (source == selBottom_) continue;
    const float step = fillSteps_[static_cast<std::size_t>(col - selLeft_ + 1)];
    // Each cell continues from the formatted text above it, not from a running sum.
    for (std::int32_t row = source + 1; row <= selBottom_; ++row) {
      const std::u16string above = ReadCellForFill(grid, row - 1, col);
      if (above.empty()) break;
      const float value = CellTextToNumber(above) + step;
      grid.SetTextMatrix(row, col, ThreeDecimalsTrimmed(static_cast<double>(value)));
    }
  }
  fillSteps_.clear();
  fillSteps_.shrink_to_fit();
  return 1;
}

int GridEditor::DrawRangeXor(const CellRect& block) {
  const FlexGrid& grid = Grid();
  const std::int32_t tx = twipsPerPixelX();
  const std::int32_t ty = twipsPerPixelY();
  // The far edges divide the sum once, so the frame reaches the grid line.
  const std::int32_t x1 = grid.ColPos(block.left) / tx - 1;
  const std::int32_t x2 = (grid.ColPos(block.right) + grid.ColWidth(block.right)) / tx;
  const std::int32_t y1 = grid.RowPos(block.top) / ty - 1;
  const std::int32_t y2 = (grid.RowPos(block.bottom) + grid.RowHeight(block.bottom)) / ty;
  const std::array<PixelPoint, 5> frame{{{x2, y2}, {x1, y2}, {x1, y1}, {x2, y1}, {x2, y2}}};
  view_->DrawPolyline(frame, PenKind::DragXor);
  return 1;
}

}  // namespace dorvane

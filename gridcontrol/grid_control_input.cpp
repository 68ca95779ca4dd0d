#include <algorithm>
#include <cstdlib>

#include "gridcontrol/grid_control.h"
#include "platform/window_messages.h"

namespace dorvane {

namespace {

constexpr std::int32_t kBorderGrabPx = 2;
constexpr std::int32_t kWheelDelta = 120;
constexpr std::int32_t kWheelLines = 3;

// What input may change on screen besides sizes, which tell for themselves.
class ViewWatch {
 public:
  explicit ViewWatch(const GridControl& grid) : grid_(grid), before_(Take(grid)) {}
  GridChanges Changes() const {
    const View after = Take(grid_);
    GridChanges changes = 0;
    if (after.top != before_.top || after.left != before_.left)
      changes |= kGridRepaint | kGridScrollBars;
    if (after.row != before_.row || after.col != before_.col || after.rowSel != before_.rowSel ||
        after.colSel != before_.colSel)
      changes |= kGridRepaint;
    return changes;
  }

 private:
  struct View {
    std::int32_t row, col, rowSel, colSel, top, left;
  };
  static View Take(const GridControl& grid) {
    return {grid.Row(), grid.Col(), grid.RowSel(), grid.ColSel(), grid.TopRow(), grid.LeftCol()};
  }
  const GridControl& grid_;
  View before_;
};

}  // namespace

std::intptr_t GridControl::HandleMessage(std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  const std::int32_t x = msg::SignedLow(lParam);
  const std::int32_t y = msg::SignedHigh(lParam);
  const ViewWatch watch(*this);
  switch (message) {
    case msg::kLButtonDown:
    case msg::kLButtonDblClk:
      OnButtonDown(wParam, x, y);
      break;
    case msg::kMouseMove:
      OnMouseMove(wParam, x, y);
      break;
    case msg::kLButtonUp:
      drag_ = {};
      break;
    case msg::kKeyDown:
      OnKeyDown(static_cast<std::uint32_t>(wParam), {});
      break;
    case msg::kVScroll:
    case msg::kHScroll:
      OnScroll(message == msg::kVScroll ? rows_ : cols_,
               static_cast<std::uint32_t>(wParam & 0xFFFF),
               static_cast<std::int32_t>((wParam >> 16) & 0xFFFF));
      break;
    case msg::kMouseWheel:
      OnWheel(msg::SignedHigh(static_cast<std::intptr_t>(wParam)));
      break;
    default:
      break;
  }
  Changed(watch.Changes());
  return 0;
}

void GridControl::HandleKey(std::uint32_t key, KeyModifiers modifiers) {
  const ViewWatch watch(*this);
  OnKeyDown(key, modifiers);
  Changed(watch.Changes());
}

void GridControl::HandleScroll(bool vertical, std::uint32_t code, std::int32_t thumb) {
  const ViewWatch watch(*this);
  OnScroll(vertical ? rows_ : cols_, code, thumb);
  Changed(watch.Changes());
}

bool GridControl::HasDataCells() const {
  return Rows() > FixedRows() && Cols() > FixedCols();
}

void GridControl::OnButtonDown(std::uintptr_t keys, std::int32_t x, std::int32_t y) {
  drag_ = {};
  if (StartResize(x, y)) return;
  const CellHit hit = CellAt(x, y);
  if (hit.row < 0 || hit.col < 0 || !HasDataCells()) return;
  const bool shift = (keys & msg::kMkShift) != 0;
  const bool headerRow = hit.row < FixedRows();
  const bool headerCol = hit.col < FixedCols();
  if (headerRow && headerCol) {
    row_ = FixedRows();
    col_ = FixedCols();
    rowSel_ = Rows() - 1;
    colSel_ = Cols() - 1;
  } else if (headerRow) {
    if (!shift) col_ = hit.col;
    colSel_ = hit.col;
    row_ = FixedRows();
    rowSel_ = Rows() - 1;
    drag_.mode = DragMode::kWholeCols;
  } else if (headerCol) {
    if (!shift) row_ = hit.row;
    rowSel_ = hit.row;
    col_ = FixedCols();
    colSel_ = Cols() - 1;
    drag_.mode = DragMode::kWholeRows;
  } else {
    if (!shift) {
      row_ = hit.row;
      col_ = hit.col;
    }
    rowSel_ = hit.row;
    colSel_ = hit.col;
    drag_.mode = DragMode::kCells;
  }
}

void GridControl::OnMouseMove(std::uintptr_t keys, std::int32_t x, std::int32_t y) {
  // A release we never saw (outside the window) ends the drag.
  if ((keys & msg::kMkLButton) == 0) {
    drag_ = {};
    return;
  }
  // The program may have cut the grid down to its headers during the drag.
  const bool selecting = drag_.mode == DragMode::kCells || drag_.mode == DragMode::kWholeRows ||
                         drag_.mode == DragMode::kWholeCols;
  if (selecting && !HasDataCells()) {
    drag_ = {};
    return;
  }
  if (selecting)
    ExtendDragSelection(x, y);
  else if (drag_.mode == DragMode::kResizeRow || drag_.mode == DragMode::kResizeCol)
    Resize(x, y);
}

void GridControl::ExtendDragSelection(std::int32_t x, std::int32_t y) {
  if (drag_.mode == DragMode::kCells || drag_.mode == DragMode::kWholeRows) rowSel_ = RowUnder(y);
  if (drag_.mode == DragMode::kCells || drag_.mode == DragMode::kWholeCols) colSel_ = ColUnder(x);
}

GridControl::AutoScrollStep GridControl::AutoScrollStepAt(std::int32_t x, std::int32_t y) const {
  AutoScrollStep step;
  if (!HasDataCells()) return step;
  const auto direction = [](std::int32_t point, std::int64_t fixedExtent, std::int32_t client,
                            std::int32_t twipsPerPixel) {
    if (std::int64_t{point} * twipsPerPixel < fixedExtent) return -1;
    return point >= client ? 1 : 0;
  };
  if (drag_.mode == DragMode::kCells || drag_.mode == DragMode::kWholeRows)
    step.rows = direction(y, rows_.FixedExtent(), clientHeightPx_, twipsPerPixelY_);
  if (drag_.mode == DragMode::kCells || drag_.mode == DragMode::kWholeCols)
    step.cols = direction(x, cols_.FixedExtent(), clientWidthPx_, twipsPerPixelX_);
  return step;
}

bool GridControl::WantsAutoScroll(std::int32_t x, std::int32_t y) const {
  const AutoScrollStep step = AutoScrollStepAt(x, y);
  return step.rows != 0 || step.cols != 0;
}

bool GridControl::AutoScroll(std::int32_t x, std::int32_t y) {
  const AutoScrollStep step = AutoScrollStepAt(x, y);
  if (step.rows == 0 && step.cols == 0) return false;
  const ViewWatch watch(*this);
  rows_.SetFirst(TopRow() + step.rows);
  cols_.SetFirst(LeftCol() + step.cols);
  ExtendDragSelection(x, y);
  Changed(watch.Changes());
  return true;
}

namespace {

// The data item under a point, kept to what is shown: above or left of the
// data area it is the first item shown, past the window's edge the last one
// shown (auto-scroll brings more), below the last item the last item.
std::int32_t DataItemUnder(const GridAxis& axis, std::int32_t point, std::int32_t twipsPerPixel) {
  const std::int64_t offset = std::int64_t{point} * twipsPerPixel;
  std::int32_t item = axis.ItemAt(offset);
  if (offset < axis.FixedExtent())
    item = axis.First();
  else if (axis.ClientExtent() > 0 && offset >= axis.ClientExtent())
    item = std::max(axis.LastVisible(), axis.First());
  else if (item < 0)
    item = axis.Count() - 1;
  return std::clamp(item, axis.Fixed(), axis.Count() - 1);
}

}  // namespace

std::int32_t GridControl::RowUnder(std::int32_t y) const {
  return DataItemUnder(rows_, y, twipsPerPixelY_);
}

std::int32_t GridControl::ColUnder(std::int32_t x) const {
  return DataItemUnder(cols_, x, twipsPerPixelX_);
}

namespace {

// The item whose far border lies within grabbing distance of `point` (pixels):
// the item under the point or the one shown just before it.
std::int32_t BorderNear(const GridAxis& axis, std::int32_t point, std::int32_t twipsPerPixel) {
  std::int32_t under = axis.ItemAt(std::int64_t{point} * twipsPerPixel);
  if (under < 0) {
    if (point < 0 || axis.Count() == 0) return -1;
    under = axis.Count() - 1;  // past the last item: its border may still be near
  }
  std::int32_t before = under - 1;
  if (under == axis.First() && under >= axis.Fixed()) before = axis.Fixed() - 1;
  std::int32_t best = -1;
  std::int64_t bestDistance = kBorderGrabPx + 1;
  for (std::int32_t item : {under, before}) {
    if (item < 0) continue;
    const std::int64_t border = (axis.Position(item) + axis.Size(item)) / twipsPerPixel;
    const std::int64_t distance = std::abs(border - point);
    if (distance < bestDistance) {
      best = item;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

std::int32_t GridControl::ColBorderNear(std::int32_t x) const {
  return BorderNear(cols_, x, twipsPerPixelX_);
}

std::int32_t GridControl::RowBorderNear(std::int32_t y) const {
  return BorderNear(rows_, y, twipsPerPixelY_);
}

GridControl::ResizeTarget GridControl::ResizeTargetAt(std::int32_t x, std::int32_t y) const {
  const std::int64_t xTwips = std::int64_t{x} * twipsPerPixelX_;
  const std::int64_t yTwips = std::int64_t{y} * twipsPerPixelY_;
  if ((allowUserResizing_ & kResizeColumns) && yTwips >= 0 && yTwips < rows_.FixedExtent()) {
    if (const std::int32_t col = ColBorderNear(x); col >= 0) return {DragMode::kResizeCol, col};
  }
  if ((allowUserResizing_ & kResizeRows) && xTwips >= 0 && xTwips < cols_.FixedExtent()) {
    if (const std::int32_t row = RowBorderNear(y); row >= 0) return {DragMode::kResizeRow, row};
  }
  return {};
}

bool GridControl::StartResize(std::int32_t x, std::int32_t y) {
  const ResizeTarget target = ResizeTargetAt(x, y);
  if (target.mode == DragMode::kResizeCol)
    drag_ = {target.mode, target.index, x, cols_.Size(target.index)};
  else if (target.mode == DragMode::kResizeRow)
    drag_ = {target.mode, target.index, y, rows_.Size(target.index)};
  return target.mode != DragMode::kNone;
}

GridControl::PointerShape GridControl::PointerAt(std::int32_t x, std::int32_t y) const {
  const DragMode mode = IsDragging() ? drag_.mode : ResizeTargetAt(x, y).mode;
  if (mode == DragMode::kResizeCol) return PointerShape::kSizeColumn;
  if (mode == DragMode::kResizeRow) return PointerShape::kSizeRow;
  return PointerShape::kArrow;
}

// Sizes never go below one pixel, so a resized item can still be grabbed again.
void GridControl::Resize(std::int32_t x, std::int32_t y) {
  if (drag_.mode == DragMode::kResizeCol) {
    const std::int64_t width = drag_.startSize + std::int64_t{x - drag_.startPx} * twipsPerPixelX_;
    cols_.SetSize(drag_.index, static_cast<std::int32_t>(
                                   std::clamp<std::int64_t>(width, twipsPerPixelX_, kMaxItemSize)));
  } else {
    const std::int64_t height = drag_.startSize + std::int64_t{y - drag_.startPx} * twipsPerPixelY_;
    rows_.SetSize(drag_.index, static_cast<std::int32_t>(std::clamp<std::int64_t>(
                                   height, twipsPerPixelY_, kMaxItemSize)));
  }
  Changed(kGridRepaint | kGridScrollBars);
}

void GridControl::OnKeyDown(std::uint32_t key, KeyModifiers modifiers) {
  if (!HasDataCells()) return;
  const bool shift = modifiers.shift;
  const bool control = modifiers.control;
  std::int32_t row = shift ? rowSel_ : row_;
  std::int32_t col = shift ? colSel_ : col_;
  const std::int32_t page = std::max(1, FullyVisibleRows());
  switch (key) {
    case msg::kVkUp:
      --row;
      break;
    case msg::kVkDown:
      ++row;
      break;
    case msg::kVkLeft:
      --col;
      break;
    case msg::kVkRight:
      ++col;
      break;
    case msg::kVkPrior:
      row -= page;
      rows_.SetFirst(TopRow() - page);
      break;
    case msg::kVkNext:
      row += page;
      rows_.SetFirst(TopRow() + page);
      break;
    case msg::kVkHome:
      col = FixedCols();
      if (control) row = FixedRows();
      break;
    case msg::kVkEnd:
      col = Cols() - 1;
      if (control) row = Rows() - 1;
      break;
    default:
      return;
  }
  row = std::clamp(row, FixedRows(), Rows() - 1);
  col = std::clamp(col, FixedCols(), Cols() - 1);
  if (!shift) {
    row_ = row;
    col_ = col;
  }
  rowSel_ = row;
  colSel_ = col;
  ScrollIntoView(row, col);
}

void GridControl::ScrollIntoView(std::int32_t row, std::int32_t col) {
  rows_.SetFirst(rows_.FirstShowing(row));
  cols_.SetFirst(cols_.FirstShowing(col));
}

void GridControl::OnScroll(GridAxis& axis, std::uint32_t code, std::int32_t thumb) {
  const std::int32_t page = std::max(1, axis.FullyVisibleCount());
  std::int32_t first = axis.First();
  switch (code) {
    case msg::kSbLineUp:
      first -= 1;
      break;
    case msg::kSbLineDown:
      first += 1;
      break;
    case msg::kSbPageUp:
      first -= page;
      break;
    case msg::kSbPageDown:
      first += page;
      break;
    case msg::kSbThumbTrack:
      if (!scrollTrack_) return;
      first = axis.Fixed() + thumb;
      break;
    case msg::kSbThumbPosition:
      first = axis.Fixed() + thumb;
      break;
    case msg::kSbTop:
      first = axis.Fixed();
      break;
    case msg::kSbBottom:
      first = axis.MaxFirst();
      break;
    default:
      return;
  }
  axis.SetFirst(first);
}

void GridControl::OnWheel(std::int32_t delta) {
  wheelDelta_ += delta;
  const std::int32_t notches = wheelDelta_ / kWheelDelta;
  wheelDelta_ -= notches * kWheelDelta;
  rows_.SetFirst(TopRow() - notches * kWheelLines);
}

}  // namespace dorvane

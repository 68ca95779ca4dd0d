#include "gridcontrol/grid_paint_plan.h"

#include <algorithm>

#include "gridcontrol/cell_number.h"

namespace dorvane {

namespace {

// One row or column as it lies on screen, in pixels.
struct Span {
  std::int32_t index;
  std::int32_t start;
  std::int32_t end;
};

// The pixel that a twips offset falls in starts at or after it, as hit testing
// counts: pixel p covers twips [p * tpp, (p + 1) * tpp).
std::int32_t EdgePx(std::int64_t twips, std::int32_t twipsPerPixel) {
  return static_cast<std::int32_t>((twips + twipsPerPixel - 1) / twipsPerPixel);
}

// The fixed items, then the scrolled ones from `first`, as far as `extentPx`
// reaches. `position(i)` is the twips edge of item i, `size(i)` its size.
template <typename Position, typename Size>
void VisibleSpans(std::int32_t count, std::int32_t fixed, std::int32_t first, std::int32_t extentPx,
                  std::int32_t twipsPerPixel, Position position, Size size,
                  std::vector<Span>& spans) {
  spans.clear();
  const auto walk = [&](std::int32_t from, std::int32_t to) {
    if (from >= to) return;
    std::int64_t twips = position(from);
    for (std::int32_t i = from; i < to; ++i) {
      const std::int32_t start = EdgePx(twips, twipsPerPixel);
      if (start >= extentPx) return;
      twips += size(i);
      const std::int32_t end = EdgePx(twips, twipsPerPixel);
      if (end > start) spans.push_back({i, start, end});
    }
  };
  walk(0, std::min(fixed, count));
  walk(first, count);
}

struct Alignment {
  CellHAlign h;
  CellVAlign v;
};

Alignment AlignmentOf(std::int16_t alignment, std::u16string_view text) {
  if (alignment == GridControl::kAlignGeneral)
    return {ParseCellNumber(text) ? CellHAlign::kRight : CellHAlign::kLeft, CellVAlign::kCenter};
  static constexpr CellHAlign kH[] = {CellHAlign::kLeft, CellHAlign::kCenter, CellHAlign::kRight};
  static constexpr CellVAlign kV[] = {CellVAlign::kTop, CellVAlign::kCenter, CellVAlign::kBottom};
  return {kH[alignment / 3], kV[alignment % 3]};
}

const Span* FindSpan(const std::vector<Span>& spans, std::int32_t index) {
  for (const Span& span : spans)
    if (span.index == index) return &span;
  return nullptr;
}

}  // namespace

void PlanPaint(const GridControl& grid, PaintPlan& plan) {
  plan.width = grid.ClientWidth();
  plan.height = grid.ClientHeight();
  plan.cells.clear();
  plan.columnLines.clear();
  plan.rowLines.clear();
  plan.hasFocusRect = false;

  std::vector<Span> rows;
  std::vector<Span> cols;
  VisibleSpans(
      grid.Rows(), grid.FixedRows(), grid.TopRow(), plan.height, grid.TwipsPerPixelY(),
      [&](std::int32_t row) { return std::int64_t{grid.RowPos(row)}; },
      [&](std::int32_t row) { return grid.RowHeight(row); }, rows);
  VisibleSpans(
      grid.Cols(), grid.FixedCols(), grid.LeftCol(), plan.width, grid.TwipsPerPixelX(),
      [&](std::int32_t col) { return std::int64_t{grid.ColPos(col)}; },
      [&](std::int32_t col) { return grid.ColWidth(col); }, cols);

  plan.cellsBottom = rows.empty() ? 0 : std::min(rows.back().end, plan.height);
  plan.cellsRight = cols.empty() ? 0 : std::min(cols.back().end, plan.width);
  plan.fixedBottom = EdgePx(grid.FixedRows() > 0 ? std::int64_t{grid.RowPos(grid.FixedRows() - 1)} +
                                                       grid.RowHeight(grid.FixedRows() - 1)
                                                 : 0,
                            grid.TwipsPerPixelY());
  plan.fixedRight = EdgePx(grid.FixedCols() > 0 ? std::int64_t{grid.ColPos(grid.FixedCols() - 1)} +
                                                      grid.ColWidth(grid.FixedCols() - 1)
                                                : 0,
                           grid.TwipsPerPixelX());

  const std::int32_t selTop = std::min(grid.Row(), grid.RowSel());
  const std::int32_t selBottom = std::max(grid.Row(), grid.RowSel());
  const std::int32_t selLeft = std::min(grid.Col(), grid.ColSel());
  const std::int32_t selRight = std::max(grid.Col(), grid.ColSel());
  plan.cells.reserve(rows.size() * cols.size());
  for (const Span& row : rows) {
    const bool fixedRow = row.index < grid.FixedRows();
    for (const Span& col : cols) {
      PaintCell cell;
      cell.row = row.index;
      cell.col = col.index;
      cell.rect = {col.start, row.start, col.end, row.end};
      cell.text = grid.TextView(row.index, col.index);
      cell.fixed = fixedRow || col.index < grid.FixedCols();
      if (cell.fixed) {
        cell.hAlign = CellHAlign::kCenter;
        cell.vAlign = CellVAlign::kCenter;
      } else {
        const Alignment alignment = AlignmentOf(grid.ColAlignment(col.index), cell.text);
        cell.hAlign = alignment.h;
        cell.vAlign = alignment.v;
        const bool current = row.index == grid.Row() && col.index == grid.Col();
        cell.selected = !current && row.index >= selTop && row.index <= selBottom &&
                        col.index >= selLeft && col.index <= selRight;
      }
      plan.cells.push_back(cell);
    }
  }
  for (const Span& col : cols)
    if (col.index >= grid.FixedCols()) plan.columnLines.push_back(col.end - 1);
  for (const Span& row : rows)
    if (row.index >= grid.FixedRows()) plan.rowLines.push_back(row.end - 1);

  if (grid.FocusRect() != 0 && grid.Row() >= grid.FixedRows() && grid.Col() >= grid.FixedCols()) {
    const Span* row = FindSpan(rows, grid.Row());
    const Span* col = FindSpan(cols, grid.Col());
    if (row != nullptr && col != nullptr) {
      plan.hasFocusRect = true;
      plan.focusRect = {col->start, row->start, col->end - 1, row->end - 1};
    }
  }
}

}  // namespace dorvane

// Drives the grid control with arbitrary property changes and window messages
// and checks that its state stays consistent, that what it paints matches its
// hit test, and that whatever changed on screen was reported to the window.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "gridcontrol/grid_control.h"
#include "gridcontrol/grid_paint_plan.h"
#include "platform/window_messages.h"

namespace {

using dorvane::GridControl;
using dorvane::GridError;
using dorvane::PaintPlan;
namespace msg = dorvane::msg;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::int32_t Small(std::int32_t limit) { return static_cast<std::int32_t>(Byte()) % limit; }
  std::int32_t Signed16() { return static_cast<std::int16_t>(Byte() | Byte() << 8); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

void Check(bool condition, int line) {
  if (condition) return;
  std::fprintf(stderr, "inconsistent grid state, check at line %d\n", line);
  std::abort();
}
#define CHECK(condition) Check((condition), __LINE__)

void CheckConsistent(const GridControl& grid) {
  const auto inside = [](std::int32_t value, std::int32_t count) {
    return count == 0 ? value == 0 : value >= 0 && value < count;
  };
  CHECK(inside(grid.Row(), grid.Rows()) && inside(grid.RowSel(), grid.Rows()));
  CHECK(inside(grid.Col(), grid.Cols()) && inside(grid.ColSel(), grid.Cols()));
  CHECK(grid.TopRow() >= grid.FixedRows() && grid.TopRow() <= grid.MaxTopRow());
  CHECK(grid.LeftCol() >= grid.FixedCols() && grid.LeftCol() <= grid.MaxLeftCol());
  CHECK(grid.VerticalScrollPos() >= grid.VerticalScrollRange().min &&
        grid.VerticalScrollPos() <= grid.VerticalScrollRange().max);
  const std::int32_t fixed = grid.FixedRows();
  const std::int32_t fixedBottom =
      fixed > 0 ? grid.RowPos(fixed - 1) + grid.RowHeight(fixed - 1) : 0;
  if (grid.TopRow() < grid.Rows()) CHECK(grid.RowPos(grid.TopRow()) == fixedBottom);
  // Neighbours on the same side of the fixed line are one height apart.
  for (std::int32_t row = 1; row < grid.Rows(); ++row)
    if (row != fixed) CHECK(grid.RowPos(row) - grid.RowPos(row - 1) == grid.RowHeight(row - 1));
  // The extent of text is where a scan finds the last text: over all columns
  // first, while some bounds may be loose, then column by column.
  const std::int32_t all = grid.RowsWithText(0, grid.Cols() - 1);
  std::int32_t widest = 0;
  for (std::int32_t col = 0; col < grid.Cols(); ++col) {
    std::int32_t rows = grid.Rows();
    while (rows > 0 && grid.TextView(rows - 1, col).empty()) --rows;
    CHECK(grid.RowsWithText(col, col) == rows);
    widest = std::max(widest, rows);
    // Stepping from text to text finds every text of the column.
    std::int32_t next = grid.NextRowWithText(col, col, 0);
    for (std::int32_t row = 0; row < rows; ++row) {
      if (grid.TextView(row, col).empty()) continue;
      CHECK(next == row);
      next = grid.NextRowWithText(col, col, row + 1);
    }
    CHECK(next == GridControl::kNoRow);
  }
  CHECK(all == widest);
}

// What the window shows: painted cells with their texts, and the scroll bars.
struct Screen {
  std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                         std::int32_t, std::u16string, int>>
      cells;
  std::vector<std::int32_t> lines;
  std::vector<std::int32_t> bars;
};

Screen Look(const GridControl& grid, PaintPlan& plan) {
  dorvane::PlanPaint(grid, plan);
  Screen screen;
  for (const auto& cell : plan.cells) {
    CHECK(cell.rect.left < cell.rect.right && cell.rect.top < cell.rect.bottom);
    CHECK(cell.rect.left < plan.width && cell.rect.top < plan.height);
    const auto first = grid.CellAt(cell.rect.left, cell.rect.top);
    const auto last = grid.CellAt(cell.rect.right - 1, cell.rect.bottom - 1);
    CHECK(first.row == cell.row && first.col == cell.col);
    CHECK(last.row == cell.row && last.col == cell.col);
    screen.cells.emplace_back(cell.row, cell.col, cell.rect.left, cell.rect.top, cell.rect.right,
                              cell.rect.bottom, std::u16string(cell.text),
                              cell.fixed | cell.selected << 1 | static_cast<int>(cell.hAlign) << 2 |
                                  static_cast<int>(cell.vAlign) << 4);
  }
  screen.lines = plan.columnLines;
  screen.lines.insert(screen.lines.end(), plan.rowLines.begin(), plan.rowLines.end());
  if (plan.hasFocusRect)
    screen.lines.insert(screen.lines.end(), {plan.focusRect.left, plan.focusRect.top,
                                             plan.focusRect.right, plan.focusRect.bottom});
  screen.bars = {grid.VerticalScrollRange().max, grid.VerticalScrollPos(),
                 grid.FullyVisibleRows(),        grid.HorizontalScrollRange().max,
                 grid.HorizontalScrollPos(),     grid.FullyVisibleCols()};
  return screen;
}

void Step(GridControl& grid, Input& in) {
  switch (in.Small(12)) {
    case 0:
      grid.SetRows(in.Small(64));
      break;
    case 1:
      grid.SetCols(in.Small(16));
      break;
    case 2:
      grid.SetFixedRows(in.Small(3));
      break;
    case 3:
      grid.SetFixedCols(in.Small(3));
      break;
    case 4:
      grid.SetClientSize(in.Small(256) * 4, in.Small(256) * 4);
      break;
    case 5:
      grid.SetRow(in.Small(64));
      grid.SetCol(in.Small(16));
      grid.SetRowSel(in.Small(64));
      grid.SetColSel(in.Small(16));
      break;
    case 6:
      grid.SetRowHeight(in.Small(64), in.Small(128) * 20 - 20);
      grid.SetColWidth(in.Small(16), in.Small(128) * 40 - 40);
      break;
    case 7:
      grid.SetTextMatrix(in.Small(64), in.Small(16), in.Small(3) == 0 ? u"" : u"1e3");
      if (in.Small(4) == 0) grid.NumberRows(in.Small(16), in.Small(64), in.Small(64));
      if (in.Small(2) == 0)
        grid.SetSort(static_cast<std::int16_t>(in.Small(3)));
      else
        grid.SortDataRows(static_cast<std::int16_t>(in.Small(3)));
      break;
    case 8:
      grid.SetAllowUserResizing(in.Small(4));
      grid.SetRowHeightMin(in.Small(64) * 15);
      break;
    case 9: {
      static constexpr std::uint32_t kMouse[] = {msg::kLButtonDown, msg::kMouseMove,
                                                 msg::kLButtonUp, msg::kLButtonDblClk};
      const std::uint32_t message = kMouse[in.Small(4)];
      const std::uintptr_t keys = in.Byte();
      const std::int32_t x = in.Signed16();
      const std::int32_t y = in.Signed16();
      grid.HandleMessage(message, keys, msg::MakePointParam(x, y));
      if (grid.WantsAutoScroll(x, y)) CHECK(grid.AutoScroll(x, y));
      break;
    }
    case 10:
      grid.HandleKey(static_cast<std::uint32_t>(0x21 + in.Small(8)),
                     {in.Small(2) == 1, in.Small(2) == 1});
      if (in.Small(8) == 0) grid.SetRedraw(!grid.Redraw());
      break;
    default: {
      const std::uint32_t message = in.Small(2) == 0 ? msg::kVScroll : msg::kHScroll;
      const std::uintptr_t code =
          static_cast<std::uintptr_t>(in.Small(9)) | static_cast<std::uintptr_t>(in.Byte()) << 16;
      grid.HandleMessage(message, code, 0);
      grid.HandleMessage(msg::kMouseWheel, static_cast<std::uintptr_t>(in.Signed16()) << 16, 0);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GridControl grid;
  Input in(data, size);
  if (in.Small(2) == 1) grid.SetTwipsPerPixel(10 + in.Small(6), 10 + in.Small(6));
  PaintPlan plan;
  Screen before = Look(grid, plan);
  grid.TakeChanges();
  while (!in.Empty()) {
    try {
      Step(grid, in);
    } catch (const GridError& error) {
      CHECK(error.code() == dorvane::kGridErrorBadIndex ||
            error.code() == dorvane::kGridErrorInvalidValue);
    }
    CheckConsistent(grid);
    Screen after = Look(grid, plan);
    const dorvane::GridChanges changes = grid.TakeChanges();
    if (after.cells != before.cells || after.lines != before.lines)
      CHECK(changes & dorvane::kGridRepaint);
    if (after.bars != before.bars) CHECK(changes & dorvane::kGridScrollBars);
    before = std::move(after);
  }
  return 0;
}

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gridcontrol/flex_grid.h"
#include "gridcontrol/grid_axis.h"

namespace dorvane {

// What a change of the control made stale on screen.
using GridChanges = std::uint8_t;
inline constexpr GridChanges kGridRepaint = 1;     // cells, sizes, selection, settings
inline constexpr GridChanges kGridScrollBars = 2;  // scroll range or position

// The control's window. It is told once when the control goes from "nothing
// pending" to "something pending" (with everything pending), and consumes what
// it has brought up to date with TakeChanges, so a paste of thousands of cells
// costs one call.
class GridChangeListener {
 public:
  virtual void OnGridChanged(GridChanges pending) = 0;

 protected:
  ~GridChangeListener() = default;
};

// Our grid control: the cell store, current cell and selection, scrolling, row
// heights and column widths, generic sort, and the control's own mouse and
// keyboard behaviour as portable message handling. Its window only paints the
// visible cells, keeps the scroll bars in step and forwards input here.
class GridControl : public FlexGrid {
 public:
  static constexpr std::int32_t kDefaultRowHeight = 240;  // twips
  static constexpr std::int32_t kDefaultColWidth = 960;   // twips

  GridControl();

  // FlexGrid
  std::int32_t Rows() const override;
  void SetRows(std::int32_t rows) override;
  std::int32_t Cols() const override;
  void SetCols(std::int32_t cols) override;
  std::int32_t FixedRows() const override;
  void SetFixedRows(std::int32_t rows) override;
  std::int32_t FixedCols() const override;
  void SetFixedCols(std::int32_t cols) override;
  std::int32_t TopRow() const override;
  std::int32_t LeftCol() const override;
  std::int32_t Row() const override;
  void SetRow(std::int32_t row) override;
  std::int32_t Col() const override;
  void SetCol(std::int32_t col) override;
  std::int32_t RowSel() const override;
  void SetRowSel(std::int32_t row) override;
  std::int32_t ColSel() const override;
  void SetColSel(std::int32_t col) override;
  std::u16string Text() const override;
  std::u16string TextMatrix(std::int32_t row, std::int32_t col) const override;
  std::u16string_view TextView(std::int32_t row, std::int32_t col) const override;
  void SetTextMatrix(std::int32_t row, std::int32_t col, std::u16string_view text) override;
  void AppendRowTexts(std::int32_t row, std::int32_t firstCol, std::int32_t lastCol,
                      std::vector<char16_t>& units) const override;
  void SetColumnTexts(std::int32_t col, std::int32_t firstRow,
                      std::span<const std::u16string> texts) override;
  void NumberRows(std::int32_t col, std::int32_t firstRow, std::int32_t lastRow) override;
  std::int32_t RowsWithText(std::int32_t firstCol, std::int32_t lastCol) const override;
  std::int32_t NextRowWithText(std::int32_t firstCol, std::int32_t lastCol,
                               std::int32_t row) const override;
  std::int32_t RowPos(std::int32_t row) const override;
  std::int32_t ColPos(std::int32_t col) const override;
  std::int32_t RowHeight(std::int32_t row) const override;
  std::int32_t ColWidth(std::int32_t col) const override;
  void SetColWidth(std::int32_t col, std::int32_t twips) override;
  void SetRowHeightMin(std::int32_t twips) override;
  void SetColAlignment(std::int32_t col, std::int16_t alignment) override;
  void SetFocusRect(std::int32_t value) override;
  void SetAllowUserResizing(std::int32_t value) override;
  void SetScrollTrack(bool on) override;
  void SetRedraw(bool on) override;
  void SetSort(std::int16_t order) override;
  void SortDataRows(std::int16_t order) override;
  std::uintptr_t hWnd() const override;

  // The window side.
  void SetWindow(std::uintptr_t window) { binding_.window = window; }
  // Null for none. While Redraw is false nobody is told; turning it on again
  // tells what piled up meanwhile.
  void SetChangeListener(GridChangeListener* listener) { binding_.listener = listener; }
  GridChanges PendingChanges() const { return pending_; }
  GridChanges TakeChanges(GridChanges which = kGridRepaint | kGridScrollBars);
  void SetClientSize(std::int32_t widthPx, std::int32_t heightPx);
  void SetTwipsPerPixel(std::int32_t x, std::int32_t y);
  std::int32_t TwipsPerPixelX() const { return twipsPerPixelX_; }
  std::int32_t TwipsPerPixelY() const { return twipsPerPixelY_; }
  // The control's own handling of a window message (mouse, keys, scrolling);
  // returns the message result. Painting is the window's. A key that comes
  // this way counts as pressed without Shift or Ctrl.
  std::intptr_t HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  // WM_KEYDOWN does not carry the modifier keys: the window reads them when
  // the key arrives and passes them with it.
  struct KeyModifiers {
    bool shift = false;
    bool control = false;
  };
  void HandleKey(std::uint32_t key, KeyModifiers modifiers);
  // A scroll bar request; `thumb` is the full thumb position (scroll bar
  // messages carry only 16 bits of it).
  void HandleScroll(bool vertical, std::uint32_t code, std::int32_t thumb);

  // While drag-selecting with the pointer past an edge of the data area, the
  // window calls AutoScroll on a timer: it scrolls one line or column toward
  // the pointer and extends the selection. False (and nothing done) when no
  // selection drag runs or the pointer is inside the data area.
  bool WantsAutoScroll(std::int32_t xPx, std::int32_t yPx) const;
  bool AutoScroll(std::int32_t xPx, std::int32_t yPx);
  bool IsDragging() const { return drag_.mode != DragMode::kNone; }

  // The pointer shape a point asks for: a header border that a press would
  // start resizing, or the border being resized.
  enum class PointerShape : std::uint8_t { kArrow, kSizeColumn, kSizeRow };
  PointerShape PointerAt(std::int32_t xPx, std::int32_t yPx) const;

  // Scrolling, for the window's scroll bars and thumb drag. Setting TopRow or
  // LeftCol keeps it inside the scroll range.
  struct ScrollRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
  };
  void SetTopRow(std::int32_t row);
  void SetLeftCol(std::int32_t col);
  std::int32_t MaxTopRow() const { return rows_.MaxFirst(); }
  std::int32_t MaxLeftCol() const { return cols_.MaxFirst(); }
  ScrollRange VerticalScrollRange() const { return {0, MaxTopRow() - FixedRows()}; }
  std::int32_t VerticalScrollPos() const { return TopRow() - FixedRows(); }
  ScrollRange HorizontalScrollRange() const { return {0, MaxLeftCol() - FixedCols()}; }
  std::int32_t HorizontalScrollPos() const { return LeftCol() - FixedCols(); }
  // Scrollable rows / columns wholly inside the client area from TopRow / LeftCol.
  std::int32_t FullyVisibleRows() const { return rows_.FullyVisibleCount(); }
  std::int32_t FullyVisibleCols() const { return cols_.FullyVisibleCount(); }
  // Last scrollable row / column at least partly inside the client area, for
  // painting (TopRow - 1 / LeftCol - 1 when none is).
  std::int32_t LastVisibleRow() const { return rows_.LastVisible(); }
  std::int32_t LastVisibleCol() const { return cols_.LastVisible(); }

  // The cell under a client point in pixels; row or col is -1 outside the cells.
  struct CellHit {
    std::int32_t row = -1;
    std::int32_t col = -1;
  };
  CellHit CellAt(std::int32_t xPx, std::int32_t yPx) const;

  std::int32_t ClientWidth() const { return clientWidthPx_; }
  std::int32_t ClientHeight() const { return clientHeightPx_; }

  // Stored settings, for the painter.
  std::int32_t RowHeightMin() const { return rows_.MinSize(); }
  std::int16_t ColAlignment(std::int32_t col) const;
  std::int32_t FocusRect() const { return focusRect_; }
  std::int32_t AllowUserResizing() const { return allowUserResizing_; }
  bool ScrollTrack() const { return scrollTrack_; }
  bool Redraw() const { return redraw_; }
  // A row resized by the user (or by the program) keeps its height.
  void SetRowHeight(std::int32_t row, std::int32_t twips);

  static constexpr std::int16_t kAlignGeneral = 9;
  static constexpr std::int32_t kResizeColumns = 1;
  static constexpr std::int32_t kResizeRows = 2;
  static constexpr std::int32_t kMaxItemSize = 1 << 24;  // twips, about 11,600 inches
  // Far beyond any table the editor keeps; a wild count fails instead of
  // exhausting memory.
  static constexpr std::int64_t kMaxCells = std::int64_t{1} << 24;

 private:
  enum class DragMode { kNone, kCells, kWholeRows, kWholeCols, kResizeRow, kResizeCol };
  struct Drag {
    DragMode mode = DragMode::kNone;
    std::int32_t index = 0;      // row or column being resized
    std::int32_t startPx = 0;    // pointer position when resizing started
    std::int32_t startSize = 0;  // its size then, twips
  };

  // Not copied with the control: a copy belongs to no window.
  struct WindowBinding {
    std::uintptr_t window = 0;
    GridChangeListener* listener = nullptr;
    WindowBinding() = default;
    WindowBinding(const WindowBinding&) {}
    WindowBinding& operator=(const WindowBinding&) { return *this; }
  };
  struct ResizeTarget {
    DragMode mode = DragMode::kNone;
    std::int32_t index = 0;
  };
  struct AutoScrollStep {
    std::int32_t rows = 0;
    std::int32_t cols = 0;
  };

  void Changed(GridChanges changes);
  void CheckRow(std::int32_t row) const;
  void CheckCol(std::int32_t col) const;
  std::size_t CellIndex(std::int32_t row, std::int32_t col) const;
  bool IsNumbered(std::int32_t row, std::int32_t col) const;
  void ClearNumbered(std::int32_t row, std::int32_t col) const;
  // The cell's stored text, a numbered cell's number written out first.
  std::u16string& Cell(std::int32_t row, std::int32_t col) const;
  void MarkText(std::int32_t row, std::int32_t col, bool hasText);
  void StoreText(std::int32_t row, std::int32_t col, std::u16string_view text);
  void KeepSelectionInside();

  void OnButtonDown(std::uintptr_t keys, std::int32_t x, std::int32_t y);
  void OnMouseMove(std::uintptr_t keys, std::int32_t x, std::int32_t y);
  void OnKeyDown(std::uint32_t key, KeyModifiers modifiers);
  void OnScroll(GridAxis& axis, std::uint32_t code, std::int32_t thumb);
  void OnWheel(std::int32_t delta);
  bool HasDataCells() const;
  ResizeTarget ResizeTargetAt(std::int32_t x, std::int32_t y) const;
  bool StartResize(std::int32_t x, std::int32_t y);
  AutoScrollStep AutoScrollStepAt(std::int32_t x, std::int32_t y) const;
  void ExtendDragSelection(std::int32_t x, std::int32_t y);
  void Resize(std::int32_t x, std::int32_t y);
  std::int32_t RowUnder(std::int32_t y) const;
  std::int32_t ColUnder(std::int32_t x) const;
  void ScrollIntoView(std::int32_t row, std::int32_t col);
  std::int32_t ColBorderNear(std::int32_t x) const;
  std::int32_t RowBorderNear(std::int32_t y) const;
  void SortRows(std::int16_t sortOrder, std::int32_t firstCol);

  WindowBinding binding_;
  GridChanges pending_ = 0;
  GridAxis rows_;
  GridAxis cols_;
  // Row-major, Cols to a row; rows past Rows are empty. Mutable: a numbered
  // cell's text is written out when first read.
  mutable std::vector<std::u16string> cells_;
  // Per column, a bit per row whose text is its index, stored nowhere until
  // first read: tens of thousands of row titles cost a fill of bits. Rows past
  // the end have none.
  mutable std::vector<std::vector<std::uint64_t>> numbered_;
  // Per column, a row count below which all its text lies; brought down to
  // the last row with text when asked.
  mutable std::vector<std::int32_t> textRows_;
  // Per column, a bit per row that holds text (a numbered row does), so that
  // the next text is found a word of 64 rows at a time. Rows past the end have none.
  std::vector<std::vector<std::uint64_t>> textBits_;
  std::vector<std::int16_t> alignments_;
  std::int32_t row_ = 1;
  std::int32_t col_ = 1;
  std::int32_t rowSel_ = 1;
  std::int32_t colSel_ = 1;
  std::int32_t twipsPerPixelX_ = 15;
  std::int32_t twipsPerPixelY_ = 15;
  std::int32_t clientWidthPx_ = 0;
  std::int32_t clientHeightPx_ = 0;
  std::int32_t focusRect_ = 1;
  std::int32_t allowUserResizing_ = 0;
  bool scrollTrack_ = false;
  bool redraw_ = true;
  Drag drag_;
  std::int32_t wheelDelta_ = 0;  // wheel movement not yet turned into lines
};

}  // namespace dorvane

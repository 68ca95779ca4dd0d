#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flex_grid.h"

namespace dorvane {

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
  void SetTextMatrix(std::int32_t row, std::int32_t col, std::u16string_view text) override;
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
  std::uintptr_t hWnd() const override;

  // The window side.
  void SetWindow(std::uintptr_t window) { window_ = window; }
  void SetClientSize(std::int32_t widthPx, std::int32_t heightPx);
  void SetTwipsPerPixel(std::int32_t x, std::int32_t y);
  // The control's own handling of a window message (mouse, keys, scrolling);
  // returns the message result. Painting is the window's.
  std::intptr_t HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  std::uintptr_t window_ = 0;
  // The rest is the control's own.
};

}  // namespace dorvane

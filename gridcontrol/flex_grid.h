#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dorvane {

// HRESULT-like codes of a failed grid access.
inline constexpr std::int32_t kGridErrorPointer =
    static_cast<std::int32_t>(0x80004003);  // no control
inline constexpr std::int32_t kGridErrorBadIndex =
    static_cast<std::int32_t>(0x8002000B);  // out of range
inline constexpr std::int32_t kGridErrorInvalidValue = static_cast<std::int32_t>(0x80070057);

class GridError : public std::runtime_error {
 public:
  GridError(std::int32_t code, const char* what) : std::runtime_error(what), code_(code) {}
  std::int32_t code() const { return code_; }

 private:
  std::int32_t code_;
};

// Property interface of the grid control, with the meanings the editor relies on.
// Indexes count fixed rows and columns; sizes and positions are twips. A failed
// access (index out of range) throws GridError.
class FlexGrid {
 public:
  virtual ~FlexGrid() = default;

  virtual std::int32_t Rows() const = 0;
  virtual void SetRows(std::int32_t rows) = 0;  // adds or drops rows at the end
  virtual std::int32_t Cols() const = 0;
  virtual void SetCols(std::int32_t cols) = 0;  // adds or drops columns at the end
  virtual std::int32_t FixedRows() const = 0;
  virtual void SetFixedRows(std::int32_t rows) = 0;
  virtual std::int32_t FixedCols() const = 0;
  virtual void SetFixedCols(std::int32_t cols) = 0;

  virtual std::int32_t TopRow() const = 0;
  virtual std::int32_t LeftCol() const = 0;

  // Setting Row or Col makes that cell current and collapses the selection to it.
  virtual std::int32_t Row() const = 0;
  virtual void SetRow(std::int32_t row) = 0;
  virtual std::int32_t Col() const = 0;
  virtual void SetCol(std::int32_t col) = 0;
  virtual std::int32_t RowSel() const = 0;
  virtual void SetRowSel(std::int32_t row) = 0;
  virtual std::int32_t ColSel() const = 0;
  virtual void SetColSel(std::int32_t col) = 0;

  virtual std::u16string Text() const = 0;  // text of the current cell
  virtual std::u16string TextMatrix(std::int32_t row, std::int32_t col) const = 0;
  // The same text without a copy; valid until the cell changes.
  virtual std::u16string_view TextView(std::int32_t row, std::int32_t col) const = 0;
  virtual void SetTextMatrix(std::int32_t row, std::int32_t col, std::u16string_view text) = 0;
  // The texts of a row's cells firstCol..lastCol added to `units`, each up to
  // its first NUL and followed by one NUL: an undo image of tens of thousands
  // of rows reads a row a call.
  virtual void AppendRowTexts(std::int32_t row, std::int32_t firstCol, std::int32_t lastCol,
                              std::vector<char16_t>& units) const = 0;
  // SetTextMatrix for rows firstRow, firstRow + 1, ... of one column, one text
  // each, in one call: numbering tens of thousands of rows pays the call once.
  virtual void SetColumnTexts(std::int32_t col, std::int32_t firstRow,
                              std::span<const std::u16string> texts) = 0;
  // Each row firstRow..lastRow of a column takes its own index as its text
  // ("1", "2", ...), as row titles do; nothing when firstRow > lastRow.
  virtual void NumberRows(std::int32_t col, std::int32_t firstRow, std::int32_t lastRow) = 0;
  // One past the last row with text in the columns first..last (0 when none
  // has any, or when first > last): the rows from there down are empty in
  // those columns, so a command on a table of tens of thousands of rows need
  // not read or write them.
  virtual std::int32_t RowsWithText(std::int32_t firstCol, std::int32_t lastCol) const = 0;
  // The first row from `row` down with text in the columns first..last, or
  // kNoRow when there is none: a command can step from text to text over
  // thousands of empty rows.
  static constexpr std::int32_t kNoRow = std::numeric_limits<std::int32_t>::max();
  virtual std::int32_t NextRowWithText(std::int32_t firstCol, std::int32_t lastCol,
                                       std::int32_t row) const = 0;

  // Edges relative to the client area, as scrolled.
  virtual std::int32_t RowPos(std::int32_t row) const = 0;
  virtual std::int32_t ColPos(std::int32_t col) const = 0;
  virtual std::int32_t RowHeight(std::int32_t row) const = 0;
  virtual std::int32_t ColWidth(std::int32_t col) const = 0;
  virtual void SetColWidth(std::int32_t col, std::int32_t twips) = 0;
  virtual void SetRowHeightMin(std::int32_t twips) = 0;
  virtual void SetColAlignment(std::int32_t col, std::int16_t alignment) = 0;  // 4 = centred

  virtual void SetFocusRect(std::int32_t value) = 0;
  virtual void SetAllowUserResizing(std::int32_t value) = 0;  // 3 = rows and columns
  virtual void SetScrollTrack(bool on) = 0;
  virtual void SetRedraw(bool on) = 0;
  // 1 generic ascending, 2 generic descending: rows Row..RowSel by columns Col..ColSel.
  virtual void SetSort(std::int16_t order) = 0;
  // SetSort, but the fixed columns stay where they are: row titles keep their rows.
  virtual void SortDataRows(std::int16_t order) = 0;

  virtual std::uintptr_t hWnd() const = 0;
};

}  // namespace dorvane

#include "gridcontrol/grid_control.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace dorvane {

namespace {

constexpr std::int32_t kInitialRows = 2;
constexpr std::int32_t kInitialCols = 2;
constexpr std::int32_t kInitialFixed = 1;

[[noreturn]] void ThrowBadIndex(const char* what) {
  throw GridError(kGridErrorBadIndex, what);
}
[[noreturn]] void ThrowInvalidValue(const char* what) {
  throw GridError(kGridErrorInvalidValue, what);
}

// A row index in decimal, a title's text, written straight as UTF-16: titles
// are read by the tens of thousands.
struct IndexDigits {
  explicit IndexDigits(std::int32_t index) {
    auto value = static_cast<std::uint32_t>(index);  // indexes are never negative
    do {
      units[--first] = static_cast<char16_t>(u'0' + value % 10);
      value /= 10;
    } while (value != 0);
  }
  std::u16string_view View() const { return {units.data() + first, units.size() - first}; }

  std::array<char16_t, 10> units;
  std::size_t first = units.size();
};

void AssignIndexText(std::u16string& text, std::int32_t index) {
  text.assign(IndexDigits(index).View());
}

constexpr std::size_t kBitsPerWord = 64;

// Sets or clears the bits first..last of a bit vector, growing it as needed.
void SetBits(std::vector<std::uint64_t>& bits, std::size_t first, std::size_t last, bool on) {
  if (last / kBitsPerWord >= bits.size()) {
    if (on) {
      bits.resize(last / kBitsPerWord + 1);
    } else {
      // Bits past the end are clear already.
      if (first / kBitsPerWord >= bits.size()) return;
      last = bits.size() * kBitsPerWord - 1;
    }
  }
  for (std::size_t word = first / kBitsPerWord; word <= last / kBitsPerWord; ++word) {
    const std::size_t from = word == first / kBitsPerWord ? first % kBitsPerWord : 0;
    const std::size_t to = word == last / kBitsPerWord ? last % kBitsPerWord : kBitsPerWord - 1;
    const std::uint64_t mask = (~std::uint64_t{0} >> (kBitsPerWord - 1 - to)) >> from << from;
    bits[word] = on ? bits[word] | mask : bits[word] & ~mask;
  }
}

// One past the last set bit of first..end - 1, or `first` when none is set.
std::size_t EndOfLastBit(const std::vector<std::uint64_t>& bits, std::size_t first,
                         std::size_t end) {
  for (end = std::min(end, bits.size() * kBitsPerWord); end > first;) {
    const std::size_t word = (end - 1) / kBitsPerWord;
    const std::size_t used = end - word * kBitsPerWord;  // bits of this word below end
    const std::uint64_t found =
        used == kBitsPerWord ? bits[word] : bits[word] & ((std::uint64_t{1} << used) - 1);
    if (found != 0)
      return std::max(first, word * kBitsPerWord + kBitsPerWord -
                                 static_cast<std::size_t>(std::countl_zero(found)));
    end = word * kBitsPerWord;
  }
  return first;
}

// Calls visit(index) for each bit of first..end - 1 set in `bits` but not in `except`.
template <typename Visit>
void ForEachBit(const std::vector<std::uint64_t>& bits, const std::vector<std::uint64_t>& except,
                std::size_t first, std::size_t end, Visit visit) {
  end = std::min(end, bits.size() * kBitsPerWord);
  for (std::size_t word = first / kBitsPerWord; word * kBitsPerWord < end; ++word) {
    std::uint64_t found = bits[word] & ~(word < except.size() ? except[word] : 0);
    if (word == first / kBitsPerWord) found = found >> first % kBitsPerWord << first % kBitsPerWord;
    if (end - word * kBitsPerWord < kBitsPerWord)
      found &= (std::uint64_t{1} << (end - word * kBitsPerWord)) - 1;
    for (; found != 0; found &= found - 1)
      visit(word * kBitsPerWord + static_cast<std::size_t>(std::countr_zero(found)));
  }
}

// Drops the bits from `count` on.
void CutBits(std::vector<std::uint64_t>& bits, std::size_t count) {
  if (count >= bits.size() * kBitsPerWord) return;
  bits.resize((count + kBitsPerWord - 1) / kBitsPerWord);
  if (count % kBitsPerWord != 0)
    bits.back() &= ~std::uint64_t{0} >> (kBitsPerWord - count % kBitsPerWord);
}

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

GridControl::GridControl()
    : rows_(kInitialRows, kInitialFixed, kDefaultRowHeight),
      cols_(kInitialCols, kInitialFixed, kDefaultColWidth),
      cells_(static_cast<std::size_t>(kInitialRows * kInitialCols)),
      numbered_(static_cast<std::size_t>(kInitialCols)),
      textRows_(static_cast<std::size_t>(kInitialCols), 0),
      textBits_(static_cast<std::size_t>(kInitialCols)),
      alignments_(static_cast<std::size_t>(kInitialCols), kAlignGeneral) {}

void GridControl::Changed(GridChanges changes) {
  const GridChanges added = changes & ~pending_;
  pending_ |= changes;
  if (added != 0 && redraw_ && binding_.listener != nullptr)
    binding_.listener->OnGridChanged(pending_);
}

GridChanges GridControl::TakeChanges(GridChanges which) {
  const GridChanges taken = pending_ & which;
  pending_ &= ~which;
  return taken;
}

void GridControl::CheckRow(std::int32_t row) const {
  if (row < 0 || row >= rows_.Count()) ThrowBadIndex("row index out of range");
}

void GridControl::CheckCol(std::int32_t col) const {
  if (col < 0 || col >= cols_.Count()) ThrowBadIndex("column index out of range");
}

std::size_t GridControl::CellIndex(std::int32_t row, std::int32_t col) const {
  return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_.Count()) +
         static_cast<std::size_t>(col);
}

bool GridControl::IsNumbered(std::int32_t row, std::int32_t col) const {
  const std::vector<std::uint64_t>& bits = numbered_[static_cast<std::size_t>(col)];
  const auto at = static_cast<std::size_t>(row);
  return at / kBitsPerWord < bits.size() && (bits[at / kBitsPerWord] >> at % kBitsPerWord & 1) != 0;
}

void GridControl::ClearNumbered(std::int32_t row, std::int32_t col) const {
  const auto at = static_cast<std::size_t>(row);
  SetBits(numbered_[static_cast<std::size_t>(col)], at, at, false);
}

std::u16string& GridControl::Cell(std::int32_t row, std::int32_t col) const {
  std::u16string& cell = cells_[CellIndex(row, col)];
  if (IsNumbered(row, col)) {
    AssignIndexText(cell, row);
    ClearNumbered(row, col);
  }
  return cell;
}

void GridControl::KeepSelectionInside() {
  const auto clampRow = [&](std::int32_t row) {
    return std::clamp(row, 0, std::max(0, Rows() - 1));
  };
  const auto clampCol = [&](std::int32_t col) {
    return std::clamp(col, 0, std::max(0, Cols() - 1));
  };
  row_ = clampRow(row_);
  rowSel_ = clampRow(rowSel_);
  col_ = clampCol(col_);
  colSel_ = clampCol(colSel_);
  if (drag_.mode == DragMode::kResizeRow && drag_.index >= Rows()) drag_ = {};
  if (drag_.mode == DragMode::kResizeCol && drag_.index >= Cols()) drag_ = {};
}

std::int32_t GridControl::Rows() const {
  return rows_.Count();
}

void GridControl::SetRows(std::int32_t rows) {
  if (rows < rows_.Fixed()) ThrowInvalidValue("fewer rows than fixed rows");
  if (std::int64_t{rows} * Cols() > kMaxCells) ThrowInvalidValue("too many cells");
  // Rows are stored one after another, so adding or dropping rows at the end
  // only grows the vector or empties its end. Dropped rows stay built, their
  // texts freed, and rows added later take them again.
  if (rows == Rows()) return;
  if (rows < Rows()) {
    for (std::int32_t col = 0; col < Cols(); ++col) {
      const auto c = static_cast<std::size_t>(col);
      const auto firstDropped = static_cast<std::size_t>(rows);
      // Numbered rows store nothing.
      ForEachBit(textBits_[c], numbered_[c], firstDropped, SIZE_MAX, [&](std::size_t row) {
        std::u16string().swap(cells_[CellIndex(static_cast<std::int32_t>(row), col)]);
      });
      textRows_[c] = std::min(textRows_[c], rows);
      CutBits(numbered_[c], firstDropped);
      CutBits(textBits_[c], firstDropped);
    }
  } else if (const std::size_t cells = static_cast<std::size_t>(rows) * Cols();
             cells > cells_.size()) {
    cells_.resize(cells);
  }
  rows_.SetCount(rows);
  KeepSelectionInside();
  Changed(kGridRepaint | kGridScrollBars);
}

std::int32_t GridControl::Cols() const {
  return cols_.Count();
}

void GridControl::SetCols(std::int32_t cols) {
  if (cols < cols_.Fixed()) ThrowInvalidValue("fewer columns than fixed columns");
  if (std::int64_t{cols} * Rows() > kMaxCells) ThrowInvalidValue("too many cells");
  const std::int32_t old = Cols();
  if (cols == old) return;
  {
    std::vector<std::u16string> cells(static_cast<std::size_t>(Rows()) *
                                      static_cast<std::size_t>(cols));
    const std::int32_t kept = std::min(cols, old);
    for (std::int32_t row = 0; row < Rows(); ++row) {
      auto from = cells_.begin() + static_cast<std::ptrdiff_t>(row) * old;
      std::move(from, from + kept, cells.begin() + static_cast<std::ptrdiff_t>(row) * cols);
    }
    cells_ = std::move(cells);
  }
  cols_.SetCount(cols);
  numbered_.resize(static_cast<std::size_t>(cols));
  textRows_.resize(static_cast<std::size_t>(cols), 0);
  textBits_.resize(static_cast<std::size_t>(cols));
  alignments_.resize(static_cast<std::size_t>(cols), kAlignGeneral);
  KeepSelectionInside();
  Changed(kGridRepaint | kGridScrollBars);
}

std::int32_t GridControl::FixedRows() const {
  return rows_.Fixed();
}

void GridControl::SetFixedRows(std::int32_t rows) {
  if (rows < 0 || rows >= Rows()) ThrowInvalidValue("fixed rows must be fewer than rows");
  rows_.SetFixed(rows);
  Changed(kGridRepaint | kGridScrollBars);
}

std::int32_t GridControl::FixedCols() const {
  return cols_.Fixed();
}

void GridControl::SetFixedCols(std::int32_t cols) {
  if (cols < 0 || cols >= Cols()) ThrowInvalidValue("fixed columns must be fewer than columns");
  cols_.SetFixed(cols);
  Changed(kGridRepaint | kGridScrollBars);
}

std::int32_t GridControl::TopRow() const {
  return rows_.First();
}
std::int32_t GridControl::LeftCol() const {
  return cols_.First();
}

void GridControl::SetTopRow(std::int32_t row) {
  CheckRow(row);
  const std::int32_t old = TopRow();
  rows_.SetFirst(row);
  if (TopRow() != old) Changed(kGridRepaint | kGridScrollBars);
}

void GridControl::SetLeftCol(std::int32_t col) {
  CheckCol(col);
  const std::int32_t old = LeftCol();
  cols_.SetFirst(col);
  if (LeftCol() != old) Changed(kGridRepaint | kGridScrollBars);
}

std::int32_t GridControl::Row() const {
  return row_;
}

void GridControl::SetRow(std::int32_t row) {
  CheckRow(row);
  row_ = rowSel_ = row;
  colSel_ = col_;
  Changed(kGridRepaint);
}

std::int32_t GridControl::Col() const {
  return col_;
}

void GridControl::SetCol(std::int32_t col) {
  CheckCol(col);
  col_ = colSel_ = col;
  rowSel_ = row_;
  Changed(kGridRepaint);
}

std::int32_t GridControl::RowSel() const {
  return rowSel_;
}

void GridControl::SetRowSel(std::int32_t row) {
  CheckRow(row);
  rowSel_ = row;
  Changed(kGridRepaint);
}

std::int32_t GridControl::ColSel() const {
  return colSel_;
}

void GridControl::SetColSel(std::int32_t col) {
  CheckCol(col);
  colSel_ = col;
  Changed(kGridRepaint);
}

std::u16string GridControl::Text() const {
  return TextMatrix(row_, col_);
}

std::u16string GridControl::TextMatrix(std::int32_t row, std::int32_t col) const {
  CheckRow(row);
  CheckCol(col);
  return Cell(row, col);
}

std::u16string_view GridControl::TextView(std::int32_t row, std::int32_t col) const {
  CheckRow(row);
  CheckCol(col);
  return Cell(row, col);
}

void GridControl::AppendRowTexts(std::int32_t row, std::int32_t firstCol, std::int32_t lastCol,
                                 std::vector<char16_t>& units) const {
  if (firstCol > lastCol) return;
  CheckRow(row);
  CheckCol(firstCol);
  CheckCol(lastCol);
  for (std::int32_t col = firstCol; col <= lastCol; ++col) {
    if (IsNumbered(row, col)) {
      // Read without writing it out: the title stays numbered.
      const IndexDigits digits(row);
      units.insert(units.end(), digits.View().begin(), digits.View().end());
    } else {
      const std::u16string& text = cells_[CellIndex(row, col)];
      units.insert(units.end(), text.begin(), std::find(text.begin(), text.end(), u'\0'));
    }
    units.push_back(u'\0');
  }
}

void GridControl::SetTextMatrix(std::int32_t row, std::int32_t col, std::u16string_view text) {
  CheckRow(row);
  CheckCol(col);
  StoreText(row, col, text);
  Changed(kGridRepaint);
}

void GridControl::SetColumnTexts(std::int32_t col, std::int32_t firstRow,
                                 std::span<const std::u16string> texts) {
  if (texts.empty()) return;
  CheckCol(col);
  CheckRow(firstRow);
  CheckRow(static_cast<std::int32_t>(std::min<std::int64_t>(
      firstRow + std::ssize(texts) - 1, std::numeric_limits<std::int32_t>::max())));
  bool changed = false;
  for (std::int32_t row = firstRow; const std::u16string& text : texts) {
    if (!std::ranges::equal(Cell(row, col), text)) {
      StoreText(row, col, text);
      changed = true;
    }
    ++row;
  }
  if (changed) Changed(kGridRepaint);
}

void GridControl::NumberRows(std::int32_t col, std::int32_t firstRow, std::int32_t lastRow) {
  if (firstRow > lastRow) return;
  CheckCol(col);
  CheckRow(firstRow);
  CheckRow(lastRow);
  const auto c = static_cast<std::size_t>(col);
  const auto first = static_cast<std::size_t>(firstRow);
  const auto last = static_cast<std::size_t>(lastRow);
  // A numbered row stores no text: only texts written since go.
  ForEachBit(textBits_[c], numbered_[c], first, last + 1, [&](std::size_t row) {
    std::u16string().swap(cells_[CellIndex(static_cast<std::int32_t>(row), col)]);
  });
  SetBits(numbered_[c], first, last, true);
  SetBits(textBits_[c], first, last, true);
  textRows_[c] = std::max(textRows_[c], lastRow + 1);
  Changed(kGridRepaint);
}

void GridControl::MarkText(std::int32_t row, std::int32_t col, bool hasText) {
  const auto at = static_cast<std::size_t>(row);
  SetBits(textBits_[static_cast<std::size_t>(col)], at, at, hasText);
}

void GridControl::StoreText(std::int32_t row, std::int32_t col, std::u16string_view text) {
  ClearNumbered(row, col);
  std::u16string& cell = cells_[CellIndex(row, col)];
  if (text.empty()) {
    // A cleared cell gives its memory back.
    std::u16string().swap(cell);
    MarkText(row, col, false);
  } else {
    MarkText(row, col, true);
    cell.assign(text);
    std::int32_t& textRows = textRows_[static_cast<std::size_t>(col)];
    textRows = std::max(textRows, row + 1);
  }
}

std::int32_t GridControl::RowsWithText(std::int32_t firstCol, std::int32_t lastCol) const {
  if (firstCol > lastCol) return 0;
  CheckCol(firstCol);
  CheckCol(lastCol);
  std::int32_t rows = 0;
  for (std::int32_t col = firstCol; col <= lastCol; ++col) {
    // A bound at or below what an earlier column needs may stay loose.
    std::int32_t& bound = textRows_[static_cast<std::size_t>(col)];
    if (bound > rows)
      bound = static_cast<std::int32_t>(EndOfLastBit(textBits_[static_cast<std::size_t>(col)],
                                                     static_cast<std::size_t>(rows),
                                                     static_cast<std::size_t>(bound)));
    rows = std::max(rows, bound);
  }
  return rows;
}

std::int32_t GridControl::NextRowWithText(std::int32_t firstCol, std::int32_t lastCol,
                                          std::int32_t row) const {
  if (firstCol > lastCol) return kNoRow;
  CheckCol(firstCol);
  CheckCol(lastCol);
  const auto start = static_cast<std::size_t>(std::max(row, 0));
  std::size_t next = kNoRow;
  for (std::int32_t col = firstCol; col <= lastCol; ++col) {
    const std::vector<std::uint64_t>& bits = textBits_[static_cast<std::size_t>(col)];
    // Words past the nearest text found so far need no look.
    const std::size_t end = std::min(bits.size(), next / kBitsPerWord + 1);
    std::size_t word = start / kBitsPerWord;
    if (word >= end) continue;
    std::uint64_t found = bits[word] >> (start % kBitsPerWord) << (start % kBitsPerWord);
    while (found == 0 && ++word < end) found = bits[word];
    if (found != 0)
      next =
          std::min(next, word * kBitsPerWord + static_cast<std::size_t>(std::countr_zero(found)));
  }
  return static_cast<std::int32_t>(next);
}

std::int32_t GridControl::RowPos(std::int32_t row) const {
  CheckRow(row);
  return ClampToInt32(rows_.Position(row));
}

std::int32_t GridControl::ColPos(std::int32_t col) const {
  CheckCol(col);
  return ClampToInt32(cols_.Position(col));
}

std::int32_t GridControl::RowHeight(std::int32_t row) const {
  CheckRow(row);
  return rows_.Size(row);
}

std::int32_t GridControl::ColWidth(std::int32_t col) const {
  CheckCol(col);
  return cols_.Size(col);
}

void GridControl::SetColWidth(std::int32_t col, std::int32_t twips) {
  CheckCol(col);
  if (twips != -1 && (twips < 0 || twips > kMaxItemSize))
    ThrowInvalidValue("column width out of range");
  // -1 gives the column its default width back.
  if (twips == -1)
    cols_.ResetSize(col);
  else
    cols_.SetSize(col, twips);
  Changed(kGridRepaint | kGridScrollBars);
}

void GridControl::SetRowHeight(std::int32_t row, std::int32_t twips) {
  CheckRow(row);
  if (twips != -1 && (twips < 0 || twips > kMaxItemSize))
    ThrowInvalidValue("row height out of range");
  if (twips == -1)
    rows_.ResetSize(row);
  else
    rows_.SetSize(row, twips);
  Changed(kGridRepaint | kGridScrollBars);
}

void GridControl::SetRowHeightMin(std::int32_t twips) {
  if (twips < 0 || twips > kMaxItemSize) ThrowInvalidValue("minimum row height out of range");
  rows_.SetMinSize(twips);
  Changed(kGridRepaint | kGridScrollBars);
}

std::int16_t GridControl::ColAlignment(std::int32_t col) const {
  CheckCol(col);
  return alignments_[static_cast<std::size_t>(col)];
}

void GridControl::SetColAlignment(std::int32_t col, std::int16_t alignment) {
  CheckCol(col);
  if (alignment < 0 || alignment > kAlignGeneral) ThrowInvalidValue("unknown alignment");
  alignments_[static_cast<std::size_t>(col)] = alignment;
  Changed(kGridRepaint);
}

void GridControl::SetFocusRect(std::int32_t value) {
  if (value < 0 || value > 2) ThrowInvalidValue("unknown focus rectangle");
  focusRect_ = value;
  Changed(kGridRepaint);
}

void GridControl::SetAllowUserResizing(std::int32_t value) {
  if (value < 0 || value > (kResizeColumns | kResizeRows)) ThrowInvalidValue("unknown resizing");
  allowUserResizing_ = value;
}

void GridControl::SetScrollTrack(bool on) {
  scrollTrack_ = on;
}

void GridControl::SetRedraw(bool on) {
  redraw_ = on;
  if (on && pending_ != 0 && binding_.listener != nullptr)
    binding_.listener->OnGridChanged(pending_);
}

std::uintptr_t GridControl::hWnd() const {
  return binding_.window;
}

void GridControl::SetClientSize(std::int32_t widthPx, std::int32_t heightPx) {
  clientWidthPx_ = std::max(widthPx, 0);
  clientHeightPx_ = std::max(heightPx, 0);
  cols_.SetClientExtent(std::int64_t{clientWidthPx_} * twipsPerPixelX_);
  rows_.SetClientExtent(std::int64_t{clientHeightPx_} * twipsPerPixelY_);
  Changed(kGridRepaint | kGridScrollBars);
}

void GridControl::SetTwipsPerPixel(std::int32_t x, std::int32_t y) {
  if (x <= 0 || y <= 0) ThrowInvalidValue("twips per pixel must be positive");
  twipsPerPixelX_ = x;
  twipsPerPixelY_ = y;
  SetClientSize(clientWidthPx_, clientHeightPx_);
}

GridControl::CellHit GridControl::CellAt(std::int32_t xPx, std::int32_t yPx) const {
  return {rows_.ItemAt(std::int64_t{yPx} * twipsPerPixelY_),
          cols_.ItemAt(std::int64_t{xPx} * twipsPerPixelX_)};
}

}  // namespace dorvane

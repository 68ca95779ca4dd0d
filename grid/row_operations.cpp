#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "grid/grid_editor.h"
#include "grid/number_text.h"

namespace dorvane {

namespace {

std::u16string CapacityQuestion(std::int32_t capacity) {
  return u"最大支持" + IntegerText(capacity) + u"行，超出部分将被丢弃!\n是否继续?";
}

// The grid's questions: Yes and No, stop icon, No as the default.
bool AskYes(MessageBoxes& messages, std::u16string text, std::u16string caption) {
  MessageRequest request;
  request.text = std::move(text);
  request.caption = std::move(caption);
  request.buttons = MessageButtons::YesNo;
  request.icon = MessageIcon::Stop;
  request.secondButtonDefault = true;
  request.owner = MessageOwner::Grid;
  return messages.Show(request) == MessageAnswer::Yes;
}

// The first row from `row` down that holds text in the columns left..right, or
// whose row `offset` below does: shifting texts by `offset` rows changes no other.
std::int32_t NextShiftedRow(const FlexGrid& grid, std::int32_t left, std::int32_t right,
                            std::int32_t row, std::int32_t offset) {
  const std::int32_t below = grid.NextRowWithText(left, right, row + offset);
  return std::min(grid.NextRowWithText(left, right, row),
                  below == FlexGrid::kNoRow ? below : below - offset);
}

}  // namespace

std::int32_t GridEditor::AddRows(std::int32_t delta) {
  FlexGrid& grid = Grid();
  const std::int32_t oldRows = grid.Rows();
  const std::int32_t capacity = RowCapacity();
  if (delta <= 0 || oldRows >= capacity) return 0;
  const std::int32_t newRows = delta > capacity - oldRows ? capacity : oldRows + delta;
  grid.SetRows(newRows);
  RenumberRows();
  return newRows - oldRows;
}

std::int32_t GridEditor::InsertRows(bool recordUndo) {
  return TryInsertRows(recordUndo).value_or(0);
}

std::optional<std::int32_t> GridEditor::TryInsertRows(bool recordUndo) {
  FlexGrid& grid = Grid();
  CommitPendingEdit();
  // The step covers the refreshed selection, so the shift is measured on it too.
  if (recordUndo) RefreshSelection();
  const std::int32_t oldRows = grid.Rows();
  const std::int32_t capacity = RowCapacity();
  std::int32_t count = selBottom_ - selTop_ + 1;
  if (count > capacity - oldRows) {
    if (!AskYes(messages_, CapacityQuestion(capacity), u"提示")) return std::nullopt;
    count = std::max(capacity - oldRows, 0);
  }
  if (recordUndo) RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::Insert);

  AddRows(count);
  const std::int32_t rows = grid.Rows();
  if (count > 0) {
    // Bottom-up, so that no text is overwritten before it has moved. Empty
    // rows below the last text would only land on empty rows.
    const std::int32_t lowestSource =
        std::min({oldRows, rows - 1 - count, grid.RowsWithText(selLeft_, selRight_) - 1});
    std::vector<std::int32_t> moved;
    for (std::int32_t row = NextShiftedRow(grid, selLeft_, selRight_, selTop_, count);
         row <= lowestSource; row = NextShiftedRow(grid, selLeft_, selRight_, row + 1, count))
      moved.push_back(row);
    for (auto row = moved.rbegin(); row != moved.rend(); ++row)
      for (std::int32_t col = selLeft_; col <= selRight_; ++col)
        PutText(*row + count, col, grid.TextView(*row, col));
  }
  ClearSelection(false);
  return rows - oldRows;
}

std::int32_t GridEditor::DeleteRows(bool recordUndo) {
  FlexGrid& grid = Grid();
  CommitPendingEdit();
  if (recordUndo) RefreshSelection();
  const std::int32_t count = selBottom_ - selTop_ + 1;
  const std::int32_t rows = grid.Rows();
  const bool wholeDataArea = selTop_ == grid.FixedRows() && selBottom_ == rows - 1 &&
                             selLeft_ == grid.FixedCols() && selRight_ == grid.Cols() - 1;
  if (wholeDataArea && !AskYes(messages_, u"删除全部数据?", u"警告")) return 0;
  if (recordUndo) RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::Delete);

  if (wholeDataArea || selBottom_ >= rows - 1) {
    ClearSelection(false);
    return count;
  }
  // Each row takes the texts `count` rows below it, the last rows none. Rows
  // from the last text down are empty and stay so.
  const std::int32_t textRows = grid.RowsWithText(selLeft_, selRight_);
  for (std::int32_t row = NextShiftedRow(grid, selLeft_, selRight_, selTop_, count); row < textRows;
       row = NextShiftedRow(grid, selLeft_, selRight_, row + 1, count))
    for (std::int32_t col = selLeft_; col <= selRight_; ++col)
      PutText(row, col, row + count < textRows ? grid.TextView(row + count, col) : u"");
  return count;
}

int GridEditor::AverageColumns() {
  if (!popupMenuBuilt_) return 0;
  FlexGrid& grid = Grid();
  RefreshSelection();
  RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::Average);
  const std::int32_t lastTextRow = std::min(selBottom_, grid.RowsWithText(selLeft_, selRight_) - 1);
  for (std::int32_t col = selLeft_; col <= selRight_; ++col) {
    float sum = 0.0f;  // single precision on purpose: stored tables expect it
    std::int32_t count = 0;
    for (std::int32_t row = grid.NextRowWithText(col, col, selTop_); row <= lastTextRow;
         row = grid.NextRowWithText(col, col, row + 1)) {
      const std::u16string text = grid.TextMatrix(row, col);
      sum = static_cast<float>(sum + CellTextToNumber(text));
      ++count;
      grid.SetTextMatrix(row, col, u"");
    }
    if (count == 0) continue;
    grid.SetTextMatrix(selTop_, col, ThreeDecimalsTrimmed(static_cast<double>(sum) / count));
  }
  return 1;
}

int GridEditor::SortRows(int mode) {
  if (mode != 3 && mode != 4) return 0;
  FlexGrid& grid = Grid();
  CommitPendingEdit();
  RefreshSelection();
  if (selTop_ == selBottom_) return 0;

  const std::int32_t rows = grid.Rows();
  const std::int32_t fixedRows = grid.FixedRows();
  if (selBottom_ - selTop_ + 1 == rows - fixedRows) {
    RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::SortAll);
    // The rows from the first text to the last one.
    const std::int32_t first = grid.NextRowWithText(grid.FixedCols(), grid.Cols() - 1, fixedRows);
    const std::int32_t last = grid.RowsWithText(grid.FixedCols(), grid.Cols() - 1) - 1;
    if (first < last) {
      // The key columns stay those of the user's selection.
      const std::int32_t col = grid.Col();
      const std::int32_t colSel = grid.ColSel();
      grid.SetRow(first);
      grid.SetCol(col);
      grid.SetRowSel(last);
      grid.SetColSel(colSel);
    }
  } else {
    RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::SortSome);
  }

  // The row titles stay in their rows.
  grid.SortDataRows(mode == 3 ? 1 : 2);
  RefreshSelection();
  return 1;
}

int GridEditor::ReverseColumns() {
  FlexGrid& grid = Grid();
  CommitPendingEdit();
  RefreshSelection();
  RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::BlockChange);
  // Pairs whose upper row is past the last text are two empty cells.
  const std::int32_t textRows = grid.RowsWithText(selLeft_, selRight_);
  for (std::int32_t col = selLeft_; col <= selRight_; ++col) {
    for (std::int32_t upper = selTop_, lower = selBottom_; upper < lower && upper < textRows;
         ++upper, --lower) {
      std::u16string upperText = grid.TextMatrix(upper, col);
      grid.SetTextMatrix(upper, col, grid.TextMatrix(lower, col));
      grid.SetTextMatrix(lower, col, upperText);
    }
  }
  return 1;
}

}  // namespace dorvane

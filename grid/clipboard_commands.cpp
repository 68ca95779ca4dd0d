#include <algorithm>
#include <limits>

#include "grid/clipboard_text.h"
#include "grid/grid_editor.h"

namespace dorvane {

namespace {

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// A paste of `lines` rows at `anchorRow` grows the grid to keep one row below the
// block, as far as the row capacity allows. Returns the last row the paste reaches.
std::int32_t GrowRowsForPaste(GridEditor& editor, const FlexGrid& grid, std::int64_t anchorRow,
                              std::int64_t lines) {
  // At the capacity nothing grows, and the titles need no renumbering.
  const std::int64_t wanted = std::min<std::int64_t>(anchorRow + lines + 1, editor.RowCapacity());
  if (wanted > grid.Rows()) editor.SetRowCount(ClampToInt32(wanted));
  return ClampToInt32(std::min<std::int64_t>(grid.Rows() - 1, anchorRow + lines - 1));
}

std::int32_t LastPastedColumn(const FlexGrid& grid, std::int64_t anchorCol, std::int64_t width) {
  return ClampToInt32(std::min<std::int64_t>(grid.Cols() - 1, anchorCol + width - 1));
}

}  // namespace

int GridEditor::CopySelection() {
  if (!popupMenuBuilt_) return 0;
  RefreshSelection();
  const FlexGrid& grid = Grid();
  const auto block = BuildSylkBlock(
      selBottom_ - selTop_ + 1, selRight_ - selLeft_ + 1, [&](std::int32_t row, std::int32_t col) {
        const std::u16string_view text = grid.TextView(selTop_ + row, selLeft_ + col);
        return text.empty() ? std::string() : codePage_.FromUtf16(text);
      });
  if (!block) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(block->data());
  return clipboard_.ReplaceWith(kClipboardSylk, {bytes, block->size()}) ? 1 : 0;
}

int GridEditor::CutSelection() {
  if (!popupMenuBuilt_) return 0;
  CopySelection();
  // Cleared even when the copy failed: the step lets Undo bring the texts back.
  ClearSelection(true);
  return 1;
}

int GridEditor::PasteClipboard() {
  if (!popupMenuBuilt_) return 0;
  if (clipboard_.IsFormatAvailable(kClipboardUnicodeText))
    PasteUnicodeText();
  else if (clipboard_.IsFormatAvailable(kClipboardSylk))
    PasteSylk();
  return 1;
}

int GridEditor::PasteUnicodeText() {
  if (!popupMenuBuilt_) return 0;
  const auto block = clipboard_.GetBlock(kClipboardUnicodeText);
  if (!block) return 0;
  const std::u16string text = UnicodeTextFromBlock(*block);
  const auto lines = SplitPastedText(text);
  if (!lines) return 0;
  std::size_t widest = 0;
  for (const auto& cells : *lines) widest = std::max(widest, cells.size());
  // Line ends alone carry no cell: nothing to paste, nothing to record.
  if (widest == 0) return 0;

  FlexGrid& grid = Grid();
  const std::int32_t r0 = grid.Row();
  const std::int32_t c0 = grid.Col();
  const std::int32_t lastRow =
      GrowRowsForPaste(*this, grid, r0, static_cast<std::int64_t>(lines->size()));
  const std::int32_t lastCol = LastPastedColumn(grid, c0, static_cast<std::int64_t>(widest));
  RecordStep(r0, lastRow, c0, lastCol, StepKind::BlockChange);

  for (std::size_t i = 0; i < lines->size() && r0 + static_cast<std::int64_t>(i) <= lastRow; ++i) {
    const auto& cells = (*lines)[i];
    for (std::size_t j = 0; j < cells.size() && c0 + static_cast<std::int64_t>(j) <= lastCol; ++j)
      grid.SetTextMatrix(r0 + static_cast<std::int32_t>(i), c0 + static_cast<std::int32_t>(j),
                         cells[j]);
  }
  return 1;
}

int GridEditor::PasteSylk() {
  if (!popupMenuBuilt_) return 0;
  const auto block = clipboard_.GetBlock(kClipboardSylk);
  if (!block) return 0;
  const auto paste = ParseSylkBlock(*block);
  // A block without a size, or with a size of no cells, has nothing to paste.
  if (!paste || paste->columns <= 0 || paste->rows <= 0) return 0;

  FlexGrid& grid = Grid();
  const std::int32_t r0 = grid.Row();
  const std::int32_t c0 = grid.Col();
  const std::int32_t lastRow = GrowRowsForPaste(*this, grid, r0, paste->rows);
  const std::int32_t lastCol = LastPastedColumn(grid, c0, paste->columns);
  RecordStep(r0, lastRow, c0, lastCol, StepKind::BlockChange);

  for (std::size_t k = 0; k < paste->values.size(); ++k) {
    const std::int64_t row = r0 + static_cast<std::int64_t>(k / paste->columns);
    const std::int64_t col = c0 + static_cast<std::int64_t>(k % paste->columns);
    if (row > lastRow) break;
    if (col > lastCol) continue;
    grid.SetTextMatrix(static_cast<std::int32_t>(row), static_cast<std::int32_t>(col),
                       codePage_.ToUtf16(paste->values[k]));
  }
  return 1;
}

int GridEditor::ClearSelection(bool recordUndo) {
  if (!popupMenuBuilt_) return 0;
  if (recordUndo) {
    RefreshSelection();
    RecordStep(selTop_, selBottom_, selLeft_, selRight_, StepKind::Clear);
  }
  FlexGrid& grid = Grid();
  // Without a refresh the fields may describe a grid that has since shrunk.
  const std::int32_t left = std::max(selLeft_, 0);
  const std::int32_t right = std::min(selRight_, grid.Cols() - 1);
  // Rows past the last text are empty already.
  const std::int32_t bottom =
      std::min({selBottom_, grid.Rows() - 1, grid.RowsWithText(left, right) - 1});
  for (std::int32_t row = grid.NextRowWithText(left, right, selTop_); row <= bottom;
       row = grid.NextRowWithText(left, right, row + 1))
    for (std::int32_t col = left; col <= right; ++col) PutText(row, col, u"");
  return 1;
}

}  // namespace dorvane

#include "grid/grid_editor.h"

#include <algorithm>

#include "data/decimal.h"
#include "grid/number_text.h"

namespace dorvane {

namespace {

constexpr std::int32_t kMaxColumns = 27;
constexpr std::int32_t kMaxCells = 340000;
constexpr std::int32_t kMaxRows = 65536;
constexpr std::int16_t kAlignCentre = 4;
constexpr std::size_t kNumberTextUnits = 256;
// 20-pixel rows and 90-pixel columns on a 96-dpi screen, kept in twips so that
// they grow with the screen's resolution as the dialog's font does.
constexpr std::int32_t kTwipsPerPixelAt96Dpi = 1440 / 96;
constexpr std::int32_t kRowHeightTwips = 20 * kTwipsPerPixelAt96Dpi;
constexpr std::int32_t kColumnWidthTwips = 90 * kTwipsPerPixelAt96Dpi;

std::int32_t CapacityForColumns(std::int32_t cols) {
  if (cols <= 0) return kMaxRows;
  return std::min(kMaxCells / cols, kMaxRows);
}

}  // namespace

GridEditor::GridEditor(Clipboard& clipboard, const CodePage& codePage, MessageBoxes& messages)
    : clipboard_(clipboard), codePage_(codePage), messages_(messages) {}

// The history frees itself; the control and its window belong to the host.
GridEditor::~GridEditor() = default;

int GridEditor::AttachControl(FlexGrid* grid, EditorView* view) {
  if (AttachFormattedControl(grid, view) == 0) return 0;
  FormatGrid();
  return 1;
}

int GridEditor::AttachFormattedControl(FlexGrid* grid, EditorView* view) {
  grid_ = grid;
  view_ = view;
  if (grid_ == nullptr || view_ == nullptr) return 0;
  RefreshSelection();
  BuildPopupMenu();
  return 1;
}

std::int32_t GridEditor::twipsPerPixelX() const {
  return view_ != nullptr ? std::max(view_->TwipsPerPixel().x, 1) : TwipsScale{}.x;
}

std::int32_t GridEditor::twipsPerPixelY() const {
  return view_ != nullptr ? std::max(view_->TwipsPerPixel().y, 1) : TwipsScale{}.y;
}

FlexGrid& GridEditor::Grid() const {
  if (grid_ == nullptr) throw GridError(kGridErrorPointer, "no grid control");
  return *grid_;
}

std::int32_t GridEditor::FixedBottomPx() const {
  const FlexGrid& grid = Grid();
  const std::int32_t last = grid.FixedRows() - 1;
  const std::int32_t ty = twipsPerPixelY();
  return grid.RowPos(last) / ty + grid.RowHeight(last) / ty - 1;
}

std::int32_t GridEditor::FixedRightPx() const {
  const FlexGrid& grid = Grid();
  const std::int32_t last = grid.FixedCols() - 1;
  const std::int32_t tx = twipsPerPixelX();
  return grid.ColPos(last) / tx + grid.ColWidth(last) / tx - 1;
}

std::int32_t GridEditor::GetRowCount() const {
  return Grid().Rows();
}

std::optional<std::u16string> GridEditor::GetCellText(std::int32_t row, std::int32_t col) const {
  const FlexGrid& grid = Grid();
  if (row < 0 || row >= grid.Rows() || col < 0 || col >= grid.Cols()) return std::nullopt;
  return grid.TextMatrix(row, col);
}

int GridEditor::SetCellText(std::int32_t row, std::int32_t col, std::u16string_view text) {
  FlexGrid& grid = Grid();
  if (row < 0 || row >= grid.Rows() || col < 0 || col >= grid.Cols()) return 0;
  grid.SetTextMatrix(row, col, text);
  return 1;
}

void GridEditor::PutText(std::int32_t row, std::int32_t col, std::u16string_view text) {
  FlexGrid& grid = Grid();
  if (!std::ranges::equal(grid.TextView(row, col), text)) grid.SetTextMatrix(row, col, text);
}

int GridEditor::FormatGrid() {
  FlexGrid& grid = Grid();
  grid.SetRows(100);
  grid.SetCols(5);
  grid.SetFixedRows(1);
  grid.SetFixedCols(1);
  grid.SetRow(grid.FixedRows());
  grid.SetCol(grid.FixedCols());

  grid.SetRowHeightMin(kRowHeightTwips);
  for (std::int32_t col = 0; col < 3; ++col) grid.SetColWidth(col, kColumnWidthTwips);

  // Cosmetic settings: a control that refuses them still works.
  try {
    grid.SetAllowUserResizing(3);
    grid.SetFocusRect(1);
    grid.SetScrollTrack(true);
  } catch (const GridError&) {
  }

  RefreshSelection();
  return 1;
}

std::int32_t GridEditor::SetColumnCount(std::int32_t n) {
  FlexGrid& grid = Grid();
  n = std::clamp(n, 1, kMaxColumns);
  const std::int32_t capacity = CapacityForColumns(n);
  if (grid.Rows() > capacity) grid.SetRows(capacity);
  grid.SetCols(n);
  for (std::int32_t col = 0; col < n; ++col) grid.SetColAlignment(col, kAlignCentre);
  return grid.Cols();
}

std::int32_t GridEditor::RowCapacity() const {
  return CapacityForColumns(Grid().Cols());
}

std::int32_t GridEditor::SetRowCount(std::int32_t n) {
  FlexGrid& grid = Grid();
  grid.SetRows(std::max(std::min(n, RowCapacity()), 1));
  RenumberRows();
  return grid.Rows();
}

int GridEditor::RenumberRows() {
  FlexGrid& grid = Grid();
  grid.SetColAlignment(0, kAlignCentre);
  grid.NumberRows(0, 1, grid.Rows() - 1);
  return 1;
}

int GridEditor::RefreshSelection() {
  const FlexGrid& grid = Grid();
  const std::int32_t row = grid.Row();
  const std::int32_t col = grid.Col();
  const std::int32_t rowSel = grid.RowSel();
  const std::int32_t colSel = grid.ColSel();
  selTop_ = std::min(row, rowSel);
  selBottom_ = std::max(row, rowSel);
  selLeft_ = std::min(col, colSel);
  selRight_ = std::max(col, colSel);

  const std::int32_t tx = twipsPerPixelX();
  const std::int32_t ty = twipsPerPixelY();
  selRectPx_.top = grid.RowPos(selTop_) / ty - 1;
  selRectPx_.left = grid.ColPos(selLeft_) / tx - 1;
  selRectPx_.right = grid.ColPos(selRight_) / tx + grid.ColWidth(selRight_) / tx - 1;
  selRectPx_.bottom = grid.RowPos(selBottom_) / ty + grid.RowHeight(selBottom_) / ty - 1;

  fillHandleRect_ = {selRectPx_.right - 3, selRectPx_.bottom - 3, selRectPx_.right + 3,
                     selRectPx_.bottom + 3};
  return 1;
}

GridEditor::Selection GridEditor::GetSelection() const {
  return {selTop_, selBottom_, selLeft_, selRight_};
}

namespace {

// One axis of the hit test: fixed lines first, then the scrolled ones from the
// first shown; a line whose start lies past the client edge is not visible.
template <typename Pos, typename Size>
std::optional<std::int32_t> HitLine(std::int32_t fixed, std::int32_t first, std::int32_t count,
                                    std::int32_t point, std::int32_t clientEnd,
                                    std::int32_t twipsPerPixel, Pos pos, Size size) {
  auto test = [&](std::int32_t i) -> std::optional<bool> {
    const std::int32_t start = pos(i) / twipsPerPixel;
    if (start > clientEnd) return std::nullopt;
    const std::int32_t extent = size(i) / twipsPerPixel;
    return start <= point && point <= start + extent;
  };
  for (std::int32_t i = 0; i < fixed && i < count; ++i) {
    const auto hit = test(i);
    if (!hit) return std::nullopt;
    if (*hit) return i;
  }
  for (std::int32_t i = std::max(first, 0); i < count; ++i) {
    const auto hit = test(i);
    if (!hit) return std::nullopt;
    if (*hit) return i;
  }
  return std::nullopt;
}

}  // namespace

bool GridEditor::HitTestCell(std::int32_t x, std::int32_t y, std::int32_t& row,
                             std::int32_t& col) const {
  const FlexGrid& grid = Grid();
  if (view_ == nullptr) return false;
  const PixelRect client = view_->GridClientRect();

  const auto hitRow = HitLine(
      grid.FixedRows(), grid.TopRow(), grid.Rows(), y, client.bottom, twipsPerPixelY(),
      [&](std::int32_t i) { return grid.RowPos(i); },
      [&](std::int32_t i) { return grid.RowHeight(i); });
  if (!hitRow) return false;
  const auto hitCol = HitLine(
      grid.FixedCols(), grid.LeftCol(), grid.Cols(), x, client.right, twipsPerPixelX(),
      [&](std::int32_t i) { return grid.ColPos(i); },
      [&](std::int32_t i) { return grid.ColWidth(i); });
  if (!hitCol) return false;
  row = *hitRow;
  col = *hitCol;
  return true;
}

float GridEditor::CellTextToNumber(std::u16string_view text) {
  return DecimalToFloat(text.substr(0, kNumberTextUnits));
}

void GridEditor::TrimTrailingZeros(std::u16string& text) {
  dorvane::TrimTrailingZeros(text);
}

}  // namespace dorvane

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "grid/grid_editor.h"
#include "grid/number_text.h"
#include "gridcontrol/grid_control.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/message_boxes.h"
#include "platform/window_messages.h"
#include "tests/support/headless_editor_view.h"

namespace dorvane::fuzz {

class NoMessages : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest&) override { return MessageAnswer::No; }
};

inline void Require(bool condition) {
  if (!condition) std::abort();
}

// memcmp: a loop over the units would be traced unit by unit in the fuzz build.
inline bool SameText(std::u16string_view text, std::u16string_view other) {
  return text.size() == other.size() &&
         std::memcmp(text.data(), other.data(), text.size() * sizeof(char16_t)) == 0;
}

// The title the editor gives a row, made once for every row a table can have.
inline const std::u16string& RowTitle(std::int32_t row) {
  static const std::vector<std::u16string> titles = [] {
    std::vector<std::u16string> made(65537);
    for (std::size_t row = 1; row < made.size(); ++row)
      made[row] = IntegerText(static_cast<std::int64_t>(row));
    return made;
  }();
  return titles[static_cast<std::size_t>(row)];
}

// A control that outlives a run. Building a table at the row capacity and its
// titles costs far more than most runs, so each table is built once and every
// later run starts from it again. The control notes what a run can
// have changed (cells written, rows sorted, rows dropped) and Reset puts back
// only that, at a cost that follows the run's own work.
class ReusedControl final : public GridControl {
 public:
  void SetTextMatrix(std::int32_t row, std::int32_t col, std::u16string_view text) override {
    // Renumbering writes every title again; a row's own title changes nothing.
    if (col != 0 || !HasTitle(row) || !SameText(text, RowTitle(row))) Touch(row, row, col, col);
    GridControl::SetTextMatrix(row, col, text);
  }
  void SetColumnTexts(std::int32_t col, std::int32_t firstRow,
                      std::span<const std::u16string> texts) override {
    const std::int32_t fixedRows = FixedRows();
    const std::int32_t rows = Rows();
    for (std::int32_t row = firstRow; const std::u16string& text : texts) {
      const bool title = col == 0 && row >= fixedRows && row < rows;
      if (!title || !SameText(text, RowTitle(row))) Touch(row, row, col, col);
      ++row;
    }
    GridControl::SetColumnTexts(col, firstRow, texts);
  }
  void NumberRows(std::int32_t col, std::int32_t firstRow, std::int32_t lastRow) override {
    // Numbering the titles gives them the texts they started with.
    if (firstRow <= lastRow && (col != 0 || firstRow < FixedRows()))
      Touch(firstRow, lastRow, col, col);
    GridControl::NumberRows(col, firstRow, lastRow);
  }
  void SetSort(std::int16_t order) override {
    Touch(std::min(Row(), RowSel()), std::max(Row(), RowSel()), 0, Cols() - 1);
    GridControl::SetSort(order);
  }
  void SortDataRows(std::int16_t order) override {
    Touch(std::min(Row(), RowSel()), std::max(Row(), RowSel()), FixedCols(), Cols() - 1);
    GridControl::SortDataRows(order);
  }
  void SetRows(std::int32_t rows) override {
    keptRows_ = std::min(keptRows_, rows);
    GridControl::SetRows(rows);
  }
  void SetCols(std::int32_t cols) override {
    keptRows_ = 0;
    GridControl::SetCols(cols);
  }

  // The table as it is now is the start table; `capacity` is the editor's row capacity.
  void MarkStart(std::int32_t capacity) {
    startCols_ = Cols();
    keptRows_ = Rows();
    runRows_ = Rows();
    rowCapacity_ = capacity;
    changed_ = {};
    startWidths_.clear();
    for (std::int32_t col = 0; col < Cols(); ++col) startWidths_.push_back(ColWidth(col));
  }
  std::int32_t rowCapacity() const { return rowCapacity_; }

  // A row is resized by the pointer on its border, so only rows on screen can
  // be: a harness that sends pointer input notes them around every message.
  void NoteRowsOnScreen() {
    const std::pair shown{TopRow(), LastVisibleRow()};
    if (shownRows_.empty() || shownRows_.back() != shown) shownRows_.push_back(shown);
  }

  // Calls `visit(row, col)` for every cell of the first `rows` rows that may
  // differ from the start of the run. Data cells start empty, so from row
  // `sparseFrom` down only those with text are visited.
  template <typename Visit>
  void ForEachChangedCell(std::int32_t rows, std::int32_t sparseFrom, Visit visit) const {
    const std::int32_t kept = std::min({keptRows_, rows, Rows()});
    const std::int32_t top = std::max(changed_.top, 0);
    const std::int32_t bottom = std::min(changed_.bottom, kept - 1);
    for (std::int32_t col = std::max(changed_.left, 0); col <= std::min(changed_.right, Cols() - 1);
         ++col) {
      const std::int32_t dense = col < FixedCols() ? bottom : std::min(bottom, sparseFrom - 1);
      for (std::int32_t row = top; row <= dense; ++row) visit(row, col);
      for (std::int32_t row = NextRowWithText(col, col, std::max(top, dense + 1)); row <= bottom;
           row = NextRowWithText(col, col, row + 1))
        visit(row, col);
    }
    // Rows dropped and added again were built anew.
    for (std::int32_t row = kept; row < std::min(rows, Rows()); ++row)
      for (std::int32_t col = 0; col < Cols(); ++col) visit(row, col);
  }

  // Back to the start table with `rows` rows (titles in column 0, every other
  // cell empty, every size as built), scrolled to the top, the first data cell
  // current.
  void Reset(std::int32_t rows) {
    if (IsDragging()) HandleMessage(msg::kLButtonUp, 0, 0);
    if (Cols() != startCols_) GridControl::SetCols(startCols_);
    ResetSizes();
    const std::int32_t kept = std::min({keptRows_, rows, Rows()});
    ForEachChangedCell(kept, 0, [&](std::int32_t row, std::int32_t col) { Restore(row, col); });
    GridControl::SetRows(std::max(kept, FixedRows()));
    GridControl::SetRows(rows);
    for (std::int32_t row = kept; row < rows; ++row)
      for (std::int32_t col = 0; col < Cols(); ++col) Restore(row, col);
    keptRows_ = rows;
    runRows_ = rows;
    changed_ = {};
    // As the editor leaves a new table: where it has no data cell, the nearest one.
    const std::int32_t row = std::min(FixedRows(), Rows() - 1);
    const std::int32_t col = std::min(FixedCols(), Cols() - 1);
    SetTopRow(row);
    SetLeftCol(col);
    SetRow(row);
    SetCol(col);
  }

  // Back to the table the run started from. A run ends with it: the fuzzer takes
  // memory a run leaves allocated for a leak, and checks for one at every such run.
  void Restart() { Reset(runRows_); }

  // The text a cell of the start table holds.
  std::u16string_view StartText(std::int32_t row, std::int32_t col) const {
    return col == 0 && row >= FixedRows() ? std::u16string_view(RowTitle(row)) : u"";
  }

 private:
  struct Area {
    std::int32_t top = std::numeric_limits<std::int32_t>::max();
    std::int32_t bottom = std::numeric_limits<std::int32_t>::min();
    std::int32_t left = std::numeric_limits<std::int32_t>::max();
    std::int32_t right = std::numeric_limits<std::int32_t>::min();
  };

  bool HasTitle(std::int32_t row) const { return row >= FixedRows() && row < Rows(); }
  void Touch(std::int32_t top, std::int32_t bottom, std::int32_t left, std::int32_t right) {
    changed_.top = std::min(changed_.top, top);
    changed_.bottom = std::max(changed_.bottom, bottom);
    changed_.left = std::min(changed_.left, left);
    changed_.right = std::max(changed_.right, right);
  }
  void Restore(std::int32_t row, std::int32_t col) {
    const std::u16string_view text = StartText(row, col);
    if (TextView(row, col) != text) GridControl::SetTextMatrix(row, col, text);
  }
  void ResetSizes() {
    for (const auto& [top, last] : shownRows_)
      for (std::int32_t row = top; row <= last && row < Rows(); ++row) SetRowHeight(row, -1);
    for (std::int32_t row = 0; row < FixedRows(); ++row) SetRowHeight(row, -1);
    shownRows_.clear();
    for (std::int32_t col = 0; col < Cols(); ++col) {
      const std::int32_t width = startWidths_[static_cast<std::size_t>(col)];
      if (ColWidth(col) != width) SetColWidth(col, width);
    }
  }

  std::int32_t startCols_ = 0;
  std::int32_t keptRows_ = 0;
  std::int32_t rowCapacity_ = 0;
  std::int32_t runRows_ = 0;
  Area changed_;
  std::vector<std::int32_t> startWidths_;
  std::vector<std::pair<std::int32_t, std::int32_t>> shownRows_;
};

inline const CodePage& CodePage936() {
  static const std::unique_ptr<CodePage> codePage = MakeCodePage("CP936");
  return *codePage;
}

// The start tables, one per column count for small tables and one per column
// count for tables at the row capacity. Each is built by the editor once.
inline ReusedControl& StartTable(std::int32_t cols, bool atCapacity) {
  static std::array<std::unique_ptr<ReusedControl>, 2 * 28> tables;
  std::unique_ptr<ReusedControl>& table =
      tables[static_cast<std::size_t>(cols + (atCapacity ? 28 : 0))];
  if (!table) {
    table = std::make_unique<ReusedControl>();
    HeadlessEditorView view;
    MemoryClipboard clipboard;
    NoMessages messages;
    GridEditor editor{clipboard, CodePage936(), messages};
    editor.AttachControl(table.get(), &view);
    editor.SetColumnCount(cols);
    editor.SetRowCount(atCapacity ? editor.RowCapacity() : 1);
    table->MarkStart(editor.RowCapacity());
  }
  return *table;
}

// A hosted editor whose grid size and current cell come from the first six input
// bytes; the rest of the input is the clipboard block.
struct PasteHarness {
  static constexpr std::size_t kHeader = 6;

  HeadlessEditorView view;
  MemoryClipboard clipboard;
  NoMessages messages;
  GridEditor editor;
  ReusedControl& control;
  std::span<const std::uint8_t> block;

  explicit PasteHarness(std::span<const std::uint8_t> input)
      : editor(clipboard, CodePage936(), messages), control(ControlFor(input)) {
    editor.AttachFormattedControl(&control, &view);
    const auto at = [&](std::size_t i) -> std::uint32_t { return i < input.size() ? input[i] : 0; };
    control.SetRow(static_cast<std::int32_t>((at(2) | at(3) << 8) % control.Rows()));
    control.SetCol(static_cast<std::int32_t>(at(4) % control.Cols()));
    control.SetRowSel(static_cast<std::int32_t>(at(5) % control.Rows()));
    block = input.size() > kHeader ? input.subspan(kHeader) : std::span<const std::uint8_t>{};
  }
  ~PasteHarness() { control.Restart(); }
  PasteHarness(const PasteHarness&) = delete;
  PasteHarness& operator=(const PasteHarness&) = delete;

  // Mostly small grids; now and then a narrow one at the row capacity (a wide
  // one would hold some 340000 cells and slow every run down).
  static ReusedControl& ControlFor(std::span<const std::uint8_t> input) {
    const auto at = [&](std::size_t i) -> std::uint32_t { return i < input.size() ? input[i] : 0; };
    const bool atCapacity = at(1) == 0xFF;
    ReusedControl& table =
        StartTable(1 + static_cast<std::int32_t>(at(0) % (atCapacity ? 2 : 27)), atCapacity);
    table.Reset(atCapacity ? table.rowCapacity() - static_cast<std::int32_t>(at(0) % 4)
                           : 1 + static_cast<std::int32_t>(at(1) % 64));
    return table;
  }

  std::vector<std::u16string> SnapshotIfSmall() const {
    std::vector<std::u16string> texts;
    const std::int64_t cells = std::int64_t{control.Rows()} * control.Cols();
    if (cells > 4096) return texts;
    texts.reserve(static_cast<std::size_t>(cells));
    for (std::int32_t r = 0; r < control.Rows(); ++r)
      for (std::int32_t c = 0; c < control.Cols(); ++c) texts.emplace_back(control.TextView(r, c));
    return texts;
  }

  // Compared in place: a second snapshot would cost as much as the first.
  bool Unchanged(const std::vector<std::u16string>& before) const {
    if (std::int64_t{control.Rows()} * control.Cols() != static_cast<std::int64_t>(before.size()))
      return false;
    auto text = before.begin();
    for (std::int32_t r = 0; r < control.Rows(); ++r)
      for (std::int32_t c = 0; c < control.Cols(); ++c)
        if (!SameText(control.TextView(r, c), *text++)) return false;
    return true;
  }

  // What every paste keeps: the column count, rows within the capacity, and no
  // change at all when it reports that it pasted nothing.
  void CheckAfterPaste(int result, std::int32_t colsBefore,
                       const std::vector<std::u16string>& before) const {
    Require(control.Cols() == colsBefore);
    Require(control.Rows() <= editor.RowCapacity());
    if (result == 0 && !before.empty()) Require(Unchanged(before));
  }
};

}  // namespace dorvane::fuzz

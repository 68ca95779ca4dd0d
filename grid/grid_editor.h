#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "grid/edit_history.h"
#include "grid/editor_view.h"
#include "grid/geometry.h"
#include "gridcontrol/flex_grid.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/message_boxes.h"

namespace dorvane {

// Popup menu command ids.
inline constexpr std::uint32_t kCmdInsertRows = 40013;
inline constexpr std::uint32_t kCmdDeleteRows = 40014;
inline constexpr std::uint32_t kCmdCut = 40015;
inline constexpr std::uint32_t kCmdCopy = 40016;
inline constexpr std::uint32_t kCmdPaste = 40017;
inline constexpr std::uint32_t kCmdClear = 40018;
inline constexpr std::uint32_t kCmdAverage = 40019;
inline constexpr std::uint32_t kCmdSortAscending = 40020;
inline constexpr std::uint32_t kCmdSortDescending = 40021;
inline constexpr std::uint32_t kCmdUndo = 40022;
inline constexpr std::uint32_t kCmdRedo = 40023;
inline constexpr std::uint32_t kCmdReverseColumns = 40024;

// The popup menu, in order.
std::span<const PopupMenuItem> PopupMenuItems();
// The menu command whose key the menu names, pressed with `held`; none for
// other keys. "平均    A" is left out: a plain letter types into the cell.
std::optional<std::uint32_t> ShortcutCommand(std::uint32_t key, HeldKeys held);

// The topography spreadsheet on top of a grid control: selection, cell access,
// in-place editing, fill drag, clipboard and row commands, undo and redo. The
// control holds the cell texts; the editor keeps none.
class GridEditor {
 public:
  struct Selection {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    std::int32_t left = 0;
    std::int32_t right = 0;
  };

  GridEditor(Clipboard& clipboard, const CodePage& codePage, MessageBoxes& messages);
  ~GridEditor();
  GridEditor(const GridEditor&) = delete;
  GridEditor& operator=(const GridEditor&) = delete;

  // Hosting: takes the control and its window, applies the standard settings and
  // builds the popup menu. Neither pointer is owned. Returns 1.
  int AttachControl(FlexGrid* grid, EditorView* view);
  // The same for a control that another editor formatted and filled: its table,
  // sizes and settings stay as they are. Returns 1.
  int AttachFormattedControl(FlexGrid* grid, EditorView* view);

  // Cell access and counts.
  std::int32_t GetRowCount() const;
  std::optional<std::u16string> GetCellText(std::int32_t row, std::int32_t col) const;
  int SetCellText(std::int32_t row, std::int32_t col, std::u16string_view text);
  int FormatGrid();
  std::int32_t SetColumnCount(std::int32_t n);
  std::int32_t SetRowCount(std::int32_t n);
  int RenumberRows();
  std::int32_t RowCapacity() const;
  int RefreshSelection();
  Selection GetSelection() const;
  // The cell under a client point of the grid window; both ends inclusive.
  bool HitTestCell(std::int32_t x, std::int32_t y, std::int32_t& row, std::int32_t& col) const;
  static float CellTextToNumber(std::u16string_view text);
  static void TrimTrailingZeros(std::u16string& text);

  // Window procedures of the grid window and the in-place EDIT.
  std::intptr_t GridWindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t EditWindowProc(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  int StartCellEdit(std::uintptr_t wParam, std::intptr_t lParam);
  void CommitCellEdit(std::int32_t row, std::int32_t col);
  // An edit still open (shown or hidden) goes into the cell where it started,
  // the one its history step covers, wherever the current cell is now.
  void CommitPendingEdit();

  // Fill-handle drag.
  void BeginFillDrag();
  void ContinueFillDrag(std::int32_t x, std::int32_t y);
  void EndFillDrag();
  // The mouse capture was taken away (another window activated): the frame goes,
  // nothing is filled or recorded.
  void CancelFillDrag();
  int FillSeries();
  int DrawRangeXor(const CellRect& block);

  // Popup menu.
  int BuildPopupMenu();

  // Clipboard commands.
  int CopySelection();
  int CutSelection();
  int PasteClipboard();
  int PasteUnicodeText();
  int PasteSylk();
  int ClearSelection(bool recordUndo);

  // Row and column operations.
  std::int32_t InsertRows(bool recordUndo);
  std::int32_t DeleteRows(bool recordUndo);
  int AverageColumns();
  int SortRows(int mode);  // 3 ascending, 4 descending
  int ReverseColumns();
  std::int32_t AddRows(std::int32_t delta);

  // Edit history.
  int RecordStep(std::int32_t firstRow, std::int32_t lastRow, std::int32_t firstCol,
                 std::int32_t lastCol, StepKind kind);
  std::optional<CellImage> TakeImage(const CellRegion& region) const;
  int RestoreImage(const CellImage* image, const CellRegion& region);
  int SelectRegion(const CellRegion& region);
  int Undo();
  int Redo();

  // State, for the window layer and tests.
  std::int32_t selTop() const { return selTop_; }
  std::int32_t selBottom() const { return selBottom_; }
  std::int32_t selLeft() const { return selLeft_; }
  std::int32_t selRight() const { return selRight_; }
  const PixelRect& selRectPx() const { return selRectPx_; }
  const PixelRect& fillHandleRect() const { return fillHandleRect_; }
  const CellRect& dragRange() const { return dragRange_; }
  std::int32_t twipsPerPixelX() const;
  std::int32_t twipsPerPixelY() const;
  bool buttonDown() const { return buttonDown_; }
  bool fillDragging() const { return fillDragging_; }
  int editState() const { return editState_; }
  bool popupMenuBuilt() const { return popupMenuBuilt_; }
  // Read-only: only the editor's commands may change the history.
  const EditHistory& history() const { return history_; }
  FlexGrid* grid() const { return grid_; }

 private:
  FlexGrid& Grid() const;  // throws GridError(kGridErrorPointer) without a control
  // A pending edit is never carried to another cell: once the current cell has
  // left the edited one, by whatever path, the edit is committed into its own.
  void CommitEditLeftBehind();
  std::int32_t FixedBottomPx() const;
  std::int32_t FixedRightPx() const;
  // Sets a cell's text unless it holds it already: shifting or clearing the
  // mostly empty rows of a large table then reads them but writes few.
  void PutText(std::int32_t row, std::int32_t col, std::u16string_view text);
  // InsertRows that tells a declined question (none) from an insert of 0 rows.
  std::optional<std::int32_t> TryInsertRows(bool recordUndo);

  // Message handlers of GridWindowProc.
  std::intptr_t DispatchGridMessage(std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam);
  void OnPaint(std::uintptr_t wParam, std::intptr_t lParam);
  void DrawSelectionFrame();
  std::intptr_t OnKeyDown(std::uintptr_t wParam, std::intptr_t lParam);
  void OnKey(std::uint32_t key);
  void OnChar(std::uintptr_t wParam, std::intptr_t lParam);
  void OnMouseMove(std::uintptr_t wParam, std::intptr_t lParam);
  void OnLeftDown(std::uintptr_t wParam, std::intptr_t lParam);
  void OnLeftUp(std::uintptr_t wParam, std::intptr_t lParam);
  void OnWheel(std::uintptr_t wParam, std::intptr_t lParam);
  void OnRightDown(std::uintptr_t wParam, std::intptr_t lParam);
  std::intptr_t OnCommand(std::uintptr_t wParam, std::intptr_t lParam);
  static std::intptr_t OnGetDlgCode(std::intptr_t code, std::uintptr_t key);
  bool OnSetCursor(std::intptr_t lParam);

  Clipboard& clipboard_;
  const CodePage& codePage_;
  MessageBoxes& messages_;
  FlexGrid* grid_ = nullptr;
  EditorView* view_ = nullptr;
  bool popupMenuBuilt_ = false;

  std::int32_t selTop_ = 0;
  std::int32_t selBottom_ = 0;
  std::int32_t selLeft_ = 0;
  std::int32_t selRight_ = 0;
  PixelRect selRectPx_;
  PixelRect fillHandleRect_;
  CellRect dragRange_;
  CellRect prevDragRange_;
  std::vector<float> fillSteps_;  // empty outside a drag
  bool buttonDown_ = false;
  bool fillDragging_ = false;
  int editState_ = 0;         // 0 none, 3 EDIT shown, 2 pending but hidden
  std::int32_t editRow_ = 0;  // the cell of the pending edit
  std::int32_t editCol_ = 0;
  EditHistory history_;
};

}  // namespace dorvane

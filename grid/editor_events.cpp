#include <array>
#include <exception>

#include "grid/grid_editor.h"
#include "platform/window_messages.h"

namespace dorvane {

namespace {

// The in-place editor carries at most this many UTF-16 units into a cell.
constexpr std::size_t kMaxCellEditUnits = 255;

bool IsArrowKey(std::uintptr_t key) {
  return key >= msg::kVkLeft && key <= msg::kVkDown;
}

bool IsEditorKey(std::uintptr_t key) {
  return key == msg::kVkReturn || IsArrowKey(key);
}

// A character that starts an edit, as in a spreadsheet; control characters
// (Enter, Tab, Backspace, Ctrl+letters) do not.
bool IsTypedCharacter(std::uintptr_t c) {
  return c >= 0x20 && c != 0x7F;
}

PixelPoint MousePoint(std::intptr_t lParam) {
  return {msg::SignedLow(lParam), msg::SignedHigh(lParam)};
}

// Left and top inclusive, right and bottom exclusive.
bool IsOnHandle(const PixelRect& handle, PixelPoint point) {
  return point.x >= handle.left && point.x < handle.right && point.y >= handle.top &&
         point.y < handle.bottom;
}

}  // namespace

std::intptr_t GridEditor::GridWindowProc(std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  if (view_ == nullptr) return 0;
  // The window system calls this directly: no exception may leave it. A failed
  // control access (GridError) ends the handling of this one message.
  try {
    const std::intptr_t result = DispatchGridMessage(message, wParam, lParam);
    CommitEditLeftBehind();
    return result;
  } catch (const std::exception&) {
    return 0;
  }
}

std::intptr_t GridEditor::DispatchGridMessage(std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam) {
  switch (message) {
    case msg::kPaint:
      OnPaint(wParam, lParam);
      return 0;
    case msg::kKeyDown:
      return OnKeyDown(wParam, lParam);
    case msg::kChar:
      OnChar(wParam, lParam);
      return 0;
    case msg::kMouseMove:
      OnMouseMove(wParam, lParam);
      return 0;
    case msg::kLButtonDown:
      OnLeftDown(wParam, lParam);
      return 0;
    case msg::kLButtonUp:
      OnLeftUp(wParam, lParam);
      return 0;
    case msg::kLButtonDblClk:
      StartCellEdit(wParam, lParam);
      return 0;
    case msg::kMouseWheel:
      OnWheel(wParam, lParam);
      return 0;
    case msg::kRButtonDown:
      OnRightDown(wParam, lParam);
      return 0;
    case msg::kCommand:
      return OnCommand(wParam, lParam);
    case msg::kGetDlgCode:
      return OnGetDlgCode(view_->CallGridProc(message, wParam, lParam), wParam);
    case msg::kSetCursor:
      if (OnSetCursor(lParam)) return 1;
      return view_->CallGridProc(message, wParam, lParam);
    case msg::kCaptureChanged:
      if (fillDragging_ && !view_->HasMouseCapture()) CancelFillDrag();
      return view_->CallGridProc(message, wParam, lParam);
    default:
      return view_->CallGridProc(message, wParam, lParam);
  }
}

std::intptr_t GridEditor::EditWindowProc(std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  if (view_ == nullptr) return 0;
  try {
    switch (message) {
      case msg::kKeyDown:
        // Enter belongs to the grid: it commits the edit and moves one row down.
        if (wParam == msg::kVkReturn) {
          view_->SendToGrid(message, wParam, lParam);
          return 0;
        }
        break;
      case msg::kChar:
        // The characters of those two keys would only make a one-line EDIT beep.
        if (wParam == msg::kVkReturn || wParam == msg::kVkEscape) return 0;
        break;
      case msg::kGetDlgCode:
        return OnGetDlgCode(view_->CallEditProc(message, wParam, lParam), wParam);
      default:
        break;
    }
    return view_->CallEditProc(message, wParam, lParam);
  } catch (const std::exception&) {
    return 0;
  }
}

std::intptr_t GridEditor::OnGetDlgCode(std::intptr_t code, std::uintptr_t key) {
  // Inside a dialog, Enter would press the default button and Escape close the
  // dialog with an edit open; both belong to the grid and its EDIT. An edit has
  // no cancel: Escape is the EDIT's own key and leaves it open.
  if (key == msg::kVkReturn || key == msg::kVkEscape) code |= msg::kDlgcWantMessage;
  return code;
}

bool GridEditor::OnSetCursor(std::intptr_t lParam) {
  if ((static_cast<std::uint32_t>(lParam) & 0xFFFFu) != msg::kHtClient) return false;
  const PixelPoint point = view_->ScreenToClient(view_->CursorScreenPos());
  if (!fillDragging_ && !IsOnHandle(fillHandleRect_, point)) return false;
  view_->SetCursor(CursorKind::Cross);
  return true;
}

void GridEditor::OnPaint(std::uintptr_t wParam, std::intptr_t lParam) {
  // The fill drag's XOR frame lives on the window's current image; a repaint
  // by the control would leave half a frame behind.
  if (fillDragging_) {
    view_->ValidateGrid();
    return;
  }
  view_->CallGridProc(msg::kPaint, wParam, lParam);
  if (!buttonDown_) DrawSelectionFrame();
}

void GridEditor::DrawSelectionFrame() {
  // The EDIT follows the selection, but never onto a cell that is not its own.
  CommitEditLeftBehind();
  RefreshSelection();
  const std::int32_t fixedBottom = FixedBottomPx();
  const std::int32_t fixedRight = FixedRightPx();
  const PixelRect window = view_->GridClientRect();
  const PixelRect sel = selRectPx_;

  if (editState_ != 0) {
    const bool outsideDataArea = sel.left < fixedRight || sel.top < fixedBottom ||
                                 sel.top > window.bottom || sel.left > window.right;
    if (outsideDataArea) {
      view_->ShowEditBox(false);
      editState_ = 2;
      return;
    }
    view_->MoveEditBox(sel);
    view_->ShowEditBox(true);
    view_->FocusEditBox();
    view_->SelectAllEditText();
    view_->UpdateEditBox();
    editState_ = 3;
  }
  if (sel.right <= fixedRight || sel.bottom <= fixedBottom) return;

  // Open at the lower right corner, where the fill handle sits.
  const std::array<PixelPoint, 5> frame{{{sel.right - 5, sel.bottom},
                                         {sel.left, sel.bottom},
                                         {sel.left, sel.top},
                                         {sel.right, sel.top},
                                         {sel.right, sel.bottom - 5}}};
  view_->DrawPolyline(frame, PenKind::Black);
  const PixelRect& h = fillHandleRect_;
  const std::array<PixelPoint, 5> handle{{{h.right, h.bottom},
                                          {h.left, h.bottom},
                                          {h.left, h.top},
                                          {h.right, h.top},
                                          {h.right, h.bottom}}};
  view_->DrawPolyline(handle, PenKind::Black);
}

std::intptr_t GridEditor::OnKeyDown(std::uintptr_t wParam, std::intptr_t lParam) {
  const HeldKeys held = view_->HeldModifierKeys();
  if (const auto command = ShortcutCommand(static_cast<std::uint32_t>(wParam), held)) {
    OnCommand(*command, 0);
    return 0;
  }
  // Shift+arrows: the control extends the selection and keeps its end in view.
  if (!IsEditorKey(wParam) || (held.shift && IsArrowKey(wParam))) {
    const std::intptr_t result = view_->CallGridProc(msg::kKeyDown, wParam, lParam);
    view_->InvalidateGrid();
    return result;
  }
  OnKey(static_cast<std::uint32_t>(wParam));
  return 0;
}

void GridEditor::OnChar(std::uintptr_t wParam, std::intptr_t lParam) {
  if (!IsTypedCharacter(wParam)) {
    view_->CallGridProc(msg::kChar, wParam, lParam);
    return;
  }
  // Characters that were already queued for the grid when the edit opened
  // (an input method's result) belong to that edit.
  if (editState_ != 3 && StartCellEdit(msg::kVkReturn, 0) == 0) return;
  // The EDIT's whole text is selected: the character replaces it.
  view_->CallEditProc(msg::kChar, wParam, lParam);
}

void GridEditor::OnKey(std::uint32_t key) {
  FlexGrid& grid = Grid();
  const std::int32_t row = grid.Row();
  const std::int32_t col = grid.Col();
  switch (key) {
    case msg::kVkReturn:
      // A pending edit whose box is hidden (state 2) is committed too; starting
      // a new edit would throw its text away.
      if (editState_ != 0) {
        CommitPendingEdit();
        view_->SendToGrid(msg::kKeyDown, msg::kVkDown, 0);
      } else {
        StartCellEdit(msg::kVkReturn, 0);
      }
      break;
    case msg::kVkLeft:
      if (col > grid.FixedCols()) grid.SetCol(col - 1);
      break;
    case msg::kVkUp:
      if (row > grid.FixedRows()) grid.SetRow(row - 1);
      break;
    case msg::kVkRight:
      if (col < grid.Cols() - 1) grid.SetCol(col + 1);
      break;
    case msg::kVkDown:
      if (row < grid.Rows() - 1) grid.SetRow(row + 1);
      break;
    default:
      break;
  }

  // Keep the current cell in view, one line or column per key press.
  RefreshSelection();
  const std::int32_t fixedBottom = FixedBottomPx();
  const std::int32_t fixedRight = FixedRightPx();
  // The visible area, not the outer window: a row behind the horizontal scroll
  // bar is out of view.
  const PixelRect window = view_->GridClientRect();
  if (selRectPx_.top < fixedBottom) {
    view_->SendToGrid(msg::kVScroll, msg::kSbLineUp, 0);
  } else if (selRectPx_.bottom > window.bottom) {
    view_->SendToGrid(msg::kVScroll, msg::kSbLineDown, 0);
  } else if (selRectPx_.left < fixedRight) {
    view_->SendToGrid(msg::kHScroll, msg::kSbLineUp, 0);
  } else if (selRectPx_.right > window.right) {
    view_->SendToGrid(msg::kHScroll, msg::kSbLineDown, 0);
  }
  view_->InvalidateGrid();
}

void GridEditor::OnMouseMove(std::uintptr_t wParam, std::intptr_t lParam) {
  const PixelPoint point = MousePoint(lParam);
  if (IsOnHandle(fillHandleRect_, point) && wParam != msg::kMkLButton) {
    view_->SetCursor(CursorKind::Cross);
    return;
  }
  if (fillDragging_ && wParam == msg::kMkLButton) {
    ContinueFillDrag(point.x, point.y);
    return;
  }
  view_->CallGridProc(msg::kMouseMove, wParam, lParam);
}

void GridEditor::OnLeftDown(std::uintptr_t wParam, std::intptr_t lParam) {
  FlexGrid& grid = Grid();
  const std::int32_t oldRow = grid.Row();
  const std::int32_t oldCol = grid.Col();
  buttonDown_ = true;
  view_->FocusGrid();

  if (IsOnHandle(fillHandleRect_, MousePoint(lParam))) {
    BeginFillDrag();
    return;
  }

  view_->CallGridProc(msg::kLButtonDown, wParam, lParam);
  view_->InvalidateGrid();
  if (grid.Row() == oldRow && grid.Col() == oldCol) return;
  // Also when the box is hidden (state 2): the edit belongs to the old cell.
  if (editState_ != 0) {
    CommitPendingEdit();
    grid.SetRedraw(true);
  }
}

void GridEditor::OnLeftUp(std::uintptr_t wParam, std::intptr_t lParam) {
  buttonDown_ = false;
  if (fillDragging_) {
    EndFillDrag();
  } else {
    view_->CallGridProc(msg::kLButtonUp, wParam, lParam);
  }
  view_->InvalidateGrid();
}

void GridEditor::OnWheel(std::uintptr_t wParam, std::intptr_t lParam) {
  const auto packed = static_cast<std::intptr_t>(wParam);
  const std::int32_t delta = msg::SignedHigh(packed);
  const std::int32_t keys = msg::SignedLow(packed);
  if (keys == static_cast<std::int32_t>(msg::kMkControl)) {
    view_->SendToGrid(msg::kHScroll, delta > 0 ? msg::kSbLineUp : msg::kSbLineDown, 0);
  } else {
    std::int32_t min = 0;
    std::int32_t max = 0;
    view_->VerticalScrollRange(min, max);
    const std::int32_t pos = view_->VerticalScrollPos();
    if ((delta > 0 && pos == min) || (delta < 0 && pos == max)) return;
    view_->SendToGrid(msg::kVScroll, delta > 0 ? msg::kSbLineUp : msg::kSbLineDown, 0);
  }
  view_->InvalidateGrid();
}

int GridEditor::StartCellEdit(std::uintptr_t wParam, std::intptr_t lParam) {
  FlexGrid& grid = Grid();
  // A double-click need not follow a press that committed: an open edit would
  // otherwise have its text replaced by the new cell's.
  CommitPendingEdit();
  // lParam 0 is a start from the keyboard. The control must not see it as a
  // double-click at the corner cell, which would select the whole table.
  if (lParam != 0) {
    view_->CallGridProc(msg::kLButtonDblClk, wParam, lParam);
    const auto packed = static_cast<std::uint32_t>(lParam);
    std::int32_t row = 0;
    std::int32_t col = 0;
    if (!HitTestCell(packed & 0xFFFFu, packed >> 16 & 0xFFFFu, row, col)) return 0;
    if (row < grid.FixedRows() || col < grid.FixedCols()) return 1;
  }
  view_->InvalidateGrid();
  RefreshSelection();
  view_->MoveEditBox(selRectPx_);
  view_->ShowEditBox(true);
  view_->SetEditText(grid.Text());
  view_->FocusEditBox();
  view_->SelectAllEditText();
  editState_ = 3;
  editRow_ = grid.Row();
  editCol_ = grid.Col();
  RecordStep(editRow_, editRow_, editCol_, editCol_, StepKind::CellEdit);
  return 1;
}

void GridEditor::CommitPendingEdit() {
  if (editState_ != 0 && view_ != nullptr) CommitCellEdit(editRow_, editCol_);
}

void GridEditor::CommitEditLeftBehind() {
  if (editState_ == 0 || grid_ == nullptr) return;
  if (grid_->Row() != editRow_ || grid_->Col() != editCol_) CommitPendingEdit();
}

void GridEditor::CommitCellEdit(std::int32_t row, std::int32_t col) {
  std::u16string text = view_->EditText(kMaxCellEditUnits);
  const bool editHadFocus = view_->EditBoxHasFocus();
  // The edit ends even if its cell is gone; kept open, it would follow the
  // selection to another cell.
  editState_ = 0;
  view_->ShowEditBox(false);
  // The hidden EDIT would otherwise keep the keyboard and swallow the arrows;
  // focus that is elsewhere (a button, a hidden grid's dialog) stays there.
  if (editHadFocus) view_->FocusGrid();
  Grid().SetTextMatrix(row, col, text);
}

}  // namespace dorvane

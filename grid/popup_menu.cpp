#include <algorithm>
#include <array>

#include "grid/grid_editor.h"
#include "platform/window_messages.h"

namespace dorvane {

std::span<const PopupMenuItem> PopupMenuItems() {
  // Between each word and its key name: four blanks. ShortcutCommand gives
  // the keys.
  static constexpr std::array<PopupMenuItem, 16> kItems{{
      {0, u""},
      {kCmdCut, u"剪切    CTRL+X"},
      {kCmdCopy, u"复制    CTRL+C"},
      {kCmdPaste, u"粘贴    CTRL+V"},
      {kCmdClear, u"清除    Del"},
      {0, u""},
      {kCmdInsertRows, u"插入    Insert"},
      {kCmdDeleteRows, u"删除"},
      {kCmdAverage, u"平均    A"},
      {kCmdSortAscending, u"升序    CTRL+A"},
      {kCmdSortDescending, u"降序    CTRL+D"},
      {0, u""},
      {kCmdUndo, u"撤销    CTRL+Z"},
      {kCmdRedo, u"恢复    CTRL+Y"},
      {0, u""},
      {kCmdReverseColumns, u"列数据倒置"},
  }};
  return kItems;
}

std::optional<std::uint32_t> ShortcutCommand(std::uint32_t key, HeldKeys held) {
  if (held.shift) return std::nullopt;
  if (!held.control) {
    if (key == msg::kVkDelete) return kCmdClear;
    if (key == msg::kVkInsert) return kCmdInsertRows;
    return std::nullopt;
  }
  switch (key) {
    case 'X':
      return kCmdCut;
    case 'C':
      return kCmdCopy;
    case 'V':
      return kCmdPaste;
    case 'A':
      return kCmdSortAscending;
    case 'D':
      return kCmdSortDescending;
    case 'Z':
      return kCmdUndo;
    case 'Y':
      return kCmdRedo;
    default:
      return std::nullopt;
  }
}

int GridEditor::BuildPopupMenu() {
  if (view_ != nullptr) view_->CreatePopupMenu(PopupMenuItems());
  popupMenuBuilt_ = true;
  return 1;
}

void GridEditor::OnRightDown(std::uintptr_t wParam, std::intptr_t lParam) {
  view_->CallGridProc(msg::kRButtonDown, wParam, lParam);
  RefreshSelection();
  const FlexGrid& grid = Grid();
  // Whole rows or whole columns: their header cells count as inside.
  PixelRect box = selRectPx_;
  if (grid.Rows() == grid.FixedRows() + selBottom_ - selTop_ + 1) box.top = 0;
  if (grid.Cols() == grid.FixedCols() + selRight_ - selLeft_ + 1) box.left = 0;
  const PixelPoint topLeft = view_->ClientToScreen({box.left, box.top});
  const PixelPoint bottomRight = view_->ClientToScreen({box.right, box.bottom});
  const PixelPoint cursor = view_->CursorScreenPos();
  const bool inside = cursor.x > topLeft.x && cursor.x < bottomRight.x && cursor.y > topLeft.y &&
                      cursor.y < bottomRight.y;

  // The outer half of the fill handle belongs to the selection too: a press
  // there must open the menu, not start a fill drag that no left release ends.
  const PixelPoint point{msg::SignedLow(lParam), msg::SignedHigh(lParam)};
  const PixelRect& h = fillHandleRect_;
  const bool onHandle =
      point.x >= h.left && point.x < h.right && point.y >= h.top && point.y < h.bottom;

  if (inside || onHandle) {
    // The system offers Unicode text wherever it has CF_TEXT; the in-memory
    // clipboard does not convert, so Unicode text is asked for as well.
    const bool canPaste = clipboard_.IsFormatAvailable(kClipboardText) ||
                          clipboard_.IsFormatAvailable(kClipboardSylk) ||
                          clipboard_.IsFormatAvailable(kClipboardUnicodeText);
    view_->EnableMenuItem(kCmdPaste, canPaste);
  } else {
    // A whole left click: a press alone would leave the button down, and with
    // it no frame and a fill handle at the old corner.
    OnLeftDown(wParam, lParam);
    OnLeftUp(wParam, lParam);
  }
  view_->TrackPopupMenu(cursor);
}

std::intptr_t GridEditor::OnCommand(std::uintptr_t wParam, std::intptr_t lParam) {
  // Only the menu sends commands with lParam 0; the in-place EDIT's
  // notifications carry its handle and ids that could look like menu items.
  if (lParam != 0) return view_->CallGridProc(msg::kCommand, wParam, lParam);
  const auto id = static_cast<std::uint32_t>(wParam & 0xFFFFu);
  const auto items = PopupMenuItems();
  const bool isMenuItem = std::any_of(items.begin(), items.end(),
                                      [id](const PopupMenuItem& item) { return item.id == id; });
  if (isMenuItem && id != 0) CommitPendingEdit();
  switch (id) {
    case kCmdInsertRows:
      InsertRows(true);
      break;
    case kCmdDeleteRows:
      DeleteRows(true);
      break;
    case kCmdCut:
      CutSelection();
      break;
    case kCmdCopy:
      CopySelection();
      break;
    case kCmdPaste:
      PasteClipboard();
      break;
    case kCmdClear:
      ClearSelection(true);
      break;
    case kCmdAverage:
      AverageColumns();
      break;
    case kCmdSortAscending:
      SortRows(3);
      break;
    case kCmdSortDescending:
      SortRows(4);
      break;
    case kCmdUndo:
      Undo();
      break;
    case kCmdRedo:
      Redo();
      break;
    case kCmdReverseColumns:
      ReverseColumns();
      break;
    default:
      break;  // the system's default handling does nothing for unknown ids
  }
  return 0;
}

}  // namespace dorvane

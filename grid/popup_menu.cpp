#include <array>

#include "grid/grid_editor.h"

namespace dorvane {

std::span<const PopupMenuItem> PopupMenuItems() {
  // Between each word and its key name: four blanks. The key names are display
  // text only; no shortcut reaches the commands.
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

int GridEditor::BuildPopupMenu() {
  if (view_ != nullptr) view_->CreatePopupMenu(PopupMenuItems());
  popupMenuBuilt_ = true;
  return 1;
}

}  // namespace dorvane

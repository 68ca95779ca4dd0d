#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "grid/topography_grid.h"
#include "support/grid_window_test.h"

namespace dorvane::testing {
namespace {

constexpr std::uintptr_t kMkRButton = 0x0002;

class PopupMenu : public GridWindowTest {
 protected:
  // A right press with the cursor over a client point.
  void RightPress(PixelPoint point) {
    view.cursorScreen = {point.x + view.screenOrigin.x, point.y + view.screenOrigin.y};
    Send(msg::kRButtonDown, kMkRButton, At(point));
  }
  std::size_t ControlSaw(std::uint32_t message) const {
    std::size_t count = 0;
    for (const auto& seen : view.controlMessages) count += seen.message == message;
    return count;
  }
  void ExpectSelection(std::int32_t row, std::int32_t col, std::int32_t rowSel,
                       std::int32_t colSel) const {
    EXPECT_EQ(control.Row(), row);
    EXPECT_EQ(control.Col(), col);
    EXPECT_EQ(control.RowSel(), rowSel);
    EXPECT_EQ(control.ColSel(), colSel);
  }
  static std::vector<std::uint8_t> Utf16Block(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : text) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
  }
};

TEST_F(PopupMenu, OpensWithASeparatorAndTheExactLabels) {
  const std::vector<std::pair<std::uint32_t, std::u16string>> expected{
      {0, u""},
      {40015, u"剪切    CTRL+X"},
      {40016, u"复制    CTRL+C"},
      {40017, u"粘贴    CTRL+V"},
      {40018, u"清除    Del"},
      {0, u""},
      {40013, u"插入    Insert"},
      {40014, u"删除"},
      {40019, u"平均    A"},
      {40020, u"升序    CTRL+A"},
      {40021, u"降序    CTRL+D"},
      {0, u""},
      {40022, u"撤销    CTRL+Z"},
      {40023, u"恢复    CTRL+Y"},
      {0, u""},
      {40024, u"列数据倒置"},
  };
  EXPECT_EQ(view.menuItems, expected);
}

struct PasteStateCase {
  const char* name;
  std::vector<std::uint32_t> formats;
  bool enabled;
};

TEST_F(PopupMenu, RightPressInsideKeepsTheSelectionAndEnablesPasteByTheClipboard) {
  const PasteStateCase cases[] = {
      {"empty clipboard", {}, false},   {"8-bit text", {kClipboardText}, true},
      {"SYLK", {kClipboardSylk}, true}, {"Unicode text", {kClipboardUnicodeText}, true},
      {"only a bitmap", {2}, false},
  };
  for (const PasteStateCase& c : cases) {
    SCOPED_TRACE(c.name);
    clipboard.Clear();
    for (std::uint32_t format : c.formats) clipboard.AddBlock(format, {'1', 0});
    Select(2, 1, 4, 2);
    Paint();
    const PixelPoint inside = CellCentre(3, 1);
    RightPress(inside);

    ExpectSelection(2, 1, 4, 2);
    EXPECT_EQ(view.menuEnabled.at(kCmdPaste), c.enabled);
    ASSERT_FALSE(view.menuShownAt.empty());
    EXPECT_EQ(view.menuShownAt.back(), view.cursorScreen);
    EXPECT_FALSE(editor->buttonDown());
  }
  EXPECT_EQ(ControlSaw(msg::kLButtonDown), 0u);
}

TEST_F(PopupMenu, RightPressOutsideMakesTheClickedCellCurrentAndLeavesPasteAlone) {
  Select(2, 1, 4, 2);
  Paint();
  RightPress(CellCentre(3, 1));
  ASSERT_FALSE(view.menuEnabled.at(kCmdPaste));

  clipboard.AddBlock(kClipboardText, {'1', 0});
  RightPress(CellCentre(7, 2));
  ExpectSelection(7, 2, 7, 2);
  EXPECT_FALSE(view.menuEnabled.at(kCmdPaste));
  EXPECT_EQ(view.menuShownAt.size(), 2u);
  EXPECT_FALSE(editor->buttonDown()) << "handled as a whole left click";
  view.polylines.clear();
  Paint();
  EXPECT_EQ(view.polylines.size(), 2u) << "the frame and the handle of the new selection";
}

TEST_F(PopupMenu, TheSelectionEdgeCountsAsOutside) {
  Select(2, 1, 4, 2);
  Paint();
  const PixelRect box = editor->selRectPx();
  RightPress({box.left + 1, box.top});
  EXPECT_EQ(ControlSaw(msg::kLButtonDown), 1u);
}

TEST_F(PopupMenu, WholeColumnsIncludeTheirTitleCell) {
  Select(1, 1, 255, 1);
  Paint();
  RightPress(CellCentre(0, 1));
  ExpectSelection(1, 1, 255, 1);
  EXPECT_EQ(ControlSaw(msg::kLButtonDown), 0u);

  Select(1, 1, 254, 1);
  Paint();
  RightPress(CellCentre(0, 1));
  EXPECT_EQ(ControlSaw(msg::kLButtonDown), 1u) << "not all rows: the title is outside";
}

TEST_F(PopupMenu, RightPressOnTheFillHandleStartsNoDrag) {
  Select(2, 1, 2, 1);
  Paint();
  const PixelRect box = editor->selRectPx();
  RightPress({box.right + 1, box.bottom + 1});  // outside the box, on the handle

  EXPECT_FALSE(editor->fillDragging());
  EXPECT_FALSE(view.captured);
  ExpectSelection(2, 1, 2, 1);
  EXPECT_EQ(view.menuShownAt.size(), 1u);
}

struct CommandCase {
  const char* name;
  std::int32_t top, bottom;          // rows of the selection in column 1
  std::vector<std::uint32_t> ids;    // menu commands, in order
  std::vector<std::u16string> rows;  // column 1, rows 1 to 4, afterwards
  bool sylkOnClipboard;
};

TEST_F(PopupMenu, EachMenuCommandReachesItsCommand) {
  const CommandCase cases[] = {
      {"insert", 2, 2, {kCmdInsertRows}, {u"3", u"", u"1", u"2"}, false},
      {"delete", 2, 2, {kCmdDeleteRows}, {u"3", u"2", u"8", u""}, false},
      {"cut", 1, 1, {kCmdCut}, {u"", u"1", u"2", u"8"}, true},
      {"copy", 1, 1, {kCmdCopy}, {u"3", u"1", u"2", u"8"}, true},
      {"paste", 2, 2, {kCmdPaste}, {u"3", u"9", u"2", u"8"}, false},
      {"clear", 1, 2, {kCmdClear}, {u"", u"", u"2", u"8"}, false},
      {"average", 1, 2, {kCmdAverage}, {u"2", u"", u"2", u"8"}, false},
      {"ascending", 1, 3, {kCmdSortAscending}, {u"1", u"2", u"3", u"8"}, false},
      {"descending", 1, 3, {kCmdSortDescending}, {u"3", u"2", u"1", u"8"}, false},
      {"undo with nothing recorded", 1, 1, {kCmdUndo}, {u"3", u"1", u"2", u"8"}, false},
      {"undo", 1, 2, {kCmdClear, kCmdUndo}, {u"3", u"1", u"2", u"8"}, false},
      {"redo", 1, 2, {kCmdClear, kCmdUndo, kCmdRedo}, {u"", u"", u"2", u"8"}, false},
      {"reverse", 1, 3, {kCmdReverseColumns}, {u"2", u"1", u"3", u"8"}, false},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.name);
    GridControl freshControl;
    FakeEditorView freshView{freshControl};
    MemoryClipboard freshClipboard;
    freshClipboard.AddBlock(kClipboardUnicodeText, Utf16Block(u"9"));
    GridEditor fresh(freshClipboard, *codePage, messages);
    freshView.SetEditor(&fresh);
    freshView.SetWindowSize(400, 300);
    fresh.AttachControl(&freshControl, &freshView);
    SetUpTopographyGrid(fresh);
    const char16_t* start[] = {u"3", u"1", u"2", u"8"};
    for (std::int32_t row = 1; row <= 4; ++row) freshControl.SetTextMatrix(row, 1, start[row - 1]);
    freshControl.SetTextMatrix(6, 2, u"side");
    freshControl.SetRow(c.top);
    freshControl.SetCol(1);
    freshControl.SetRowSel(c.bottom);

    for (std::uint32_t id : c.ids) EXPECT_EQ(fresh.GridWindowProc(msg::kCommand, id, 0), 0);

    std::vector<std::u16string> rows;
    for (std::int32_t row = 1; row <= 4; ++row) rows.push_back(freshControl.TextMatrix(row, 1));
    EXPECT_EQ(rows, c.rows);
    EXPECT_EQ(freshControl.TextMatrix(6, 2), u"side");
    EXPECT_EQ(freshClipboard.IsFormatAvailable(kClipboardSylk), c.sylkOnClipboard);
    EXPECT_TRUE(freshView.controlMessages.empty()) << "menu commands are not the control's";
  }
}

TEST_F(PopupMenu, TheKeysTheLabelsNameRunTheirCommands) {
  for (const PopupMenuItem& item : PopupMenuItems()) {
    const std::size_t blanks = item.label.find(u"    ");
    if (blanks == std::u16string_view::npos) continue;
    const std::u16string_view name = item.label.substr(blanks + 4);
    const bool withControl = name.starts_with(u"CTRL+");
    std::uint32_t key = withControl ? name[5] : name[0];
    if (name == u"Del") key = msg::kVkDelete;
    if (name == u"Insert") key = msg::kVkInsert;
    // A plain letter types into the cell ("平均    A").
    const auto expected = name.size() == 1 ? std::nullopt : std::optional(item.id);
    EXPECT_EQ(ShortcutCommand(key, {false, withControl}), expected) << item.id;
  }
  FillColumn(1, 1, {u"1", u"2"});
  Select(1, 1, 2, 1);
  KeyDown(msg::kVkDelete);
  EXPECT_EQ(Column(1, 1, 2), (std::vector<std::u16string>{u"", u""}));
  view.held.control = true;
  KeyDown('Z');
  EXPECT_EQ(Column(1, 1, 2), (std::vector<std::u16string>{u"1", u"2"}));
}

TEST_F(PopupMenu, APendingEditLandsInItsOwnCellBeforeAnyCommandRuns) {
  const struct {
    const char* name;
    std::int32_t top, bottom;  // the block in column 1 on which Enter starts the edit
    std::uint32_t id;
    std::vector<std::u16string> rows;  // column 1, rows 1 to 4, afterwards
  } cases[] = {
      {"delete", 2, 2, kCmdDeleteRows, {u"3", u"2", u"8", u""}},
      {"insert", 2, 2, kCmdInsertRows, {u"3", u"", u"9", u"2"}},
      {"undo takes the typing back", 2, 2, kCmdUndo, {u"3", u"1", u"2", u"8"}},
      {"ascending", 1, 4, kCmdSortAscending, {u"1", u"2", u"8", u"9"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FillColumn(1, 1, {u"3", u"1", u"2", u"8"});
    Select(c.top, 1, c.bottom, 1);
    KeyDown(msg::kVkReturn);
    ASSERT_EQ(editor->editState(), 3);
    view.editText = u"9";

    Send(msg::kCommand, c.id, 0);

    EXPECT_EQ(Column(1, 1, 4), c.rows);
    EXPECT_EQ(editor->editState(), 0);
    EXPECT_FALSE(view.editVisible);
  }
}

TEST_F(PopupMenu, AnEditNotificationIsNeverTakenForAMenuCommand) {
  FillColumn(1, 1, {u"1", u"2"});
  Select(1, 1, 2, 1);
  const auto before = Snapshot();
  constexpr std::uintptr_t kEnChange = 0x0300;
  Send(msg::kCommand, kEnChange << 16 | kCmdClear, 0x1234);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(ControlSaw(msg::kCommand), 1u);
}

TEST_F(PopupMenu, AnUnknownMenuIdChangesNothing) {
  FillColumn(1, 1, {u"1", u"2"});
  Select(1, 1, 2, 1);
  const auto before = Snapshot();
  EXPECT_EQ(Send(msg::kCommand, 40099, 0), 0);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(ControlSaw(msg::kCommand), 0u);
  EXPECT_EQ(editor->history().current(), editor->history().head());
}

}  // namespace
}  // namespace dorvane::testing

#include <gtest/gtest.h>

#include <functional>

#include "support/grid_window_test.h"

namespace dorvane::testing {
namespace {

using Focus = FakeEditorView::Focus;

// At 96 dpi with the main dialog's table: columns 0 to 2 are 90 pixels wide,
// rows 20 pixels high, and the window shows rows 0 to 14 in 400 x 300 pixels.
class EditorEvents : public GridWindowTest {
 protected:
  bool NothingRecorded() { return editor->history().current() == editor->history().head(); }
  std::size_t ControlSaw(std::uint32_t message) const {
    std::size_t count = 0;
    for (const auto& seen : view.controlMessages) count += seen.message == message;
    return count;
  }
  void ScrollOneRow(std::uintptr_t code) { Send(msg::kVScroll, code, 0); }
};

TEST_F(EditorEvents, DoubleClickOpensTheEditOverTheCellWithItsTextAndRecordsTheCell) {
  FillColumn(1, 3, {u"12.5"});
  DoubleClickCell(3, 1);

  EXPECT_EQ(editor->editState(), 3);
  EXPECT_TRUE(view.editVisible);
  EXPECT_EQ(view.editText, u"12.5");
  EXPECT_EQ(view.focus, Focus::Edit);
  EXPECT_EQ(view.editRect, (PixelRect{89, 59, 179, 79}));
  const HistoryStep* step = editor->history().current();
  EXPECT_EQ(step->kind, StepKind::CellEdit);
  EXPECT_EQ(step->region, (CellRegion{3, 3, 1, 1}));
}

TEST_F(EditorEvents, EnterInTheEditCommitsAndMovesOneRowDown) {
  TypeIntoCell(3, 1, u"7");

  EXPECT_EQ(control.TextMatrix(3, 1), u"7");
  EXPECT_EQ(control.Row(), 4);
  EXPECT_EQ(control.Col(), 1);
  EXPECT_EQ(editor->editState(), 0);
  EXPECT_FALSE(view.editVisible);
  EXPECT_EQ(view.focus, Focus::Grid);
  EXPECT_TRUE(view.editMessages.empty()) << "the EDIT itself must never see Enter";
}

TEST_F(EditorEvents, EditCarriesAtMost255UnitsIntoTheCell) {
  DoubleClickCell(2, 2);
  view.editText = std::u16string(300, u'9');
  editor->EditWindowProc(msg::kKeyDown, msg::kVkReturn, 0);
  EXPECT_EQ(control.TextMatrix(2, 2), std::u16string(255, u'9'));
}

TEST_F(EditorEvents, EnterInTheGridEditsTheCurrentCellWithoutTouchingTheSelection) {
  FillColumn(2, 5, {u"x"});
  Select(5, 2, 5, 2);
  KeyDown(msg::kVkReturn);

  EXPECT_EQ(editor->editState(), 3);
  EXPECT_EQ(view.editText, u"x");
  EXPECT_EQ(ControlSaw(msg::kLButtonDblClk), 0u);
  EXPECT_EQ(control.Row(), 5);
  EXPECT_EQ(control.Col(), 2);
  EXPECT_EQ(control.RowSel(), 5);
  EXPECT_EQ(control.ColSel(), 2);
}

TEST_F(EditorEvents, EnterOnABlockEditsTheCurrentCellInABoxOverTheBlock) {
  Select(4, 2, 2, 1);  // selected upwards: the current cell is the lower right one
  FillColumn(2, 4, {u"old"});
  KeyDown(msg::kVkReturn);
  EXPECT_EQ(view.editRect, (PixelRect{89, 39, 269, 99}));
  EXPECT_EQ(view.editText, u"old");

  view.editText = u"new";
  KeyDown(msg::kVkReturn);
  EXPECT_EQ(control.TextMatrix(4, 2), u"new");
  EXPECT_EQ(control.TextMatrix(2, 1), u"");
  EXPECT_EQ(control.Row(), 5);
}

TEST_F(EditorEvents, EnterWhileEditingTheLastRowCommitsAndAddsNoRow) {
  control.SetTopRow(control.MaxTopRow());
  DoubleClickCell(255, 1);
  ASSERT_EQ(editor->editState(), 3);
  view.editText = u"42";
  editor->EditWindowProc(msg::kKeyDown, msg::kVkReturn, 0);

  EXPECT_EQ(control.TextMatrix(255, 1), u"42");
  EXPECT_EQ(control.Rows(), 256);
  EXPECT_EQ(control.Row(), 255);
  EXPECT_EQ(editor->editState(), 0);
}

struct ArrowCase {
  const char* name;
  std::int32_t row, col;
  std::uint32_t key;
  std::int32_t expectedRow, expectedCol;
};

TEST_F(EditorEvents, ArrowKeysMoveOneCellAndStopAtTheEdges) {
  const ArrowCase cases[] = {
      {"left in first data column", 3, 1, msg::kVkLeft, 3, 1},
      {"up in first data row", 1, 2, msg::kVkUp, 1, 2},
      {"right in last column", 3, 2, msg::kVkRight, 3, 2},
      {"left", 3, 2, msg::kVkLeft, 3, 1},
      {"up", 3, 2, msg::kVkUp, 2, 2},
      {"right", 3, 1, msg::kVkRight, 3, 2},
      {"down", 3, 1, msg::kVkDown, 4, 1},
  };
  for (const ArrowCase& c : cases) {
    SCOPED_TRACE(c.name);
    Select(c.row, c.col, c.row + 2, c.col);
    view.sentToGrid.clear();
    const auto before = Snapshot();
    KeyDown(c.key);
    EXPECT_EQ(control.Row(), c.expectedRow);
    EXPECT_EQ(control.Col(), c.expectedCol);
    EXPECT_EQ(SentToGrid(msg::kVScroll).size() + SentToGrid(msg::kHScroll).size(), 0u);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(ControlSaw(msg::kKeyDown), 0u) << "arrow keys are the editor's";
  }
}

struct ScrollCase {
  const char* name;
  std::int32_t windowWidth;
  std::int32_t topRow, leftCol;
  std::int32_t row, col;
  std::uint32_t key;
  std::uint32_t expectedMessage;
  std::uintptr_t expectedCode;
};

TEST_F(EditorEvents, KeyPressKeepsTheCurrentCellInViewByOneLineMessage) {
  const ScrollCase cases[] = {
      {"down past the window bottom", 400, 1, 1, 14, 1, msg::kVkDown, msg::kVScroll,
       msg::kSbLineDown},
      {"up under the title row", 400, 5, 1, 5, 1, msg::kVkUp, msg::kVScroll, msg::kSbLineUp},
      {"right past the window edge", 200, 1, 1, 1, 1, msg::kVkRight, msg::kHScroll,
       msg::kSbLineDown},
      {"left under the title column", 200, 1, 2, 1, 2, msg::kVkLeft, msg::kHScroll, msg::kSbLineUp},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    view.SetWindowSize(c.windowWidth, 300);
    control.SetTopRow(c.topRow);
    control.SetLeftCol(c.leftCol);
    Select(c.row, c.col, c.row, c.col);
    view.sentToGrid.clear();
    KeyDown(c.key);

    const auto vertical = SentToGrid(msg::kVScroll);
    const auto horizontal = SentToGrid(msg::kHScroll);
    ASSERT_EQ(vertical.size() + horizontal.size(), 1u);
    const auto& sent = vertical.empty() ? horizontal.front() : vertical.front();
    EXPECT_EQ(sent.message, c.expectedMessage);
    EXPECT_EQ(sent.wParam, c.expectedCode);
    EXPECT_EQ(sent.lParam, 0);

    // The control has scrolled: the new current cell is inside the data area.
    editor->RefreshSelection();
    EXPECT_GE(editor->selRectPx().top, 19);
    EXPECT_GE(editor->selRectPx().left, 89);
    EXPECT_LE(editor->selRectPx().bottom, 300);
    EXPECT_LE(editor->selRectPx().right, c.windowWidth);
  }
}

struct NoEditCase {
  const char* name;
  std::int32_t rows;  // 0 keeps the table's 256
  PixelPoint point;
};

TEST_F(EditorEvents, DoubleClickOutsideTheDataCellsStartsNoEdit) {
  const NoEditCase cases[] = {
      {"title row", 0, {135, 10}},
      {"row number column", 0, {45, 110}},
      {"below the last row", 5, {135, 200}},
      {"right of the last column", 0, {350, 30}},
  };
  for (const NoEditCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.rows != 0) editor->SetRowCount(c.rows);
    Send(msg::kLButtonDblClk, msg::kMkLButton, At(c.point));
    EXPECT_EQ(editor->editState(), 0);
    EXPECT_FALSE(view.editVisible);
    EXPECT_TRUE(NothingRecorded());
  }
}

TEST_F(EditorEvents, OtherKeysGoToTheControlAndChangeNoCell) {
  FillColumn(1, 1, {u"1", u"2"});
  const auto before = Snapshot();
  KeyDown('A');
  KeyDown(0x71);  // F2
  view.held.control = true;
  KeyDown('B');
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(editor->editState(), 0);
  EXPECT_EQ(ControlSaw(msg::kKeyDown), 3u);
}

TEST_F(EditorEvents, ShiftArrowsExtendTheSelectionFromTheCurrentCell) {
  Select(3, 1, 3, 1);
  view.held.shift = true;
  for (const std::uint32_t key : {msg::kVkDown, msg::kVkDown, msg::kVkRight, msg::kVkUp})
    KeyDown(key);
  EXPECT_EQ(std::vector({control.Row(), control.Col(), control.RowSel(), control.ColSel()}),
            std::vector({3, 1, 4, 2}));
}

TEST_F(EditorEvents, TypingOnACellStartsAnEditWithTheCharacter) {
  Select(3, 1, 3, 1);
  for (const std::uintptr_t control : {0x08, 0x0D, 0x01, 0x1B}) Send(msg::kChar, control, 1);
  EXPECT_EQ(editor->editState(), 0) << "control characters type nothing";

  Send(msg::kChar, u'7', 1);
  Send(msg::kChar, u'5', 1);  // already queued for the grid: the same edit
  EXPECT_EQ(editor->editState(), 3);
  EXPECT_EQ(view.focus, Focus::Edit);
  ASSERT_EQ(view.editMessages.size(), 2u);  // the first replaces the selected old text
  EXPECT_EQ(view.editMessages[0].wParam, u'7');
  EXPECT_EQ(view.editMessages[1].wParam, u'5');
  EXPECT_EQ(editor->history().StepCount(), 1u);
}

TEST_F(EditorEvents, ACommitLeavesTheKeyboardWhereItIsUnlessTheEditHadIt) {
  DoubleClickCell(3, 1);
  view.focus = Focus::None;  // a button of the dialog took it
  editor->CommitPendingEdit();
  EXPECT_EQ(view.focus, Focus::None);
}

TEST_F(EditorEvents, ClickingAnotherCellWhileEditingCommitsIntoTheEditedCell) {
  DoubleClickCell(3, 1);
  view.editText = u"5";
  control.SetRedraw(false);
  ClickCell(6, 2);

  EXPECT_EQ(control.TextMatrix(3, 1), u"5");
  EXPECT_EQ(control.TextMatrix(6, 2), u"");
  EXPECT_EQ(control.Row(), 6);
  EXPECT_EQ(control.Col(), 2);
  EXPECT_EQ(editor->editState(), 0);
  EXPECT_FALSE(view.editVisible);
  EXPECT_TRUE(control.Redraw());
}

TEST_F(EditorEvents, EditBoxHidesUnderTheFixedAreaAndComesBack) {
  DoubleClickCell(1, 1);
  view.editText = u"typed";
  ScrollOneRow(msg::kSbLineDown);
  Paint();
  EXPECT_EQ(editor->editState(), 2);
  EXPECT_FALSE(view.editVisible);
  EXPECT_TRUE(view.polylines.empty()) << "no frame while the edit is hidden";

  view.focus = Focus::None;
  ScrollOneRow(msg::kSbLineUp);
  Paint();
  EXPECT_EQ(editor->editState(), 3);
  EXPECT_TRUE(view.editVisible);
  EXPECT_EQ(view.editRect, (PixelRect{89, 19, 179, 39}));
  EXPECT_EQ(view.focus, Focus::Edit);
  EXPECT_EQ(view.editText, u"typed");
}

TEST_F(EditorEvents, HiddenPendingEditIsCommittedIntoItsOwnCell) {
  // By a click on another cell ...
  DoubleClickCell(1, 1);
  view.editText = u"9";
  ScrollOneRow(msg::kSbLineDown);
  Paint();
  ASSERT_EQ(editor->editState(), 2);
  ClickCell(5, 1);
  Paint();
  EXPECT_EQ(control.TextMatrix(1, 1), u"9");
  EXPECT_EQ(control.TextMatrix(5, 1), u"");
  EXPECT_EQ(editor->editState(), 0);
  EXPECT_FALSE(view.editVisible);

  // ... and by Enter, which must not restart the edit and drop the text.
  control.SetTopRow(1);
  DoubleClickCell(1, 2);
  view.editText = u"8";
  ScrollOneRow(msg::kSbLineDown);
  Paint();
  ASSERT_EQ(editor->editState(), 2);
  editor->EditWindowProc(msg::kKeyDown, msg::kVkReturn, 0);
  EXPECT_EQ(control.TextMatrix(1, 2), u"8");
  EXPECT_EQ(control.Row(), 2);
  EXPECT_EQ(editor->editState(), 0);
}

TEST_F(EditorEvents, PendingEditStaysWithItsCellWhicheverWayTheCurrentCellMoves) {
  const struct {
    const char* name;
    std::int32_t row, col;  // where the edit starts
    bool hidden;            // scrolled away first: the EDIT is hidden (state 2)
    std::function<void()> move;
    std::int32_t newRow, newCol;
    bool newEdit;  // the move itself opens an edit on the new cell
  } cases[] = {
      {"double-click on a row number", 3, 2, false,
       [&] { Send(msg::kLButtonDblClk, msg::kMkLButton, At(CellCentre(6, 0))); }, 6, 1, false},
      {"double-click on another cell", 3, 2, false,
       [&] { Send(msg::kLButtonDblClk, msg::kMkLButton, At(CellCentre(6, 1))); }, 6, 1, true},
      {"Page Down in the grid", 3, 2, false, [&] { KeyDown(msg::kVkNext); }, 17, 2, false},
      {"Home in the grid", 3, 2, false, [&] { KeyDown(msg::kVkHome); }, 3, 1, false},
      {"arrow while the box is hidden", 1, 2, true, [&] { KeyDown(msg::kVkDown); }, 2, 2, false},
      {"moved by the program", 3, 2, false, [&] { control.SetRow(8); }, 8, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int32_t row = 1; row <= 20; ++row) FillRow(row, 1, {u"x", u"y"});
    control.SetTopRow(1);
    const auto original = Snapshot();
    DoubleClickCell(c.row, c.col);
    view.editText = u"typed";
    if (c.hidden) {
      ScrollOneRow(msg::kSbLineDown);
      Paint();
      ASSERT_EQ(editor->editState(), 2);
    }

    c.move();
    Paint();

    EXPECT_EQ(control.Row(), c.newRow);
    EXPECT_EQ(control.Col(), c.newCol);
    EXPECT_EQ(control.TextMatrix(c.row, c.col), u"typed");
    EXPECT_EQ(control.TextMatrix(c.newRow, c.newCol), c.newCol == 1 ? u"x" : u"y");
    EXPECT_EQ(editor->editState(), c.newEdit ? 3 : 0);
    EXPECT_EQ(view.editVisible, c.newEdit);
    if (c.newEdit) {
      EXPECT_EQ(view.editText, u"x");
      EXPECT_EQ(editor->history().current()->region, (CellRegion{6, 6, 1, 1}));
    }

    // Every change was recorded: undoing all of it gives the grid back.
    for (int undo = 0; undo < 4 && !editor->history().AtSentinel(); ++undo)
      Send(msg::kCommand, kCmdUndo, 0);
    EXPECT_TRUE(editor->history().AtSentinel());
    EXPECT_EQ(Snapshot(), original);
  }
}

struct FrameCase {
  const char* name;
  std::int32_t top, left, bottom, right;
  std::vector<PixelPoint> frame;
  std::vector<PixelPoint> handle;
};

TEST_F(EditorEvents, PaintDrawsTheOpenFrameAndTheFillHandleAfterTheControl) {
  const FrameCase cases[] = {
      {"one cell",
       1,
       1,
       1,
       1,
       {{174, 39}, {89, 39}, {89, 19}, {179, 19}, {179, 34}},
       {{182, 42}, {176, 42}, {176, 36}, {182, 36}, {182, 42}}},
      {"block",
       2,
       1,
       3,
       2,
       {{264, 79}, {89, 79}, {89, 39}, {269, 39}, {269, 74}},
       {{272, 82}, {266, 82}, {266, 76}, {272, 76}, {272, 82}}},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    Select(c.top, c.left, c.bottom, c.right);
    view.polylines.clear();
    view.controlMessages.clear();
    Paint();
    ASSERT_EQ(ControlSaw(msg::kPaint), 1u);
    ASSERT_EQ(view.polylines.size(), 2u);
    EXPECT_EQ(view.polylines[0].points, c.frame);
    EXPECT_EQ(view.polylines[0].pen, PenKind::Black);
    EXPECT_EQ(view.polylines[1].points, c.handle);
    EXPECT_EQ(view.polylines[1].pen, PenKind::Black);
  }
}

TEST_F(EditorEvents, NoFrameWhileTheButtonIsDownOrTheSelectionIsUnderTheTitles) {
  LeftPress(CellCentre(2, 1));
  Paint();
  EXPECT_TRUE(view.polylines.empty());
  EXPECT_EQ(ControlSaw(msg::kPaint), 1u);
  LeftRelease(CellCentre(2, 1));
  Paint();
  EXPECT_EQ(view.polylines.size(), 2u);

  view.polylines.clear();
  Select(1, 1, 1, 1);
  control.SetTopRow(5);
  Paint();
  EXPECT_TRUE(view.polylines.empty());
}

struct WheelCase {
  const char* name;
  bool atBottom;
  std::int32_t topRow;
  std::uintptr_t keys;
  std::int32_t delta;
  std::uint32_t expectedMessage;  // 0: nothing sent and nothing repainted
  std::uintptr_t expectedCode;
};

TEST_F(EditorEvents, WheelScrollsOneLineAndStopsSilentlyAtTheEnds) {
  const WheelCase cases[] = {
      {"away at the top", false, 1, 0, 120, 0, 0},
      {"towards at the bottom", true, 0, 0, -120, 0, 0},
      {"away in the middle", false, 10, 0, 120, msg::kVScroll, msg::kSbLineUp},
      {"towards at the top", false, 1, 0, -360, msg::kVScroll, msg::kSbLineDown},
      {"zero delta scrolls down", false, 1, 0, 0, msg::kVScroll, msg::kSbLineDown},
      {"ctrl away scrolls left", false, 1, msg::kMkControl, 120, msg::kHScroll, msg::kSbLineUp},
      {"ctrl towards scrolls right", false, 1, msg::kMkControl, -120, msg::kHScroll,
       msg::kSbLineDown},
      {"ctrl with shift is vertical", false, 1, msg::kMkControl | msg::kMkShift, 120, 0, 0},
  };
  for (const WheelCase& c : cases) {
    SCOPED_TRACE(c.name);
    control.SetTopRow(c.atBottom ? control.MaxTopRow() : c.topRow);
    view.sentToGrid.clear();
    const int invalidations = view.invalidations;
    Wheel(c.delta, c.keys);

    const auto vertical = SentToGrid(msg::kVScroll);
    const auto horizontal = SentToGrid(msg::kHScroll);
    if (c.expectedMessage == 0) {
      EXPECT_TRUE(vertical.empty() && horizontal.empty());
      EXPECT_EQ(view.invalidations, invalidations);
    } else {
      ASSERT_EQ(vertical.size() + horizontal.size(), 1u);
      const auto& sent = vertical.empty() ? horizontal.front() : vertical.front();
      EXPECT_EQ(sent.message, c.expectedMessage);
      EXPECT_EQ(sent.wParam, c.expectedCode);
      EXPECT_EQ(view.invalidations, invalidations + 1);
    }
  }
  EXPECT_EQ(ControlSaw(msg::kMouseWheel), 0u);
}

TEST_F(EditorEvents, EditWindowPassesEverythingButEnterToItsOwnProcedure) {
  DoubleClickCell(2, 1);
  editor->EditWindowProc(msg::kKeyDown, 'A', 0x1E0001);
  editor->EditWindowProc(msg::kKeyDown, msg::kVkLeft, 0);
  ASSERT_EQ(view.editMessages.size(), 2u);
  EXPECT_EQ(view.editMessages[0].wParam, static_cast<std::uintptr_t>('A'));
  EXPECT_EQ(view.editMessages[0].lParam, 0x1E0001);
  EXPECT_EQ(control.Col(), 1) << "arrows inside the EDIT do not move the grid";
}

TEST_F(EditorEvents, EscapeIsTheEditsOwnAndTheDialogLeavesEnterAndEscapeToTheGrid) {
  FillColumn(1, 2, {u"kept"});
  DoubleClickCell(2, 1);
  view.editText = u"typed";
  view.editMessages.clear();
  editor->EditWindowProc(msg::kKeyDown, msg::kVkEscape, 0);
  ASSERT_EQ(view.editMessages.size(), 1u) << "the EDIT gets Escape; an edit has no cancel";
  EXPECT_EQ(view.editMessages[0].wParam, std::uintptr_t{msg::kVkEscape});
  EXPECT_EQ(editor->editState(), 3);
  EXPECT_TRUE(view.editVisible);
  EXPECT_EQ(control.TextMatrix(2, 1), u"kept");

  // Their characters would make the EDIT beep; others are its own.
  view.editMessages.clear();
  for (std::uintptr_t ch : {std::uintptr_t{'\r'}, std::uintptr_t{0x1B}, std::uintptr_t{'x'}})
    editor->EditWindowProc(msg::kChar, ch, 0);
  ASSERT_EQ(view.editMessages.size(), 1u);
  EXPECT_EQ(view.editMessages[0].wParam, std::uintptr_t{'x'});

  // A dialog must leave Enter and Escape to both windows, and Tab to itself.
  for (std::uintptr_t key : {std::uintptr_t{msg::kVkReturn}, std::uintptr_t{msg::kVkEscape},
                             std::uintptr_t{0x09}, std::uintptr_t{msg::kVkLeft}}) {
    const bool wanted = key == msg::kVkReturn || key == msg::kVkEscape;
    EXPECT_EQ((Send(msg::kGetDlgCode, key, 0) & msg::kDlgcWantMessage) != 0, wanted) << key;
    EXPECT_EQ((editor->EditWindowProc(msg::kGetDlgCode, key, 0) & msg::kDlgcWantMessage) != 0,
              wanted)
        << key;
  }
}

TEST(GridWindowBoundary, FailedControlAccessEndsTheMessageWithoutAnException) {
  GridControl control;
  FakeEditorView view{control};
  MemoryClipboard clipboard;
  const auto codePage = MakeCodePage("CP936");
  ScriptedMessageBoxes messages;
  GridEditor editor(clipboard, *codePage, messages);
  view.SetEditor(&editor);
  editor.AttachControl(nullptr, &view);  // no control: every access throws

  for (std::uint32_t message : {msg::kKeyDown, msg::kPaint, msg::kLButtonDown, msg::kRButtonDown}) {
    std::intptr_t result = -1;
    EXPECT_NO_THROW(result = editor.GridWindowProc(message, msg::kVkDown, 0));
    EXPECT_EQ(result, 0);
  }
  EXPECT_NO_THROW(editor.EditWindowProc(msg::kKeyDown, msg::kVkReturn, 0));
}

}  // namespace
}  // namespace dorvane::testing

#include <gtest/gtest.h>

#include <vector>

#include "support/grid_window_test.h"

namespace dorvane::testing {
namespace {

class FillDrag : public GridWindowTest {
 protected:
  // Selects the block and paints, which places the fill handle.
  void SelectBlock(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right) {
    Select(top, left, bottom, right);
    Paint();
  }
  // The lower right corner of the selection, the middle of the fill handle.
  PixelPoint Handle() const { return {editor->selRectPx().right, editor->selRectPx().bottom}; }
  void MoveWith(std::uintptr_t keys, PixelPoint point) { Send(msg::kMouseMove, keys, At(point)); }
  void DragTo(std::int32_t row, std::int32_t col) {
    MoveWith(msg::kMkLButton, CellCentre(row, col));
  }
  // Press on the handle, drag down to `row`, release there.
  void FillDownTo(std::int32_t row) {
    const std::int32_t col = editor->selLeft();
    LeftPress(Handle());
    DragTo(row, col);
    LeftRelease(CellCentre(row, col));
  }
  std::size_t ControlSaw(std::uint32_t message) const {
    std::size_t count = 0;
    for (const auto& seen : view.controlMessages) count += seen.message == message;
    return count;
  }
  std::vector<FakeEditorView::Polyline> XorFrames() const {
    std::vector<FakeEditorView::Polyline> frames;
    for (const auto& line : view.polylines)
      if (line.pen == PenKind::DragXor) frames.push_back(line);
    return frames;
  }
};

struct FillCase {
  const char* name;
  std::int32_t left, right;
  std::int32_t blockRows;                          // the selection: rows 1 to blockRows
  std::vector<std::vector<std::u16string>> cells;  // per column, from row 1 down
  std::int32_t dragTo;
  std::vector<std::vector<std::u16string>> expected;  // per column, rows 1 to dragTo
};

TEST_F(FillDrag, ExtendsEachColumnByTheStepOfItsLastTwoCells) {
  const FillCase cases[] = {
      {"one row repeats",
       1,
       2,
       1,
       {{u"5"}, {u"7"}},
       4,
       {{u"5", u"5", u"5", u"5"}, {u"7", u"7", u"7", u"7"}}},
      {"counts up", 1, 1, 2, {{u"1", u"3"}}, 4, {{u"1", u"3", u"5", u"7"}}},
      {"fractions", 1, 1, 2, {{u"1.5", u"2"}}, 4, {{u"1.5", u"2", u"2.5", u"3"}}},
      {"counts down", 1, 1, 2, {{u"10", u"4"}}, 4, {{u"10", u"4", u"-2", u"-8"}}},
      {"text counts as zero", 1, 1, 2, {{u"abc", u"3"}}, 4, {{u"abc", u"3", u"6", u"9"}}},
      {"through zero", 1, 1, 2, {{u"1", u"0.5"}}, 4, {{u"1", u"0.5", u"0", u"-0.5"}}},
      {"single precision", 2, 2, 1, {{u"1234567.891"}}, 2, {{u"1234567.891", u"1234567.875"}}},
      {"continues from the three-decimal text above",
       1,
       1,
       2,
       {{u"1.0004", u"1.0008"}},
       4,
       {{u"1.0004", u"1.0008", u"1.001", u"1.001"}}},
      {"an empty cell stops only its column, and what lies below it stays",
       1,
       2,
       2,
       {{u"1", u"2"}, {u"5", u"", u"x"}},
       4,
       {{u"1", u"2", u"3", u"4"}, {u"5", u"", u"x", u""}}},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int32_t row = 1; row < control.Rows(); ++row)
      for (std::int32_t col = 1; col < control.Cols(); ++col) control.SetTextMatrix(row, col, u"");
    for (std::size_t k = 0; k < c.cells.size(); ++k)
      for (std::size_t i = 0; i < c.cells[k].size(); ++i)
        control.SetTextMatrix(1 + static_cast<std::int32_t>(i),
                              c.left + static_cast<std::int32_t>(k), c.cells[k][i]);
    SelectBlock(1, c.left, c.blockRows, c.right);
    FillDownTo(c.dragTo);

    for (std::size_t k = 0; k < c.expected.size(); ++k)
      EXPECT_EQ(Column(c.left + static_cast<std::int32_t>(k), 1, c.dragTo), c.expected[k]);
    EXPECT_EQ(control.TextMatrix(c.dragTo + 1, c.left), u"");
    EXPECT_EQ(editor->GetSelection().top, 1);
    EXPECT_EQ(editor->GetSelection().bottom, c.dragTo);
    EXPECT_EQ(editor->GetSelection().left, c.left);
    EXPECT_EQ(editor->GetSelection().right, c.right);
    EXPECT_FALSE(editor->fillDragging());
    EXPECT_FALSE(view.captured);
    EXPECT_EQ(view.cursor, CursorKind::Arrow);
  }
}

TEST_F(FillDrag, PressAndReleaseOnTheHandleRecordsAStepAndChangesNothing) {
  FillColumn(1, 1, {u"1", u"3"});
  SelectBlock(1, 1, 2, 1);
  const auto before = Snapshot();
  LeftPress(Handle());
  LeftRelease(Handle());

  EXPECT_EQ(Snapshot(), before);
  const HistoryStep* step = editor->history().current();
  EXPECT_EQ(step->kind, StepKind::FillDrag);
  EXPECT_EQ(step->region, (CellRegion{1, 2, 1, 1}));
  EXPECT_EQ(control.Row(), 1);
  EXPECT_EQ(control.RowSel(), 2);
  EXPECT_EQ(ControlSaw(msg::kLButtonDown), 0u) << "the control must not see the press";
}

TEST_F(FillDrag, OnlyTheBottomFollowsTheMouseAndNeverAboveTheStartingBlock) {
  FillColumn(1, 3, {u"1", u"2"});
  SelectBlock(3, 1, 4, 1);
  LeftPress(Handle());
  const CellRect start{1, 3, 1, 4};
  EXPECT_EQ(editor->dragRange(), start);

  DragTo(1, 1);
  EXPECT_EQ(editor->dragRange(), start) << "above the block";
  DragTo(4, 2);
  EXPECT_EQ(editor->dragRange(), start) << "sideways";
  MoveWith(msg::kMkLButton, {150, 1000});
  EXPECT_EQ(editor->dragRange(), start) << "outside the window";
  DragTo(7, 2);
  EXPECT_EQ(editor->dragRange(), (CellRect{1, 3, 1, 7}));
  DragTo(4, 1);
  EXPECT_EQ(editor->dragRange(), start) << "back to the last row";

  const auto before = Snapshot();
  LeftRelease(CellCentre(4, 1));
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(editor->GetSelection().bottom, 4);
}

TEST_F(FillDrag, AnEditInProgressIsCommittedBeforeTheDragBegins) {
  DoubleClickCell(1, 1);
  view.editText = u"12";
  Paint();
  ASSERT_EQ(editor->editState(), 3);
  LeftPress(Handle());
  EXPECT_EQ(control.TextMatrix(1, 1), u"12");
  EXPECT_EQ(editor->editState(), 0);
  EXPECT_FALSE(view.editVisible);

  DragTo(3, 1);
  LeftRelease(CellCentre(3, 1));
  EXPECT_EQ(Column(1, 1, 3), (std::vector<std::u16string>{u"12", u"12", u"12"}));
}

TEST_F(FillDrag, XorFrameIsErasedWithExactlyThePointsItWasDrawnWith) {
  SelectBlock(1, 1, 1, 1);
  view.polylines.clear();
  LeftPress(Handle());
  DragTo(3, 1);
  LeftRelease(CellCentre(3, 1));

  const auto frames = XorFrames();
  ASSERT_EQ(frames.size(), 4u);
  // Far edges: (ColPos + ColWidth) / 15 and (RowPos + RowHeight) / 15, no - 1.
  const std::vector<PixelPoint> first{{180, 40}, {89, 40}, {89, 19}, {180, 19}, {180, 40}};
  const std::vector<PixelPoint> extended{{180, 80}, {89, 80}, {89, 19}, {180, 19}, {180, 80}};
  EXPECT_EQ(frames[0].points, first);
  EXPECT_EQ(frames[1].points, first);
  EXPECT_EQ(frames[2].points, extended);
  EXPECT_EQ(frames[3].points, extended);
  EXPECT_EQ(view.polylines.size(), 4u) << "no selection frame is drawn during the drag";
}

TEST_F(FillDrag, TheControlNeitherPaintsNorSeesTheMouseDuringTheDrag) {
  SelectBlock(1, 1, 1, 1);
  LeftPress(Handle());
  EXPECT_TRUE(view.captured);
  EXPECT_EQ(view.cursor, CursorKind::Cross);
  EXPECT_EQ(view.frozenCalls, std::vector<bool>{true});

  const std::size_t paintsBefore = ControlSaw(msg::kPaint);
  Paint();
  EXPECT_EQ(ControlSaw(msg::kPaint), paintsBefore);
  EXPECT_EQ(view.validations, 1) << "a swallowed paint must not come straight back";

  DragTo(3, 1);
  EXPECT_EQ(ControlSaw(msg::kMouseMove), 0u);
  MoveWith(msg::kMkLButton | msg::kMkShift, CellCentre(5, 1));
  EXPECT_EQ(ControlSaw(msg::kMouseMove), 1u) << "moves with other keys go to the control";
  EXPECT_EQ(editor->dragRange().bottom, 3);

  LeftRelease(CellCentre(3, 1));
  EXPECT_EQ(view.frozenCalls, (std::vector<bool>{true, false}));
  Paint();
  EXPECT_EQ(ControlSaw(msg::kPaint), paintsBefore + 1);
}

TEST_F(FillDrag, LosingTheCaptureEndsTheDragWithoutFilling) {
  FillColumn(1, 1, {u"1", u"2"});
  SelectBlock(1, 1, 2, 1);
  const auto before = Snapshot();
  LeftPress(Handle());
  DragTo(5, 1);
  Send(msg::kCaptureChanged);  // still captured: our own SetCapture, nothing lost
  ASSERT_TRUE(editor->fillDragging());

  view.captured = false;  // another window took it
  Send(msg::kCaptureChanged);

  EXPECT_FALSE(editor->fillDragging());
  EXPECT_FALSE(editor->buttonDown());
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(editor->history().StepCount(), 0u);
  EXPECT_EQ(view.frozenCalls, (std::vector<bool>{true, false}));
  const auto frames = XorFrames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[3].points, frames[2].points) << "the last frame is erased";
  view.polylines.clear();
  Paint();
  EXPECT_EQ(view.polylines.size(), 2u) << "painting and the selection frame are back";
}

TEST_F(FillDrag, HoveringOverTheHandleShowsTheCrossWithoutTheControl) {
  SelectBlock(2, 1, 2, 1);
  MoveWith(0, Handle());
  EXPECT_EQ(view.cursor, CursorKind::Cross);
  EXPECT_EQ(ControlSaw(msg::kMouseMove), 0u);

  MoveWith(0, CellCentre(5, 2));
  EXPECT_EQ(ControlSaw(msg::kMouseMove), 1u);

  // The system asks for the cursor before each move: over the handle it stays
  // the cross, elsewhere the control chooses.
  const auto screen = [&](PixelPoint p) {
    return PixelPoint{p.x + view.screenOrigin.x, p.y + view.screenOrigin.y};
  };
  view.cursor = CursorKind::Arrow;
  view.cursorScreen = screen(Handle());
  EXPECT_EQ(Send(msg::kSetCursor, 0, msg::kHtClient), 1);
  EXPECT_EQ(view.cursor, CursorKind::Cross);
  view.cursor = CursorKind::Arrow;
  view.cursorScreen = screen(CellCentre(5, 2));
  Send(msg::kSetCursor, 0, msg::kHtClient);
  EXPECT_EQ(view.cursor, CursorKind::Arrow);
  EXPECT_EQ(ControlSaw(msg::kSetCursor), 1u);
}

TEST_F(FillDrag, UndoTakesTheFilledCellsBack) {
  FillColumn(1, 1, {u"1", u"2"});
  SelectBlock(1, 1, 2, 1);
  FillDownTo(4);
  ASSERT_EQ(Column(1, 1, 4), (std::vector<std::u16string>{u"1", u"2", u"3", u"4"}));

  Send(msg::kCommand, kCmdUndo, 0);
  EXPECT_EQ(Column(1, 1, 4), (std::vector<std::u16string>{u"1", u"2", u"", u""}));
  Send(msg::kCommand, kCmdRedo, 0);
  EXPECT_EQ(Column(1, 1, 4), (std::vector<std::u16string>{u"1", u"2", u"3", u"4"}));
}

}  // namespace
}  // namespace dorvane::testing

#include <cmath>
#include <limits>

#include "grid/topography_grid.h"
#include "platform/window_messages.h"
#include "support/editor_fixture.h"

namespace dorvane {
namespace {

using testing::EditorFixture;

class GridEditorTest : public EditorFixture {};

TEST_F(GridEditorTest, TopographySetUpGivesTheMainDialogTable) {
  SetUpTopography();
  EXPECT_EQ(control.Rows(), 256);
  EXPECT_EQ(control.Cols(), 3);
  EXPECT_EQ(control.FixedRows(), 1);
  EXPECT_EQ(control.FixedCols(), 1);
  EXPECT_EQ(control.Row(), 1);
  EXPECT_EQ(control.Col(), 1);
  EXPECT_EQ(editor->GetCellText(0, 1), u"X坐标(斜距)");
  EXPECT_EQ(editor->GetCellText(0, 2), u"Y坐标(高程)");
  EXPECT_EQ(editor->GetCellText(1, 0), u"1(首电极地形)");
  EXPECT_EQ(editor->GetCellText(2, 0), u"2");
  EXPECT_EQ(editor->GetCellText(5, 0), u"5");
  EXPECT_EQ(editor->GetCellText(255, 0), u"255");
  EXPECT_EQ(editor->GetCellText(256, 1), std::nullopt);
  EXPECT_EQ(editor->GetRowCount(), 256);
  for (std::int32_t col = 0; col < 3; ++col) EXPECT_EQ(control.ColAlignment(col), 4) << col;
  EXPECT_EQ(control.ColWidth(1), 90 * 15);
  EXPECT_EQ(control.ColWidth(2), 90 * 15);
}

TEST_F(GridEditorTest, CellAccessOutsideTheGridReadsNothingAndWritesNothing) {
  SetUpTopography();
  const auto before = Snapshot();
  const struct {
    std::int32_t row, col;
  } outside[] = {{-1, 1}, {1, -1}, {256, 1}, {1, 3}, {256, 3}, {-5, -5}};
  for (const auto& cell : outside) {
    EXPECT_EQ(editor->GetCellText(cell.row, cell.col), std::nullopt) << cell.row << "," << cell.col;
    EXPECT_EQ(editor->SetCellText(cell.row, cell.col, u"x"), 0) << cell.row << "," << cell.col;
  }
  EXPECT_EQ(Snapshot(), before);

  EXPECT_EQ(editor->SetCellText(255, 2, u"高程"), 1);
  EXPECT_EQ(editor->GetCellText(255, 2), u"高程");
  EXPECT_EQ(editor->SetCellText(255, 2, u""), 1);
  EXPECT_EQ(editor->GetCellText(255, 2), u"");
}

TEST_F(GridEditorTest, ColumnCountIsClampedAndSetsTheRowCapacity) {
  const struct {
    std::int32_t requested, cols, capacity;
  } cases[] = {{-3, 1, 65536}, {0, 1, 65536},   {1, 1, 65536},   {3, 3, 65536},
               {6, 6, 56666},  {10, 10, 34000}, {27, 27, 12592}, {40, 27, 12592}};
  for (const auto& c : cases) {
    EXPECT_EQ(editor->SetColumnCount(c.requested), c.cols) << c.requested;
    EXPECT_EQ(control.Cols(), c.cols);
    EXPECT_EQ(editor->RowCapacity(), c.capacity) << c.requested;
    for (std::int32_t col = 0; col < c.cols; ++col) EXPECT_EQ(control.ColAlignment(col), 4);
  }
}

TEST_F(GridEditorTest, MoreColumnsCutTheRowsToTheNewCapacity) {
  SetUpTopography();
  EXPECT_EQ(editor->SetRowCount(65536), 65536);
  control.SetTextMatrix(12591, 1, u"kept");
  EXPECT_EQ(editor->SetColumnCount(27), 27);
  EXPECT_EQ(control.Rows(), 12592);
  EXPECT_EQ(control.TextMatrix(12591, 1), u"kept");
  EXPECT_EQ(editor->SetColumnCount(10), 10);
  EXPECT_EQ(control.Rows(), 12592);  // fewer columns never add rows
}

TEST_F(GridEditorTest, RowCountStaysBetweenOneAndTheCapacityAndRenumbers) {
  SetUpTopography();
  EXPECT_EQ(editor->SetRowCount(0), 1);
  EXPECT_EQ(control.Rows(), 1);
  EXPECT_EQ(editor->SetRowCount(-7), 1);

  EXPECT_EQ(editor->SetRowCount(100000), 65536);
  EXPECT_EQ(control.TextMatrix(1, 0), u"1");
  EXPECT_EQ(control.TextMatrix(65535, 0), u"65535");
  EXPECT_EQ(control.TextMatrix(0, 0), u"");

  editor->SetColumnCount(27);
  EXPECT_EQ(editor->SetRowCount(100000), 12592);
  EXPECT_EQ(editor->SetRowCount(40), 40);
  EXPECT_EQ(control.TextMatrix(39, 0), u"39");
}

// The control's window measures the screen; the editor must find, frame and
// edit each cell exactly where the control draws it.
TEST(GridEditorHosting, EditorAndControlShareOneResolution) {
  for (const std::int32_t dpi : {96, 120, 144}) {
    SCOPED_TRACE(dpi);
    const std::int32_t twips = 1440 / dpi;
    GridControl control;
    control.SetTwipsPerPixel(twips, twips);
    testing::FakeEditorView view{control};
    MemoryClipboard clipboard;
    auto codePage = MakeCodePage("CP936");
    testing::ScriptedMessageBoxes messages;
    GridEditor editor(clipboard, *codePage, messages);
    view.SetEditor(&editor);
    view.SetWindowSize(400, 300);
    ASSERT_EQ(editor.AttachControl(&control, &view), 1);
    SetUpTopographyGrid(editor);
    // 90 x 20 pixels at 96 dpi, as large on the screen at any other resolution.
    EXPECT_EQ(control.ColWidth(2) / twips, 90 * dpi / 96);
    EXPECT_EQ(control.RowHeightMin() / twips, 20 * dpi / 96);

    const std::int32_t x = (control.ColPos(2) + control.ColWidth(2) / 2) / twips;
    const std::int32_t y = (control.RowPos(6) + control.RowHeight(6) / 2) / twips;
    editor.GridWindowProc(msg::kLButtonDblClk, msg::kMkLButton, msg::MakePointParam(x, y));

    EXPECT_EQ(control.Row(), 6);
    EXPECT_EQ(control.Col(), 2);
    EXPECT_EQ(editor.editState(), 3);
    const std::int32_t left = control.ColPos(2) / twips, top = control.RowPos(6) / twips;
    EXPECT_EQ(view.editRect, (PixelRect{left - 1, top - 1, left + control.ColWidth(2) / twips - 1,
                                        top + control.RowHeight(6) / twips - 1}));
  }
}

TEST(GridEditorHosting, TwipsPerPixelFollowTheScreenResolution) {
  const struct {
    std::int32_t dpi, twips;
  } cases[] = {{96, 15}, {120, 12}, {144, 10}, {0, 15}, {-1, 15}, {5000, 1}};
  for (const auto& c : cases) EXPECT_EQ(TwipsPerPixelForDpi(c.dpi), c.twips) << c.dpi;
}

TEST_F(GridEditorTest, AttachingAppliesTheStandardSettings) {
  EXPECT_EQ(control.Rows(), 100);
  EXPECT_EQ(control.Cols(), 5);
  EXPECT_EQ(control.Row(), 1);
  EXPECT_EQ(control.Col(), 1);
  EXPECT_EQ(control.AllowUserResizing(), 3);
  EXPECT_EQ(control.FocusRect(), 1);
  EXPECT_TRUE(control.ScrollTrack());
  EXPECT_EQ(control.ColWidth(3), GridControl::kDefaultColWidth);
  EXPECT_FALSE(view.menuItems.empty());
}

TEST(GridEditorHosting, WithoutAControlEveryAccessRaisesThePointerError) {
  MemoryClipboard clipboard;
  auto codePage = MakeCodePage("CP936");
  testing::ScriptedMessageBoxes messages;
  GridEditor editor(clipboard, *codePage, messages);
  EXPECT_EQ(editor.AttachControl(nullptr, nullptr), 0);
  try {
    editor.GetRowCount();
    FAIL() << "no error raised";
  } catch (const GridError& error) {
    EXPECT_EQ(error.code(), kGridErrorPointer);
  }
  EXPECT_THROW(editor.SetCellText(1, 1, u"x"), GridError);
  EXPECT_THROW(editor.RefreshSelection(), GridError);
  EXPECT_FALSE(editor.popupMenuBuilt());
}

TEST_F(GridEditorTest, SelectionRectanglesTruncateEachQuotientOnItsOwn) {
  // 1000 twips are 66.67 pixels at 15 twips per pixel: summing before dividing
  // would move the right edge by two pixels.
  control.SetColWidth(0, 1000);
  control.SetColWidth(1, 1000);
  Select(3, 2, 1, 1);
  EXPECT_EQ(editor->RefreshSelection(), 1);
  const auto sel = editor->GetSelection();
  EXPECT_EQ(sel.top, 1);
  EXPECT_EQ(sel.bottom, 3);
  EXPECT_EQ(sel.left, 1);
  EXPECT_EQ(sel.right, 2);

  // Rows are 20 pixels (RowHeightMin); columns 0 and 1 are 66 pixels, column 2 is 90.
  EXPECT_EQ(editor->selRectPx(), (PixelRect{65, 19, 133 + 90 - 1, 79}));
  EXPECT_EQ(editor->fillHandleRect(), (PixelRect{219, 76, 225, 82}));

  Select(2, 1, 2, 1);
  editor->RefreshSelection();
  EXPECT_EQ(editor->selRectPx(), (PixelRect{65, 39, 66 + 66 - 1, 59}));
  EXPECT_EQ(editor->fillHandleRect(), (PixelRect{128, 56, 134, 62}));
}

TEST_F(GridEditorTest, HitTestFindsCellsWithInclusiveEnds) {
  SetUpTopography();  // rows of 20 pixels, columns of 90, a 400 x 300 client area
  const struct {
    std::int32_t x, y;
    bool ok;
    std::int32_t row, col;
  } cases[] = {
      {0, 0, true, 0, 0},      {90, 20, true, 0, 0},    {91, 21, true, 1, 1},
      {180, 40, true, 1, 1},   {181, 41, true, 2, 2},   {270, 299, true, 14, 2},
      {271, 100, false, 0, 0},                           // right of the last column
      {395, 100, false, 0, 0}, {100, 330, false, 0, 0},  // below the client area
  };
  for (const auto& c : cases) {
    std::int32_t row = -1, col = -1;
    EXPECT_EQ(editor->HitTestCell(c.x, c.y, row, col), c.ok) << c.x << "," << c.y;
    if (c.ok) {
      EXPECT_EQ(row, c.row) << c.x << "," << c.y;
      EXPECT_EQ(col, c.col) << c.x << "," << c.y;
    }
  }
}

TEST_F(GridEditorTest, HitTestFailsBelowTheLastRowAndFollowsScrolling) {
  SetUpTopography();
  editor->SetRowCount(5);  // rows 0..4 end at pixel 100
  std::int32_t row = -1, col = -1;
  EXPECT_TRUE(editor->HitTestCell(100, 100, row, col));
  EXPECT_EQ(row, 4);
  EXPECT_FALSE(editor->HitTestCell(100, 101, row, col));

  editor->SetRowCount(256);
  control.SetTopRow(50);
  ASSERT_EQ(control.TopRow(), 50);
  EXPECT_TRUE(editor->HitTestCell(100, 10, row, col));
  EXPECT_EQ(row, 0);  // the fixed row stays on top
  EXPECT_TRUE(editor->HitTestCell(100, 30, row, col));
  EXPECT_EQ(row, 50);
  EXPECT_TRUE(editor->HitTestCell(100, 61, row, col));
  EXPECT_EQ(row, 52);
}

TEST(GridEditorNumbers, CellTextToNumberReadsTheLeadingDecimal) {
  const struct {
    std::u16string text;
    float value;
  } cases[] = {
      {u"-5.5", -5.5f},
      {u"", 0.0f},
      {u"abc", 0.0f},
      {u"12", 12.0f},
      {u".5", 0.5f},
      {u"+2.25", 2.25f},
      {u"  7", 7.0f},
      {u"1e3", 1000.0f},
      {u"2.5E-1", 0.25f},
      {u"1e", 1.0f},
      {u"3.14abc", 3.14f},
      {u"1.5.2", 1.5f},
      {u"-", 0.0f},
      {u"１２", 0.0f},
      {u"0.1", 0.1f},
      {u"16777217", 16777216.0f},  // rounded to single precision
      {std::u16string(255, u' ') + u"5", 5.0f},
      {std::u16string(256, u' ') + u"5", 0.0f},  // only the first 256 units count
      {u"1" + std::u16string(300, u'0'), std::numeric_limits<float>::infinity()},
      {u"1e-400", 0.0f},
  };
  for (const auto& c : cases) {
    const float value = GridEditor::CellTextToNumber(c.text);
    EXPECT_EQ(value, c.value) << std::string(
        c.text.begin(), c.text.begin() + std::min<std::size_t>(c.text.size(), 20));
  }
}

TEST(GridEditorNumbers, TrimTrailingZerosStopsAtThePointOrTheFirstCharacter) {
  const struct {
    std::u16string text, trimmed;
  } cases[] = {{u"12.500", u"12.5"}, {u"3.000", u"3"},      {u"-0.000", u"-0"},
               {u"0.000", u"0"},     {u"10.250", u"10.25"}, {u"7.", u"7"},
               {u"0", u"0"},         {u".", u"."},          {u"", u""},
               {u"1.5", u"1.5"}};
  for (const auto& c : cases) {
    std::u16string text = c.text;
    GridEditor::TrimTrailingZeros(text);
    EXPECT_EQ(text, c.trimmed);
  }
}

}  // namespace
}  // namespace dorvane

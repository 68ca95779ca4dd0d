#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "gridcontrol/grid_control.h"
#include "gridcontrol/grid_paint_plan.h"
#include "platform/window_messages.h"

namespace dorvane {
namespace {

using Texts = std::vector<std::u16string>;

// 100 rows by 5 columns in a 400 x 300 pixel client area at 96 dpi: rows are
// 16 pixels, columns 64, so 17 data rows and all 5 columns are wholly visible.
struct GridHarness {
  GridHarness() {
    grid.SetRows(100);
    grid.SetCols(5);
    grid.SetClientSize(400, 300);
  }
  std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::int32_t x = 0,
                     std::int32_t y = 0) {
    return grid.HandleMessage(message, wParam, msg::MakePointParam(x, y));
  }
  void Key(std::uint32_t key, bool shift = false, bool control = false) {
    grid.HandleKey(key, {shift, control});
  }
  void Scroll(std::uint32_t message, std::uintptr_t code, std::uintptr_t thumb = 0) {
    grid.HandleMessage(message, code | thumb << 16, 0);
  }
  void ExpectSelection(std::int32_t row, std::int32_t col, std::int32_t rowSel,
                       std::int32_t colSel) {
    EXPECT_EQ(grid.Row(), row);
    EXPECT_EQ(grid.Col(), col);
    EXPECT_EQ(grid.RowSel(), rowSel);
    EXPECT_EQ(grid.ColSel(), colSel);
  }
  void FillColumn(std::int32_t col, std::int32_t row, const Texts& texts) {
    for (const auto& text : texts) grid.SetTextMatrix(row++, col, text);
  }
  Texts Column(std::int32_t col, std::int32_t first, std::int32_t last) const {
    Texts texts;
    for (std::int32_t row = first; row <= last; ++row) texts.push_back(grid.TextMatrix(row, col));
    return texts;
  }

  GridControl grid;
};

class GridControlTest : public ::testing::Test, public GridHarness {};

TEST(GridControlDefaults, FreshControlLooksLikeAFlexGrid) {
  GridControl grid;
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.Cols(), 2);
  EXPECT_EQ(grid.FixedRows(), 1);
  EXPECT_EQ(grid.FixedCols(), 1);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.TopRow(), 1);
  EXPECT_EQ(grid.LeftCol(), 1);
  EXPECT_EQ(grid.RowHeight(1), 240);
  EXPECT_EQ(grid.ColWidth(1), 960);
  EXPECT_EQ(grid.RowPos(1), 240);
  EXPECT_EQ(grid.ColPos(1), 960);
  EXPECT_EQ(grid.Text(), u"");
  EXPECT_EQ(grid.hWnd(), 0u);
  grid.SetWindow(0x1234);
  EXPECT_EQ(grid.hWnd(), 0x1234u);
}

TEST_F(GridControlTest, FailedAccessesThrowTheirCodes) {
  struct Case {
    const char* name;
    std::function<void(GridControl&)> call;
    std::int32_t code;
  };
  const std::vector<Case> cases = {
      {"TextMatrix row -1", [](GridControl& g) { g.TextMatrix(-1, 0); }, kGridErrorBadIndex},
      {"TextMatrix row Rows", [](GridControl& g) { g.TextMatrix(100, 0); }, kGridErrorBadIndex},
      {"TextMatrix col Cols", [](GridControl& g) { g.TextMatrix(0, 5); }, kGridErrorBadIndex},
      {"SetTextMatrix", [](GridControl& g) { g.SetTextMatrix(100, 1, u"x"); }, kGridErrorBadIndex},
      {"SetColumnTexts past the last row",
       [](GridControl& g) {
         g.SetColumnTexts(1, 99, Texts{u"x", u"y"});
       },
       kGridErrorBadIndex},
      {"SetRow", [](GridControl& g) { g.SetRow(100); }, kGridErrorBadIndex},
      {"SetCol", [](GridControl& g) { g.SetCol(-1); }, kGridErrorBadIndex},
      {"SetRowSel", [](GridControl& g) { g.SetRowSel(-1); }, kGridErrorBadIndex},
      {"SetColSel", [](GridControl& g) { g.SetColSel(5); }, kGridErrorBadIndex},
      {"RowPos", [](GridControl& g) { g.RowPos(100); }, kGridErrorBadIndex},
      {"ColPos", [](GridControl& g) { g.ColPos(5); }, kGridErrorBadIndex},
      {"RowHeight", [](GridControl& g) { g.RowHeight(-1); }, kGridErrorBadIndex},
      {"ColWidth", [](GridControl& g) { g.ColWidth(5); }, kGridErrorBadIndex},
      {"SetColWidth index", [](GridControl& g) { g.SetColWidth(5, 100); }, kGridErrorBadIndex},
      {"SetColAlignment", [](GridControl& g) { g.SetColAlignment(9, 4); }, kGridErrorBadIndex},
      {"SetTopRow", [](GridControl& g) { g.SetTopRow(100); }, kGridErrorBadIndex},
      {"SetRows negative", [](GridControl& g) { g.SetRows(-1); }, kGridErrorInvalidValue},
      {"SetRows below fixed", [](GridControl& g) { g.SetRows(0); }, kGridErrorInvalidValue},
      {"SetRows too many cells", [](GridControl& g) { g.SetRows(0x7FFFFFFF); },
       kGridErrorInvalidValue},
      {"SetCols too many cells", [](GridControl& g) { g.SetCols(1 << 22); },
       kGridErrorInvalidValue},
      {"SetCols below fixed", [](GridControl& g) { g.SetCols(0); }, kGridErrorInvalidValue},
      {"SetFixedRows = Rows", [](GridControl& g) { g.SetFixedRows(100); }, kGridErrorInvalidValue},
      {"SetFixedCols negative", [](GridControl& g) { g.SetFixedCols(-1); }, kGridErrorInvalidValue},
      {"SetColWidth negative", [](GridControl& g) { g.SetColWidth(1, -2); },
       kGridErrorInvalidValue},
      {"SetRowHeightMin", [](GridControl& g) { g.SetRowHeightMin(-1); }, kGridErrorInvalidValue},
      {"SetColAlignment value", [](GridControl& g) { g.SetColAlignment(1, 10); },
       kGridErrorInvalidValue},
      {"SetAllowUserResizing", [](GridControl& g) { g.SetAllowUserResizing(4); },
       kGridErrorInvalidValue},
      {"SetSort", [](GridControl& g) { g.SetSort(3); }, kGridErrorInvalidValue},
      {"SetTwipsPerPixel", [](GridControl& g) { g.SetTwipsPerPixel(0, 15); },
       kGridErrorInvalidValue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call(grid);
      ADD_FAILURE() << "no GridError";
    } catch (const GridError& error) {
      EXPECT_EQ(error.code(), c.code);
    }
  }
  EXPECT_EQ(grid.Rows(), 100);
  EXPECT_EQ(grid.Cols(), 5);
}

TEST_F(GridControlTest, ShrinkingKeepsCurrentCellSelectionAndScrollInside) {
  grid.SetRow(90);
  grid.SetCol(4);
  grid.SetRowSel(95);
  grid.SetColSel(3);
  grid.SetTopRow(80);
  grid.SetTextMatrix(9, 2, u"kept");
  grid.SetTextMatrix(10, 2, u"dropped");
  grid.SetRows(10);
  grid.SetCols(3);
  ExpectSelection(9, 2, 9, 2);
  EXPECT_EQ(grid.TopRow(), 1);
  EXPECT_EQ(grid.Text(), u"kept");
  grid.SetRows(12);
  grid.SetCols(4);
  EXPECT_EQ(grid.TextMatrix(9, 2), u"kept");
  EXPECT_EQ(grid.TextMatrix(10, 2), u"");
  EXPECT_EQ(grid.TextMatrix(9, 3), u"");
}

TEST_F(GridControlTest, ChangingColumnCountKeepsEveryRowsTexts) {
  for (std::int32_t row = 0; row < 100; ++row)
    for (std::int32_t col = 0; col < 5; ++col)
      grid.SetTextMatrix(row, col,
                         std::u16string(1, static_cast<char16_t>(u'A' + col)) +
                             std::u16string(1, static_cast<char16_t>(u'0' + row % 10)));
  grid.SetCols(7);
  grid.SetCols(3);
  for (std::int32_t row = 0; row < 100; row += 33) {
    EXPECT_EQ(grid.TextMatrix(row, 0)[0], u'A');
    EXPECT_EQ(grid.TextMatrix(row, 2), std::u16string(u"C") + char16_t(u'0' + row % 10));
  }
}

TEST_F(GridControlTest, SettingRowOrColCollapsesTheSelection) {
  grid.SetRow(3);
  grid.SetCol(2);
  grid.SetRowSel(7);
  grid.SetColSel(4);
  ExpectSelection(3, 2, 7, 4);
  grid.SetRow(5);
  ExpectSelection(5, 2, 5, 2);
  grid.SetRowSel(1);
  grid.SetColSel(1);
  grid.SetCol(3);
  ExpectSelection(5, 3, 5, 3);
  grid.SetTextMatrix(5, 3, u"here");
  EXPECT_EQ(grid.Text(), u"here");
}

TEST_F(GridControlTest, PositionsFollowTheScrolledTopRowAndLeftCol) {
  grid.SetCols(20);
  grid.SetTopRow(10);
  grid.SetLeftCol(6);
  struct Case {
    std::int32_t index;
    std::int32_t rowPos;
    std::int32_t colPos;
  };
  const Case cases[] = {
      {0, 0, 0},                          // fixed
      {1, 240 - 9 * 240, 960 - 5 * 960},  // far above / left of the scroll origin
      {5, 240 - 5 * 240, 960 - 1 * 960},
      {6, 240 - 4 * 240, 960},   // LeftCol
      {9, 0, 960 + 3 * 960},     // just above TopRow: touches the fixed row's top
      {10, 240, 960 + 4 * 960},  // TopRow
      {19, 240 + 9 * 240, 960 + 13 * 960},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(grid.RowPos(c.index), c.rowPos);
    EXPECT_EQ(grid.ColPos(c.index), c.colPos);
  }
  grid.SetRowHeight(7, 600);
  grid.SetRowHeight(12, 300);
  EXPECT_EQ(grid.RowPos(9), 0);
  EXPECT_EQ(grid.RowPos(5), 240 - (4 * 240 + 600));
  EXPECT_EQ(grid.RowPos(13), 240 + 2 * 240 + 300);
  grid.SetColWidth(7, -1);
  grid.SetColWidth(6, 100);
  EXPECT_EQ(grid.ColPos(8), 960 + 100 + 960);
}

// The Fenwick tree behind positions must agree with plain sums whatever the
// order of growing, shrinking and resizing.
TEST_F(GridControlTest, PositionsAgreeWithPlainSumsAfterRandomResizing) {
  std::mt19937 random(7);
  std::vector<std::int32_t> heights(100, 240);
  for (int step = 0; step < 400; ++step) {
    const int action = static_cast<int>(random() % 10);
    if (action == 0) {
      const auto rows = static_cast<std::int32_t>(2 + random() % 300);
      grid.SetRows(rows);
      heights.resize(static_cast<std::size_t>(rows), 240);
    } else {
      const auto row = static_cast<std::int32_t>(random() % heights.size());
      const auto height = static_cast<std::int32_t>(random() % 1000);
      grid.SetRowHeight(row, height);
      heights[static_cast<std::size_t>(row)] = height;
    }
  }
  grid.SetTopRow(grid.Rows() / 2);
  const std::int32_t top = grid.TopRow();
  for (std::int32_t row = 1; row < grid.Rows(); ++row) {
    std::int64_t expected = heights[0];
    for (std::int32_t r = top; r < row; ++r) expected += heights[static_cast<std::size_t>(r)];
    for (std::int32_t r = row; r < top; ++r) expected -= heights[static_cast<std::size_t>(r)];
    ASSERT_EQ(grid.RowPos(row), expected) << row;
    ASSERT_EQ(grid.RowHeight(row), heights[static_cast<std::size_t>(row)]);
  }
}

TEST_F(GridControlTest, RowHeightMinRaisesDefaultRowsOnly) {
  grid.SetRowHeight(3, 500);
  grid.SetRowHeightMin(300);
  EXPECT_EQ(grid.RowHeight(1), 300);
  EXPECT_EQ(grid.RowHeight(3), 500);
  EXPECT_EQ(grid.RowPos(4), 300 * 3 + 500);
  grid.SetRows(120);
  EXPECT_EQ(grid.RowHeight(119), 300);
  grid.SetRowHeightMin(100);
  EXPECT_EQ(grid.RowHeight(1), 240);
  EXPECT_EQ(grid.RowHeight(119), 240);
}

TEST_F(GridControlTest, PointsOnCellBordersHitTheCellThatStartsThere) {
  struct Case {
    std::int32_t twipsPerPixel, x, y, row, col;
  };
  // Cells are 960 x 240 twips: 64 x 16 pixels at 15, 80 x 20 at 12, 96 x 24 at 10.
  const Case cases[] = {
      {15, 0, 0, 0, 0},     {15, 63, 15, 0, 0},    {15, 64, 16, 1, 1},   {15, 319, 1599, 99, 4},
      {15, 320, 10, 0, -1}, {15, 10, 1600, -1, 0}, {15, -1, -1, -1, -1}, {12, 79, 19, 0, 0},
      {12, 80, 20, 1, 1},   {10, 95, 23, 0, 0},    {10, 96, 24, 1, 1},   {10, 200, 50, 2, 2},
  };
  grid.SetClientSize(2000, 2000);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.twipsPerPixel << " " << c.x << "," << c.y);
    grid.SetTwipsPerPixel(c.twipsPerPixel, c.twipsPerPixel);
    const auto hit = grid.CellAt(c.x, c.y);
    EXPECT_EQ(hit.row, c.row);
    EXPECT_EQ(hit.col, c.col);
  }
}

TEST_F(GridControlTest, HitTestFollowsScrolling) {
  grid.SetTopRow(40);
  EXPECT_EQ(grid.CellAt(70, 8).row, 0);
  EXPECT_EQ(grid.CellAt(70, 16).row, 40);
  EXPECT_EQ(grid.CellAt(70, 16 * 5 + 3).row, 44);
}

struct SortCase {
  const char* name;
  Texts texts;
  std::int16_t order;
  Texts expected;
};

class GridControlSortTest : public GridControlTest,
                            public ::testing::WithParamInterface<SortCase> {};

TEST_P(GridControlSortTest, SortsOneKeyColumn) {
  const SortCase& c = GetParam();
  const auto last = static_cast<std::int32_t>(c.texts.size());
  FillColumn(2, 1, c.texts);
  grid.SetRow(1);
  grid.SetCol(2);
  grid.SetRowSel(last);
  grid.SetSort(c.order);
  EXPECT_EQ(Column(2, 1, last), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, GridControlSortTest,
    ::testing::Values(SortCase{"NumbersByValue",
                               {u"10", u"-2", u"1e1", u"3.5", u"+4", u".5", u"-1E-3", u" 7 "},
                               1,
                               {u"-2", u"-1E-3", u".5", u"3.5", u"+4", u" 7 ", u"10", u"1e1"}},
                      SortCase{"NumbersBeforeTextEmptiesLast",
                               {u"", u"beta", u"2", u"Alpha", u"", u"1", u"alpha"},
                               1,
                               {u"1", u"2", u"Alpha", u"alpha", u"beta", u"", u""}},
                      SortCase{"DescendingKeepsEmptiesLast",
                               {u"", u"beta", u"2", u"Alpha", u"", u"1", u"alpha"},
                               2,
                               {u"beta", u"Alpha", u"alpha", u"2", u"1", u"", u""}},
                      SortCase{"NotNumbers",
                               {u"1e", u"inf", u"1,5", u"0x10", u"nan", u"-", u"."},
                               1,
                               {u"-", u".", u"0x10", u"1,5", u"1e", u"inf", u"nan"}},
                      SortCase{"HugeAndTinyExponents",
                               {u"1e999", u"-1e999", u"1e-999", u"5"},
                               1,
                               {u"-1e999", u"1e-999", u"5", u"1e999"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridControlTest, SortMovesWholeRowsOfTheChosenRowsOnly) {
  for (std::int32_t row = 0; row < 8; ++row) {
    grid.SetTextMatrix(row, 0, std::u16string(1, static_cast<char16_t>(u'0' + row)));
    grid.SetTextMatrix(row, 4, std::u16string(1, static_cast<char16_t>(u'a' + row)));
  }
  FillColumn(1, 1, {u"9", u"3", u"3", u"1", u"3", u"0", u"5"});
  FillColumn(2, 1, {u"x", u"b", u"a", u"z", u"b", u"y", u"w"});
  // Selected bottom-up and right-to-left: rows 2..5 by columns 1 then 2.
  grid.SetRow(5);
  grid.SetCol(2);
  grid.SetRowSel(2);
  grid.SetColSel(1);
  grid.SetSort(1);
  EXPECT_EQ(Column(1, 1, 7), (Texts{u"9", u"1", u"3", u"3", u"3", u"0", u"5"}));
  EXPECT_EQ(Column(2, 1, 7), (Texts{u"x", u"z", u"a", u"b", u"b", u"y", u"w"}));
  // The whole rows moved, header column included; equal keys kept their order.
  EXPECT_EQ(Column(0, 0, 7), (Texts{u"0", u"1", u"4", u"3", u"2", u"5", u"6", u"7"}));
  EXPECT_EQ(Column(4, 0, 7), (Texts{u"a", u"b", u"e", u"d", u"c", u"f", u"g", u"h"}));
  ExpectSelection(5, 2, 2, 1);
}

TEST_F(GridControlTest, SortOfOneRowOrNoneChangesNothing) {
  FillColumn(1, 1, {u"2", u"1"});
  grid.SetRow(1);
  grid.SetCol(1);
  grid.SetSort(1);
  grid.SetSort(0);
  EXPECT_EQ(Column(1, 1, 2), (Texts{u"2", u"1"}));
}

TEST_F(GridControlTest, RowsWithTextEndAtTheLastTextWhereverWritesSortsAndResizesLeaveIt) {
  EXPECT_EQ(grid.RowsWithText(0, 4), 0);
  grid.SetTextMatrix(10, 2, u"x");
  grid.SetTextMatrix(40, 3, u"y");
  EXPECT_EQ(grid.RowsWithText(1, 2), 11);
  EXPECT_EQ(grid.RowsWithText(1, 4), 41);
  EXPECT_EQ(grid.RowsWithText(4, 4), 0);
  EXPECT_EQ(grid.RowsWithText(3, 2), 0);
  EXPECT_THROW(grid.RowsWithText(0, 5), GridError);
  grid.SetTextMatrix(40, 3, u"");
  EXPECT_EQ(grid.RowsWithText(1, 4), 11);
  grid.SetColumnTexts(4, 20, Texts{u"p", u""});
  EXPECT_EQ(grid.RowsWithText(4, 4), 21);
  grid.SetColumnTexts(4, 19, Texts{u"", u""});
  EXPECT_EQ(grid.RowsWithText(4, 4), 0);
  // Rows with a key go first, so row 10, with none, moves down two.
  FillColumn(1, 11, {u"1", u"2"});
  grid.SetRow(5);
  grid.SetCol(1);
  grid.SetRowSel(60);
  grid.SetSort(1);
  EXPECT_EQ(grid.TextMatrix(12, 2), u"x");
  EXPECT_EQ(grid.RowsWithText(2, 2), 13);
  grid.SetRows(8);
  EXPECT_EQ(grid.RowsWithText(0, 4), 7);
  grid.SetRows(100);  // rows added again come back empty
  EXPECT_EQ(grid.TextMatrix(12, 2), u"");
  EXPECT_EQ(grid.RowsWithText(0, 4), 7);
  grid.SetCols(2);
  grid.SetCols(5);
  EXPECT_EQ(grid.RowsWithText(2, 4), 0);
}

TEST_F(GridControlTest, NumberedRowsReadTheirIndexUntilWrittenMovedOrDropped) {
  grid.NumberRows(0, 1, 99);
  EXPECT_EQ(Column(0, 0, 3), (Texts{u"", u"1", u"2", u"3"}));
  EXPECT_EQ(grid.TextView(99, 0), u"99");
  EXPECT_EQ(grid.RowsWithText(0, 0), 100);
  EXPECT_EQ(grid.NextRowWithText(0, 0, 0), 1);
  EXPECT_EQ(grid.NextRowWithText(1, 4, 0), FlexGrid::kNoRow);
  grid.SetTextMatrix(70, 3, u"z");
  grid.SetTextMatrix(5, 2, u"y");
  EXPECT_EQ(grid.NextRowWithText(1, 4, 6), 70);
  EXPECT_EQ(grid.NextRowWithText(1, 4, 0), 5);
  grid.SetTextMatrix(2, 0, u"title");
  grid.NumberRows(0, 3, 2);
  EXPECT_EQ(grid.TextMatrix(2, 0), u"title");
  // Sorting the data rows leaves the titles; a whole-row sort moves them.
  FillColumn(1, 1, {u"3", u"1", u"2"});
  for (const std::int16_t order : {1, 2}) {
    grid.SetRow(1);
    grid.SetCol(1);
    grid.SetRowSel(3);
    if (order == 1)
      grid.SortDataRows(order);
    else
      grid.SetSort(order);
  }
  EXPECT_EQ(Column(1, 1, 3), (Texts{u"3", u"2", u"1"}));
  EXPECT_EQ(Column(0, 1, 3), (Texts{u"3", u"title", u"1"}));
  // Dropped rows come back empty; numbering again replaces what was written.
  grid.SetRows(50);
  EXPECT_EQ(grid.RowsWithText(0, 0), 50);
  grid.SetRows(100);
  EXPECT_EQ(grid.TextMatrix(70, 0), u"");
  EXPECT_EQ(grid.NextRowWithText(0, 4, 50), FlexGrid::kNoRow);
  grid.NumberRows(0, 1, 99);
  EXPECT_EQ(Column(0, 1, 3), (Texts{u"1", u"2", u"3"}));
  EXPECT_EQ(grid.TextMatrix(70, 0), u"70");
  EXPECT_THROW(grid.NumberRows(0, 1, 100), GridError);
}

TEST_F(GridControlTest, RowPositionsAddUpTheHeightsAsRowsAreCutAndAdded) {
  std::mt19937 random(7);
  for (const std::int32_t rows : {37, 300, 5, 1000, 129, 4096}) {
    const auto kept = static_cast<std::uint32_t>(std::min(grid.Rows(), rows));
    for (int i = 0; i < 10; ++i)
      grid.SetRowHeight(static_cast<std::int32_t>(random() % kept),
                        static_cast<std::int32_t>(100 + random() % 500));
    grid.SetRows(rows);
    std::int64_t sum = 0;
    for (std::int32_t row = 0; row < rows; ++row) {
      ASSERT_EQ(grid.RowPos(row), sum) << rows << " rows, row " << row;
      sum += grid.RowHeight(row);
    }
  }
}

TEST_F(GridControlTest, ScrollRangesAndScrollMessages) {
  EXPECT_EQ(grid.FullyVisibleRows(), 17);
  EXPECT_EQ(grid.MaxTopRow(), 83);
  EXPECT_EQ(grid.VerticalScrollRange().min, 0);
  EXPECT_EQ(grid.VerticalScrollRange().max, 82);
  EXPECT_EQ(grid.HorizontalScrollRange().max, 0);
  struct Step {
    std::uintptr_t code, thumb;
    std::int32_t topRow;
  };
  const Step steps[] = {
      {msg::kSbLineUp, 0, 1},           {msg::kSbLineDown, 0, 2},
      {msg::kSbPageDown, 0, 19},        {msg::kSbBottom, 0, 83},
      {msg::kSbLineDown, 0, 83},        {msg::kSbPageUp, 0, 66},
      {msg::kSbThumbPosition, 40, 41},  {msg::kSbThumbTrack, 10, 41},
      {msg::kSbThumbPosition, 500, 83}, {msg::kSbTop, 0, 1},
  };
  for (const auto& s : steps) {
    Scroll(msg::kVScroll, s.code, s.thumb);
    EXPECT_EQ(grid.TopRow(), s.topRow) << s.code;
  }
  grid.SetScrollTrack(true);
  Scroll(msg::kVScroll, msg::kSbThumbTrack, 10);
  EXPECT_EQ(grid.TopRow(), 11);
  EXPECT_EQ(grid.VerticalScrollPos(), 10);
  EXPECT_EQ(grid.LastVisibleRow(), 28);  // 18 rows reach into the 284 data pixels
}

TEST_F(GridControlTest, ScrollRangeFollowsWindowAndGridSize) {
  grid.SetCols(20);
  EXPECT_EQ(grid.MaxLeftCol(), 15);  // 336 data pixels hold five 64-pixel columns
  Scroll(msg::kHScroll, msg::kSbBottom);
  EXPECT_EQ(grid.LeftCol(), 15);
  EXPECT_EQ(grid.HorizontalScrollPos(), 14);
  grid.SetClientSize(400, 1000);
  grid.SetTopRow(60);
  EXPECT_EQ(grid.TopRow(), 39);  // 61 rows fit below the header
  grid.SetRows(50);
  EXPECT_EQ(grid.TopRow(), 1);
  grid.SetClientSize(0, 0);
  EXPECT_EQ(grid.MaxTopRow(), 49);
}

TEST_F(GridControlTest, MouseDragSelectsAndReleaseEndsIt) {
  Send(msg::kLButtonDown, msg::kMkLButton, 70, 20);
  ExpectSelection(1, 1, 1, 1);
  Send(msg::kMouseMove, msg::kMkLButton, 200, 60);
  ExpectSelection(1, 1, 3, 3);
  Send(msg::kMouseMove, msg::kMkLButton, 5000, 5000);  // past the window: the last cell shown
  ExpectSelection(1, 1, 18, 4);
  Send(msg::kMouseMove, msg::kMkLButton, -30, -30);  // over the headers: first cell shown
  ExpectSelection(1, 1, 1, 1);
  Send(msg::kMouseMove, msg::kMkLButton, 140, 40);
  Send(msg::kLButtonUp, 0, 140, 40);
  Send(msg::kMouseMove, msg::kMkLButton, 300, 200);
  ExpectSelection(1, 1, 2, 2);
}

TEST_F(GridControlTest, DragSurvivesTheGridLosingItsDataCells) {
  Send(msg::kLButtonDown, msg::kMkLButton, 200, 60);
  grid.SetCols(1);
  Send(msg::kMouseMove, msg::kMkLButton, 300, 100);
  ExpectSelection(3, 0, 3, 0);
  grid.SetCols(5);
  Send(msg::kMouseMove, msg::kMkLButton, 300, 100);
  ExpectSelection(3, 0, 3, 0);
}

TEST_F(GridControlTest, ShiftClickExtendsFromTheCurrentCell) {
  grid.SetRow(3);
  grid.SetCol(2);
  Send(msg::kLButtonDown, msg::kMkLButton | msg::kMkShift, 270, 100);
  ExpectSelection(3, 2, 6, 4);
  Send(msg::kLButtonUp, 0, 270, 100);
  Send(msg::kLButtonDown, msg::kMkLButton, 70, 100);
  ExpectSelection(6, 1, 6, 1);
}

TEST_F(GridControlTest, HeaderClicksSelectWholeRowsAndColumns) {
  Send(msg::kLButtonDown, msg::kMkLButton, 150, 5);  // column 2's header
  ExpectSelection(1, 2, 99, 2);
  Send(msg::kMouseMove, msg::kMkLButton, 280, 5);
  ExpectSelection(1, 2, 99, 4);
  Send(msg::kLButtonUp, 0, 280, 5);
  Send(msg::kLButtonDown, msg::kMkLButton, 10, 40);  // row 2's header
  ExpectSelection(2, 1, 2, 4);
  Send(msg::kMouseMove, msg::kMkLButton, 10, 90);
  ExpectSelection(2, 1, 5, 4);
  Send(msg::kLButtonUp, 0, 10, 90);
  Send(msg::kLButtonDown, msg::kMkLButton, 10, 5);  // the corner
  ExpectSelection(1, 1, 99, 4);
  Send(msg::kLButtonDown, msg::kMkLButton, 390, 5);  // right of the last column
  ExpectSelection(1, 1, 99, 4);
}

TEST_F(GridControlTest, DraggingHeaderBordersResizesWhenAllowed) {
  Send(msg::kLButtonDown, msg::kMkLButton, 129, 5);
  EXPECT_EQ(grid.ColWidth(1), 960);  // not allowed: the press selected column 2
  EXPECT_EQ(grid.Col(), 2);
  Send(msg::kLButtonUp, 0, 129, 5);

  grid.SetAllowUserResizing(3);
  grid.SetRow(4);
  grid.SetCol(3);
  Send(msg::kLButtonDown, msg::kMkLButton, 126, 5);  // 2 pixels left of column 1's border
  Send(msg::kMouseMove, msg::kMkLButton, 150, 300);
  EXPECT_EQ(grid.ColWidth(1), 960 + 24 * 15);
  Send(msg::kMouseMove, msg::kMkLButton, -500, 5);
  EXPECT_EQ(grid.ColWidth(1), 15);
  Send(msg::kLButtonUp, 0, -500, 5);
  Send(msg::kMouseMove, msg::kMkLButton, 200, 5);
  EXPECT_EQ(grid.ColWidth(1), 15);
  ExpectSelection(4, 3, 4, 3);

  Send(msg::kLButtonDown, msg::kMkLButton, 20, 33);  // row 1's lower border
  Send(msg::kMouseMove, msg::kMkLButton, 20, 41);
  Send(msg::kLButtonUp, 0, 20, 41);
  EXPECT_EQ(grid.RowHeight(1), 240 + 8 * 15);
  EXPECT_EQ(grid.RowPos(2), 240 + 360);
  ExpectSelection(4, 3, 4, 3);
}

TEST_F(GridControlTest, PagingAndHomeEndStopAtTheEdges) {
  struct Step {
    std::uint32_t key;
    bool shift, control;
    std::int32_t row, col, rowSel, colSel, topRow;
  };
  const Step steps[] = {
      {msg::kVkPrior, false, false, 1, 1, 1, 1, 1},
      {msg::kVkNext, false, false, 18, 1, 18, 1, 18},
      {msg::kVkEnd, false, false, 18, 4, 18, 4, 18},
      {msg::kVkHome, true, false, 18, 4, 18, 1, 18},
      {msg::kVkEnd, false, true, 99, 4, 99, 4, 83},
      {msg::kVkNext, false, false, 99, 4, 99, 4, 83},
      {msg::kVkDown, false, false, 99, 4, 99, 4, 83},
      {msg::kVkPrior, true, false, 99, 4, 82, 4, 66},
      {msg::kVkHome, false, true, 1, 1, 1, 1, 1},
      {msg::kVkUp, false, false, 1, 1, 1, 1, 1},
      {msg::kVkLeft, false, false, 1, 1, 1, 1, 1},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(testing::Message()
                 << "key " << s.key << " shift " << s.shift << " ctrl " << s.control);
    Key(s.key, s.shift, s.control);
    ExpectSelection(s.row, s.col, s.rowSel, s.colSel);
    EXPECT_EQ(grid.TopRow(), s.topRow);
  }
}

TEST_F(GridControlTest, ArrowKeysScrollTheCurrentCellIntoView) {
  grid.SetRow(17);
  Key(msg::kVkDown);
  EXPECT_EQ(grid.Row(), 18);
  EXPECT_EQ(grid.TopRow(), 2);
  grid.SetTopRow(50);
  Key(msg::kVkUp);
  EXPECT_EQ(grid.Row(), 17);
  EXPECT_EQ(grid.TopRow(), 17);
  Key(msg::kVkDown, true);
  ExpectSelection(17, 1, 18, 1);
  Send(msg::kKeyDown, msg::kVkDown);  // a plain key message carries no modifiers
  ExpectSelection(18, 1, 18, 1);
}

TEST_F(GridControlTest, WheelScrollsThreeLinesPerNotch) {
  const auto wheel = [&](std::int32_t delta) {
    grid.HandleMessage(msg::kMouseWheel, static_cast<std::uint32_t>(delta) << 16, 0);
  };
  wheel(-120);
  EXPECT_EQ(grid.TopRow(), 4);
  wheel(-60);
  EXPECT_EQ(grid.TopRow(), 4);
  wheel(-60);
  EXPECT_EQ(grid.TopRow(), 7);
  wheel(240 * 10);
  EXPECT_EQ(grid.TopRow(), 1);
}

TEST(GridControlEmpty, MessagesOnAGridWithoutDataRowsChangeNothing) {
  GridControl grid;
  grid.SetRows(1);
  grid.SetClientSize(200, 200);
  EXPECT_EQ(grid.Row(), 0);
  const auto point = msg::MakePointParam(70, 5);
  EXPECT_EQ(grid.HandleMessage(msg::kLButtonDown, msg::kMkLButton, point), 0);
  EXPECT_EQ(grid.HandleMessage(msg::kMouseMove, msg::kMkLButton, point), 0);
  EXPECT_EQ(grid.HandleMessage(msg::kKeyDown, msg::kVkNext, 0), 0);
  EXPECT_EQ(grid.HandleMessage(msg::kVScroll, msg::kSbBottom, 0), 0);
  EXPECT_EQ(grid.Row(), 0);
  EXPECT_EQ(grid.RowSel(), 0);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.ColSel(), 1);
  EXPECT_EQ(grid.TopRow(), 1);
  EXPECT_EQ(grid.VerticalScrollRange().max, 0);
}

class RecordingListener : public GridChangeListener {
 public:
  void OnGridChanged(GridChanges pending) override { calls.push_back(pending); }
  std::vector<GridChanges> calls;
};

TEST_F(GridControlTest, EveryVisibleChangeTellsTheWindowWhatItMadeStale) {
  constexpr GridChanges kBoth = kGridRepaint | kGridScrollBars;
  struct Case {
    const char* name;
    std::function<void(GridHarness&)> change;
    GridChanges expected;
    std::function<void(GridHarness&)> prepare = nullptr;
  };
  const std::vector<Case> cases = {
      {"text", [](auto& t) { t.grid.SetTextMatrix(3, 2, u"7"); }, kGridRepaint},
      {"rows", [](auto& t) { t.grid.SetRows(200); }, kBoth},
      {"same row count", [](auto& t) { t.grid.SetRows(100); }, 0},
      {"columns", [](auto& t) { t.grid.SetCols(8); }, kBoth},
      {"fixed rows", [](auto& t) { t.grid.SetFixedRows(2); }, kBoth},
      {"current cell", [](auto& t) { t.grid.SetRow(5); }, kGridRepaint},
      {"selection corner", [](auto& t) { t.grid.SetColSel(3); }, kGridRepaint},
      {"top row", [](auto& t) { t.grid.SetTopRow(40); }, kBoth},
      {"top row already there", [](auto& t) { t.grid.SetTopRow(1); }, 0},
      {"column width", [](auto& t) { t.grid.SetColWidth(2, 2000); }, kBoth},
      {"row height", [](auto& t) { t.grid.SetRowHeight(2, 600); }, kBoth},
      {"minimum row height", [](auto& t) { t.grid.SetRowHeightMin(300); }, kBoth},
      {"alignment", [](auto& t) { t.grid.SetColAlignment(1, 4); }, kGridRepaint},
      {"focus rectangle", [](auto& t) { t.grid.SetFocusRect(0); }, kGridRepaint},
      {"sort", [](auto& t) { t.grid.SetSort(1); }, kGridRepaint,
       [](auto& t) { t.grid.SetRowSel(9); }},
      {"client size", [](auto& t) { t.grid.SetClientSize(200, 200); }, kBoth},
      {"page down", [](auto& t) { t.Scroll(msg::kVScroll, msg::kSbPageDown); }, kBoth},
      {"line up at the top", [](auto& t) { t.Scroll(msg::kVScroll, msg::kSbLineUp); }, 0},
      {"thumb", [](auto& t) { t.grid.HandleScroll(true, msg::kSbThumbPosition, 30); }, kBoth},
      {"click", [](auto& t) { t.Send(msg::kLButtonDown, msg::kMkLButton, 200, 60); }, kGridRepaint},
      {"arrow key", [](auto& t) { t.Key(msg::kVkDown); }, kGridRepaint},
      {"arrow key that scrolls", [](auto& t) { t.Key(msg::kVkDown); }, kBoth,
       [](auto& t) { t.grid.SetRow(17); }},
      {"key the control ignores", [](auto& t) { t.Key(msg::kVkReturn); }, 0},
      {"resizing a column by its header border",
       [](auto& t) { t.Send(msg::kMouseMove, msg::kMkLButton, 160, 5); }, kBoth,
       [](auto& t) {
         t.grid.SetAllowUserResizing(3);
         t.Send(msg::kLButtonDown, msg::kMkLButton, 127, 5);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GridHarness fixture;
    if (c.prepare) c.prepare(fixture);
    RecordingListener listener;
    fixture.grid.SetChangeListener(&listener);
    fixture.grid.TakeChanges();
    c.change(fixture);
    EXPECT_EQ(fixture.grid.PendingChanges(), c.expected);
    EXPECT_EQ(listener.calls.size(), c.expected == 0 ? 0u : 1u);
  }
}

TEST_F(GridControlTest, ChangesAreToldOncePerBatchAndHeldWhileRedrawIsOff) {
  RecordingListener listener;
  grid.SetChangeListener(&listener);
  grid.TakeChanges();
  for (std::int32_t row = 1; row < 100; ++row) grid.SetTextMatrix(row, 1, u"1");
  EXPECT_EQ(listener.calls, (std::vector<GridChanges>{kGridRepaint}));
  grid.SetRows(300);  // something new: told again, with all that is pending
  EXPECT_EQ(listener.calls.back(), kGridRepaint | kGridScrollBars);
  EXPECT_EQ(grid.TakeChanges(kGridScrollBars), kGridScrollBars);
  EXPECT_EQ(grid.PendingChanges(), kGridRepaint);
  grid.TakeChanges();

  listener.calls.clear();
  grid.SetRedraw(false);
  grid.SetRows(5000);
  for (std::int32_t row = 1; row < 5000; ++row) grid.SetTextMatrix(row, 2, u"2");
  EXPECT_TRUE(listener.calls.empty());
  grid.SetRedraw(true);
  EXPECT_EQ(listener.calls, (std::vector<GridChanges>{kGridRepaint | kGridScrollBars}));
  grid.TakeChanges();
  grid.SetRedraw(true);
  EXPECT_EQ(listener.calls.size(), 1u);

  // A copy belongs to no window.
  GridControl copy = grid;
  copy.SetTextMatrix(1, 1, u"copy");
  EXPECT_EQ(listener.calls.size(), 1u);
  EXPECT_EQ(copy.hWnd(), 0u);
}

TEST_F(GridControlTest, AutoScrollRunsOnlyWhileDragSelectingPastAnEdge) {
  grid.SetCols(20);
  Send(msg::kLButtonDown, msg::kMkLButton, 100, 40);  // cell (2, 1)
  EXPECT_FALSE(grid.WantsAutoScroll(200, 100));
  EXPECT_FALSE(grid.AutoScroll(200, 100));
  EXPECT_EQ(grid.TopRow(), 1);

  EXPECT_TRUE(grid.AutoScroll(200, 320));  // below the window
  EXPECT_EQ(grid.TopRow(), 2);
  ExpectSelection(2, 1, grid.LastVisibleRow(), 3);
  EXPECT_TRUE(grid.AutoScroll(500, 320));  // and right of it
  EXPECT_EQ(grid.TopRow(), 3);
  EXPECT_EQ(grid.LeftCol(), 2);
  ExpectSelection(2, 1, grid.LastVisibleRow(), grid.LastVisibleCol());
  EXPECT_TRUE(grid.AutoScroll(200, 5));  // over the header row
  EXPECT_EQ(grid.TopRow(), 2);
  EXPECT_EQ(grid.RowSel(), 2);
  Send(msg::kLButtonUp, 0, 200, 5);
  EXPECT_FALSE(grid.WantsAutoScroll(200, 320));

  // A whole-column drag scrolls sideways only.
  Send(msg::kLButtonDown, msg::kMkLButton, 100, 5);
  EXPECT_FALSE(grid.WantsAutoScroll(200, 320));
  EXPECT_TRUE(grid.WantsAutoScroll(500, 100));
}

TEST_F(GridControlTest, PointerShowsTheResizeShapeOverHeaderBordersItCanDrag) {
  struct Case {
    std::int32_t allow, x, y;
    GridControl::PointerShape shape;
  };
  using Shape = GridControl::PointerShape;
  const Case cases[] = {
      {0, 127, 5, Shape::kArrow},      {1, 127, 5, Shape::kSizeColumn},
      {1, 129, 5, Shape::kSizeColumn}, {1, 135, 5, Shape::kArrow},
      {1, 127, 40, Shape::kArrow},     {2, 127, 5, Shape::kArrow},
      {2, 20, 31, Shape::kSizeRow},    {2, 80, 31, Shape::kArrow},
      {3, 63, 15, Shape::kSizeColumn}, {3, 20, 95, Shape::kSizeRow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.allow << " at " << c.x << "," << c.y);
    grid.SetAllowUserResizing(c.allow);
    EXPECT_EQ(grid.PointerAt(c.x, c.y), c.shape);
  }
  Send(msg::kLButtonDown, msg::kMkLButton, 127, 5);
  EXPECT_EQ(grid.PointerAt(300, 200), Shape::kSizeColumn);  // held during the drag
  Send(msg::kLButtonUp, 0, 300, 200);
  EXPECT_EQ(grid.PointerAt(300, 200), Shape::kArrow);
}

TEST_F(GridControlTest, PaintPlanWalksOnlyWhatIsShown) {
  PaintPlan plan;
  for (const std::int32_t rows : {100, 65536}) {
    SCOPED_TRACE(rows);
    grid.SetRows(rows);
    for (const std::uintptr_t code : {msg::kSbTop, msg::kSbBottom}) {
      Scroll(msg::kVScroll, code);
      PlanPaint(grid, plan);
      // The header row and the rows that reach into 284 pixels: 18 from the
      // top, the last 17 at the bottom; 5 columns.
      const std::size_t shown = code == msg::kSbTop ? 18u : 17u;
      ASSERT_EQ(plan.cells.size(), (1 + shown) * 5u);
      EXPECT_EQ(plan.cells[5].row, grid.TopRow());
      EXPECT_EQ(plan.cells.back().row, code == msg::kSbTop ? 18 : rows - 1);
      EXPECT_EQ(plan.rowLines.size(), shown);
      EXPECT_EQ(plan.columnLines.size(), 4u);
    }
  }
}

TEST_F(GridControlTest, PaintPlanLaysCellsOutAsTheHitTestSeesThem) {
  grid.SetTopRow(40);
  grid.SetTextMatrix(40, 1, u"top");
  PaintPlan plan;
  PlanPaint(grid, plan);
  EXPECT_EQ(plan.cells[0].rect, (GridPixelRect{0, 0, 64, 16}));
  EXPECT_TRUE(plan.cells[0].fixed);
  const PaintCell& top = plan.cells[6];
  EXPECT_EQ(top.row, 40);
  EXPECT_EQ(top.col, 1);
  EXPECT_EQ(top.rect, (GridPixelRect{64, 16, 128, 32}));
  EXPECT_EQ(top.text, u"top");
  EXPECT_EQ(plan.fixedRight, 64);
  EXPECT_EQ(plan.fixedBottom, 16);
  EXPECT_EQ(plan.cellsRight, 320);
  EXPECT_EQ(plan.cellsBottom, 300);
  EXPECT_EQ(plan.columnLines.front(), 127);
  EXPECT_EQ(plan.rowLines.front(), 31);

  // Odd sizes and twips that do not divide them: cells still tile the area
  // without gaps, and every cell's corners hit that cell.
  std::mt19937 random(3);
  for (std::int32_t col = 0; col < 5; ++col)
    grid.SetColWidth(col, static_cast<std::int32_t>(100 + random() % 1500));
  for (std::int32_t row = 0; row < 100; ++row)
    grid.SetRowHeight(row, static_cast<std::int32_t>(random() % 5 == 0 ? 0 : 50 + random() % 400));
  for (const std::int32_t twipsPerPixel : {15, 13, 12, 10, 7}) {
    SCOPED_TRACE(twipsPerPixel);
    grid.SetTwipsPerPixel(twipsPerPixel, twipsPerPixel);
    grid.SetTopRow(20);
    PlanPaint(grid, plan);
    ASSERT_FALSE(plan.cells.empty());
    for (std::size_t i = 0; i < plan.cells.size(); ++i) {
      const PaintCell& cell = plan.cells[i];
      const auto first = grid.CellAt(cell.rect.left, cell.rect.top);
      const auto last = grid.CellAt(cell.rect.right - 1, cell.rect.bottom - 1);
      ASSERT_EQ(first.row, cell.row);
      ASSERT_EQ(first.col, cell.col);
      ASSERT_EQ(last.row, cell.row);
      ASSERT_EQ(last.col, cell.col);
      if (i + 1 < plan.cells.size() && plan.cells[i + 1].row == cell.row) {
        ASSERT_EQ(plan.cells[i + 1].rect.left, cell.rect.right);
      }
    }
  }
}

TEST_F(GridControlTest, PaintPlanMarksSelectionAlignmentAndFocus) {
  grid.SetRow(2);
  grid.SetCol(1);
  grid.SetRowSel(3);
  grid.SetColSel(2);
  grid.SetColAlignment(2, 4);
  grid.SetColAlignment(3, 8);
  grid.SetTextMatrix(2, 1, u"-1.5e3");
  grid.SetTextMatrix(3, 1, u"高程");
  PaintPlan plan;
  PlanPaint(grid, plan);
  const auto cell = [&](std::int32_t row, std::int32_t col) -> const PaintCell& {
    return plan.cells[static_cast<std::size_t>(row * 5 + col)];
  };
  struct Case {
    std::int32_t row, col;
    bool fixed, selected;
    CellHAlign h;
    CellVAlign v;
  };
  const Case cases[] = {
      {0, 2, true, false, CellHAlign::kCenter, CellVAlign::kCenter},
      {2, 0, true, false, CellHAlign::kCenter, CellVAlign::kCenter},
      {2, 1, false, false, CellHAlign::kRight, CellVAlign::kCenter},  // current; a number
      {3, 1, false, true, CellHAlign::kLeft, CellVAlign::kCenter},    // general text
      {2, 2, false, true, CellHAlign::kCenter, CellVAlign::kCenter},
      {4, 2, false, false, CellHAlign::kCenter, CellVAlign::kCenter},
      {3, 3, false, false, CellHAlign::kRight, CellVAlign::kBottom},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.row << "," << c.col);
    const PaintCell& painted = cell(c.row, c.col);
    EXPECT_EQ(painted.fixed, c.fixed);
    EXPECT_EQ(painted.selected, c.selected);
    EXPECT_EQ(painted.hAlign, c.h);
    EXPECT_EQ(painted.vAlign, c.v);
  }
  ASSERT_TRUE(plan.hasFocusRect);
  EXPECT_EQ(plan.focusRect, (GridPixelRect{64, 32, 127, 47}));
  grid.SetTopRow(10);
  PlanPaint(grid, plan);
  EXPECT_FALSE(plan.hasFocusRect);
  grid.SetTopRow(1);
  grid.SetFocusRect(0);
  PlanPaint(grid, plan);
  EXPECT_FALSE(plan.hasFocusRect);
}

}  // namespace
}  // namespace dorvane

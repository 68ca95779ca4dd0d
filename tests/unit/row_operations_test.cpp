#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "support/editor_fixture.h"

namespace dorvane {
namespace {

using Texts = std::vector<std::u16string>;

std::u16string Number(std::int32_t n) {
  std::u16string text;
  for (char c : std::to_string(n)) text.push_back(static_cast<char16_t>(c));
  return text;
}

std::u16string Tagged(char16_t prefix, std::int32_t n) {
  return prefix + Number(n);
}

Texts TaggedRange(char16_t prefix, std::int32_t first, std::int32_t last) {
  Texts texts;
  for (std::int32_t n = first; n <= last; ++n) texts.push_back(Tagged(prefix, n));
  return texts;
}

class RowOperations : public testing::EditorFixture {
 protected:
  // `cols` columns and `rows` numbered rows; column 1 holds a<row>, column 2 b<row>.
  void Table(std::int32_t rows, std::int32_t cols = 3) {
    editor->SetColumnCount(cols);
    editor->SetRowCount(rows);
    for (std::int32_t row = 1; row < rows; ++row) {
      control.SetTextMatrix(row, 1, Tagged(u'a', row));
      control.SetTextMatrix(row, 2, Tagged(u'b', row));
    }
  }

  std::vector<const HistoryStep*> Steps() {
    std::vector<const HistoryStep*> steps;
    for (const HistoryStep* step = editor->history().head()->next.get(); step != nullptr;
         step = step->next.get())
      steps.push_back(step);
    return steps;
  }

  static Texts Empties(std::size_t n) { return Texts(n, u""); }
};

TEST_F(RowOperations, InsertMovesSelectedColumnsDownAndRenumbers) {
  Table(100);
  Select(10, 1, 12, 1);

  EXPECT_EQ(editor->InsertRows(true), 3);

  EXPECT_EQ(control.Rows(), 103);
  EXPECT_EQ(Column(1, 1, 9), TaggedRange(u'a', 1, 9));
  EXPECT_EQ(Column(1, 10, 12), Empties(3));
  EXPECT_EQ(Column(1, 13, 102), TaggedRange(u'a', 10, 99));
  EXPECT_EQ(Column(2, 1, 99), TaggedRange(u'b', 1, 99));
  EXPECT_EQ(Column(2, 100, 102), Empties(3));
  for (std::int32_t row = 1; row <= 102; ++row) ASSERT_EQ(control.TextMatrix(row, 0), Number(row));
  EXPECT_TRUE(messages.shown().empty());

  const auto steps = Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->kind, StepKind::Insert);
  EXPECT_EQ(steps[0]->region, (CellRegion{10, 12, 1, 1}));
  EXPECT_FALSE(steps[0]->before.has_value());
}

TEST_F(RowOperations, CapacityQuestionNamesTheCapacity) {
  struct Case {
    std::int32_t cols;
    const char16_t* text;
  };
  const Case cases[] = {
      {3, u"最大支持65536行，超出部分将被丢弃!\n是否继续?"},
      {6, u"最大支持56666行，超出部分将被丢弃!\n是否继续?"},
      {27, u"最大支持12592行，超出部分将被丢弃!\n是否继续?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cols);
    messages.Clear();
    editor->SetColumnCount(c.cols);
    editor->SetRowCount(std::numeric_limits<std::int32_t>::max());
    Select(5, 1, 5, 1);
    messages.AnswerNext(MessageAnswer::No);

    EXPECT_EQ(editor->InsertRows(true), 0);

    ASSERT_EQ(messages.shown().size(), 1u);
    const MessageRequest& request = messages.shown()[0];
    EXPECT_EQ(request.text, c.text);
    EXPECT_EQ(request.caption, u"提示");
    EXPECT_EQ(request.buttons, MessageButtons::YesNo);
    EXPECT_EQ(request.icon, MessageIcon::Stop);
    EXPECT_TRUE(request.secondButtonDefault);
    EXPECT_EQ(request.owner, MessageOwner::Grid);
  }
}

TEST_F(RowOperations, InsertAtCapacityOnlyEmptiesTheBlockAfterAYes) {
  for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
    const bool yes = answer == MessageAnswer::Yes;
    SCOPED_TRACE(yes);
    Table(65536);
    Select(10, 1, 12, 1);
    messages.Clear();
    messages.AnswerNext(answer);

    EXPECT_EQ(editor->InsertRows(true), 0);

    EXPECT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(control.Rows(), 65536);
    const Texts block = yes ? Empties(3) : TaggedRange(u'a', 10, 12);
    EXPECT_EQ(Column(1, 10, 12), block);
    EXPECT_EQ(Column(1, 13, 13), (Texts{u"a13"}));
    EXPECT_EQ(control.TextMatrix(65535, 1), u"a65535");
    EXPECT_EQ(Steps().size(), yes ? 1u : 0u);
  }
}

TEST_F(RowOperations, InsertCutAtCapacityLosesWhatMovedIntoTheBlock) {
  Table(65535);
  Select(10, 1, 12, 1);
  messages.AnswerNext(MessageAnswer::Yes);

  EXPECT_EQ(editor->InsertRows(true), 1);

  EXPECT_EQ(control.Rows(), 65536);
  EXPECT_EQ(Column(1, 9, 14), (Texts{u"a9", u"", u"", u"", u"a12", u"a13"}));
  EXPECT_EQ(control.TextMatrix(65535, 1), u"a65534");
  EXPECT_EQ(control.TextMatrix(65535, 0), u"65535");
}

TEST_F(RowOperations, DeleteMovesCellsBelowUpAndKeepsRowCount) {
  Table(100);
  Select(10, 1, 12, 1);

  EXPECT_EQ(editor->DeleteRows(true), 3);

  EXPECT_EQ(control.Rows(), 100);
  EXPECT_EQ(Column(1, 1, 9), TaggedRange(u'a', 1, 9));
  EXPECT_EQ(Column(1, 10, 96), TaggedRange(u'a', 13, 99));
  EXPECT_EQ(Column(1, 97, 99), Empties(3));
  EXPECT_EQ(Column(2, 1, 99), TaggedRange(u'b', 1, 99));
  EXPECT_TRUE(messages.shown().empty());

  const auto steps = Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->kind, StepKind::Delete);
  EXPECT_EQ(steps[0]->region, (CellRegion{10, 12, 1, 1}));
  const std::u16string_view image(u"a10\0a11\0a12\0", 12);
  ASSERT_TRUE(steps[0]->before.has_value());
  EXPECT_EQ(std::u16string_view(steps[0]->before->units.data(), steps[0]->before->units.size()),
            image);
}

TEST_F(RowOperations, DeleteReachingTheLastRowOnlyEmpties) {
  Table(100);
  Select(97, 1, 99, 2);

  EXPECT_EQ(editor->DeleteRows(true), 3);

  EXPECT_EQ(Column(1, 1, 96), TaggedRange(u'a', 1, 96));
  EXPECT_EQ(Column(1, 97, 99), Empties(3));
  EXPECT_EQ(Column(2, 97, 99), Empties(3));
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(RowOperations, DeletingTheWholeDataAreaAsksFirst) {
  struct Case {
    MessageAnswer answer;
    std::int32_t result;
    std::size_t steps;
  };
  for (const Case& c : {Case{MessageAnswer::No, 0, 0}, Case{MessageAnswer::Yes, 99, 1}}) {
    SCOPED_TRACE(c.result);
    Table(100);
    Select(1, 1, 99, 2);
    const Texts before = Snapshot();
    messages.Clear();
    messages.AnswerNext(c.answer);

    EXPECT_EQ(editor->DeleteRows(true), c.result);

    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, u"删除全部数据?");
    EXPECT_EQ(messages.shown()[0].caption, u"警告");
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(messages.shown()[0].secondButtonDefault);
    EXPECT_EQ(Steps().size(), c.steps);
    EXPECT_EQ(control.Rows(), 100);
    if (c.answer == MessageAnswer::No) {
      EXPECT_EQ(Snapshot(), before);
    } else {
      EXPECT_EQ(Column(1, 1, 99), Empties(99));
      EXPECT_EQ(Column(2, 1, 99), Empties(99));
      EXPECT_EQ(control.TextMatrix(99, 0), u"99");
    }
  }
}

TEST_F(RowOperations, AverageCollapsesEachColumnToItsMean) {
  struct Case {
    Texts cells;
    const char16_t* mean;
  };
  const Case cases[] = {
      {{u"1", u"", u"2"}, u"1.5"},
      {{u"1", u"2"}, u"1.5"},
      {{u"16777217", u"16777217"}, u"16777216"},  // single-precision values
      {{u"1", u"1", u"0"}, u"0.667"},
      {{u"3", u"3"}, u"3"},
      {{u"10"}, u"10"},
      {{u"-5.5", u"-4.5"}, u"-5"},
      {{u"-0.0001"}, u"-0"},
      {{u"0.0625"}, u"0.062"},  // ties round to even, as "%0.3f" does
      {{u"", u""}, u""},
  };
  editor->SetColumnCount(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::ToUtf8(c.mean));
    const auto last = static_cast<std::int32_t>(c.cells.size());
    for (std::int32_t i = 0; i < last; ++i) control.SetTextMatrix(1 + i, 1, c.cells[i]);
    control.SetTextMatrix(last + 1, 1, u"below");
    Select(1, 1, last, 1);

    EXPECT_EQ(editor->AverageColumns(), 1);

    EXPECT_EQ(control.TextMatrix(1, 1), c.mean);
    EXPECT_EQ(Column(1, 2, last), Empties(static_cast<std::size_t>(last - 1)));
    EXPECT_EQ(control.TextMatrix(last + 1, 1), u"below");
  }
}

TEST_F(RowOperations, AverageTreatsColumnsApartAndRecordsTheBlock) {
  editor->SetColumnCount(3);
  FillColumn(1, 4, {u"2", u"4"});
  FillColumn(2, 4, {u"", u"7"});
  Select(5, 2, 4, 1);

  EXPECT_EQ(editor->AverageColumns(), 1);

  EXPECT_EQ(Column(1, 4, 5), (Texts{u"3", u""}));
  EXPECT_EQ(Column(2, 4, 5), (Texts{u"7", u""}));
  const auto steps = Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->kind, StepKind::Average);
  EXPECT_EQ(steps[0]->region, (CellRegion{4, 5, 1, 2}));
}

TEST(RowOperationsWithoutMenu, AverageDoesNothingBeforeTheMenuIsBuilt) {
  MemoryClipboard clipboard;
  testing::ScriptedMessageBoxes messages;
  const auto codePage = MakeCodePage("CP936");
  ASSERT_NE(codePage, nullptr);
  GridEditor editor(clipboard, *codePage, messages);
  EXPECT_EQ(editor.AverageColumns(), 0);
}

TEST_F(RowOperations, SortOfAllDataRowsSortsOnlyTheFilledBlock) {
  struct Case {
    int mode;
    std::int32_t firstFilled;
    Texts keys;
    Texts sortedKeys;
    Texts sortedPartners;
  };
  const Case cases[] = {
      {3,
       1,
       {u"5", u"3", u"10", u"4", u"2"},
       {u"2", u"3", u"4", u"5", u"10"},
       {u"p5", u"p2", u"p4", u"p1", u"p3"}},
      {4,
       4,
       {u"5", u"3", u"10", u"4", u"2"},
       {u"10", u"5", u"4", u"3", u"2"},
       {u"p3", u"p1", u"p4", u"p2", u"p5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    editor->SetColumnCount(3);
    editor->SetRowCount(101);
    for (std::int32_t row = 1; row <= 100; ++row) {
      control.SetTextMatrix(row, 1, u"");
      control.SetTextMatrix(row, 2, u"");
    }
    for (std::int32_t i = 0; i < 5; ++i) {
      control.SetTextMatrix(c.firstFilled + i, 1, c.keys[i]);
      control.SetTextMatrix(c.firstFilled + i, 2, Tagged(u'p', i + 1));
    }
    Select(1, 1, 100, 1);

    EXPECT_EQ(editor->SortRows(c.mode), 1);

    const std::int32_t last = c.firstFilled + 4;
    EXPECT_EQ(Column(1, c.firstFilled, last), c.sortedKeys);
    EXPECT_EQ(Column(2, c.firstFilled, last), c.sortedPartners);
    EXPECT_EQ(Column(1, 1, c.firstFilled - 1), Empties(c.firstFilled - 1));
    EXPECT_EQ(Column(1, last + 1, 100), Empties(100 - last));
    for (std::int32_t row = 1; row <= 100; ++row)
      ASSERT_EQ(control.TextMatrix(row, 0), Number(row));
    EXPECT_EQ(editor->selTop(), c.firstFilled);
    EXPECT_EQ(editor->selBottom(), last);
  }
}

TEST_F(RowOperations, SortRecordsItsKindAndRegion) {
  struct Case {
    std::int32_t top, bottom, left;
    StepKind kind;
    CellRegion region;
  };
  const Case cases[] = {
      {5, 6, 2, StepKind::SortSome, {5, 6, 1, 2}},
      {1, 99, 2, StepKind::SortAll, {1, 99, 1, 2}},
  };
  for (const Case& c : cases) {
    editor->SetColumnCount(3);
    editor->SetRowCount(100);
    FillColumn(2, 5, {u"2", u"1"});
    Select(c.top, c.left, c.bottom, c.left);

    EXPECT_EQ(editor->SortRows(3), 1);

    const HistoryStep* step = editor->history().current();
    EXPECT_EQ(step->kind, c.kind);
    EXPECT_EQ(step->region, c.region);
    EXPECT_EQ(Column(2, 5, 6), (Texts{u"1", u"2"}));
  }
}

TEST_F(RowOperations, SortOfOneRowDoesNothing) {
  Table(100);
  Select(5, 1, 5, 2);
  const Texts before = Snapshot();
  EXPECT_EQ(editor->SortRows(3), 0);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_TRUE(Steps().empty());
}

TEST_F(RowOperations, ReverseTurnsEachColumnUpsideDown) {
  struct Case {
    Texts cells;
    Texts reversed;
  };
  const Case cases[] = {
      {{u"1", u"2", u"3", u"4"}, {u"4", u"3", u"2", u"1"}},
      {{u"1", u"2", u"3"}, {u"3", u"2", u"1"}},
      {{u"x", u""}, {u"", u"x"}},
  };
  editor->SetColumnCount(3);
  for (const Case& c : cases) {
    const auto last = static_cast<std::int32_t>(c.cells.size());
    for (std::int32_t i = 0; i < last; ++i) {
      control.SetTextMatrix(1 + i, 1, c.cells[i]);
      control.SetTextMatrix(1 + i, 2, c.cells[i]);
    }
    Select(1, 1, last, 2);

    EXPECT_EQ(editor->ReverseColumns(), 1);

    EXPECT_EQ(Column(1, 1, last), c.reversed);
    EXPECT_EQ(Column(2, 1, last), c.reversed);
    EXPECT_EQ(editor->history().current()->kind, StepKind::BlockChange);
    EXPECT_EQ(editor->history().current()->region, (CellRegion{1, last, 1, 2}));
  }
}

TEST_F(RowOperations, ShiftsAndUndoStepOverEmptyRowsBetweenFarTexts) {
  editor->SetColumnCount(3);
  editor->SetRowCount(300);
  for (const std::int32_t row : {3, 64, 65, 200}) control.SetTextMatrix(row, 1, Tagged(u'a', row));
  control.SetTextMatrix(130, 2, u"b");
  // Where the texts are: row and text, column 1 then column 2.
  const auto where = [&] {
    std::vector<std::pair<std::int32_t, std::u16string>> found;
    for (std::int32_t col = 1; col <= 2; ++col)
      for (std::int32_t row = 0; row < control.Rows(); ++row)
        if (!control.TextView(row, col).empty())
          found.emplace_back(row, control.TextMatrix(row, col));
    return found;
  };
  const auto start = where();
  using Found = decltype(start);

  Select(10, 1, 12, 2);
  EXPECT_EQ(editor->InsertRows(true), 3);
  EXPECT_EQ(where(), (Found{{3, u"a3"}, {67, u"a64"}, {68, u"a65"}, {203, u"a200"}, {133, u"b"}}));
  Select(60, 1, 64, 2);
  EXPECT_EQ(editor->DeleteRows(true), 5);
  EXPECT_EQ(where(), (Found{{3, u"a3"}, {62, u"a64"}, {63, u"a65"}, {198, u"a200"}, {128, u"b"}}));
  Select(2, 1, 250, 2);
  EXPECT_EQ(editor->ClearSelection(true), 1);
  EXPECT_EQ(where(), Found{});

  for (int step = 0; step < 3; ++step) EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(where(), start);
  for (std::int32_t row = 1; row < control.Rows(); ++row)
    ASSERT_EQ(control.TextMatrix(row, 0), Number(row));
}

TEST_F(RowOperations, AddRowsGrowsWithinCapacity) {
  struct Case {
    std::int32_t rows, delta, added, rowsAfter;
  };
  const Case cases[] = {
      {100, 0, 0, 100},     {100, -3, 0, 100},
      {100, 5, 5, 105},     {65530, 10, 6, 65536},
      {65536, 1, 0, 65536}, {100, std::numeric_limits<std::int32_t>::max(), 65436, 65536},
  };
  editor->SetColumnCount(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delta);
    editor->SetRowCount(c.rows);
    EXPECT_EQ(editor->AddRows(c.delta), c.added);
    EXPECT_EQ(control.Rows(), c.rowsAfter);
    EXPECT_EQ(control.TextMatrix(c.rowsAfter - 1, 0), Number(c.rowsAfter - 1));
  }
}

}  // namespace
}  // namespace dorvane

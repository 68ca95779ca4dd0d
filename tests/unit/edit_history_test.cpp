#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "support/editor_fixture.h"

namespace dorvane {
namespace {

using Texts = std::vector<std::u16string>;

std::u16string_view Units(const CellImage& image) {
  return {image.units.data(), image.units.size()};
}

CellImage ImageOf(std::u16string_view units) {
  return CellImage{{units.begin(), units.end()}};
}

std::vector<std::uint8_t> UnicodeBlock(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

TEST(EditHistoryList, AppendingAfterAnEarlierStepDropsTheLaterOnes) {
  EditHistory history;
  EXPECT_EQ(history.head()->kind, StepKind::Sentinel);
  EXPECT_TRUE(history.AtSentinel() && history.AtNewest());
  HistoryStep* first = history.Append(StepKind::Clear, {1, 1, 1, 1});
  history.Append(StepKind::Average, {2, 2, 1, 1});
  history.Append(StepKind::CellEdit, {3, 3, 1, 1});
  history.SetCurrent(first);

  HistoryStep* fresh = history.Append(StepKind::FillDrag, {4, 5, 1, 2});

  EXPECT_EQ(history.StepCount(), 2u);
  EXPECT_EQ(first->next.get(), fresh);
  EXPECT_EQ(fresh->prev, first);
  EXPECT_TRUE(history.AtNewest());

  history.DropCurrent();
  EXPECT_EQ(history.current(), first);
  EXPECT_EQ(history.StepCount(), 1u);
  history.DropCurrent();
  history.DropCurrent();  // at the sentinel: nothing left to drop
  EXPECT_TRUE(history.AtSentinel());
}

TEST(EditHistoryList, FreesAMillionStepsWithoutRecursing) {
  auto history = std::make_unique<EditHistory>();
  for (int i = 0; i < 1'000'000; ++i)
    ASSERT_NE(history->Append(StepKind::CellEdit, {i, i, 1, 1}), nullptr);
  EXPECT_EQ(history->StepCount(), 1'000'000u);
  history->SetCurrent(history->head());
  history->DiscardRedo();
  EXPECT_EQ(history->StepCount(), 0u);
  for (int i = 0; i < 1'000'000; ++i) history->Append(StepKind::CellEdit, {i, i, 1, 1});
  history.reset();
}

class EditHistoryTest : public testing::EditorFixture {
 protected:
  EditHistoryTest() {
    editor->SetColumnCount(3);
    editor->SetRowCount(100);
  }
  std::size_t StepCount() { return editor->history().StepCount(); }
  void ExpectSelected(CellRegion region) {
    EXPECT_EQ(editor->selTop(), region.firstRow);
    EXPECT_EQ(editor->selBottom(), region.lastRow);
    EXPECT_EQ(editor->selLeft(), region.firstCol);
    EXPECT_EQ(editor->selRight(), region.lastCol);
  }
};

TEST_F(EditHistoryTest, ImageHoldsTextsRowByRowAndRestoresElsewhere) {
  FillRow(2, 1, {u"a", u""});
  FillRow(3, 1, {u"bc", u""});
  control.SetTextMatrix(3, 2, std::u16string_view(u"d\0e", 3));  // a text ends at a NUL
  const auto image = editor->TakeImage({2, 3, 1, 2});
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(Units(*image), std::u16string_view(u"a\0\0bc\0d\0", 8));
  // Row titles are read as the numbers they show.
  const auto titles = editor->TakeImage({9, 11, 0, 0});
  ASSERT_TRUE(titles.has_value());
  EXPECT_EQ(Units(*titles), std::u16string_view(u"9\0"
                                                u"10\0"
                                                u"11\0",
                                                8));

  EXPECT_EQ(editor->RestoreImage(&*image, {6, 7, 1, 2}), 1);
  EXPECT_EQ(Column(1, 6, 7), (Texts{u"a", u"bc"}));
  EXPECT_EQ(Column(2, 6, 7), (Texts{u"", u"d"}));
  EXPECT_EQ(editor->RestoreImage(nullptr, {6, 7, 1, 2}), 0);

  const auto empty = editor->TakeImage({3, 2, 1, 2});
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->units.empty());

  // The empty rows below the last text are counted, and empty the cells they land on.
  const auto tall = editor->TakeImage({6, 99, 1, 2});
  ASSERT_TRUE(tall.has_value());
  EXPECT_EQ(Units(*tall), std::u16string_view(u"a\0\0bc\0d\0", 8));
  EXPECT_EQ(tall->emptyTail, 184u);
  FillRow(98, 1, {u"x", u"y"});
  EXPECT_EQ(editor->RestoreImage(&*tall, {8, 101, 1, 2}), 1);
  EXPECT_EQ(control.Rows(), 200);
  Texts first(94, u"");
  first[0] = u"a";
  first[1] = u"bc";
  EXPECT_EQ(Column(1, 8, 101), first);
  EXPECT_EQ(Column(2, 8, 10), (Texts{u"", u"d", u""}));
  EXPECT_EQ(control.TextMatrix(98, 2), u"");
  EXPECT_EQ(editor->RestoreImage(&*tall, {8, 100, 1, 2}), 0);  // a region a row shorter
}

TEST_F(EditHistoryTest, ImageFailsPastTheLimitOrOutsideTheGrid) {
  struct Case {
    const char* name;
    std::size_t textUnits;
    CellRegion region;
    bool taken;
  };
  const Case cases[] = {
      {"exactly the limit", CellImage::kMaxUnits - 1, {1, 1, 1, 1}, true},
      {"one unit over", CellImage::kMaxUnits, {1, 1, 1, 1}, false},
      {"the empty rows below reach the limit", CellImage::kMaxUnits - 10, {1, 10, 1, 1}, true},
      {"the empty rows below pass the limit", CellImage::kMaxUnits - 10, {1, 11, 1, 1}, false},
      {"last row", 1, {99, 99, 1, 1}, true},
      {"below the last row", 1, {99, 100, 1, 1}, false},
      {"right of the last column", 1, {1, 1, 2, 3}, false},
      {"negative row", 1, {-1, 1, 1, 1}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    control.SetTextMatrix(c.region.firstRow < 0 ? 1 : c.region.firstRow, 1,
                          std::u16string(c.textUnits, u'x'));
    EXPECT_EQ(editor->TakeImage(c.region).has_value(), c.taken);
  }
}

TEST_F(EditHistoryTest, RestoreOfAMismatchedImageFails) {
  const CellImage shortImage = ImageOf(std::u16string_view(u"a\0b\0", 4));
  EXPECT_EQ(editor->RestoreImage(&shortImage, {1, 3, 1, 1}), 0);
  EXPECT_EQ(Column(1, 1, 3), (Texts{u"a", u"b", u""}));

  const CellImage unterminated = ImageOf(u"ab");
  EXPECT_EQ(editor->RestoreImage(&unterminated, {5, 5, 1, 1}), 0);

  const CellImage longImage = ImageOf(std::u16string_view(u"x\0y\0z\0", 6));
  EXPECT_EQ(editor->RestoreImage(&longImage, {7, 8, 1, 1}), 0);
  EXPECT_EQ(Column(1, 7, 8), (Texts{u"x", u"y"}));
}

TEST_F(EditHistoryTest, RestoreBelowTheGridGrowsItWithinCapacity) {
  const CellImage image = ImageOf(std::u16string_view(u"p\0q\0", 4));
  EXPECT_EQ(editor->RestoreImage(&image, {150, 151, 1, 1}), 1);
  EXPECT_EQ(control.Rows(), 250);
  EXPECT_EQ(Column(1, 150, 151), (Texts{u"p", u"q"}));
  EXPECT_EQ(control.TextMatrix(200, 0), u"");  // grown directly, not renumbered

  editor->SetRowCount(65500);
  EXPECT_EQ(editor->RestoreImage(&image, {65534, 65535, 2, 2}), 1);
  EXPECT_EQ(control.Rows(), 65536);

  EXPECT_EQ(editor->RestoreImage(&image, {65535, 65536, 2, 2}), 0);
  EXPECT_EQ(control.Rows(), 65536);
  const std::int32_t farthest = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(editor->RestoreImage(&image, {farthest - 1, farthest, 2, 2}), 0);
  EXPECT_EQ(control.Rows(), 65536);
  EXPECT_EQ(control.TextMatrix(65535, 2), u"p");
}

TEST_F(EditHistoryTest, SelectRegionFreezesRedrawAroundTheChange) {
  view.frozenCalls.clear();
  EXPECT_EQ(editor->SelectRegion({7, 4, 2, 1}), 1);
  EXPECT_EQ(view.frozenCalls, (std::vector<bool>{true, false}));
  EXPECT_EQ(control.Row(), 7);
  EXPECT_EQ(control.Col(), 2);
  EXPECT_EQ(control.RowSel(), 4);
  EXPECT_EQ(control.ColSel(), 1);
  ExpectSelected({4, 7, 1, 2});
}

TEST_F(EditHistoryTest, SelectRegionBelowTheGridGrowsWithinCapacityAndClamps) {
  EXPECT_EQ(editor->SelectRegion({120, 130, 1, 1}), 1);
  EXPECT_EQ(control.Rows(), 230);
  ExpectSelected({120, 130, 1, 1});

  editor->SetRowCount(65530);
  EXPECT_EQ(editor->SelectRegion({65500, 70000, 1, 5}), 1);
  EXPECT_EQ(control.Rows(), 65536);
  ExpectSelected({65500, 65535, 1, 2});
  EXPECT_EQ(editor->SelectRegion({65500, std::numeric_limits<std::int32_t>::max(), 1, 1}), 1);
  ExpectSelected({65500, 65535, 1, 1});
}

TEST_F(EditHistoryTest, RecordingRetakesThePreviousAfterImage) {
  control.SetTextMatrix(3, 1, u"old");
  ASSERT_EQ(editor->RecordStep(3, 3, 1, 1, StepKind::CellEdit), 1);
  const HistoryStep* edit = editor->history().current();
  EXPECT_EQ(Units(*edit->before), std::u16string_view(u"old\0", 4));
  EXPECT_FALSE(edit->after.has_value());
  control.SetTextMatrix(3, 1, u"new");

  ASSERT_EQ(editor->RecordStep(3, 3, 1, 1, StepKind::Insert), 1);
  EXPECT_EQ(Units(*edit->after), std::u16string_view(u"new\0", 4));
  EXPECT_FALSE(editor->history().current()->before.has_value());
}

TEST_F(EditHistoryTest, StartingAnEditRecordsEvenWithoutAChange) {
  Select(4, 1, 4, 1);
  control.SetTextMatrix(4, 1, u"same");
  editor->StartCellEdit(0x0D, 0);
  editor->CommitCellEdit(4, 1);

  ASSERT_EQ(StepCount(), 1u);
  EXPECT_EQ(editor->history().current()->kind, StepKind::CellEdit);
  EXPECT_EQ(editor->history().current()->region, (CellRegion{4, 4, 1, 1}));
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(control.TextMatrix(4, 1), u"same");
}

TEST_F(EditHistoryTest, RegionBelowTheLastRowIsNotRecorded) {
  ASSERT_EQ(editor->RecordStep(2, 2, 1, 1, StepKind::CellEdit), 1);
  EXPECT_EQ(editor->RecordStep(98, 100, 1, 1, StepKind::Clear), 0);
  EXPECT_EQ(StepCount(), 1u);
  EXPECT_EQ(editor->history().current()->region, (CellRegion{2, 2, 1, 1}));
}

TEST_F(EditHistoryTest, OversizedClearIsNotRecordedAndUndoReachesTheStepBefore) {
  control.SetTextMatrix(1, 2, u"a");
  Select(1, 2, 1, 2);
  ASSERT_EQ(editor->RecordStep(1, 1, 2, 2, StepKind::CellEdit), 1);
  control.SetTextMatrix(1, 2, u"b");
  const std::u16string big(1400, u'z');
  for (std::int32_t row = 1; row <= 99; ++row)
    for (std::int32_t col = 1; col <= 2; ++col)
      if (row != 1 || col != 2) control.SetTextMatrix(row, col, big);
  Select(1, 1, 99, 2);

  EXPECT_EQ(editor->ClearSelection(true), 1);

  EXPECT_EQ(StepCount(), 1u);
  EXPECT_EQ(Column(1, 1, 99), Texts(99, u""));
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(control.TextMatrix(1, 2), u"a");
  EXPECT_EQ(control.TextMatrix(2, 2), u"");
  EXPECT_EQ(editor->Redo(), 1);
  EXPECT_EQ(control.TextMatrix(1, 2), u"b");  // its after image predates the clear
}

// 1100 cells of 256 units: an empty block before, past the image limit after.
TEST_F(EditHistoryTest, AStepWhoseAfterImageIsTooLargeStaysUndoableButNotRedoable) {
  std::u16string lines;
  for (int line = 0; line < 1100; ++line) lines += std::u16string(256, u'z') + u"\r\n";
  clipboard.AddBlock(kClipboardUnicodeText, UnicodeBlock(lines));
  const auto pasteIntoColumnOne = [&] {
    Select(1, 1, 1, 1);
    ASSERT_EQ(editor->PasteUnicodeText(), 1);
    ASSERT_EQ(control.TextMatrix(1100, 1), std::u16string(256, u'z'));
  };

  pasteIntoColumnOne();  // undone while it is the newest step
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(Column(1, 1, 1100), Texts(1100, u""));
  EXPECT_EQ(editor->Redo(), 0);
  EXPECT_TRUE(editor->history().AtSentinel());

  pasteIntoColumnOne();  // followed by a step that must still be recorded
  control.SetTextMatrix(3, 2, u"kept");
  Select(3, 2, 3, 2);
  ASSERT_EQ(editor->ClearSelection(true), 1);
  EXPECT_EQ(StepCount(), 2u);
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(control.TextMatrix(3, 2), u"kept");
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(Column(1, 1, 1100), Texts(1100, u""));
  EXPECT_EQ(editor->Redo(), 0);
  EXPECT_EQ(Column(1, 1, 1100), Texts(1100, u""));
  EXPECT_TRUE(editor->history().AtSentinel());
}

TEST_F(EditHistoryTest, RecordingAfterTwoUndosDiscardsThem) {
  for (std::int32_t row = 1; row <= 3; ++row) {
    Select(row, 1, row, 1);
    ASSERT_EQ(editor->RecordStep(row, row, 1, 1, StepKind::CellEdit), 1);
    control.SetTextMatrix(row, 1, u"v");
  }
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(Column(1, 1, 3), (Texts{u"v", u"", u""}));

  ASSERT_EQ(editor->RecordStep(5, 5, 1, 1, StepKind::CellEdit), 1);

  EXPECT_EQ(StepCount(), 2u);
  EXPECT_EQ(editor->Redo(), 0);
}

TEST_F(EditHistoryTest, NothingToUndoOrRedo) {
  EXPECT_EQ(editor->Undo(), 0);
  EXPECT_EQ(editor->Redo(), 0);
  ASSERT_EQ(editor->RecordStep(1, 1, 1, 1, StepKind::CellEdit), 1);
  EXPECT_EQ(editor->Redo(), 0);
  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(editor->Undo(), 0);
}

TEST_F(EditHistoryTest, PasteUndoRedo) {
  FillColumn(2, 5, {u"old", u"older"});
  Select(5, 2, 5, 2);
  clipboard.AddBlock(kClipboardUnicodeText, UnicodeBlock(u"1\t2\r\n3\t4\r\n"));
  ASSERT_EQ(editor->PasteUnicodeText(), 1);
  EXPECT_EQ(Column(2, 5, 6), (Texts{u"1", u"3"}));
  Select(1, 1, 1, 1);

  EXPECT_EQ(editor->Undo(), 1);
  EXPECT_EQ(Column(2, 5, 6), (Texts{u"old", u"older"}));
  ExpectSelected({5, 6, 2, 2});
  Select(1, 1, 1, 1);

  EXPECT_EQ(editor->Redo(), 1);
  EXPECT_EQ(Column(2, 5, 6), (Texts{u"1", u"3"}));
  ExpectSelected({5, 6, 2, 2});
}

TEST_F(EditHistoryTest, ClearUndoRedoAlternatesAndSelectsTheBlock) {
  FillColumn(1, 3, {u"x", u"y"});
  FillColumn(2, 3, {u"", u"z"});
  Select(4, 2, 3, 1);
  ASSERT_EQ(editor->ClearSelection(true), 1);
  const CellRegion block{3, 4, 1, 2};
  const Texts full{u"x", u"", u"y", u"z"};
  const Texts empty(4, u"");
  auto texts = [&] {
    return Texts{control.TextMatrix(3, 1), control.TextMatrix(3, 2), control.TextMatrix(4, 1),
                 control.TextMatrix(4, 2)};
  };
  EXPECT_EQ(texts(), empty);

  const struct {
    int (GridEditor::*command)();
    const Texts* expected;
  } sequence[] = {
      {&GridEditor::Undo, &full}, {&GridEditor::Redo, &empty}, {&GridEditor::Undo, &full}};
  for (const auto& step : sequence) {
    Select(50, 1, 50, 1);
    EXPECT_EQ((editor.get()->*step.command)(), 1);
    EXPECT_EQ(texts(), *step.expected);
    ExpectSelected(block);
  }
}

class UndoOfRowOperations : public EditHistoryTest {
 protected:
  void FillTags(std::int32_t rows) {
    editor->SetRowCount(rows);
    for (std::int32_t row = 1; row < rows; ++row) {
      control.SetTextMatrix(row, 1, u"a" + Number(row));
      control.SetTextMatrix(row, 2, u"b" + Number(row));
    }
  }
  static std::u16string Number(std::int32_t n) {
    std::u16string text;
    for (char c : std::to_string(n)) text.push_back(static_cast<char16_t>(c));
    return text;
  }
  Texts Tags(char16_t prefix, std::int32_t first, std::int32_t last) {
    Texts texts;
    for (std::int32_t n = first; n <= last; ++n) texts.push_back(prefix + Number(n));
    return texts;
  }
};

TEST_F(UndoOfRowOperations, InsertThenUndoLeavesTheAddedRowsAtTheBottom) {
  FillTags(100);
  Select(10, 1, 12, 1);
  ASSERT_EQ(editor->InsertRows(true), 3);

  EXPECT_EQ(editor->Undo(), 1);

  EXPECT_EQ(control.Rows(), 103);
  EXPECT_EQ(Column(1, 1, 99), Tags(u'a', 1, 99));
  EXPECT_EQ(Column(1, 100, 102), Texts(3, u""));
  EXPECT_EQ(Column(2, 1, 99), Tags(u'b', 1, 99));

  EXPECT_EQ(editor->Redo(), 1);
  EXPECT_EQ(control.Rows(), 106);
  EXPECT_EQ(Column(1, 10, 12), Texts(3, u""));
  EXPECT_EQ(Column(1, 13, 102), Tags(u'a', 10, 99));
}

TEST_F(UndoOfRowOperations, DeleteThenUndoBringsTheRowsBackWithThreeMoreRows) {
  FillTags(100);
  Select(10, 1, 12, 1);
  ASSERT_EQ(editor->DeleteRows(true), 3);

  EXPECT_EQ(editor->Undo(), 1);

  EXPECT_EQ(control.Rows(), 103);
  EXPECT_EQ(Column(1, 1, 99), Tags(u'a', 1, 99));
  EXPECT_EQ(Column(1, 100, 102), Texts(3, u""));
  EXPECT_EQ(Column(2, 1, 99), Tags(u'b', 1, 99));
  ExpectSelected({10, 12, 1, 1});

  EXPECT_EQ(editor->Redo(), 1);
  EXPECT_EQ(Column(1, 10, 96), Tags(u'a', 13, 99));
}

TEST_F(UndoOfRowOperations, UndoOfACapacityCutInsertMovesCellsUpByTheFullBlock) {
  FillTags(65535);
  Select(10, 1, 12, 1);
  messages.AnswerNext(MessageAnswer::Yes);
  ASSERT_EQ(editor->InsertRows(true), 1);

  EXPECT_EQ(editor->Undo(), 1);

  EXPECT_EQ(control.Rows(), 65536);
  EXPECT_EQ(Column(1, 8, 11), (Texts{u"a8", u"a9", u"a12", u"a13"}));
  EXPECT_EQ(control.TextMatrix(65532, 1), u"a65534");
  EXPECT_EQ(Column(1, 65533, 65535), Texts(3, u""));
}

TEST_F(UndoOfRowOperations, SortOfAllRowsThenUndoRestoresEveryDataCell) {
  editor->SetRowCount(8);
  FillColumn(1, 1, {u"3", u"1", u"", u"2", u"9", u"0", u""});
  FillColumn(2, 1, {u"c", u"a", u"x", u"b", u"", u"z", u"y"});
  control.SetTextMatrix(1, 0, u"1(首电极地形)");
  const Texts snapshot = Snapshot();
  Select(1, 1, 7, 1);
  ASSERT_EQ(editor->SortRows(4), 1);
  ASSERT_NE(Snapshot(), snapshot);
  EXPECT_EQ(control.TextMatrix(1, 0), u"1(首电极地形)");

  EXPECT_EQ(editor->Undo(), 1);

  EXPECT_EQ(Snapshot(), snapshot);
}

TEST_F(UndoOfRowOperations, DeclinedReplayLeavesGridAndHistoryAsTheyWere) {
  FillTags(65536);
  Select(1, 1, 65535, 2);
  ASSERT_EQ(editor->InsertRows(true), 0);  // at capacity: only empties, after a Yes
  const HistoryStep* insert = editor->history().current();
  FillTags(65536);
  const Texts snapshot = Snapshot();
  messages.Clear();
  messages.AnswerNext(MessageAnswer::No);

  EXPECT_EQ(editor->Undo(), 0);

  ASSERT_EQ(messages.shown().size(), 1u);
  EXPECT_EQ(messages.shown()[0].text, u"删除全部数据?");
  EXPECT_EQ(editor->history().current(), insert);
  EXPECT_EQ(Snapshot(), snapshot);
}

TEST_F(UndoOfRowOperations, DeclinedUndoOfADeleteRestoresNothing) {
  FillTags(65536);
  Select(10, 1, 12, 1);
  ASSERT_EQ(editor->DeleteRows(true), 3);
  const Texts snapshot = Snapshot();
  messages.AnswerNext(MessageAnswer::No);

  EXPECT_EQ(editor->Undo(), 0);

  EXPECT_EQ(Snapshot(), snapshot);
  EXPECT_EQ(editor->history().current()->kind, StepKind::Delete);
  EXPECT_EQ(editor->Undo(), 1);  // the script is empty now: Yes
  EXPECT_EQ(Column(1, 10, 12), Tags(u'a', 10, 12));
}

TEST_F(UndoOfRowOperations, DeclinedRedoOfAnInsertStaysUndone) {
  FillTags(65535);
  Select(10, 1, 10, 1);
  ASSERT_EQ(editor->InsertRows(true), 1);
  ASSERT_EQ(editor->Undo(), 1);
  const Texts snapshot = Snapshot();
  messages.AnswerNext(MessageAnswer::No);

  EXPECT_EQ(editor->Redo(), 0);

  EXPECT_EQ(Snapshot(), snapshot);
  EXPECT_TRUE(editor->history().AtSentinel());
  EXPECT_EQ(editor->Redo(), 1);
  EXPECT_EQ(control.TextMatrix(10, 1), u"");
}

// A control whose cell reads run out of memory on request.
class StarvedGrid : public GridControl {
 public:
  std::u16string TextMatrix(std::int32_t row, std::int32_t col) const override {
    if (starved) throw std::bad_alloc();
    return GridControl::TextMatrix(row, col);
  }
  std::u16string_view TextView(std::int32_t row, std::int32_t col) const override {
    if (starved) throw std::bad_alloc();
    return GridControl::TextView(row, col);
  }
  void AppendRowTexts(std::int32_t row, std::int32_t firstCol, std::int32_t lastCol,
                      std::vector<char16_t>& units) const override {
    if (starved) throw std::bad_alloc();
    GridControl::AppendRowTexts(row, firstCol, lastCol, units);
  }
  bool starved = false;
};

TEST(EditHistoryOutOfMemory, AStepThatCannotBeImagedIsNotRecorded) {
  StarvedGrid grid;
  testing::FakeEditorView view{grid};
  MemoryClipboard clipboard;
  testing::ScriptedMessageBoxes messages;
  const auto codePage = MakeCodePage("CP936");
  ASSERT_NE(codePage, nullptr);
  GridEditor editor(clipboard, *codePage, messages);
  view.SetEditor(&editor);
  view.SetWindowSize(400, 300);
  editor.AttachControl(&grid, &view);
  // Texts to read: empty cells below the last text are imaged without a read.
  grid.SetTextMatrix(1, 1, u"1");
  grid.SetTextMatrix(2, 1, u"2");
  ASSERT_EQ(editor.RecordStep(1, 1, 1, 1, StepKind::CellEdit), 1);

  grid.starved = true;
  EXPECT_EQ(editor.RecordStep(2, 2, 1, 1, StepKind::CellEdit), 0);
  EXPECT_FALSE(editor.TakeImage({1, 1, 1, 1}).has_value());
  EXPECT_EQ(editor.history().StepCount(), 1u);
  // Undo needs only the before image; the step just cannot be redone.
  EXPECT_EQ(editor.Undo(), 1);
  grid.starved = false;
  EXPECT_EQ(editor.Redo(), 0);
}

}  // namespace
}  // namespace dorvane

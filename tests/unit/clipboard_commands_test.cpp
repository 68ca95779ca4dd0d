#include <map>
#include <string>
#include <utility>
#include <vector>

#include "grid/clipboard_text.h"
#include "support/editor_fixture.h"

namespace dorvane {
namespace {

using namespace std::string_view_literals;
using Cell = std::pair<std::int32_t, std::int32_t>;

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::vector<std::uint8_t> UnicodeBlock(std::u16string_view text) {
  std::vector<std::uint8_t> block;
  for (char16_t unit : text) {
    block.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    block.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  block.insert(block.end(), {0, 0});
  return block;
}

std::string SylkWithCells(std::string_view bounds, std::string_view cells) {
  return "ID;PGSIWKS1\r\nP;PGeneral\r\nP;FArial;M195\r\nF;P0;DG0G8;SM0;M255\r\n" +
         std::string(bounds) + "\r\n" + std::string(cells) + "E\r\n";
}

class ClipboardCommandsTest : public testing::EditorFixture {
 protected:
  std::string ClipboardSylk() const {
    const auto block = clipboard.GetBlock(kClipboardSylk);
    if (!block) return "<none>";
    return {block->begin(), block->end()};
  }
  void OfferText(std::u16string_view text) {
    clipboard.Clear();
    clipboard.AddBlock(kClipboardUnicodeText, UnicodeBlock(text));
  }
  void OfferSylk(std::string_view text) {
    clipboard.Clear();
    clipboard.AddBlock(kClipboardSylk, Bytes(text));
  }
  const HistoryStep* LastStep() { return editor->history().current(); }
  bool NothingRecorded() { return editor->history().current() == editor->history().head(); }

  // The whole grid must equal `before` with exactly these cells changed.
  void ExpectOnlyChanged(const std::vector<std::u16string>& before,
                         const std::map<Cell, std::u16string>& changes) {
    std::vector<std::u16string> expected = before;
    for (const auto& [cell, text] : changes)
      expected[static_cast<std::size_t>(cell.first * control.Cols() + cell.second)] = text;
    EXPECT_EQ(Snapshot(), expected);
  }

  // A paste anchored at (r0, c0): the grid equals `before` but for `cells`
  // (relative to the anchor), and one block-change step covers `region`
  // (relative too).
  void ExpectPastedAt(std::int32_t r0, std::int32_t c0, const std::vector<std::u16string>& before,
                      const std::map<Cell, std::u16string>& cells, const CellRegion& region) {
    std::map<Cell, std::u16string> absolute;
    for (const auto& [cell, text] : cells) absolute[{r0 + cell.first, c0 + cell.second}] = text;
    ExpectOnlyChanged(before, absolute);
    ASSERT_NE(LastStep(), nullptr);
    EXPECT_EQ(LastStep()->kind, StepKind::BlockChange);
    EXPECT_EQ(LastStep()->region, (CellRegion{r0 + region.firstRow, r0 + region.lastRow,
                                              c0 + region.firstCol, c0 + region.lastCol}));
  }
};

// --- copy -------------------------------------------------------------------

TEST_F(ClipboardCommandsTest, CopyWritesTheSylkRecordsAsTheOnlyFormat) {
  FillRow(2, 1, {u"1.5", u"abc"});
  FillRow(3, 1, {u"", u"-2"});
  clipboard.AddBlock(kClipboardText, Bytes("old"));
  Select(3, 2, 2, 1);  // selected upwards: the records still go top-down
  EXPECT_EQ(editor->CopySelection(), 1);
  const std::string expected =
      "ID;PGSIWKS1\r\n"
      "P;PGeneral\r\n"
      "P;FArial;M195\r\n"
      "F;P0;DG0G8;SM0;M255\r\n"
      "B;X2;Y2;D0 0 1 1\r\n"
      "C;X1;Y1;K1.5\r\n"
      "C;X2;K\"abc\"\r\n"
      "C;X1;Y2;K\"\"\r\n"
      "C;X2;K-2\r\n"
      "E\r\n" +
      std::string(1, '\0');
  EXPECT_EQ(ClipboardSylk(), expected);
  EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardText));
  EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardUnicodeText));
  EXPECT_TRUE(NothingRecorded());
}

TEST_F(ClipboardCommandsTest, CopyOfOneCellAndTheQuotingRule) {
  const struct {
    std::u16string text;
    std::string value;
  } cases[] = {{u"12", "12"},
               {u".5", ".5"},
               {u"-1", "-1"},
               {u"+1", "\"+1\""},
               {u" 1", "\" 1\""},
               {u"x\"y", "\"x\"y\""},
               {u"高程", "\"\xB8\xDF\xB3\xCC\""},
               {u"1e3", "1e3"},
               {u"-.5", "-.5"},
               {u"7.", "7."},
               // Labels that merely start like a number arrive as text.
               {u"9 个", "\"9 \xB8\xF6\""},
               {u"1号点", "\"1\xBA\xC5\xB5\xE3\""},
               {u"2nd point", "\"2nd point\""},
               {u"-", "\"-\""},
               {u".", "\".\""},
               {u"1.2.3", "\"1.2.3\""},
               {u"12 ", "\"12 \""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::ToUtf8(c.text));
    control.SetTextMatrix(4, 3, c.text);
    Select(4, 3, 4, 3);
    ASSERT_EQ(editor->CopySelection(), 1);
    EXPECT_EQ(ClipboardSylk(), SylkWithCells("B;X1;Y1;D0 0 0 0", "C;X1;Y1;K" + c.value + "\r\n") +
                                   std::string(1, '\0'));
  }
}

TEST_F(ClipboardCommandsTest, CopyRefusesABlockOverTheSizeLimitAndKeepsTheClipboard) {
  // One cell: 94 bytes of records and NUL around its value, two more when quoted.
  const struct {
    char first;
    std::size_t length;
    bool fits;
  } cases[] = {
      {'1', 262050, true}, {'1', 262051, false}, {'a', 262048, true}, {'a', 262049, false}};
  for (const auto& c : cases) {
    clipboard.Clear();
    clipboard.AddBlock(kClipboardUnicodeText, UnicodeBlock(u"before"));
    control.SetTextMatrix(1, 1, std::u16string(c.length, char16_t(c.first)));
    Select(1, 1, 1, 1);
    EXPECT_EQ(editor->CopySelection(), c.fits ? 1 : 0) << c.first << c.length;
    if (c.fits) {
      EXPECT_EQ(clipboard.GetBlock(kClipboardSylk)->size(), kSylkBlockLimit);
    } else {
      EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardSylk));
      EXPECT_EQ(clipboard.GetBlock(kClipboardUnicodeText), UnicodeBlock(u"before"));
    }
  }
}

TEST_F(ClipboardCommandsTest, CopyAndPasteGiveBackTheSameTexts) {
  const std::vector<std::u16string> texts = {u"1.5",
                                             u"say \"hi\"",
                                             u"",
                                             u"\"",
                                             u"高程 12.5",
                                             u"-0.25",
                                             u"+3",
                                             u"a;b;c",
                                             u"K",
                                             u"x\ny",
                                             std::u16string(300, u'高'),
                                             u"."};
  FillRow(1, 1, {texts[0].c_str(), texts[1].c_str(), texts[2].c_str()});
  FillRow(2, 1, {texts[3].c_str(), texts[4].c_str(), texts[5].c_str()});
  FillRow(3, 1, {texts[6].c_str(), texts[7].c_str(), texts[8].c_str()});
  FillRow(4, 1, {texts[9].c_str(), texts[10].c_str(), texts[11].c_str()});
  FillRow(10, 2, {u"old", u"old", u"old"});
  Select(1, 1, 4, 3);
  ASSERT_EQ(editor->CopySelection(), 1);

  Select(10, 2, 10, 2);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  for (std::int32_t row = 0; row < 4; ++row)
    for (std::int32_t col = 0; col < 3; ++col)
      EXPECT_EQ(control.TextMatrix(10 + row, 2 + col),
                texts[static_cast<std::size_t>(row * 3 + col)])
          << row << "," << col;
  ASSERT_NE(LastStep(), nullptr);
  EXPECT_EQ(LastStep()->kind, StepKind::BlockChange);
  EXPECT_EQ(LastStep()->region, (CellRegion{10, 13, 2, 4}));
}

// --- paste of tab-separated text ---------------------------------------------

TEST_F(ClipboardCommandsTest, PastedTextIsSplitIntoLinesAndCells) {
  const struct {
    const char* name;
    std::u16string text;
    std::map<Cell, std::u16string> cells;  // relative to the anchor
    CellRegion region;                     // relative to the anchor
  } cases[] = {
      {"tabs and CR LF lines",
       u"1\t2\r\n3\t4\r\n",
       {{{0, 0}, u"1"}, {{0, 1}, u"2"}, {{1, 0}, u"3"}, {{1, 1}, u"4"}},
       {0, 1, 0, 1}},
      {"last line without CR LF",
       u"1\t2\r\n3",
       {{{0, 0}, u"1"}, {{0, 1}, u"2"}, {{1, 0}, u"3"}},
       {0, 1, 0, 1}},
      {"lone LF stays in the cell",
       u"a\nb\tc\nd",
       {{{0, 0}, u"a\nb"}, {{0, 1}, u"c\nd"}},
       {0, 0, 0, 1}},
      {"LF-only lines make one line", u"1\n2\n3\n", {{{0, 0}, u"1\n2\n3\n"}}, {0, 0, 0, 0}},
      {"CR alone separates cells", u"1\r2\r\n", {{{0, 0}, u"1"}, {{0, 1}, u"2"}}, {0, 0, 0, 1}},
      {"LF at the start ends an empty line", u"\n1\r\n", {{{1, 0}, u"1"}}, {0, 1, 0, 0}},
      {"empty cells empty the grid",
       u"\t\tx\r\n",
       {{{0, 0}, u""}, {{0, 1}, u""}, {{0, 2}, u"x"}},
       {0, 0, 0, 2}},
      {"tab before the line end", u"1\t\r\n", {{{0, 0}, u"1"}, {{0, 1}, u""}}, {0, 0, 0, 1}},
      {"ragged lines",
       u"1\r\n2\t3\t4\r\n",
       {{{0, 0}, u"1"}, {{1, 0}, u"2"}, {{1, 1}, u"3"}, {{1, 2}, u"4"}},
       {0, 1, 0, 2}},
      {"a 256-unit cell",
       std::u16string(256, u'9'),
       {{{0, 0}, std::u16string(256, u'9')}},
       {0, 0, 0, 0}},
  };
  const std::int32_t r0 = 5, c0 = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int32_t row = 4; row < 10; ++row) FillRow(row, 1, {u"o", u"o", u"o", u"o"});
    const auto before = Snapshot();
    OfferText(c.text);
    Select(r0, c0, r0, c0);
    EXPECT_EQ(editor->PasteClipboard(), 1);
    ExpectPastedAt(r0, c0, before, c.cells, c.region);
    ASSERT_NE(LastStep(), nullptr);
    ASSERT_TRUE(LastStep()->before.has_value());
  }
}

TEST_F(ClipboardCommandsTest, PastedTextWithNothingToPasteChangesNothing) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> block;
  } cases[] = {
      {"empty text", UnicodeBlock(u"")},
      {"an empty block", {}},
      {"only line ends", UnicodeBlock(u"\n\n")},
      {"a 257-unit cell", UnicodeBlock(u"1\t" + std::u16string(257, u'x') + u"\r\n2")},
      {"a long cell in a later line", UnicodeBlock(u"1\r\n" + std::u16string(300, u'7'))},
  };
  FillRow(3, 1, {u"keep", u"keep"});
  const auto before = Snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    clipboard.Clear();
    clipboard.AddBlock(kClipboardUnicodeText, c.block);
    Select(3, 1, 3, 1);
    EXPECT_EQ(editor->PasteUnicodeText(), 0);
    EXPECT_EQ(editor->PasteClipboard(), 1);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(NothingRecorded());
  }
}

TEST_F(ClipboardCommandsTest, PastedTextBlockIsNeverReadPastItsEnd) {
  // No NUL unit, and an odd last byte.
  std::vector<std::uint8_t> block = {'1', 0, '\t', 0, '2', 0, 'x'};
  clipboard.AddBlock(kClipboardUnicodeText, block);
  Select(2, 2, 2, 2);
  EXPECT_EQ(editor->PasteUnicodeText(), 1);
  EXPECT_EQ(control.TextMatrix(2, 2), u"1");
  EXPECT_EQ(control.TextMatrix(2, 3), u"2");
  EXPECT_EQ(control.TextMatrix(2, 4), u"");

  // A NUL inside the block ends the text.
  OfferText(std::u16string(u"a\tb") + u'\0' + u"\tc");
  Select(3, 2, 3, 2);
  EXPECT_EQ(editor->PasteUnicodeText(), 1);
  EXPECT_EQ(control.TextMatrix(3, 3), u"b");
  EXPECT_EQ(control.TextMatrix(3, 4), u"");
}

TEST_F(ClipboardCommandsTest, PasteStartsAtTheCurrentCellNotTheSelectionCorner) {
  OfferText(u"x\ty\r\n");
  Select(6, 3, 4, 1);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(control.TextMatrix(6, 3), u"x");
  EXPECT_EQ(control.TextMatrix(6, 4), u"y");
  EXPECT_EQ(control.TextMatrix(4, 1), u"");
  EXPECT_EQ(LastStep()->region, (CellRegion{6, 6, 3, 4}));
}

TEST_F(ClipboardCommandsTest, PasteDropsCellsRightOfTheLastColumn) {
  OfferText(u"a\tb\tc\r\nd\te\tf\r\n");
  Select(2, 3, 2, 3);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(control.Cols(), 5);
  EXPECT_EQ(control.TextMatrix(2, 3), u"a");
  EXPECT_EQ(control.TextMatrix(2, 4), u"b");
  EXPECT_EQ(control.TextMatrix(3, 4), u"e");
  EXPECT_EQ(LastStep()->region, (CellRegion{2, 3, 3, 4}));
}

TEST_F(ClipboardCommandsTest, PasteGrowsTheRowsUpToTheCapacity) {
  // 100 rows after attaching; four lines at row 98 need rows up to 101, and one
  // row more is kept below the block.
  OfferText(u"1\r\n2\r\n3\r\n4\r\n");
  Select(98, 1, 98, 1);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(control.Rows(), 103);
  EXPECT_EQ(Column(1, 98, 102), (std::vector<std::u16string>{u"1", u"2", u"3", u"4", u""}));
  EXPECT_EQ(control.TextMatrix(102, 0), u"102");
  EXPECT_EQ(LastStep()->region, (CellRegion{98, 101, 1, 1}));

  editor->SetColumnCount(27);
  editor->SetRowCount(12592);
  OfferText(u"a\r\nb\r\nc\r\nd\r\n");
  Select(12590, 26, 12590, 26);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(control.Rows(), 12592);
  EXPECT_EQ(control.TextMatrix(12590, 26), u"a");
  EXPECT_EQ(control.TextMatrix(12591, 26), u"b");
  EXPECT_EQ(LastStep()->region, (CellRegion{12590, 12591, 26, 26}));
}

// --- paste of SYLK ------------------------------------------------------------

TEST_F(ClipboardCommandsTest, PasteTakesTextBeforeSylk) {
  const std::string sylk =
      SylkWithCells("B;X1;Y1;D0 0 0 0", "C;X1;Y1;K\"from sylk\"\r\n") + std::string(1, '\0');
  clipboard.AddBlock(kClipboardSylk, Bytes(sylk));
  clipboard.AddBlock(kClipboardUnicodeText, UnicodeBlock(u"from text"));
  Select(2, 1, 2, 1);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(control.TextMatrix(2, 1), u"from text");

  OfferSylk(sylk);
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(control.TextMatrix(2, 1), u"from sylk");

  clipboard.Clear();
  clipboard.AddBlock(kClipboardText, Bytes("plain"));
  const auto before = Snapshot();
  const HistoryStep* const current = editor->history().current();
  EXPECT_EQ(editor->PasteClipboard(), 1);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(editor->history().current(), current);
}

TEST_F(ClipboardCommandsTest, SylkPasteTakesCellsInRecordOrder) {
  const struct {
    const char* name;
    std::string block;
    std::map<Cell, std::u16string> cells;
    CellRegion region;
  } cases[] = {
      {"two by two, numbers ignored",
       SylkWithCells("B;X2;Y2;D0 0 1 1",
                     "C;X1;Y1;K1\r\nC;X9;K\"a b\"\r\nC;X1;Y2;K\"\"\r\nC;X2;K-2\r\n"),
       {{{0, 0}, u"1"}, {{0, 1}, u"a b"}, {{1, 0}, u""}, {{1, 1}, u"-2"}},
       {0, 1, 0, 1}},
      {"atoi reading of the counts",
       SylkWithCells("B;X 2abc;Y+1;D", "C;X1;Y1;K1\r\nC;X2;K2\r\n"),
       {{{0, 0}, u"1"}, {{0, 1}, u"2"}},
       {0, 0, 0, 1}},
      {"more records than cells",
       SylkWithCells("B;X1;Y1;D0 0 0 0", "C;X1;Y1;K1\r\nC;X2;K2\r\n"),
       {{{0, 0}, u"1"}},
       {0, 0, 0, 0}},
      {"fewer records than cells",
       SylkWithCells("B;X2;Y2;D0 0 1 1", "C;X1;Y1;K7\r\n"),
       {{{0, 0}, u"7"}},
       {0, 1, 0, 1}},
      {"code page text",
       SylkWithCells("B;X1;Y1", "C;X1;Y1;K\"\xB8\xDF\xB3\xCC\"\r\n"),
       {{{0, 0}, u"高程"}},
       {0, 0, 0, 0}},
      {"quoted value loses its last byte",
       SylkWithCells("B;X2;Y1", "C;X1;Y1;K\"ab\r\nC;X2;K\"\r\n"),
       {{{0, 0}, u"a"}, {{0, 1}, u""}},
       {0, 0, 0, 1}},
      {"last value without CR LF",
       "B;X2;Y1\r\nC;X1;Y1;K1\r\nC;X2;K2",
       {{{0, 0}, u"1"}},
       {0, 0, 0, 1}},
      {"bounds record without line end", "B;X1;Y1", {}, {0, 0, 0, 0}},
      {"too wide for the grid",
       SylkWithCells("B;X5;Y1",
                     "C;X1;Y1;K1\r\nC;X2;K2\r\nC;X3;K3\r\n"
                     "C;X4;K4\r\nC;X5;K5\r\n"),
       {{{0, 0}, u"1"}, {{0, 1}, u"2"}, {{0, 2}, u"3"}},
       {0, 0, 0, 2}},
  };
  const std::int32_t r0 = 3, c0 = 2;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int32_t row = 2; row < 6; ++row) FillRow(row, 1, {u"o", u"o", u"o", u"o"});
    const auto before = Snapshot();
    OfferSylk(c.block);
    Select(r0, c0, r0, c0);
    EXPECT_EQ(editor->PasteSylk(), 1);
    ExpectPastedAt(r0, c0, before, c.cells, c.region);
  }
}

TEST_F(ClipboardCommandsTest, SylkWithoutAUsableBoundsRecordPastesNothing) {
  const struct {
    const char* name;
    std::string block;
  } cases[] = {
      {"no bounds record", "ID;PGSIWKS1\r\nC;X1;Y1;K1\r\nE\r\n"},
      {"zero columns", SylkWithCells("B;X0;Y2;D0 0 1 0", "C;X1;Y1;K1\r\n")},
      {"negative rows", SylkWithCells("B;X2;Y-1;D0 0 0 0", "C;X1;Y1;K1\r\n")},
      {"no numbers", SylkWithCells("B;Xa;Yb", "C;X1;Y1;K1\r\n")},
      {"bounds record cut short", "B;X"},
      {"bounds record after a NUL", std::string("ID\0B;X1;Y1\r\nC;K1\r\n"sv)},
      {"empty block", ""},
  };
  FillRow(3, 2, {u"keep", u"keep"});
  const auto before = Snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OfferSylk(c.block);
    Select(3, 2, 3, 2);
    EXPECT_EQ(editor->PasteSylk(), 0);
    EXPECT_EQ(editor->PasteClipboard(), 1);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(NothingRecorded());
  }
}

TEST_F(ClipboardCommandsTest, SylkPasteGrowsTheRowsUpToTheCapacity) {
  OfferSylk(SylkWithCells("B;X1;Y3", "C;X1;Y1;K1\r\nC;X1;Y2;K2\r\nC;X1;Y3;K3\r\n"));
  Select(98, 4, 98, 4);
  EXPECT_EQ(editor->PasteSylk(), 1);
  EXPECT_EQ(control.Rows(), 102);
  EXPECT_EQ(Column(4, 98, 101), (std::vector<std::u16string>{u"1", u"2", u"3", u""}));
  EXPECT_EQ(LastStep()->region, (CellRegion{98, 100, 4, 4}));

  // A huge row count is cut at the capacity and costs no more than its records.
  OfferSylk(SylkWithCells("B;X2147483647;Y2147483647", "C;X1;Y1;K9\r\n"));
  Select(5, 1, 5, 1);
  EXPECT_EQ(editor->PasteSylk(), 1);
  EXPECT_EQ(control.Rows(), editor->RowCapacity());
  EXPECT_EQ(control.TextMatrix(5, 1), u"9");
  EXPECT_EQ(LastStep()->region, (CellRegion{5, editor->RowCapacity() - 1, 1, 4}));
}

// --- clear and cut ------------------------------------------------------------

TEST_F(ClipboardCommandsTest, ClearEmptiesTheSelectionAfterRecordingIt) {
  FillRow(2, 1, {u"a", u"b", u"c"});
  FillRow(3, 1, {u"d", u"e", u"f"});
  Select(3, 2, 2, 1);
  const auto before = Snapshot();
  EXPECT_EQ(editor->ClearSelection(true), 1);
  ExpectOnlyChanged(before, {{{2, 1}, u""}, {{2, 2}, u""}, {{3, 1}, u""}, {{3, 2}, u""}});
  EXPECT_EQ(LastStep()->kind, StepKind::Clear);
  EXPECT_EQ(LastStep()->region, (CellRegion{2, 3, 1, 2}));
  ASSERT_TRUE(LastStep()->before.has_value());
  EXPECT_EQ(LastStep()->before->units, (std::vector<char16_t>{u'a', 0, u'b', 0, u'd', 0, u'e', 0}));
}

TEST_F(ClipboardCommandsTest, ClearWithoutUndoUsesTheSelectionAsLastRefreshed) {
  FillRow(2, 1, {u"a", u"b"});
  Select(2, 1, 2, 1);
  editor->RefreshSelection();
  Select(2, 2, 2, 2);  // not refreshed
  EXPECT_EQ(editor->ClearSelection(false), 1);
  EXPECT_EQ(control.TextMatrix(2, 1), u"");
  EXPECT_EQ(control.TextMatrix(2, 2), u"b");
  EXPECT_TRUE(NothingRecorded());

  // Fields left over from a larger grid clear only what is still there.
  FillRow(9, 1, {u"a", u"b"});
  Select(8, 1, 40, 2);
  editor->RefreshSelection();
  editor->SetRowCount(10);
  EXPECT_EQ(editor->ClearSelection(false), 1);
  EXPECT_EQ(control.TextMatrix(9, 1), u"");
  EXPECT_EQ(control.TextMatrix(9, 2), u"");
}

TEST_F(ClipboardCommandsTest, CutCopiesThenClearsEvenWhenTheCopyFails) {
  FillRow(2, 1, {u"a", u"1"});
  Select(2, 1, 2, 2);
  EXPECT_EQ(editor->CutSelection(), 1);
  EXPECT_EQ(ClipboardSylk(), SylkWithCells("B;X2;Y1;D0 0 0 1", "C;X1;Y1;K\"a\"\r\nC;X2;K1\r\n") +
                                 std::string(1, '\0'));
  EXPECT_EQ(control.TextMatrix(2, 1), u"");
  EXPECT_EQ(control.TextMatrix(2, 2), u"");
  EXPECT_EQ(LastStep()->kind, StepKind::Clear);

  const std::string previous = ClipboardSylk();
  // Too long for the clipboard in the code page, short enough for the history.
  control.SetTextMatrix(4, 1, std::u16string(140000, u'高'));
  Select(4, 1, 4, 1);
  EXPECT_EQ(editor->CutSelection(), 1);
  EXPECT_EQ(ClipboardSylk(), previous);
  EXPECT_EQ(control.TextMatrix(4, 1), u"");
  EXPECT_EQ(LastStep()->kind, StepKind::Clear);
  EXPECT_EQ(LastStep()->region, (CellRegion{4, 4, 1, 1}));
}

TEST(ClipboardCommandsUnattached, CommandsDoNothingBeforeTheEditorIsHosted) {
  MemoryClipboard clipboard;
  clipboard.AddBlock(kClipboardUnicodeText, UnicodeBlock(u"1"));
  auto codePage = MakeCodePage("CP936");
  testing::ScriptedMessageBoxes messages;
  GridEditor editor(clipboard, *codePage, messages);
  EXPECT_EQ(editor.CopySelection(), 0);
  EXPECT_EQ(editor.CutSelection(), 0);
  EXPECT_EQ(editor.PasteClipboard(), 0);
  EXPECT_EQ(editor.PasteUnicodeText(), 0);
  EXPECT_EQ(editor.PasteSylk(), 0);
  EXPECT_EQ(editor.ClearSelection(true), 0);
  EXPECT_EQ(clipboard.GetBlock(kClipboardUnicodeText), UnicodeBlock(u"1"));
  EXPECT_EQ(editor.history().current(), editor.history().head());
}

}  // namespace
}  // namespace dorvane

// Runs a sequence of grid commands chosen by the input, then undoes all of it:
// when every command was recorded and no capacity question let texts go, the
// original rows and columns must read exactly as they did at the start.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/paste_harness.h"

namespace dorvane::fuzz {
namespace {

constexpr int kMaxCommands = 24;

// Answers questions from the input; once the input is spent, or while the
// final undo runs, every answer is Yes.
class ScriptedAnswers : public MessageBoxes {
 public:
  explicit ScriptedAnswers(FuzzedDataProvider& input) : input_(input) {}

  MessageAnswer Show(const MessageRequest& request) override {
    const bool yes = finalPhase || input_.remaining_bytes() == 0 || input_.ConsumeBool();
    if (!yes) {
      ++declined;
      return MessageAnswer::No;
    }
    if (request.text.starts_with(u"最大支持")) capacityAccepted = true;
    return MessageAnswer::Yes;
  }

  bool finalPhase = false;
  bool capacityAccepted = false;
  int declined = 0;

 private:
  FuzzedDataProvider& input_;
};

std::u16string RandomText(FuzzedDataProvider& input, bool forPaste) {
  static constexpr std::u16string_view kCellUnits = u"0123456789.-+ eE高a\"\t";
  const std::u16string_view units =
      forPaste ? kCellUnits.substr(0, kCellUnits.size() - 1) : kCellUnits;
  std::u16string text(input.ConsumeIntegralInRange<std::size_t>(0, 8), u'0');
  for (char16_t& unit : text)
    unit = units[input.ConsumeIntegralInRange<std::size_t>(0, units.size() - 1)];
  return text;
}

std::vector<std::uint8_t> RandomPasteBlock(FuzzedDataProvider& input) {
  std::u16string text;
  const int lines = input.ConsumeIntegralInRange(1, 5);
  for (int line = 0; line < lines; ++line) {
    const int cells = input.ConsumeIntegralInRange(1, 4);
    for (int cell = 0; cell < cells; ++cell) {
      if (cell > 0) text += u'\t';
      // Now and then a cell too long to paste.
      text += input.ConsumeIntegralInRange(0, 31) == 0 ? std::u16string(257, u'9')
                                                       : RandomText(input, true);
    }
    if (line + 1 < lines || input.ConsumeBool()) text += u"\r\n";
  }
  std::vector<std::uint8_t> block;
  for (char16_t unit : text) {
    block.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    block.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  block.insert(block.end(), {0, 0});
  return block;
}

// A block inside the data area, now and then all data rows; the current cell
// is its upper left or lower right corner.
void SelectRandomBlock(FuzzedDataProvider& input, GridControl& control) {
  const std::int32_t lastRow = control.Rows() - 1;
  const std::int32_t lastCol = control.Cols() - 1;
  std::int32_t top = input.ConsumeIntegralInRange<std::int32_t>(1, lastRow);
  std::int32_t bottom = std::min(top + input.ConsumeIntegralInRange<std::int32_t>(0, 7), lastRow);
  if (input.ConsumeIntegralInRange(0, 15) == 0) {
    top = 1;
    bottom = lastRow;
  }
  const std::int32_t left = input.ConsumeIntegralInRange<std::int32_t>(1, lastCol);
  const std::int32_t right =
      std::min(left + input.ConsumeIntegralInRange<std::int32_t>(0, 3), lastCol);
  const bool upwards = input.ConsumeBool();
  control.SetRow(upwards ? bottom : top);
  control.SetCol(upwards ? right : left);
  control.SetRowSel(upwards ? top : bottom);
  control.SetColSel(upwards ? left : right);
}

std::vector<std::u16string> Texts(const GridControl& control, std::int32_t rows) {
  std::vector<std::u16string> texts;
  for (std::int32_t row = 0; row < rows; ++row)
    for (std::int32_t col = 0; col < control.Cols(); ++col)
      texts.push_back(control.TextMatrix(row, col));
  return texts;
}

struct Session {
  explicit Session(FuzzedDataProvider& input) : input(input) {}

  void SetUpGrid() {
    editor.AttachControl(&control, &view);
    editor.SetColumnCount(input.ConsumeIntegralInRange(2, 27));
    const bool nearCapacity = input.ConsumeIntegralInRange(0, 31) == 31;
    editor.SetRowCount(nearCapacity ? editor.RowCapacity() - input.ConsumeIntegralInRange(0, 12)
                                    : input.ConsumeIntegralInRange(2, 40));
    const std::int32_t filled = std::min(control.Rows(), 41);
    for (std::int32_t row = 1; row < filled; ++row)
      for (std::int32_t col = 1; col < control.Cols(); ++col)
        control.SetTextMatrix(row, col, RandomText(input, false));
  }

  // Runs one command; false when it changed cells without recording a step.
  bool RunCommand(int command) {
    const HistoryStep* const previous = editor.history().current();
    const int declinedBefore = messages.declined;
    bool mustRecord = true;
    switch (command) {
      case 0:
        editor.InsertRows(true);
        break;
      case 1:
        editor.DeleteRows(true);
        break;
      case 2:
        editor.ClearSelection(true);
        break;
      case 3:
        clipboard.Clear();
        clipboard.AddBlock(kClipboardUnicodeText, RandomPasteBlock(input));
        mustRecord = editor.PasteUnicodeText() != 0;
        break;
      case 4:
        editor.AverageColumns();
        break;
      case 5:
        mustRecord = editor.SortRows(input.ConsumeBool() ? 3 : 4) != 0;
        break;
      case 6:
        editor.ReverseColumns();
        break;
      case 7: {
        const std::int32_t row = control.Row();
        const std::int32_t col = control.Col();
        const bool recorded = editor.RecordStep(row, row, col, col, StepKind::CellEdit) == 1;
        editor.SetCellText(row, col, RandomText(input, false));
        return recorded;
      }
      case 8:
      case 9:
        editor.Undo();
        return true;
      default:
        editor.Redo();
        return true;
    }
    return !mustRecord || messages.declined != declinedBefore ||
           editor.history().current() != previous;
  }

  FuzzedDataProvider& input;
  GridControl control;
  HeadlessEditorView view;
  MemoryClipboard clipboard;
  std::unique_ptr<CodePage> codePage = MakeCodePage("CP936");
  ScriptedAnswers messages{input};
  GridEditor editor{clipboard, *codePage, messages};
};

}  // namespace
}  // namespace dorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dorvane;
  using namespace dorvane::fuzz;
  FuzzedDataProvider input(data, size);
  Session session(input);
  session.SetUpGrid();
  GridControl& control = session.control;
  const std::int32_t rows = control.Rows();
  const std::int32_t cols = control.Cols();
  const std::vector<std::u16string> original = Texts(control, rows);

  bool everyStepRecorded = true;
  for (int i = 0; i < kMaxCommands && input.remaining_bytes() > 0; ++i) {
    const int command = input.ConsumeIntegralInRange(0, 10);
    if (command < 8) SelectRandomBlock(input, control);
    everyStepRecorded &= session.RunCommand(command);
    Require(control.Cols() == cols);
    Require(control.Rows() >= rows && control.Rows() <= session.editor.RowCapacity());
  }

  session.messages.finalPhase = true;
  const EditHistory& history = session.editor.history();
  while (!history.AtSentinel() && session.editor.Undo() == 1) {
  }
  if (!everyStepRecorded || session.messages.capacityAccepted) return 0;

  Require(history.AtSentinel());
  Require(Texts(control, rows) == original);
  for (std::int32_t row = rows; row < control.Rows(); ++row)
    for (std::int32_t col = 1; col < cols; ++col) Require(control.TextMatrix(row, col).empty());
  return 0;
}

// Runs a sequence of grid commands and user input chosen by the input (in-place
// edits, clicks, drags, keys, fill drags, menu commands), then undoes all of it:
// when every command was recorded and no capacity question let texts go, the
// original rows and columns must read exactly as they did at the start.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/paste_harness.h"
#include "platform/window_messages.h"

namespace dorvane::fuzz {
namespace {

constexpr int kMaxCommands = 32;
constexpr std::int32_t kWindowWidth = 400;
constexpr std::int32_t kWindowHeight = 300;

// The grid window without a screen: its messages reach the real control, what
// the editor sends to its own window comes back to the editor, and the EDIT
// holds the text typed into it.
class WindowedView : public HeadlessEditorView {
 public:
  WindowedView(GridControl& control, GridEditor& editor) : control_(control), editor_(editor) {}

  std::intptr_t CallGridProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
    return control_.HandleMessage(message, wParam, lParam);
  }
  std::intptr_t SendToGrid(std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override {
    return editor_.GridWindowProc(message, wParam, lParam);
  }
  PixelRect GridClientRect() const override {
    return {0, 0, control_.ClientWidth(), control_.ClientHeight()};
  }
  TwipsScale TwipsPerPixel() const override {
    return {control_.TwipsPerPixelX(), control_.TwipsPerPixelY()};
  }
  void FocusGrid() override { editFocused = false; }
  void FocusEditBox() override { editFocused = true; }
  void SetEditText(std::u16string_view text) override { editText = text; }
  std::u16string EditText(std::size_t maxUnits) const override {
    return editText.substr(0, maxUnits);
  }
  PixelPoint CursorScreenPos() const override { return cursor; }

  std::u16string editText;
  bool editFocused = false;
  PixelPoint cursor;

 private:
  GridControl& control_;
  GridEditor& editor_;
};

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

// The grid of a run: its column count and rows come from the input, mostly a
// few rows and now and then near the row capacity.
ReusedControl& StartGrid(FuzzedDataProvider& input) {
  const std::int32_t cols = input.ConsumeIntegralInRange(2, 27);
  const bool nearCapacity = input.ConsumeIntegralInRange(0, 31) == 31;
  ReusedControl& control = StartTable(cols, nearCapacity);
  control.Reset(nearCapacity ? control.rowCapacity() - input.ConsumeIntegralInRange(0, 12)
                             : input.ConsumeIntegralInRange(2, 40));
  control.SetClientSize(kWindowWidth, kWindowHeight);
  return control;
}

struct Session {
  Session(FuzzedDataProvider& input, ReusedControl& control) : input(input), control(control) {
    editor.AttachFormattedControl(&control, &view);
  }
  ~Session() { control.Restart(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Random texts in the first rows; returns how many rows (header included) hold them.
  std::int32_t FillGrid() {
    const std::int32_t filled = std::min(control.Rows(), 41);
    for (std::int32_t row = 1; row < filled; ++row)
      for (std::int32_t col = 1; col < control.Cols(); ++col)
        control.SetTextMatrix(row, col, RandomText(input, false));
    return filled;
  }

  // Notes a fill drag that ended without recording its step: it may still
  // have filled cells.
  std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
    const bool endsFillDrag = message == msg::kLButtonUp && editor.fillDragging();
    const HistoryStep* const previous = editor.history().current();
    control.NoteRowsOnScreen();
    const std::intptr_t result = editor.GridWindowProc(message, wParam, lParam);
    control.NoteRowsOnScreen();
    if (endsFillDrag && editor.history().current() == previous) unrecordedFill = true;
    return result;
  }
  void MenuCommand(std::uint32_t id) { Send(msg::kCommand, id, 0); }

  PixelPoint RandomPoint() {
    return {input.ConsumeIntegralInRange<std::int32_t>(-5, kWindowWidth + 5),
            input.ConsumeIntegralInRange<std::int32_t>(-5, kWindowHeight + 5)};
  }
  static std::intptr_t At(PixelPoint point) { return msg::MakePointParam(point.x, point.y); }

  void Click(PixelPoint point, std::uintptr_t keys) {
    Send(msg::kLButtonDown, keys | msg::kMkLButton, At(point));
    Send(msg::kLButtonUp, keys & msg::kMkShift, At(point));
  }

  // A double-click as the system delivers it, or now and then the double-click
  // message alone; or Enter in the grid.
  void StartEdit() {
    switch (input.ConsumeIntegralInRange(0, 2)) {
      case 0: {
        const PixelPoint point = RandomPoint();
        Click(point, 0);
        Send(msg::kLButtonDblClk, msg::kMkLButton, At(point));
        Send(msg::kLButtonUp, 0, At(point));
        break;
      }
      case 1:
        Send(msg::kLButtonDblClk, msg::kMkLButton, At(RandomPoint()));
        break;
      default:
        Send(msg::kKeyDown, msg::kVkReturn, 0);
        break;
    }
  }

  // A key goes to the window that has the keyboard, or now and then to the grid
  // whatever has it.
  void PressKey() {
    static constexpr std::uint32_t kKeys[] = {
        msg::kVkReturn, msg::kVkLeft, msg::kVkUp,   msg::kVkRight, msg::kVkDown,
        msg::kVkPrior,  msg::kVkNext, msg::kVkHome, msg::kVkEnd,   msg::kVkEscape};
    const std::uint32_t key =
        kKeys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys) - 1)];
    if (view.editFocused && input.ConsumeIntegralInRange(0, 3) != 0)
      editor.EditWindowProc(msg::kKeyDown, key, 0);
    else
      Send(msg::kKeyDown, key, 0);
  }

  void Scroll() {
    switch (input.ConsumeIntegralInRange(0, 2)) {
      case 0:
        Send(msg::kMouseWheel, static_cast<std::uintptr_t>(input.ConsumeBool() ? 120 : -120) << 16,
             At(RandomPoint()));
        break;
      case 1:
        Send(msg::kVScroll, input.ConsumeIntegralInRange<std::uintptr_t>(0, 3), 0);
        break;
      default:
        Send(msg::kHScroll, input.ConsumeIntegralInRange<std::uintptr_t>(0, 3), 0);
        break;
    }
  }

  // Press, a few moves with the button held, release: selects cells, or resizes
  // a row or column when the press is on a header border.
  void Drag(PixelPoint from) {
    Send(msg::kLButtonDown, msg::kMkLButton, At(from));
    for (int move = input.ConsumeIntegralInRange(1, 3); move > 0; --move)
      Send(msg::kMouseMove, msg::kMkLButton, At(RandomPoint()));
    Send(msg::kLButtonUp, 0, At(RandomPoint()));
  }

  // Drags the fill handle where the last paint drew it.
  void FillDrag() {
    Send(msg::kPaint);
    const PixelRect handle = editor.fillHandleRect();
    Drag({handle.left, handle.top});
  }

  void RightPress() {
    const PixelPoint point = RandomPoint();
    view.cursor = view.ClientToScreen(point);
    Send(msg::kRButtonDown, 0, At(point));
  }

  // Runs one command or input; false when it changed cells without recording a step.
  bool RunCommand(int command) {
    unrecordedFill = false;
    const bool recorded = RunCommandOrInput(command);
    return recorded && !unrecordedFill;
  }

  bool RunCommandOrInput(int command) {
    const HistoryStep* const previous = editor.history().current();
    const int declinedBefore = messages.declined;
    bool mustRecord = true;
    switch (command) {
      case 0:
        MenuCommand(kCmdInsertRows);
        break;
      case 1:
        MenuCommand(kCmdDeleteRows);
        break;
      case 2:
        MenuCommand(kCmdClear);
        break;
      case 3:
        // Copy commits an open edit as every menu command does and changes no
        // cell; the paste itself is called for its result.
        MenuCommand(kCmdCopy);
        clipboard.Clear();
        clipboard.AddBlock(kClipboardUnicodeText, RandomPasteBlock(input));
        mustRecord = editor.PasteUnicodeText() != 0;
        break;
      case 4:
        MenuCommand(kCmdAverage);
        break;
      case 5:
        MenuCommand(kCmdCopy);
        mustRecord = editor.SortRows(input.ConsumeBool() ? 3 : 4) != 0;
        break;
      case 6:
        MenuCommand(kCmdReverseColumns);
        break;
      case 7:
        StartEdit();
        // An edit that is open now opened here, and recorded its cell.
        return editor.editState() == 0 || editor.history().current() != previous;
      case 8:
        view.editText = RandomText(input, false);
        return true;
      case 9:
        switch (input.ConsumeIntegralInRange(0, 4)) {
          case 0:
            Click(RandomPoint(), input.ConsumeIntegralInRange(0, 7) == 0 ? msg::kMkShift : 0);
            return true;
          case 1:
            Drag(RandomPoint());
            return true;
          case 2:
            RightPress();
            return true;
          case 3:
            FillDrag();
            return true;
          default:
            Send(msg::kPaint);
            return true;
        }
      case 10:
        if (input.ConsumeIntegralInRange(0, 3) == 0)
          Scroll();
        else
          PressKey();
        return true;
      case 11:
      case 12:
        MenuCommand(kCmdUndo);
        return true;
      default:
        MenuCommand(kCmdRedo);
        return true;
    }
    return !mustRecord || messages.declined != declinedBefore ||
           editor.history().current() != previous;
  }

  bool unrecordedFill = false;
  FuzzedDataProvider& input;
  ReusedControl& control;
  MemoryClipboard clipboard;
  ScriptedAnswers messages{input};
  GridEditor editor{clipboard, CodePage936(), messages};
  WindowedView view{control, editor};
};

}  // namespace
}  // namespace dorvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dorvane;
  using namespace dorvane::fuzz;
  FuzzedDataProvider input(data, size);
  Session session(input, StartGrid(input));
  ReusedControl& control = session.control;
  const std::int32_t rows = control.Rows();
  const std::int32_t cols = control.Cols();
  // Below the filled rows the grid holds the start table's texts.
  const std::int32_t filled = session.FillGrid();
  const std::vector<std::u16string> original = Texts(control, filled);

  bool everyStepRecorded = true;
  for (int i = 0; i < kMaxCommands && input.remaining_bytes() > 0; ++i) {
    const int command = input.ConsumeIntegralInRange(0, 13);
    if (command < 7) SelectRandomBlock(input, control);
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
  // Cells the run never wrote kept their texts; the others must read as at the start.
  control.ForEachChangedCell(rows, filled, [&](std::int32_t row, std::int32_t col) {
    Require(control.TextView(row, col) ==
            (row < filled
                 ? std::u16string_view(original[static_cast<std::size_t>(row * cols + col)])
                 : control.StartText(row, col)));
  });
  // Rows the run added hold no text: tens of thousands of them near the
  // capacity, so the control's own extent is asked, not every cell.
  Require(control.RowsWithText(1, cols - 1) <= rows);
  return 0;
}

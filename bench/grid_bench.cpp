// Grid commands on the editor's largest table (3 columns, 65536 rows), each
// against a baseline that writes as many cells straight into the control.
// One-character texts keep every block image within its limit, so the undo
// steps are taken and measured at their largest.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "grid/grid_editor.h"
#include "gridcontrol/grid_control.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "platform/message_boxes.h"
#include "platform/window_messages.h"
#include "tests/support/headless_editor_view.h"

namespace {

using namespace dorvane;

constexpr std::int32_t kFullRows = 65536;
constexpr std::int32_t kDataRows = kFullRows - 1;

class AlwaysYes : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest&) override { return MessageAnswer::Yes; }
};

std::u16string Digit(std::int32_t n) {
  return std::u16string(1, static_cast<char16_t>(u'0' + n % 10));
}

// Pseudo-random digits, so that a sort has real work to do.
std::u16string CellDigit(std::int32_t row, std::int32_t col) {
  return Digit(
      static_cast<std::int32_t>((static_cast<std::uint32_t>(row) * 2654435761u >> 7) + col));
}

struct Table {
  explicit Table(std::int32_t rows) {
    editor.AttachControl(&control, &view);
    editor.SetColumnCount(3);
    editor.SetRowCount(rows);
    for (std::int32_t row = 1; row < rows; ++row)
      for (std::int32_t col = 1; col <= 2; ++col)
        control.SetTextMatrix(row, col, CellDigit(row, col));
  }

  void Select(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right) {
    control.SetRow(top);
    control.SetCol(left);
    control.SetRowSel(bottom);
    control.SetColSel(right);
    editor.RefreshSelection();
  }

  GridControl control;
  HeadlessEditorView view;
  MemoryClipboard clipboard;
  std::unique_ptr<CodePage> codePage = MakeCodePage("CP936");
  AlwaysYes messages;
  GridEditor editor{clipboard, *codePage, messages};
};

std::vector<std::uint8_t> PasteBlock() {
  std::u16string text;
  for (std::int32_t line = 0; line < kDataRows; ++line) {
    text += Digit(line + 3);
    text += u'\t';
    text += Digit(line + 7);
    text += u"\r\n";
  }
  std::vector<std::uint8_t> block;
  block.reserve(text.size() * 2 + 2);
  for (char16_t unit : text) {
    block.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    block.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  block.insert(block.end(), {0, 0});
  return block;
}

void BM_Grid_Baseline_WriteCells(benchmark::State& state) {
  Table table(kFullRows);
  std::int32_t round = 0;
  for (auto _ : state) {
    ++round;
    for (std::int32_t row = 1; row < kFullRows; ++row)
      for (std::int32_t col = 1; col <= 2; ++col)
        table.control.SetTextMatrix(row, col, Digit(row + col + round));
  }
}
BENCHMARK(BM_Grid_Baseline_WriteCells)->Unit(benchmark::kMillisecond);

// Runs `timed` in the timing and `reset` outside it, so every round starts
// from the same table. Both must succeed (non-zero), or the figure would
// measure some other path, such as a step that was not recorded.
template <typename Timed, typename Reset>
void RunPaired(benchmark::State& state, Timed timed, Reset reset) {
  for (auto _ : state) {
    const auto result = timed();
    state.PauseTiming();
    const auto restored = reset();
    if (result == 0 || restored == 0) {
      state.SkipWithError("the command or its reversal did nothing");
      break;
    }
    state.ResumeTiming();
  }
}

void BM_Grid_Paste(benchmark::State& state) {
  Table table(kFullRows);
  table.clipboard.AddBlock(kClipboardUnicodeText, PasteBlock());
  table.Select(1, 1, 1, 1);
  RunPaired(
      state, [&] { return table.editor.PasteUnicodeText(); }, [&] { return table.editor.Undo(); });
}
BENCHMARK(BM_Grid_Paste)->Unit(benchmark::kMillisecond);

void BM_Grid_UndoPaste(benchmark::State& state) {
  Table table(kFullRows);
  table.clipboard.AddBlock(kClipboardUnicodeText, PasteBlock());
  table.Select(1, 1, 1, 1);
  table.editor.PasteUnicodeText();
  RunPaired(
      state, [&] { return table.editor.Undo(); }, [&] { return table.editor.Redo(); });
}
BENCHMARK(BM_Grid_UndoPaste)->Unit(benchmark::kMillisecond);

void BM_Grid_SortAll(benchmark::State& state) {
  Table table(kFullRows);
  RunPaired(
      state,
      [&] {
        table.Select(1, 1, kDataRows, 1);
        return table.editor.SortRows(3);
      },
      [&] { return table.editor.Undo(); });
}
BENCHMARK(BM_Grid_SortAll)->Unit(benchmark::kMillisecond);

void BM_Grid_UndoSortAll(benchmark::State& state) {
  Table table(kFullRows);
  table.Select(1, 1, kDataRows, 1);
  table.editor.SortRows(3);
  RunPaired(
      state, [&] { return table.editor.Undo(); }, [&] { return table.editor.Redo(); });
}
BENCHMARK(BM_Grid_UndoSortAll)->Unit(benchmark::kMillisecond);

// Insert and delete start one row below the capacity, so that the insert has
// room and the undo of a delete too.
void BM_Grid_InsertTop(benchmark::State& state) {
  Table table(kFullRows - 1);
  RunPaired(
      state,
      [&] {
        table.Select(1, 1, 1, 2);
        return table.editor.InsertRows(true);
      },
      [&] {
        const int undone = table.editor.Undo();
        table.editor.SetRowCount(kFullRows - 1);
        return undone;
      });
}
BENCHMARK(BM_Grid_InsertTop)->Unit(benchmark::kMillisecond);

void BM_Grid_UndoInsertTop(benchmark::State& state) {
  Table table(kFullRows - 1);
  table.Select(1, 1, 1, 2);
  table.editor.InsertRows(true);
  RunPaired(
      state, [&] { return table.editor.Undo(); },
      [&] {
        table.editor.SetRowCount(kFullRows - 1);
        return table.editor.Redo();
      });
}
BENCHMARK(BM_Grid_UndoInsertTop)->Unit(benchmark::kMillisecond);

void BM_Grid_DeleteTop(benchmark::State& state) {
  Table table(kFullRows - 1);
  RunPaired(
      state,
      [&] {
        table.Select(1, 1, 1, 2);
        return table.editor.DeleteRows(true);
      },
      [&] {
        const int undone = table.editor.Undo();
        table.editor.SetRowCount(kFullRows - 1);
        return undone;
      });
}
BENCHMARK(BM_Grid_DeleteTop)->Unit(benchmark::kMillisecond);

void BM_Grid_UndoDeleteTop(benchmark::State& state) {
  Table table(kFullRows - 1);
  table.Select(1, 1, 1, 2);
  table.editor.DeleteRows(true);
  RunPaired(
      state, [&] { return table.editor.Undo(); },
      [&] {
        table.editor.SetRowCount(kFullRows - 1);
        return table.editor.Redo();
      });
}
BENCHMARK(BM_Grid_UndoDeleteTop)->Unit(benchmark::kMillisecond);

// The tallest two-column block whose SYLK text still fits.
std::int32_t LargestCopyableRows(Table& table) {
  std::int32_t fits = 1;
  std::int32_t fails = kDataRows + 1;
  while (fails - fits > 1) {
    const std::int32_t middle = fits + (fails - fits) / 2;
    table.Select(1, 1, middle, 2);
    (table.editor.CopySelection() == 1 ? fits : fails) = middle;
  }
  return fits;
}

void BM_Grid_CopyNearSylkLimit(benchmark::State& state) {
  Table table(kFullRows);
  const std::int32_t rows = LargestCopyableRows(table);
  table.Select(1, 1, rows, 2);
  for (auto _ : state) benchmark::DoNotOptimize(table.editor.CopySelection());
  state.counters["rows"] = rows;
  const auto block = table.clipboard.GetBlock(kClipboardSylk);
  state.counters["bytes"] = block ? static_cast<double>(block->size()) : 0.0;
}
BENCHMARK(BM_Grid_CopyNearSylkLimit)->Unit(benchmark::kMillisecond);

void BM_Grid_RenumberRows(benchmark::State& state) {
  Table table(kFullRows);
  for (auto _ : state) benchmark::DoNotOptimize(table.editor.RenumberRows());
}
BENCHMARK(BM_Grid_RenumberRows)->Unit(benchmark::kMillisecond);

// The editor's share of a paint, the selection frame over the control's image,
// at the bottom of a table of 100 and of 65536 rows: tens of nanoseconds at
// either size, growing only with the logarithm of the row count.
void BM_Grid_PaintFrameAtTheBottom(benchmark::State& state) {
  Table table(static_cast<std::int32_t>(state.range(0)));
  table.control.SetClientSize(400, 300);
  table.control.SetTopRow(table.control.MaxTopRow());
  const std::int32_t last = table.control.Rows() - 1;
  table.Select(last - 3, 1, last, 2);
  for (auto _ : state) benchmark::DoNotOptimize(table.editor.GridWindowProc(msg::kPaint, 0, 0));
}
BENCHMARK(BM_Grid_PaintFrameAtTheBottom)
    ->Arg(100)
    ->Arg(kFullRows)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

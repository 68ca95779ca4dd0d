#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "gridcontrol/grid_control.h"
#include "gridcontrol/grid_paint_plan.h"
#include "platform/window_messages.h"

namespace {

using dorvane::GridControl;

constexpr std::int32_t kMaxRows = 65536;

// The editor's largest table: numbers with some texts and empty cells, in two
// key columns and a third one that only travels with its row.
GridControl MakeTable(std::int32_t rows) {
  GridControl grid;
  grid.SetRows(rows);
  grid.SetCols(4);
  std::mt19937 random(42);
  std::uniform_real_distribution<double> value(-1000.0, 1000.0);
  for (std::int32_t row = 1; row < rows; ++row) {
    grid.SetTextMatrix(row, 0, std::u16string(u"#") + static_cast<char16_t>(u'0' + row % 10));
    for (std::int32_t col = 1; col < 4; ++col) {
      const auto pick = random() % 20;
      std::u16string text;
      if (pick == 0) text = u"text";
      if (pick > 1) {
        const std::string number = std::to_string(value(random));
        text.assign(number.begin(), number.end());
      }
      grid.SetTextMatrix(row, col, text);
    }
  }
  grid.SetRow(1);
  grid.SetCol(1);
  grid.SetRowSel(rows - 1);
  grid.SetColSel(2);
  return grid;
}

// Baseline: read every key cell of the sorted block once.
void BM_ReadKeyCells(benchmark::State& state) {
  const GridControl table = MakeTable(kMaxRows);
  for (auto _ : state) {
    std::size_t total = 0;
    for (std::int32_t row = 1; row < kMaxRows; ++row)
      for (std::int32_t col = 1; col <= 2; ++col) total += table.TextMatrix(row, col).size();
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_ReadKeyCells)->Unit(benchmark::kMillisecond);

void BM_SortAllRows(benchmark::State& state) {
  const GridControl table = MakeTable(kMaxRows);
  const auto order = static_cast<std::int16_t>(state.range(0));
  std::unique_ptr<GridControl> grid;
  for (auto _ : state) {
    // A fresh copy each time; copying and freeing stay outside the timing.
    state.PauseTiming();
    grid.reset();
    grid = std::make_unique<GridControl>(table);
    state.ResumeTiming();
    grid->SetSort(order);
    benchmark::DoNotOptimize(grid->TextMatrix(1, 1));
  }
}
BENCHMARK(BM_SortAllRows)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Positions of rows far from TopRow, as every paint asks them: the cost
// should hardly depend on the row count.
void BM_RowPosSpread(benchmark::State& state) {
  const auto rows = static_cast<std::int32_t>(state.range(0));
  GridControl grid;
  grid.SetRows(rows);
  grid.SetClientSize(400, 300);
  for (std::int32_t row = 3; row < rows; row += 97) grid.SetRowHeight(row, 400);
  grid.SetTopRow(rows / 2);
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < 1024; ++i) sum += grid.RowPos((i * 7919) % rows);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_RowPosSpread)->Arg(256)->Arg(kMaxRows);

// The editor's grid as the dialog shows it: a header row and column, two
// number columns, about 20 rows in view, with texts in every cell.
GridControl MakeShownGrid(std::int32_t rows) {
  GridControl grid;
  grid.SetCols(3);
  grid.SetRows(rows);
  grid.SetColWidth(0, 1800);
  grid.SetColWidth(1, 1500);
  grid.SetColWidth(2, 1500);
  grid.SetClientSize(520, 340);
  for (std::int32_t row = 0; row < rows; ++row)
    for (std::int32_t col = 0; col < 3; ++col) grid.SetTextMatrix(row, col, u"1234.5");
  for (std::int32_t row = 7; row < rows; row += 211) grid.SetRowHeight(row, 400);
  grid.SetRow(3);
  grid.SetCol(1);
  grid.SetRowSel(9);
  grid.SetColSel(2);
  return grid;
}

// What one paint decides. Compare the 65536-row figure with the 100-row one:
// the walk covers only what is shown, so they should be alike.
void BM_PlanPaint(benchmark::State& state) {
  const GridControl grid = MakeShownGrid(static_cast<std::int32_t>(state.range(0)));
  dorvane::PaintPlan plan;
  for (auto _ : state) {
    dorvane::PlanPaint(grid, plan);
    benchmark::DoNotOptimize(plan.cells.data());
  }
  state.counters["cells"] = static_cast<double>(plan.cells.size());
}
BENCHMARK(BM_PlanPaint)->Arg(100)->Arg(kMaxRows)->Repetitions(5)->ReportAggregatesOnly(true);

// SB_BOTTOM on the largest grid, then the paint plan of what it shows.
void BM_ScrollToBottomThenPlan(benchmark::State& state) {
  GridControl grid = MakeShownGrid(kMaxRows);
  dorvane::PaintPlan plan;
  for (auto _ : state) {
    state.PauseTiming();
    grid.HandleScroll(true, dorvane::msg::kSbTop, 0);
    state.ResumeTiming();
    grid.HandleScroll(true, dorvane::msg::kSbBottom, 0);
    dorvane::PlanPaint(grid, plan);
    benchmark::DoNotOptimize(plan.cells.data());
  }
}
BENCHMARK(BM_ScrollToBottomThenPlan)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

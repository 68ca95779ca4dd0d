#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "gridcontrol/grid_control.h"

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

}  // namespace

BENCHMARK_MAIN();

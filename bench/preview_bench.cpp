// The preview's layout of a survey and one repaint from the cached layout. The
// repaint of 1,000,000 data is measured against the repaint of 10,000 in the
// same iterations: its cost is to depend on the picture, not on the data.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "survey/preview_layout.h"
#include "tests/support/synthetic_survey.h"

namespace {

using namespace dorvane;
using Clock = std::chrono::steady_clock;

constexpr PreviewOptions kWindow{1000, 600, PreviewColouring::kByValue};

const PreviewData& Survey(std::size_t count) {
  static const PreviewData small = SyntheticPreviewData(10'000, 30);
  static const PreviewData large = SyntheticPreviewData(1'000'000, 30);
  return count <= small.size() ? small : large;
}

void LayOut(benchmark::State& state) {
  const PreviewData& data = Survey(static_cast<std::size_t>(state.range(0)));
  const PreviewOptions options{kWindow.width, kWindow.height,
                               static_cast<PreviewColouring>(state.range(1))};
  for (auto _ : state) benchmark::DoNotOptimize(LayOutPreview(data, options));
  state.counters["data"] = static_cast<double>(data.size());
}
BENCHMARK(LayOut)
    ->ArgNames({"data", "by_value"})
    ->Args({10'000, 1})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond);

double Paint(const PreviewLayout& layout, std::vector<PreviewColour>& pixels) {
  const Clock::time_point start = Clock::now();
  PaintPreview(layout, pixels.data(), layout.width);
  benchmark::DoNotOptimize(pixels.data());
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Both repaints in every iteration, alternating, so that both see the same
// machine; the reported time is the large one's.
void Repaint(benchmark::State& state) {
  const PreviewLayout small = LayOutPreview(Survey(10'000), kWindow);
  const PreviewLayout large = LayOutPreview(Survey(1'000'000), kWindow);
  std::vector<PreviewColour> pixels(static_cast<std::size_t>(kWindow.width) * kWindow.height);
  double smallSeconds = 0, largeSeconds = 0;
  for (auto _ : state) {
    smallSeconds += Paint(small, pixels);
    const double seconds = Paint(large, pixels);
    largeSeconds += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["repaint_10k_us"] = smallSeconds / state.iterations() * 1e6;
  state.counters["repaint_1M_us"] = largeSeconds / state.iterations() * 1e6;
  state.counters["repaint_1M_per_10k"] = largeSeconds / smallSeconds;
}
BENCHMARK(Repaint)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

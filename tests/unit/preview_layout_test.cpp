#include "survey/preview_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/synthetic_survey.h"

namespace dorvane {
namespace {

TEST(PreviewTicks, NiceStepsCoverTheRange) {
  const struct {
    double low, high;
    std::int32_t wanted;
    double first, step;
    std::int32_t count, decimals;
  } cases[] = {
      {0, 100, 5, 0, 20, 6, 0},
      {-3.2, 47, 10, 0, 5, 10, 0},
      {0.13, 0.87, 4, 0.2, 0.2, 4, 1},
      {1234, 1236, 4, 1234, 0.5, 5, 1},
      {-0.031, 0.01, 4, -0.03, 0.01, 5, 2},
      {0, 9000, 3, 0, 2000, 5, 0},
  };
  for (const auto& c : cases) {
    const AxisTicks ticks = NiceTicks(c.low, c.high, c.wanted);
    EXPECT_NEAR(ticks.first, c.first, 1e-12) << c.low << ".." << c.high;
    EXPECT_NEAR(ticks.step, c.step, 1e-12) << c.low << ".." << c.high;
    EXPECT_EQ(ticks.count, c.count) << c.low << ".." << c.high;
    EXPECT_EQ(ticks.decimals, c.decimals) << c.low << ".." << c.high;
  }
  EXPECT_EQ(NiceTicks(5, 5, 4).count, 0);
  EXPECT_EQ(NiceTicks(0, NAN, 4).count, 0);
  EXPECT_EQ(FormatTick(-0.001, 2), u"0");
  EXPECT_EQ(FormatTick(0.3, 1), u"0.3");  // 0.1 * 3 is not 0.3 in binary
  EXPECT_EQ(FormatTick(-1250, 0), u"-1250");
}

TEST(PreviewColours, LogarithmicClassesOfApparentResistivity) {
  const struct {
    double value;
    std::int32_t valueClass;
  } cases[] = {{10, 0},   {9.99, 0}, {1, 0},    {1000, 15}, {5000, 15},    {100, 8},
               {99.9, 7}, {0, -1},   {-20, -1}, {NAN, -1},  {INFINITY, -1}};
  for (const auto& c : cases) EXPECT_EQ(ValueClass(c.value, 10, 1000), c.valueClass) << c.value;
  // Neighbouring classes and rows must be told apart on the picture.
  for (std::int32_t c = 1; c < kValueClasses; ++c)
    EXPECT_NE(ValueClassColour(c), ValueClassColour(c - 1));
  for (std::uint32_t row = 1; row < 30; ++row) EXPECT_NE(InputColour(row), InputColour(row - 1));
}

PlacedDatum At(std::uint32_t input, std::uint64_t line, double x, double depth, double value) {
  PlacedDatum placed;
  placed.datum.input = input;
  placed.datum.line = line;
  placed.datum.value = value;
  placed.x = x;
  placed.depth = depth;
  return placed;
}

// A few data get a mark each; the picture holds them at their places, and
// hovering over one names it.
TEST(PreviewHitTest, NamesTheDatumUnderThePointer) {
  PreviewData data;
  data.Accept(At(0, 7, 10, 2, 100));
  data.Accept(At(1, 9, 60, 8, 300));
  data.Accept(At(1, 11, 61, 8, 20));  // overlaps the one before: drawn over it
  SurveyReport report;
  report.inputs.resize(2);
  data.SetReport(report);
  const PreviewLayout layout = LayOutPreview(data, {800, 500, PreviewColouring::kByInput});
  ASSERT_FALSE(layout.binned);
  std::vector<PreviewColour> pixels(800 * 500);
  PaintPreview(layout, pixels.data(), 800);
  const struct {
    double x, depth;
    std::int32_t dx;
    bool found;
    std::uint32_t line;
  } cases[] = {{10, 2, 0, true, 7},  {10, 2, 4, true, 7},  {10, 2, 9, false, 0},
               {61, 8, 0, true, 11}, {60, 8, -3, true, 9}, {35, 5, 0, false, 0}};
  for (const auto& c : cases) {
    const std::int32_t px = static_cast<std::int32_t>(layout.scale.PixelX(c.x)) + c.dx;
    const std::int32_t py = static_cast<std::int32_t>(layout.scale.PixelY(c.depth));
    const auto hit = HitTestPreview(layout, data, px, py);
    ASSERT_EQ(hit.has_value(), c.found) << c.x << " " << c.dx;
    if (!hit) continue;
    EXPECT_EQ(hit->line, c.line);
    EXPECT_EQ(hit->value, data.value()[hit->datum]);
    if (c.dx == 0) {
      EXPECT_EQ(pixels[py * 800 + px], InputColour(hit->input)) << c.x;
    }
  }
}

// However many data, the marks stay within the plot's cells, each cell shows
// its median, and the painted picture does not depend on the data count.
TEST(PreviewBinning, OneMarkPerCellColouredByItsMedian) {
  PreviewData data = SyntheticPreviewData(300000, 5);
  const PreviewOptions options{600, 400, PreviewColouring::kByValue};
  const PreviewLayout layout = LayOutPreview(data, options);
  ASSERT_TRUE(layout.binned);
  const PreviewScale& s = layout.scale;
  const std::size_t cells = static_cast<std::size_t>((s.right - s.left + 2) / 3) *
                            static_cast<std::size_t>((s.bottom - s.top + 2) / 3);
  EXPECT_LE(layout.marks.size(), cells);
  EXPECT_GT(layout.marks.size(), cells / 20);

  PreviewData stack;
  const double values[] = {900, 3, 50, 7, 400, 20, 61, 2, 1000};  // median 50
  for (std::uint32_t i = 0; i < 40000; ++i)
    stack.Accept(At(0, i + 1, i % 997, (i % 491) * 0.1, 30));
  for (std::uint32_t i = 0; i < std::size(values); ++i)
    stack.Accept(At(0, 100000 + i, 2000, 60, values[i]));
  const PreviewLayout stacked = LayOutPreview(stack, options);
  ASSERT_TRUE(stacked.binned);
  const auto hit =
      HitTestPreview(stacked, stack, static_cast<std::int32_t>(stacked.scale.PixelX(2000)),
                     static_cast<std::int32_t>(stacked.scale.PixelY(60)));
  ASSERT_TRUE(hit.has_value());
  EXPECT_EQ(hit->value, 50);
  EXPECT_EQ(hit->line, 100002u);
}

// A finding with a place lies over its stretch of the profile; the surface
// and the electrodes on it are drawn where the topography says.
TEST(PreviewLayoutFindings, GapAndSurfaceAtTheirPlaces) {
  PreviewData data;
  for (int i = 0; i < 40; ++i) {
    PlacedDatum placed = At(i < 20 ? 0 : 1, i + 1, i < 20 ? i : 80 + i, 1 + i % 3 * 5, 50);
    placed.elevation = 100 - placed.depth;
    placed.datum.electrodes[kC1] = {true, placed.x - 1.5, kNoValue};
    data.Accept(placed);
  }
  SurveyReport report;
  report.inputs.resize(2);
  report.surface = {{-10, 100}, {200, 100}};
  Finding gap;
  gap.code = "gap";
  gap.xFrom = 30;
  gap.xTo = 90;
  report.findings.push_back(gap);
  data.SetReport(report);
  const PreviewLayout layout = LayOutPreview(data, {900, 500, PreviewColouring::kByInput});
  std::vector<PreviewColour> pixels(900 * 500);
  PaintPreview(layout, pixels.data(), 900);
  const PreviewScale& s = layout.scale;
  const auto pixel = [&](double x, double y) {
    return pixels[static_cast<std::int32_t>(s.PixelY(y)) * 900 +
                  static_cast<std::int32_t>(s.PixelX(x))];
  };
  EXPECT_FALSE(s.downward);
  EXPECT_EQ(pixel(60, 96), 0xFFE8B0u);     // in the gap's band
  EXPECT_EQ(pixel(20, 96), 0xFFFFFFu);     // outside it, between data
  EXPECT_NE(pixel(10.2, 100), 0xFFFFFFu);  // the surface line
  EXPECT_EQ(pixel(10.2, 100.45), 0xFFFFFFu);
  std::int32_t ticks = 0;
  for (const PreviewItem& item : layout.items)
    ticks += item.kind == PreviewItem::Kind::kPolyline && item.count == 2 &&
             layout.points[item.first].x == layout.points[item.first + 1].x &&
             layout.points[item.first + 1].y == std::lround(s.PixelY(100));
  EXPECT_EQ(ticks, 40);
}

}  // namespace
}  // namespace dorvane

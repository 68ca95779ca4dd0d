#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "survey/preview_data.h"

namespace dorvane {

// 0xRRGGBB: in a 32-bit top-down DIB section or any little-endian BGRX buffer
// a pixel is this value as it stands.
using PreviewColour = std::uint32_t;

enum class PreviewColouring : std::uint8_t {
  kByInput,  // one colour per input row, with a legend of rows and file names
  kByValue,  // apparent resistivity on a logarithmic scale, with its bar
};

struct PreviewOptions {
  std::int32_t width = 1000;  // pixels of the whole picture
  std::int32_t height = 600;
  PreviewColouring colouring = PreviewColouring::kByInput;
};

struct PreviewPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

enum class PreviewAlign : std::uint8_t { kLeft, kCenter, kRight };

// One drawing step, in pixel coordinates of the picture.
struct PreviewItem {
  enum class Kind : std::uint8_t {
    kRect,      // filled: [left, right) x [top, bottom)
    kPolyline,  // points [first, first + count) of PreviewLayout::points, `width` px wide
    kText,      // PreviewLayout::texts[first] with its baseline at (left, top), aligned
                // horizontally by `align`, `size` px high, in a sans-serif face
    kData,      // the data marks (PreviewLayout::marks, or the cached `dataLayer`)
  };
  Kind kind = Kind::kRect;
  PreviewColour colour = 0;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::uint32_t first = 0, count = 0;
  std::uint8_t width = 1;
  std::uint8_t size = 12;
  PreviewAlign align = PreviewAlign::kLeft;
};

// A datum, or one cell of binned data, drawn as a filled square.
struct PreviewMark {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  PreviewColour colour = 0;
  std::uint32_t datum = 0;  // index into PreviewData; a cell's median datum
};

// Where the data land on the picture, and back.
struct PreviewScale {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // the plot area
  double xMin = 0, xMax = 1;                              // data units at left and right
  double yMin = 0, yMax = 1;  // at bottom and top; with `downward`, at top and bottom
  bool downward = false;      // depth: grows down the picture
  double PixelX(double x) const;
  double PixelY(double y) const;
};

// Everything one picture shows, computed once for a size and colouring; a
// repaint walks `items` in order. Its cost depends on the picture's size only:
// above a density the data are binned, one mark per cell of the plot, coloured
// by the cell's median, and `dataLayer` holds the marks already rasterised.
struct PreviewLayout {
  std::int32_t width = 0, height = 0;
  PreviewColour background = 0xFFFFFF;
  std::vector<PreviewItem> items;
  std::vector<PreviewPoint> points;
  std::vector<std::u16string> texts;
  std::vector<PreviewMark> marks;
  bool binned = false;
  PreviewScale scale;
  // The plot area's pixels with the marks drawn in (row by row, scale's
  // width), kNoPixel where no mark is.
  std::vector<PreviewColour> dataLayer;
  static constexpr PreviewColour kNoPixel = 0xFF000000;
};

PreviewLayout LayOutPreview(const PreviewData& data, const PreviewOptions& options);

// Draws every item but the texts into a top-down 32-bit buffer of the layout's
// size (`stride` pixels a row); the caller draws the texts over it with its
// own fonts. Cost independent of the number of data.
void PaintPreview(const PreviewLayout& layout, PreviewColour* pixels, std::int32_t stride);

struct PreviewHit {
  std::uint32_t datum = 0;  // index into PreviewData
  std::uint16_t input = 0;  // index into SurveyReport::inputs
  std::uint32_t line = 0;   // 1-based line in that input's file
  double value = 0;
};

// The datum drawn nearest to pixel (x, y), within a few pixels; for binned data
// the median datum of the cell.
std::optional<PreviewHit> HitTestPreview(const PreviewLayout& layout, const PreviewData& data,
                                         std::int32_t x, std::int32_t y);

// Helpers the layout is made of, exposed for their tests.
struct AxisTicks {
  double first = 0;  // first tick at or above the range's start
  double step = 1;   // 1, 2 or 5 times a power of ten
  std::int32_t count = 0;
  std::int32_t decimals = 0;  // enough to tell neighbouring ticks apart
};
// Ticks for [low, high] with about `wanted` intervals.
AxisTicks NiceTicks(double low, double high, std::int32_t wanted);
std::u16string FormatTick(double value, std::int32_t decimals);

// The colour of `value` on the logarithmic scale from `low` to `high`, in
// kValueClasses steps; a value that is not a positive finite number is grey.
inline constexpr std::int32_t kValueClasses = 16;
std::int32_t ValueClass(double value, double low, double high);
PreviewColour ValueClassColour(std::int32_t valueClass);
PreviewColour InputColour(std::uint32_t input);
inline constexpr PreviewColour kBadValueColour = 0x9A9A9A;

}  // namespace dorvane

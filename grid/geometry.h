#pragma once

#include <cstdint>

namespace dorvane {

struct PixelPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// Twips (1440 per inch) per screen pixel, across and down.
struct TwipsScale {
  std::int32_t x = 15;
  std::int32_t y = 15;
  friend bool operator==(const TwipsScale&, const TwipsScale&) = default;
};

// A screen that reports no resolution is taken as the standard 96 dpi; one finer
// than a twip counts as one twip per pixel, so no pixel conversion divides by 0.
constexpr std::int32_t TwipsPerPixelForDpi(std::int32_t dpi) {
  const std::int32_t twips = 1440 / (dpi > 0 ? dpi : 96);
  return twips > 0 ? twips : 1;
}

// Client pixels of the grid window.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A block of cells: left = first column, top = first row, right = last column,
// bottom = last row, all inclusive.
struct CellRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const CellRect&, const CellRect&) = default;
};

// A block of cells as the edit history records it, inclusive bounds.
struct CellRegion {
  std::int32_t firstRow = 0;
  std::int32_t lastRow = 0;
  std::int32_t firstCol = 0;
  std::int32_t lastCol = 0;
  friend bool operator==(const CellRegion&, const CellRegion&) = default;
};

}  // namespace dorvane

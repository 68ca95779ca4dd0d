#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "gridcontrol/grid_control.h"

namespace dorvane {

// Client pixels; right and bottom are exclusive.
struct GridPixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const GridPixelRect&, const GridPixelRect&) = default;
};

enum class CellHAlign : std::uint8_t { kLeft, kCenter, kRight };
enum class CellVAlign : std::uint8_t { kTop, kCenter, kBottom };

struct PaintCell {
  std::int32_t row = 0;
  std::int32_t col = 0;
  // The whole cell. Its last pixel column and row are where the grid lines
  // (data cells) or the shadow of the raised edge (fixed cells) go.
  GridPixelRect rect;
  std::u16string_view text;  // valid until the control changes
  CellHAlign hAlign = CellHAlign::kLeft;
  CellVAlign vAlign = CellVAlign::kCenter;
  bool fixed = false;
  bool selected = false;  // highlighted: in the selection but not the current cell
};

// What one paint of the control draws, decided without a window.
struct PaintPlan {
  std::int32_t width = 0;  // the client area
  std::int32_t height = 0;
  // Where the cells end; right and below of it is background.
  std::int32_t cellsRight = 0;
  std::int32_t cellsBottom = 0;
  std::vector<PaintCell> cells;  // fixed and data cells that reach into the client area
  // Grid lines of the data area: x of each vertical line (running from the
  // fixed rows down to cellsBottom) and y of each horizontal one.
  std::vector<std::int32_t> columnLines;
  std::vector<std::int32_t> rowLines;
  std::int32_t fixedRight = 0;  // where the data area starts
  std::int32_t fixedBottom = 0;
  bool hasFocusRect = false;  // the current cell is shown and FocusRect is on
  GridPixelRect focusRect;    // inside its grid lines
};

// Fills `plan` (its vectors are reused) for the control's current state. Only
// the rows and columns that reach into the client area are walked, so the cost
// does not grow with Rows.
void PlanPaint(const GridControl& grid, PaintPlan& plan);

}  // namespace dorvane

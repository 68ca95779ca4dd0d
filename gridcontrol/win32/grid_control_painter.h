#pragma once

#include <windows.h>

#include "gridcontrol/grid_paint_plan.h"

namespace dorvane::win32 {

// Draws a paint plan with GDI onto `dc` (the whole client area it describes):
// raised header cells, grid lines, texts, the selection, and the focus
// rectangle when `focused`.
void PaintGridPlan(HDC dc, const PaintPlan& plan, HFONT font, bool focused);

}  // namespace dorvane::win32

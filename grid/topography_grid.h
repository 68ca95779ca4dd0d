#pragma once

#include "grid/grid_editor.h"

namespace dorvane {

// The main dialog's topography table: standard settings, 3 columns, 256 rows,
// the column titles and the first electrode's row title.
void SetUpTopographyGrid(GridEditor& editor);

}  // namespace dorvane

#pragma once

#include <array>
#include <optional>

#include "app/row_table.h"
#include "model/merge_job.h"

namespace dorvane::app {

// What each mode shows: in the merge only a row's browse button and path field;
// the 2D script adds the X location and the position order; the 3D script shows
// everything. Hidden controls keep their place.
struct ModeVisibility {
  std::array<bool, kRowPositions> rowPositionShown{};
  bool topographyBoxShown = false;  // the script modes also clear it
};

ModeVisibility VisibilityOf(MergeMode mode);

// The mode the radio buttons select, in their order; none when none is selected.
std::optional<MergeMode> ModeFromRadios(bool merge, bool script2d, bool script3d);

}  // namespace dorvane::app

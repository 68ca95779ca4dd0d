#include "app/mode_visibility.h"

namespace dorvane::app {

ModeVisibility VisibilityOf(MergeMode mode) {
  ModeVisibility shown;
  shown.rowPositionShown[kBrowseButton] = true;
  shown.rowPositionShown[kPathField] = true;
  if (mode == MergeMode::LongProfileMerge) {
    shown.topographyBoxShown = true;
    return shown;
  }
  for (std::size_t k = kLocationLabel; k < kRowPositions; ++k) shown.rowPositionShown[k] = true;
  if (mode == MergeMode::ConcatenationScript) {
    for (RowPosition k : {kYField, kYLabel, kXDirectionRadio, kYDirectionRadio, kDirectionGroup})
      shown.rowPositionShown[k] = false;
  }
  return shown;
}

std::optional<MergeMode> ModeFromRadios(bool merge, bool script2d, bool script3d) {
  if (merge) return MergeMode::LongProfileMerge;
  if (script2d) return MergeMode::ConcatenationScript;
  if (script3d) return MergeMode::CollateScript;
  return std::nullopt;
}

}  // namespace dorvane::app

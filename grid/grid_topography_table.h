#pragma once

#include "data/topography_table.h"
#include "grid/grid_editor.h"

namespace dorvane {

// The merge's view of the topography grid: the cell texts that the editor's
// control holds at the moment of reading; nothing is copied.
class GridTopographyTable : public TopographyTable {
 public:
  explicit GridTopographyTable(const GridEditor& editor) : editor_(editor) {}

  std::int32_t RowCount() const override;
  std::u16string CellText(std::int32_t row, std::int32_t column) const override;

 private:
  const GridEditor& editor_;
};

}  // namespace dorvane

#include "grid/grid_topography_table.h"

namespace dorvane {

std::int32_t GridTopographyTable::RowCount() const {
  return editor_.GetRowCount();
}

std::u16string GridTopographyTable::CellText(std::int32_t row, std::int32_t column) const {
  return editor_.GetCellText(row, column).value_or(std::u16string());
}

}  // namespace dorvane

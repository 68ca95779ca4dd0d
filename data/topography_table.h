#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

// The merge's read-only view of the topography grid: column 1 position, column 2
// elevation, data from row 1 down; row 0 is the title row.
class TopographyTable {
 public:
  virtual ~TopographyTable() = default;
  // Rows, the title row included.
  virtual std::int32_t RowCount() const = 0;
  // Empty text for a cell outside the table.
  virtual std::u16string CellText(std::int32_t row, std::int32_t column) const = 0;
};

}  // namespace dorvane

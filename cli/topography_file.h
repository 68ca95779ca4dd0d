#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/topography_table.h"

namespace dorvane::cli {

// A topography table typed into a text file instead of the grid: line k is grid
// row k. Its first two fields, split at tabs (at commas when the line holds no
// tab), are the position and elevation texts as they stand.
class TopographyFile final : public TopographyTable {
 public:
  // UTF-8 text with LF or CR LF line ends; a leading byte order mark is skipped.
  explicit TopographyFile(std::string_view utf8);

  std::int32_t RowCount() const override;
  std::u16string CellText(std::int32_t row, std::int32_t column) const override;

 private:
  struct Point {
    std::u16string position;
    std::u16string elevation;
  };
  std::vector<Point> points_;
};

struct FileContents {
  std::optional<std::string> bytes;
  std::string error;  // UTF-8 reason when `bytes` is empty
};

FileContents ReadWholeFile(const std::u16string& path);

}  // namespace dorvane::cli

#include "grid/topography_grid.h"

namespace dorvane {

void SetUpTopographyGrid(GridEditor& editor) {
  editor.FormatGrid();
  editor.SetColumnCount(3);
  editor.SetRowCount(256);
  editor.SetCellText(1, 0, u"1(首电极地形)");
  editor.SetCellText(0, 1, u"X坐标(斜距)");
  editor.SetCellText(0, 2, u"Y坐标(高程)");
}

}  // namespace dorvane

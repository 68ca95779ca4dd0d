#include "editor_fixture.h"

#include "grid/topography_grid.h"

namespace dorvane::testing {

EditorFixture::EditorFixture() : codePage(MakeCodePage("CP936")) {
  editor = std::make_unique<GridEditor>(clipboard, *codePage, messages);
  view.SetEditor(editor.get());
  view.SetWindowSize(400, 300);
  editor->AttachControl(&control, &view);
}

void EditorFixture::SetUpTopography() {
  SetUpTopographyGrid(*editor);
}

void EditorFixture::FillColumn(std::int32_t col, std::int32_t row,
                               std::initializer_list<const char16_t*> texts) {
  for (const char16_t* text : texts) control.SetTextMatrix(row++, col, text);
}

void EditorFixture::FillRow(std::int32_t row, std::int32_t col,
                            std::initializer_list<const char16_t*> texts) {
  for (const char16_t* text : texts) control.SetTextMatrix(row, col++, text);
}

std::vector<std::u16string> EditorFixture::Column(std::int32_t col, std::int32_t first,
                                                  std::int32_t last) const {
  std::vector<std::u16string> texts;
  for (std::int32_t row = first; row <= last; ++row) texts.push_back(control.TextMatrix(row, col));
  return texts;
}

void EditorFixture::Select(std::int32_t row, std::int32_t col, std::int32_t rowSel,
                           std::int32_t colSel) {
  control.SetRow(row);
  control.SetCol(col);
  control.SetRowSel(rowSel);
  control.SetColSel(colSel);
}

std::vector<std::u16string> EditorFixture::Snapshot() const {
  std::vector<std::u16string> texts;
  for (std::int32_t row = 0; row < control.Rows(); ++row)
    for (std::int32_t col = 0; col < control.Cols(); ++col)
      texts.push_back(control.TextMatrix(row, col));
  return texts;
}

}  // namespace dorvane::testing

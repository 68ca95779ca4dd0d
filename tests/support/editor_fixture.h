#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "fake_editor_view.h"
#include "grid/grid_editor.h"
#include "gridcontrol/grid_control.h"
#include "platform/clipboard.h"
#include "platform/code_page.h"
#include "scripted_message_boxes.h"

namespace dorvane::testing {

// A grid editor on a real GridControl, in a recorded window of 400 x 300 pixels
// at 96 dpi, with an in-memory clipboard, the CP936 code page and scripted
// message boxes. The grid starts as the control's attach leaves it; call
// SetUpTopography() for the main dialog's table.
class EditorFixture : public ::testing::Test {
 protected:
  EditorFixture();

  // The main dialog's table: 3 columns, 256 rows, titles.
  void SetUpTopography();
  // Writes texts into consecutive rows of one column, from `row` down.
  void FillColumn(std::int32_t col, std::int32_t row, std::initializer_list<const char16_t*> texts);
  // Writes one row of texts from `col` to the right.
  void FillRow(std::int32_t row, std::int32_t col, std::initializer_list<const char16_t*> texts);
  // Texts of one column, rows first..last.
  std::vector<std::u16string> Column(std::int32_t col, std::int32_t first, std::int32_t last) const;
  // Makes (row, col) current and extends the selection to (rowSel, colSel).
  void Select(std::int32_t row, std::int32_t col, std::int32_t rowSel, std::int32_t colSel);
  // Every cell text, row by row, for comparing whole grids.
  std::vector<std::u16string> Snapshot() const;

  GridControl control;
  FakeEditorView view{control};
  MemoryClipboard clipboard;
  std::unique_ptr<CodePage> codePage;
  ScriptedMessageBoxes messages;
  std::unique_ptr<GridEditor> editor;
};

}  // namespace dorvane::testing

#pragma once

#include "editor_fixture.h"
#include "platform/window_messages.h"

namespace dorvane::testing {

// The editor fixture with the main dialog's table, driven through the grid
// window's procedure as the window system would drive it.
class GridWindowTest : public EditorFixture {
 protected:
  GridWindowTest() { SetUpTopography(); }

  std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
    return editor->GridWindowProc(message, wParam, lParam);
  }
  void KeyDown(std::uint32_t key) { Send(msg::kKeyDown, key, 0); }
  void Paint() { Send(msg::kPaint); }

  // Centre of a cell in client pixels, as the control shows it now.
  PixelPoint CellCentre(std::int32_t row, std::int32_t col) const;
  static std::intptr_t At(PixelPoint point) { return msg::MakePointParam(point.x, point.y); }

  void LeftPress(PixelPoint point, std::uintptr_t keys = msg::kMkLButton) {
    Send(msg::kLButtonDown, keys, At(point));
  }
  void LeftRelease(PixelPoint point) { Send(msg::kLButtonUp, 0, At(point)); }
  void ClickCell(std::int32_t row, std::int32_t col);
  // Press, release, double-click and release, as the system delivers them.
  void DoubleClickCell(std::int32_t row, std::int32_t col);
  // Double-clicks the cell, types `text` into the EDIT and presses Enter in it.
  void TypeIntoCell(std::int32_t row, std::int32_t col, std::u16string_view text);
  void Wheel(std::int32_t delta, std::uintptr_t keys = 0);

  // Messages of one kind that the editor sent to its own window.
  std::vector<FakeEditorView::Message> SentToGrid(std::uint32_t message) const;
};

}  // namespace dorvane::testing

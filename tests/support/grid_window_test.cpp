#include "grid_window_test.h"

namespace dorvane::testing {

PixelPoint GridWindowTest::CellCentre(std::int32_t row, std::int32_t col) const {
  const std::int32_t tx = control.TwipsPerPixelX();
  const std::int32_t ty = control.TwipsPerPixelY();
  return {(control.ColPos(col) + control.ColWidth(col) / 2) / tx,
          (control.RowPos(row) + control.RowHeight(row) / 2) / ty};
}

void GridWindowTest::ClickCell(std::int32_t row, std::int32_t col) {
  const PixelPoint point = CellCentre(row, col);
  LeftPress(point);
  LeftRelease(point);
}

void GridWindowTest::DoubleClickCell(std::int32_t row, std::int32_t col) {
  const PixelPoint point = CellCentre(row, col);
  ClickCell(row, col);
  Send(msg::kLButtonDblClk, msg::kMkLButton, At(point));
  LeftRelease(point);
}

void GridWindowTest::TypeIntoCell(std::int32_t row, std::int32_t col, std::u16string_view text) {
  DoubleClickCell(row, col);
  view.editText = text;
  editor->EditWindowProc(msg::kKeyDown, msg::kVkReturn, 0);
}

void GridWindowTest::Wheel(std::int32_t delta, std::uintptr_t keys) {
  const auto packed = static_cast<std::uint32_t>(delta) << 16 | (keys & 0xFFFFu);
  Send(msg::kMouseWheel, packed, At({150, 150}));
}

std::vector<FakeEditorView::Message> GridWindowTest::SentToGrid(std::uint32_t message) const {
  std::vector<FakeEditorView::Message> found;
  for (const FakeEditorView::Message& sent : view.sentToGrid)
    if (sent.message == message) found.push_back(sent);
  return found;
}

}  // namespace dorvane::testing

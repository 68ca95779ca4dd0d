#include "fake_editor_view.h"

#include "platform/window_messages.h"

namespace dorvane::testing {

std::intptr_t FakeEditorView::CallGridProc(std::uint32_t message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
  controlMessages.push_back({message, wParam, lParam});
  if (message == msg::kKeyDown) {
    control_.HandleKey(static_cast<std::uint32_t>(wParam), {held.shift, held.control});
    return 0;
  }
  return control_.HandleMessage(message, wParam, lParam);
}

std::intptr_t FakeEditorView::SendToGrid(std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  sentToGrid.push_back({message, wParam, lParam});
  if (editor_ != nullptr) return editor_->GridWindowProc(message, wParam, lParam);
  return CallGridProc(message, wParam, lParam);
}

std::intptr_t FakeEditorView::CallEditProc(std::uint32_t message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
  editMessages.push_back({message, wParam, lParam});
  return 0;
}

void FakeEditorView::VerticalScrollRange(std::int32_t& min, std::int32_t& max) const {
  const GridControl::ScrollRange range = control_.VerticalScrollRange();
  min = range.min;
  max = range.max;
}

std::int32_t FakeEditorView::VerticalScrollPos() const {
  return control_.VerticalScrollPos();
}

void FakeEditorView::CreatePopupMenu(std::span<const PopupMenuItem> items) {
  menuItems.clear();
  for (const PopupMenuItem& item : items) {
    menuItems.emplace_back(item.id, std::u16string(item.label));
    if (item.id != 0) menuEnabled[item.id] = true;
  }
}

}  // namespace dorvane::testing

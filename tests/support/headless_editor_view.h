#pragma once

#include "grid/editor_view.h"

namespace dorvane {

// A window that is not there: runs the editor's commands without a display, as
// batch tools, benchmarks and fuzzers do. Input reaches no control and nothing
// is drawn; the geometry is a fixed 400 x 300 pixels at the control's default scale.
class HeadlessEditorView : public EditorView {
 public:
  std::intptr_t CallGridProc(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  std::intptr_t SendToGrid(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  std::intptr_t CallEditProc(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  void InvalidateGrid() override {}
  void ValidateGrid() override {}
  PixelRect GridClientRect() const override { return {0, 0, 400, 300}; }
  TwipsScale TwipsPerPixel() const override { return {}; }
  void FocusGrid() override {}
  HeldKeys HeldModifierKeys() const override { return {}; }
  void MoveEditBox(const PixelRect&) override {}
  void ShowEditBox(bool) override {}
  void FocusEditBox() override {}
  bool EditBoxHasFocus() const override { return false; }
  void SelectAllEditText() override {}
  void UpdateEditBox() override {}
  void SetEditText(std::u16string_view) override {}
  std::u16string EditText(std::size_t) const override { return {}; }
  void DrawPolyline(std::span<const PixelPoint>, PenKind) override {}
  void SetCursor(CursorKind) override {}
  void CaptureMouse() override {}
  void ReleaseMouse() override {}
  bool HasMouseCapture() const override { return false; }
  void VerticalScrollRange(std::int32_t& min, std::int32_t& max) const override { min = max = 0; }
  std::int32_t VerticalScrollPos() const override { return 0; }
  void FreezeRedraw(bool) override {}
  void CreatePopupMenu(std::span<const PopupMenuItem>) override {}
  void EnableMenuItem(std::uint32_t, bool) override {}
  PixelPoint ClientToScreen(PixelPoint point) const override { return point; }
  PixelPoint ScreenToClient(PixelPoint point) const override { return point; }
  PixelPoint CursorScreenPos() const override { return {}; }
  void TrackPopupMenu(PixelPoint) override {}
};

}  // namespace dorvane

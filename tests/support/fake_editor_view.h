#pragma once

#include <map>
#include <string>
#include <vector>

#include "grid/editor_view.h"
#include "grid/grid_editor.h"
#include "gridcontrol/grid_control.h"

namespace dorvane::testing {

// A window for the grid editor that records what the editor asks of it. Messages
// for the control go to a real GridControl; messages sent to the grid window go
// back into the editor, as on Windows.
class FakeEditorView : public EditorView {
 public:
  struct Polyline {
    std::vector<PixelPoint> points;
    PenKind pen;
  };
  struct Message {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };

  explicit FakeEditorView(GridControl& control) : control_(control) {}
  void SetEditor(GridEditor* editor) { editor_ = editor; }

  std::intptr_t CallGridProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  std::intptr_t SendToGrid(std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override;
  std::intptr_t CallEditProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void InvalidateGrid() override { ++invalidations; }
  void ValidateGrid() override { ++validations; }
  PixelRect GridClientRect() const override {
    return {0, 0, control_.ClientWidth(), control_.ClientHeight()};
  }
  TwipsScale TwipsPerPixel() const override {
    return {control_.TwipsPerPixelX(), control_.TwipsPerPixelY()};
  }
  void FocusGrid() override { focus = Focus::Grid; }
  HeldKeys HeldModifierKeys() const override { return held; }
  void MoveEditBox(const PixelRect& rect) override { editRect = rect; }
  void ShowEditBox(bool visible) override { editVisible = visible; }
  void FocusEditBox() override { focus = Focus::Edit; }
  bool EditBoxHasFocus() const override { return focus == Focus::Edit; }
  void SelectAllEditText() override { ++editSelectAlls; }
  void UpdateEditBox() override { ++editUpdates; }
  void SetEditText(std::u16string_view text) override { editText = text; }
  std::u16string EditText(std::size_t maxUnits) const override {
    return editText.substr(0, maxUnits);
  }
  void DrawPolyline(std::span<const PixelPoint> points, PenKind pen) override {
    polylines.push_back({{points.begin(), points.end()}, pen});
  }
  void SetCursor(CursorKind kind) override { cursor = kind; }
  void CaptureMouse() override { captured = true; }
  void ReleaseMouse() override { captured = false; }
  bool HasMouseCapture() const override { return captured; }
  void VerticalScrollRange(std::int32_t& min, std::int32_t& max) const override;
  std::int32_t VerticalScrollPos() const override;
  void FreezeRedraw(bool frozen) override { frozenCalls.push_back(frozen); }
  void CreatePopupMenu(std::span<const PopupMenuItem> items) override;
  void EnableMenuItem(std::uint32_t id, bool enabled) override { menuEnabled[id] = enabled; }
  PixelPoint ClientToScreen(PixelPoint point) const override {
    return {point.x + screenOrigin.x, point.y + screenOrigin.y};
  }
  PixelPoint ScreenToClient(PixelPoint point) const override {
    return {point.x - screenOrigin.x, point.y - screenOrigin.y};
  }
  PixelPoint CursorScreenPos() const override { return cursorScreen; }
  void TrackPopupMenu(PixelPoint screen) override { menuShownAt.push_back(screen); }

  // Sizes the window: its client area is the control's.
  void SetWindowSize(std::int32_t width, std::int32_t height) {
    control_.SetClientSize(width, height);
  }

  enum class Focus { None, Grid, Edit };

  PixelPoint screenOrigin{100, 50};
  PixelPoint cursorScreen{0, 0};
  int invalidations = 0;
  int validations = 0;
  Focus focus = Focus::None;
  HeldKeys held;  // what the control reads with a key, as its window does
  PixelRect editRect;
  bool editVisible = false;
  std::u16string editText;
  int editSelectAlls = 0;
  int editUpdates = 0;
  std::vector<Polyline> polylines;
  CursorKind cursor = CursorKind::Arrow;
  bool captured = false;
  std::vector<bool> frozenCalls;
  std::vector<std::pair<std::uint32_t, std::u16string>> menuItems;
  std::map<std::uint32_t, bool> menuEnabled;
  std::vector<PixelPoint> menuShownAt;
  std::vector<Message> controlMessages;  // what reached the control
  std::vector<Message> sentToGrid;       // what the editor sent to its own window
  std::vector<Message> editMessages;     // what reached the EDIT's own procedure

 private:
  GridControl& control_;
  GridEditor* editor_ = nullptr;
};

}  // namespace dorvane::testing

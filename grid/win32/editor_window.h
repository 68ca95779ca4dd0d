#pragma once

#include <windows.h>

#include "grid/editor_view.h"
#include "gridcontrol/grid_control.h"
#include "platform/win32/handles.h"

namespace dorvane {
class GridEditor;
}

namespace dorvane::win32 {

struct MenuTraits {
  using Handle = HMENU;
  static Handle Empty() { return nullptr; }
  static void Free(Handle menu) { ::DestroyMenu(menu); }
};
using UniqueMenu = UniqueResource<MenuTraits>;

// The grid editor's window: our control's window with the in-place EDIT inside
// it. Subclass() puts the editor's window procedures in front of both windows'
// own; everything the editor does not take goes on to those.
class Win32EditorView final : public EditorView {
 public:
  // Shows the popup menu at a screen point for `owner`; TrackPopupMenu unless a
  // test, which cannot answer a modal menu, puts its own in.
  using MenuTracker = void (*)(HMENU menu, POINT screen, HWND owner);

  Win32EditorView(GridControl& control, HWND gridWindow, HWND editWindow);
  // Gives the windows that still exist their own procedures back.
  ~Win32EditorView() override;
  Win32EditorView(const Win32EditorView&) = delete;
  Win32EditorView& operator=(const Win32EditorView&) = delete;

  void Subclass(GridEditor& editor);
  GridEditor* editor() const { return editor_; }
  HMENU popupMenu() const { return menu_.get(); }
  void SetMenuTracker(MenuTracker tracker) { tracker_ = tracker; }

  // The view of a subclassed grid window or EDIT; null for any other window.
  static Win32EditorView* OfWindow(HWND window);

  std::intptr_t CallGridProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  std::intptr_t SendToGrid(std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override;
  std::intptr_t CallEditProc(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void InvalidateGrid() override;
  void ValidateGrid() override;
  PixelRect GridClientRect() const override;
  TwipsScale TwipsPerPixel() const override;
  void FocusGrid() override;
  HeldKeys HeldModifierKeys() const override;
  void MoveEditBox(const PixelRect& rect) override;
  void ShowEditBox(bool visible) override;
  void FocusEditBox() override;
  bool EditBoxHasFocus() const override;
  void SelectAllEditText() override;
  void UpdateEditBox() override;
  void SetEditText(std::u16string_view text) override;
  std::u16string EditText(std::size_t maxUnits) const override;
  void DrawPolyline(std::span<const PixelPoint> points, PenKind pen) override;
  void SetCursor(CursorKind cursor) override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  bool HasMouseCapture() const override;
  void VerticalScrollRange(std::int32_t& min, std::int32_t& max) const override;
  std::int32_t VerticalScrollPos() const override;
  void FreezeRedraw(bool frozen) override;
  void CreatePopupMenu(std::span<const PopupMenuItem> items) override;
  void EnableMenuItem(std::uint32_t id, bool enabled) override;
  PixelPoint ClientToScreen(PixelPoint point) const override;
  PixelPoint ScreenToClient(PixelPoint point) const override;
  PixelPoint CursorScreenPos() const override;
  void TrackPopupMenu(PixelPoint screen) override;

 private:
  static LRESULT CALLBACK GridWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The system destroyed one of the windows: nothing may reach it any more.
  void Forget(HWND window);

  GridControl& control_;
  HWND grid_;
  HWND edit_;
  WNDPROC prevGridProc_ = nullptr;
  WNDPROC prevEditProc_ = nullptr;
  GridEditor* editor_ = nullptr;
  UniqueMenu menu_;
  MenuTracker tracker_ = nullptr;
  int frozen_ = 0;  // LockWindowUpdate depth
};

}  // namespace dorvane::win32

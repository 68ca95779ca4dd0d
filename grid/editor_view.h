#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "grid/geometry.h"

namespace dorvane {

enum class PenKind {
  Black,    // solid black, 1 pixel: the selection frame and the fill handle
  DragXor,  // 2 pixels, colour 0x0000FFFF, R2_XORPEN: the fill-drag frame
};

enum class CursorKind { Cross, Arrow };

// Modifier keys held down when the message being handled was sent.
struct HeldKeys {
  bool shift = false;
  bool control = false;
};

struct PopupMenuItem {
  std::uint32_t id = 0;  // 0 with an empty label: a separator
  std::u16string_view label;
};

// What the grid editor asks of its window: the grid control's window with the
// in-place EDIT inside it. Windows implements it with USER32/GDI; tests record.
class EditorView {
 public:
  virtual ~EditorView() = default;

  // The control's own window procedure (the one in place before the editor's).
  virtual std::intptr_t CallGridProc(std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;
  // Sends a message to the grid window; it goes through the editor's procedure.
  virtual std::intptr_t SendToGrid(std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) = 0;
  // The EDIT's own window procedure.
  virtual std::intptr_t CallEditProc(std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) = 0;

  virtual void InvalidateGrid() = 0;  // the whole window, with erasing
  // Marks the pending paint as done without drawing (ValidateRect): a paint the
  // editor swallows must not come back at once.
  virtual void ValidateGrid() = 0;
  // The area that shows cells: the control's client size, which its window keeps
  // from the same place the control takes it. Scroll bars and borders are not in it.
  virtual PixelRect GridClientRect() const = 0;
  // The control's own scale, which its window took from the screen: the editor
  // keeps no copy, so it always finds cells where the control draws them.
  virtual TwipsScale TwipsPerPixel() const = 0;
  virtual void FocusGrid() = 0;
  virtual HeldKeys HeldModifierKeys() const = 0;

  // The in-place EDIT, a hidden child of the grid window.
  virtual void MoveEditBox(const PixelRect& rect) = 0;  // with repaint
  virtual void ShowEditBox(bool visible) = 0;
  virtual void FocusEditBox() = 0;
  virtual bool EditBoxHasFocus() const = 0;
  virtual void SelectAllEditText() = 0;  // EM_SETSEL 0, -1
  virtual void UpdateEditBox() = 0;
  virtual void SetEditText(std::u16string_view text) = 0;
  virtual std::u16string EditText(std::size_t maxUnits) const = 0;

  // Drawing on the grid window, outside the control's own painting.
  virtual void DrawPolyline(std::span<const PixelPoint> points, PenKind pen) = 0;
  virtual void SetCursor(CursorKind cursor) = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  virtual bool HasMouseCapture() const = 0;
  virtual void VerticalScrollRange(std::int32_t& min, std::int32_t& max) const = 0;
  virtual std::int32_t VerticalScrollPos() const = 0;
  // LockWindowUpdate: the window is not painted, and what was invalidated
  // meanwhile is painted when it is unfrozen; the editor's own drawing still shows.
  virtual void FreezeRedraw(bool frozen) = 0;

  // The popup menu.
  virtual void CreatePopupMenu(std::span<const PopupMenuItem> items) = 0;
  virtual void EnableMenuItem(std::uint32_t id, bool enabled) = 0;
  virtual PixelPoint ClientToScreen(PixelPoint point) const = 0;
  virtual PixelPoint ScreenToClient(PixelPoint point) const = 0;
  virtual PixelPoint CursorScreenPos() const = 0;
  // Shows the menu; a chosen item comes back to the grid window as a menu command.
  virtual void TrackPopupMenu(PixelPoint screen) = 0;
};

}  // namespace dorvane

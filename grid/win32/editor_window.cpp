#include "grid/win32/editor_window.h"

#include <vector>

#include "grid/grid_editor.h"
#include "gridcontrol/win32/gdi.h"
#include "platform/win32/text.h"

namespace dorvane::win32 {

namespace {

// The window property that leads from the grid window and its EDIT to their view.
constexpr wchar_t kViewProperty[] = L"DorvaneGridEditorView";
// The window's own procedure, for messages that arrive when the view is gone.
constexpr wchar_t kOwnProcedureProperty[] = L"DorvaneGridOwnProcedure";

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto own = reinterpret_cast<WNDPROC>(::GetPropW(window, kOwnProcedureProperty));
  if (message == WM_NCDESTROY) ::RemovePropW(window, kOwnProcedureProperty);
  return own != nullptr ? ::CallWindowProcW(own, window, message, wParam, lParam)
                        : ::DefWindowProcW(window, message, wParam, lParam);
}

constexpr COLORREF kFrameColour = RGB(0, 0, 0);
// Red and green full, blue none; XOR-drawn twice it leaves the window as it was.
constexpr COLORREF kDragFrameColour = 0x0000FFFF;

// A device context of the grid window for drawing over the control's image;
// while the window is locked (LockWindowUpdate) only such a context still draws.
class OverlayDc {
 public:
  OverlayDc(HWND window, bool locked)
      : window_(window),
        dc_(::GetDCEx(window, nullptr,
                      DCX_CACHE | DCX_CLIPCHILDREN | DCX_CLIPSIBLINGS |
                          (locked ? DCX_LOCKWINDOWUPDATE : 0))) {}
  ~OverlayDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  OverlayDc(const OverlayDc&) = delete;
  OverlayDc& operator=(const OverlayDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The raster operation of a device context until this goes.
class RasterOperation {
 public:
  RasterOperation(HDC dc, int operation) : dc_(dc), previous_(::SetROP2(dc, operation)) {}
  ~RasterOperation() {
    if (previous_ != 0) ::SetROP2(dc_, previous_);
  }
  RasterOperation(const RasterOperation&) = delete;
  RasterOperation& operator=(const RasterOperation&) = delete;

 private:
  HDC dc_;
  int previous_;
};

}  // namespace

Win32EditorView::Win32EditorView(GridControl& control, HWND gridWindow, HWND editWindow)
    : control_(control), grid_(gridWindow), edit_(editWindow) {}

Win32EditorView::~Win32EditorView() {
  if (frozen_ > 0) ::LockWindowUpdate(nullptr);
  const auto restore = [](HWND window, WNDPROC ours, WNDPROC previous) {
    if (window == nullptr || previous == nullptr || !::IsWindow(window)) return;
    ::RemovePropW(window, kViewProperty);
    // A procedure put in front of ours later keeps calling ours, which then
    // passes everything straight on.
    if (::GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(ours)) return;
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    ::RemovePropW(window, kOwnProcedureProperty);
  };
  restore(grid_, GridWindowProc, prevGridProc_);
  restore(edit_, EditWindowProc, prevEditProc_);
}

void Win32EditorView::Subclass(GridEditor& editor) {
  editor_ = &editor;
  // The view goes in first: the new procedure finds it with its first message.
  // A property holds a whole pointer on 64 bits, the identifier slot would not,
  // and it still leads here when someone subclasses the window after us.
  const auto install = [this](HWND window, WNDPROC procedure) {
    ::SetPropW(window, kViewProperty, this);
    const auto own = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    ::SetPropW(window, kOwnProcedureProperty, reinterpret_cast<HANDLE>(own));
    return own;
  };
  if (edit_ != nullptr) prevEditProc_ = install(edit_, EditWindowProc);
  if (grid_ != nullptr) prevGridProc_ = install(grid_, GridWindowProc);
}

Win32EditorView* Win32EditorView::OfWindow(HWND window) {
  return static_cast<Win32EditorView*>(::GetPropW(window, kViewProperty));
}

void Win32EditorView::Forget(HWND window) {
  ::RemovePropW(window, kViewProperty);
  ::RemovePropW(window, kOwnProcedureProperty);
  if (window == grid_) grid_ = nullptr;
  if (window == edit_) edit_ = nullptr;
}

LRESULT CALLBACK Win32EditorView::GridWindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  try {
    Win32EditorView* view = OfWindow(window);
    if (view == nullptr || view->editor_ == nullptr) return PassOn(window, message, wParam, lParam);
    const LRESULT result = view->editor_->GridWindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) view->Forget(window);
    return result;
  } catch (...) {
    return 0;
  }
}

LRESULT CALLBACK Win32EditorView::EditWindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  try {
    Win32EditorView* view = OfWindow(window);
    if (view == nullptr || view->editor_ == nullptr) return PassOn(window, message, wParam, lParam);
    const LRESULT result = view->editor_->EditWindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) view->Forget(window);
    return result;
  } catch (...) {
    return 0;
  }
}

std::intptr_t Win32EditorView::CallGridProc(std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  if (grid_ == nullptr || prevGridProc_ == nullptr) return 0;
  return ::CallWindowProcW(prevGridProc_, grid_, message, wParam, lParam);
}

std::intptr_t Win32EditorView::SendToGrid(std::uint32_t message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return grid_ != nullptr ? ::SendMessageW(grid_, message, wParam, lParam) : 0;
}

std::intptr_t Win32EditorView::CallEditProc(std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  if (edit_ == nullptr || prevEditProc_ == nullptr) return 0;
  return ::CallWindowProcW(prevEditProc_, edit_, message, wParam, lParam);
}

void Win32EditorView::InvalidateGrid() {
  ::InvalidateRect(grid_, nullptr, TRUE);
}

void Win32EditorView::ValidateGrid() {
  ::ValidateRect(grid_, nullptr);
}

PixelRect Win32EditorView::GridClientRect() const {
  return {0, 0, control_.ClientWidth(), control_.ClientHeight()};
}

TwipsScale Win32EditorView::TwipsPerPixel() const {
  return {control_.TwipsPerPixelX(), control_.TwipsPerPixelY()};
}

void Win32EditorView::FocusGrid() {
  if (grid_ != nullptr) ::SetFocus(grid_);
}

HeldKeys Win32EditorView::HeldModifierKeys() const {
  // AltGr arrives as Ctrl+Alt: its characters are typed, never shortcuts.
  const bool altGr = ::GetKeyState(VK_MENU) < 0;
  return {::GetKeyState(VK_SHIFT) < 0, ::GetKeyState(VK_CONTROL) < 0 && !altGr};
}

void Win32EditorView::MoveEditBox(const PixelRect& rect) {
  ::MoveWindow(edit_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void Win32EditorView::ShowEditBox(bool visible) {
  ::ShowWindow(edit_, visible ? SW_SHOW : SW_HIDE);
}

void Win32EditorView::FocusEditBox() {
  if (edit_ != nullptr) ::SetFocus(edit_);
}

bool Win32EditorView::EditBoxHasFocus() const {
  return edit_ != nullptr && ::GetFocus() == edit_;
}

void Win32EditorView::SelectAllEditText() {
  ::SendMessageW(edit_, EM_SETSEL, 0, -1);
}

void Win32EditorView::UpdateEditBox() {
  ::UpdateWindow(edit_);
}

void Win32EditorView::SetEditText(std::u16string_view text) {
  ::SetWindowTextW(edit_, Wide(text).c_str());
}

std::u16string Win32EditorView::EditText(std::size_t maxUnits) const {
  std::vector<wchar_t> buffer(maxUnits + 1, L'\0');
  const int length = ::GetWindowTextW(edit_, buffer.data(), static_cast<int>(buffer.size()));
  return FromWide({buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0)});
}

void Win32EditorView::DrawPolyline(std::span<const PixelPoint> points, PenKind pen) {
  const OverlayDc dc(grid_, frozen_ > 0);
  if (dc.get() == nullptr || points.empty()) return;
  const bool drag = pen == PenKind::DragXor;
  const UniqueGdiObject penObject(
      ::CreatePen(PS_SOLID, drag ? 2 : 1, drag ? kDragFrameColour : kFrameColour));
  if (!penObject) return;
  const SelectedObject selected(dc.get(), penObject.get());
  const RasterOperation operation(dc.get(), drag ? R2_XORPEN : R2_COPYPEN);
  std::vector<POINT> corners;
  corners.reserve(points.size());
  for (const PixelPoint& point : points) corners.push_back({point.x, point.y});
  ::Polyline(dc.get(), corners.data(), static_cast<int>(corners.size()));
}

void Win32EditorView::SetCursor(CursorKind cursor) {
  ::SetCursor(::LoadCursorW(nullptr, cursor == CursorKind::Cross ? IDC_CROSS : IDC_ARROW));
}

void Win32EditorView::CaptureMouse() {
  ::SetCapture(grid_);
}

void Win32EditorView::ReleaseMouse() {
  if (HasMouseCapture()) ::ReleaseCapture();
}

bool Win32EditorView::HasMouseCapture() const {
  return grid_ != nullptr && ::GetCapture() == grid_;
}

// The control's own range, which its scroll bar shows: the bar's nMax includes
// the page, so the bar's own range would never report the bottom as reached.
void Win32EditorView::VerticalScrollRange(std::int32_t& min, std::int32_t& max) const {
  const GridControl::ScrollRange range = control_.VerticalScrollRange();
  min = range.min;
  max = range.max;
}

std::int32_t Win32EditorView::VerticalScrollPos() const {
  return control_.VerticalScrollPos();
}

void Win32EditorView::FreezeRedraw(bool frozen) {
  if (frozen) {
    if (frozen_++ == 0) ::LockWindowUpdate(grid_);
  } else if (frozen_ > 0 && --frozen_ == 0) {
    ::LockWindowUpdate(nullptr);
  }
}

void Win32EditorView::CreatePopupMenu(std::span<const PopupMenuItem> items) {
  menu_.reset(::CreatePopupMenu());
  if (!menu_) return;
  for (const PopupMenuItem& item : items) {
    if (item.id == 0)
      ::AppendMenuW(menu_.get(), MF_SEPARATOR, 0, nullptr);
    else
      ::AppendMenuW(menu_.get(), MF_STRING, item.id, Wide(item.label).c_str());
  }
}

void Win32EditorView::EnableMenuItem(std::uint32_t id, bool enabled) {
  ::EnableMenuItem(menu_.get(), id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

PixelPoint Win32EditorView::ClientToScreen(PixelPoint point) const {
  POINT screen{point.x, point.y};
  ::ClientToScreen(grid_, &screen);
  return {screen.x, screen.y};
}

PixelPoint Win32EditorView::ScreenToClient(PixelPoint point) const {
  POINT client{point.x, point.y};
  ::ScreenToClient(grid_, &client);
  return {client.x, client.y};
}

PixelPoint Win32EditorView::CursorScreenPos() const {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  return {cursor.x, cursor.y};
}

void Win32EditorView::TrackPopupMenu(PixelPoint screen) {
  if (!menu_ || grid_ == nullptr) return;
  if (tracker_ != nullptr) {
    tracker_(menu_.get(), {screen.x, screen.y}, grid_);
    return;
  }
  // The chosen item comes back to the grid window as WM_COMMAND with lParam 0.
  ::TrackPopupMenu(menu_.get(), 0, screen.x, screen.y, 0, grid_, nullptr);
}

}  // namespace dorvane::win32

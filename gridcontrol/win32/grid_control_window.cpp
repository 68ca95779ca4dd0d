#include "gridcontrol/win32/grid_control_window.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>

#include "gridcontrol/grid_paint_plan.h"
#include "gridcontrol/win32/gdi.h"
#include "gridcontrol/win32/grid_control_painter.h"

namespace dorvane::win32 {

namespace {

// Brings the window up to date with changes made outside its own procedure
// (the editor's commands): posted once per batch of changes.
constexpr UINT kCatchUpMessage = WM_USER + 0x0100;
constexpr UINT_PTR kAutoScrollTimer = 1;
constexpr UINT kAutoScrollMs = 60;
constexpr int kTwipsPerInch = 1440;

class GridWindow final : public GridChangeListener {
 public:
  GridWindow(HWND window, GridControl& control) : window_(window), control_(control) {
    control_.SetWindow(reinterpret_cast<std::uintptr_t>(window));
    control_.SetChangeListener(this);
  }
  ~GridWindow() { Detach(); }
  GridWindow(const GridWindow&) = delete;
  GridWindow& operator=(const GridWindow&) = delete;

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // The window is gone (WM_NCDESTROY): let go of the control. A message that
  // destroyed the window from inside our procedure is still unwinding through
  // it, so the state may only be freed once no handler runs any more.
  void Detach();
  bool CanBeFreed() const { return detached_ && handling_ == 0; }

 private:
  void OnGridChanged(GridChanges pending) override;

  void OnCreate();
  void OnPaint();
  void OnPrintClient(HDC dc);
  void OnSize(int width, int height);
  void OnScroll(int bar, WPARAM wParam);
  void OnLeftDown(UINT message, WPARAM wParam, LPARAM lParam);
  void OnMouseMove(WPARAM wParam, LPARAM lParam);
  void OnLeftUp(WPARAM wParam, LPARAM lParam);
  void OnCaptureChanged();
  void OnTimer(UINT_PTR id);
  void OnWheel(WPARAM wParam, LPARAM lParam);
  void OnKeyDown(UINT key);
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
  void OnSetFont(HFONT font, bool redraw);
  void OnFocusChanged();

  HFONT Font() const;
  void CatchUp();
  void SyncScrollBars();
  void SetBar(int bar, GridControl::ScrollRange range, std::int32_t pos, std::int32_t page);
  void StopAutoScroll();

  HWND window_;
  GridControl& control_;
  HFONT font_ = nullptr;  // not ours to delete; null for the default GUI font
  PaintPlan plan_;
  POINT pointer_{};              // last pointer position of a drag, for auto-scroll
  std::int32_t trackedRow_ = 0;  // thumb positions of a drag in progress
  std::int32_t trackedCol_ = 0;
  bool autoScrolling_ = false;
  bool syncingScrollBars_ = false;
  int handling_ = 0;  // depth of messages in our procedure
  bool detached_ = false;
};

void GridWindow::Detach() {
  if (detached_) return;
  detached_ = true;
  if (control_.hWnd() != reinterpret_cast<std::uintptr_t>(window_)) return;
  control_.SetChangeListener(nullptr);
  control_.SetWindow(0);
}

void GridWindow::OnGridChanged(GridChanges pending) {
  if (pending & kGridRepaint) ::InvalidateRect(window_, nullptr, FALSE);
  // Inside our own procedure the end of the message catches up.
  if (handling_ == 0) ::PostMessageW(window_, kCatchUpMessage, 0, 0);
}

void GridWindow::CatchUp() {
  if (detached_ || !control_.Redraw()) return;
  if (control_.PendingChanges() & kGridScrollBars) SyncScrollBars();
  if (control_.TakeChanges(kGridRepaint)) ::InvalidateRect(window_, nullptr, FALSE);
}

void GridWindow::SetBar(int bar, GridControl::ScrollRange range, std::int32_t pos,
                        std::int32_t page) {
  // With a page the thumb shows how much is in view; positions run from min
  // to max with max = nMax - nPage + 1. A bar with nothing to scroll hides.
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nPage = static_cast<UINT>(std::max(1, page));
  info.nMin = range.min;
  info.nMax = range.max <= range.min ? range.min : range.max + static_cast<int>(info.nPage) - 1;
  info.nPos = pos;
  ::SetScrollInfo(window_, bar, &info, TRUE);
}

void GridWindow::SyncScrollBars() {
  // Showing or hiding a bar resizes the client area, which comes back here
  // through WM_SIZE; a few rounds settle it.
  if (syncingScrollBars_) return;
  syncingScrollBars_ = true;
  for (int round = 0; round < 3 && (control_.PendingChanges() & kGridScrollBars); ++round) {
    control_.TakeChanges(kGridScrollBars);
    SetBar(SB_VERT, control_.VerticalScrollRange(), control_.VerticalScrollPos(),
           control_.FullyVisibleRows());
    SetBar(SB_HORZ, control_.HorizontalScrollRange(), control_.HorizontalScrollPos(),
           control_.FullyVisibleCols());
  }
  syncingScrollBars_ = false;
}

HFONT GridWindow::Font() const {
  return font_ != nullptr ? font_ : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

// The font of the nearest ancestor that has one: a grid placed in a dialog
// writes in the dialog's font (a CJK one for our dialog) until told otherwise.
HFONT InheritedFont(HWND window) {
  for (HWND child = window; (::GetWindowLongW(child, GWL_STYLE) & WS_CHILD) != 0;) {
    child = ::GetParent(child);
    if (child == nullptr) break;
    if (const auto font = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)))
      return font;
  }
  return nullptr;
}

void GridWindow::OnCreate() {
  font_ = InheritedFont(window_);
  const WindowDc dc(window_);
  if (dc.get() != nullptr) {
    const auto twipsPerPixel = [](int dpi) {
      return dpi > 0 ? std::max(1, (kTwipsPerInch + dpi / 2) / dpi) : 15;
    };
    control_.SetTwipsPerPixel(twipsPerPixel(::GetDeviceCaps(dc.get(), LOGPIXELSX)),
                              twipsPerPixel(::GetDeviceCaps(dc.get(), LOGPIXELSY)));
  }
  RECT client{};
  ::GetClientRect(window_, &client);
  control_.SetClientSize(client.right, client.bottom);
}

void GridWindow::OnPaint() {
  const PaintContext paint(window_);
  control_.TakeChanges(kGridRepaint);
  PlanPaint(control_, plan_);
  const bool focused = ::GetFocus() == window_;
  const BackBuffer buffer(paint.dc(), std::max(1, plan_.width), std::max(1, plan_.height));
  if (!buffer) {
    PaintGridPlan(paint.dc(), plan_, Font(), focused);
    return;
  }
  PaintGridPlan(buffer.dc(), plan_, Font(), focused);
  const RECT& dirty = paint.dirty();
  ::BitBlt(paint.dc(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top,
           buffer.dc(), dirty.left, dirty.top, SRCCOPY);
}

void GridWindow::OnPrintClient(HDC dc) {
  PlanPaint(control_, plan_);
  PaintGridPlan(dc, plan_, Font(), ::GetFocus() == window_);
}

void GridWindow::OnSize(int width, int height) {
  control_.SetClientSize(width, height);
}

void GridWindow::OnScroll(int bar, WPARAM wParam) {
  const auto code = static_cast<std::uint32_t>(LOWORD(wParam));
  std::int32_t thumb = HIWORD(wParam);
  if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
    // The message carries 16 bits of the thumb; the scroll bar knows all 32
    // while the thumb moves. The final position may come after the bar has
    // stopped tracking: the last tracked one then tells the high bits.
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    std::int32_t& tracked = bar == SB_VERT ? trackedRow_ : trackedCol_;
    if (::GetScrollInfo(window_, bar, &info) && (info.nTrackPos & 0xFFFF) == thumb)
      thumb = info.nTrackPos;
    else if ((tracked & 0xFFFF) == thumb)
      thumb = tracked;
    tracked = code == SB_THUMBTRACK ? thumb : 0;
  }
  control_.HandleScroll(bar == SB_VERT, code, thumb);
}

void GridWindow::OnLeftDown(UINT message, WPARAM wParam, LPARAM lParam) {
  if (::GetFocus() != window_) ::SetFocus(window_);
  control_.HandleMessage(message, wParam, lParam);
  if (control_.IsDragging()) {
    ::SetCapture(window_);
    pointer_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  }
}

void GridWindow::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  control_.HandleMessage(WM_MOUSEMOVE, wParam, lParam);
  if (!control_.IsDragging()) return StopAutoScroll();
  pointer_ = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  if (!control_.WantsAutoScroll(pointer_.x, pointer_.y)) return StopAutoScroll();
  if (!autoScrolling_ && ::SetTimer(window_, kAutoScrollTimer, kAutoScrollMs, nullptr) != 0)
    autoScrolling_ = true;
}

void GridWindow::OnLeftUp(WPARAM wParam, LPARAM lParam) {
  control_.HandleMessage(WM_LBUTTONUP, wParam, lParam);
  StopAutoScroll();
  if (::GetCapture() == window_) ::ReleaseCapture();
}

void GridWindow::OnCaptureChanged() {
  // Capture taken away mid-drag (a message box, Alt+Tab): the drag ends here.
  StopAutoScroll();
  if (control_.IsDragging()) control_.HandleMessage(WM_LBUTTONUP, 0, 0);
}

void GridWindow::OnTimer(UINT_PTR id) {
  if (id != kAutoScrollTimer) return;
  if (!control_.AutoScroll(pointer_.x, pointer_.y)) StopAutoScroll();
}

void GridWindow::StopAutoScroll() {
  if (!autoScrolling_) return;
  ::KillTimer(window_, kAutoScrollTimer);
  autoScrolling_ = false;
}

void GridWindow::OnKeyDown(UINT key) {
  control_.HandleKey(key, {::GetKeyState(VK_SHIFT) < 0, ::GetKeyState(VK_CONTROL) < 0});
}

void GridWindow::OnWheel(WPARAM wParam, LPARAM lParam) {
  control_.HandleMessage(WM_MOUSEWHEEL, wParam, lParam);
}

LRESULT GridWindow::OnSetCursor(WPARAM wParam, LPARAM lParam) {
  POINT point{};
  if (LOWORD(lParam) == HTCLIENT && ::GetCursorPos(&point) && ::ScreenToClient(window_, &point)) {
    const GridControl::PointerShape shape = control_.PointerAt(point.x, point.y);
    if (shape != GridControl::PointerShape::kArrow) {
      const bool column = shape == GridControl::PointerShape::kSizeColumn;
      ::SetCursor(::LoadCursorW(nullptr, column ? IDC_SIZEWE : IDC_SIZENS));
      return TRUE;
    }
  }
  return ::DefWindowProcW(window_, WM_SETCURSOR, wParam, lParam);
}

void GridWindow::OnSetFont(HFONT font, bool redraw) {
  font_ = font;
  if (redraw) ::InvalidateRect(window_, nullptr, FALSE);
}

void GridWindow::OnFocusChanged() {
  if (control_.FocusRect() != 0) ::InvalidateRect(window_, nullptr, FALSE);
}

LRESULT GridWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  struct Depth {
    int& depth;
    explicit Depth(int& d) : depth(d) { ++depth; }
    ~Depth() { --depth; }
  } depth(handling_);
  LRESULT result = 0;
  switch (message) {
    case WM_CREATE:
      OnCreate();
      break;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:
      OnPrintClient(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_VSCROLL:
      OnScroll(SB_VERT, wParam);
      break;
    case WM_HSCROLL:
      OnScroll(SB_HORZ, wParam);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnLeftDown(message, wParam, lParam);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(wParam, lParam);
      break;
    case WM_LBUTTONUP:
      OnLeftUp(wParam, lParam);
      break;
    case WM_CAPTURECHANGED:
      OnCaptureChanged();
      break;
    case WM_MOUSEWHEEL:
      OnWheel(wParam, lParam);
      break;
    case WM_TIMER:
      OnTimer(wParam);
      break;
    case WM_KEYDOWN:
      OnKeyDown(static_cast<UINT>(wParam));
      break;
    case WM_SETCURSOR:
      result = OnSetCursor(wParam, lParam);
      break;
    case WM_SETFONT:
      OnSetFont(reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0);
      break;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(Font());
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      OnFocusChanged();
      break;
    case WM_SYSCOLORCHANGE:
      ::InvalidateRect(window_, nullptr, FALSE);  // every colour comes from the system
      break;
    case kCatchUpMessage:
      break;
    case WM_DESTROY:
      StopAutoScroll();
      break;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
  CatchUp();
  return result;
}

LRESULT CALLBACK GridControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      auto* control = static_cast<GridControl*>(create->lpCreateParams);
      if (control == nullptr) return FALSE;
      auto state = std::make_unique<GridWindow>(window, *control);
      ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(state.release()));
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    auto* state = reinterpret_cast<GridWindow*>(::GetWindowLongPtrW(window, 0));
    if (state == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(window, 0, 0);
      state->Detach();
      if (state->CanBeFreed()) std::unique_ptr<GridWindow> owned(state);
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    const LRESULT result = state->Handle(message, wParam, lParam);
    if (state->CanBeFreed()) std::unique_ptr<GridWindow> owned(state);
    return result;
  } catch (...) {
    return 0;
  }
}

bool RegisterGridControlClass(HINSTANCE instance) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, kGridControlClassName, &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = GridControlWindowProc;
  // Our state lives in the class's own bytes: the editor that subclasses the
  // window needs GWLP_USERDATA, GWL_ID and the properties for itself.
  windowClass.cbWndExtra = sizeof(LONG_PTR);
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kGridControlClassName;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND CreateGridControlWindow(GridControl& control, HINSTANCE instance, HWND parent, int x, int y,
                             int width, int height) {
  if (instance == nullptr) instance = ::GetModuleHandleW(nullptr);
  if (!RegisterGridControlClass(instance)) return nullptr;
  return ::CreateWindowExW(
      WS_EX_CLIENTEDGE, kGridControlClassName, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, x, y, width,
      height, parent, nullptr, instance, &control);
}

}  // namespace dorvane::win32

#include "grid/win32/grid_host.h"

#include "grid/win32/editor_window.h"
#include "gridcontrol/win32/grid_control_window.h"

namespace dorvane::win32 {

namespace {

constexpr std::size_t kMaxCellEditUnits = 255;

void ShowHostingError(Win32MessageBoxes& messages, std::u16string text) {
  MessageRequest request;
  request.text = std::move(text);
  request.caption = u"错误提示";
  request.owner = MessageOwner::Grid;
  messages.Show(request);
}

}  // namespace

GridHost::GridHost(Win32MessageBoxes& messages) : GridHost(messages, CreateGridControlWindow) {}

GridHost::GridHost(Win32MessageBoxes& messages, GridControlWindowFactory createControlWindow)
    : messages_(messages),
      createControlWindow_(createControlWindow),
      codePage_(MakeCodePage("")),
      editor_(clipboard_, *codePage_, messages) {}

GridHost::~GridHost() {
  // The windows go first, while the editor that their procedures call still
  // exists. Destroyed directly: a WM_CLOSE would end inside the control
  // window's own handler, which must not outlive its window.
  if (host_ != nullptr && ::IsWindow(host_)) ::DestroyWindow(host_);
  if (grid_ != nullptr && ::IsWindow(grid_)) ::DestroyWindow(grid_);
  view_.reset();
  if (messages_.OwnerOf(MessageOwner::Grid) == grid_ ||
      messages_.OwnerOf(MessageOwner::Grid) == host_)
    messages_.SetOwner(MessageOwner::Grid, nullptr);
}

int GridHost::Create(HINSTANCE instance, HWND parent) {
  return CreateGridControl(*this, instance, parent);
}

GridEditor& GridHost::editor() {
  return editor_;
}

HWND GridHost::hostWindow() const {
  return host_;
}

HWND GridHost::gridWindow() const {
  return hosted_ ? grid_ : nullptr;
}

HWND GridHost::editWindow() const {
  return hosted_ ? edit_ : nullptr;
}

void GridHost::FollowHostSize() {
  if (grid_ == nullptr) return;
  RECT client{};
  ::GetClientRect(host_, &client);
  ::MoveWindow(grid_, 0, 0, client.right, client.bottom, TRUE);
}

LRESULT CALLBACK GridHost::HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<GridHost*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (host == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  const WNDPROC previous = host->prevHostProc_;
  switch (message) {
    case WM_SIZE:
      host->FollowHostSize();
      break;
    case WM_ERASEBKGND:
      if (host->grid_ != nullptr) return 1;  // the grid covers all of it
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      host->host_ = nullptr;
      break;
    default:
      break;
  }
  return ::CallWindowProcW(previous, window, message, wParam, lParam);
}

int CreateGridControl(GridHost& grid, HINSTANCE instance, HWND parent) {
  if (instance == nullptr || parent == nullptr || grid.host_ != nullptr) return 0;

  // Clipping its child keeps the host's own painting from flashing over the grid;
  // as a control parent it lets the dialog's Tab key reach the grid.
  grid.host_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                 parent, nullptr, instance, nullptr);
  if (grid.host_ == nullptr) return 0;
  ::ShowWindow(grid.host_, SW_HIDE);
  ::SetWindowTextW(grid.host_, L"静态控件xx");
  ::SetWindowLongPtrW(grid.host_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&grid));
  grid.prevHostProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      grid.host_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GridHost::HostWindowProc)));
  grid.messages_.SetOwner(MessageOwner::Grid, grid.host_);

  RECT client{};
  ::GetClientRect(grid.host_, &client);
  const HWND controlWindow = grid.createControlWindow_(grid.control_, instance, grid.host_, 0, 0,
                                                       client.right, client.bottom);
  if (controlWindow == nullptr) {
    ShowHostingError(grid.messages_, u"COM对象与窗口关联失败!");
    return 0;
  }
  grid.grid_ = reinterpret_cast<HWND>(grid.control_.hWnd());
  if (grid.grid_ == nullptr) return 0;
  // The dialog's font, which its frame was given, is the grid's too.
  if (const auto font = ::SendMessageW(parent, WM_GETFONT, 0, 0); font != 0)
    ::SendMessageW(grid.grid_, WM_SETFONT, static_cast<WPARAM>(font), FALSE);

  grid.edit_ =
      ::CreateWindowExW(0, L"EDIT", nullptr, WS_CHILD | WS_BORDER | ES_WANTRETURN | ES_AUTOHSCROLL,
                        0, 0, 0, 0, grid.grid_, nullptr, instance, nullptr);
  if (grid.edit_ != nullptr) {
    ::ShowWindow(grid.edit_, SW_HIDE);
    ::SendMessageW(grid.edit_, WM_SETFONT, ::SendMessageW(grid.grid_, WM_GETFONT, 0, 0), FALSE);
    ::SendMessageW(grid.edit_, EM_SETLIMITTEXT, kMaxCellEditUnits, 0);
  }

  grid.view_ = std::make_unique<Win32EditorView>(grid.control_, grid.grid_, grid.edit_);
  grid.view_->Subclass(grid.editor_);
  grid.clipboard_.SetOwner(grid.grid_);
  grid.editor_.AttachControl(&grid.control_, grid.view_.get());
  grid.messages_.SetOwner(MessageOwner::Grid, grid.grid_);
  grid.hosted_ = true;
  return 1;
}

}  // namespace dorvane::win32

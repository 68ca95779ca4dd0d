#include "app/win32/path_tooltips.h"

#include <commctrl.h>

namespace dorvane::win32 {

thread_local PathTooltips* PathTooltips::hooked_ = nullptr;

PathTooltips::~PathTooltips() {
  if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
  if (hooked_ == this) hooked_ = nullptr;
}

bool PathTooltips::Create(HINSTANCE instance, HWND dialog) {
  dialog_ = dialog;
  tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                               instance, nullptr);
  return tooltip_ != nullptr;
}

void PathTooltips::InstallHook() {
  if (hook_ != nullptr) return;
  hook_ = ::SetWindowsHookExW(WH_GETMESSAGE, RelayMouseMessages, nullptr, ::GetCurrentThreadId());
  if (hook_ != nullptr) hooked_ = this;
}

TOOLINFOW PathTooltips::ToolOf(HWND field) const {
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = dialog_;
  tool.uId = reinterpret_cast<UINT_PTR>(field);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  return tool;
}

void PathTooltips::Add(HWND field) {
  if (tooltip_ == nullptr || field == nullptr) return;
  TOOLINFOW tool = ToolOf(field);
  ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PathTooltips::Remove(HWND field) {
  if (tooltip_ == nullptr || field == nullptr) return;
  TOOLINFOW tool = ToolOf(field);
  ::SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PathTooltips::OnGetDispInfo(NMTTDISPINFOW& info) {
  const HWND field = reinterpret_cast<HWND>(info.hdr.idFrom);
  text_[0] = L'\0';
  ::GetWindowTextW(field, text_.data(), static_cast<int>(text_.size()));
  info.lpszText = text_.data();
}

LRESULT CALLBACK PathTooltips::RelayMouseMessages(int code, WPARAM wParam, LPARAM lParam) {
  const PathTooltips* self = hooked_;
  // Only messages taken off the queue: a peek would relay the same one twice.
  if (code >= 0 && wParam == PM_REMOVE && self != nullptr && self->tooltip_ != nullptr) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    switch (message->message) {
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONUP:
        if (::IsChild(self->dialog_, message->hwnd))
          ::SendMessageW(self->tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
        break;
      default:
        break;
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace dorvane::win32

#include "app/win32/about_box.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/text.h"
#include "resources/resource.h"

namespace dorvane::win32 {
namespace {

constexpr wchar_t kVersionText[] = L"Dorvane1.1";
constexpr wchar_t kGuideName[] = L"使用说明.txt";
constexpr COLORREF kLinkColour = RGB(0, 102, 204);

// The user guide ships beside the program.
std::wstring GuidePath() {
  std::vector<wchar_t> module(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length == 0) return kGuideName;
    if (length < module.size()) {
      std::wstring path(module.data(), length);
      path.resize(path.find_last_of(L"\\/") + 1);  // npos + 1: no folder at all
      return path + kGuideName;
    }
    module.resize(module.size() * 2);
  }
}

class AboutBox {
 public:
  explicit AboutBox(MessageBoxes& messages) : messages_(messages) {}

  static INT_PTR CALLBACK Proc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  bool OnCommand(int id, int code);
  INT_PTR OnColorStatic(HDC dc, HWND control);
  bool OnSetCursor(HWND window);
  void OpenGuide();
  void Tell(std::u16string text);

  MessageBoxes& messages_;
  HWND box_ = nullptr;
  std::wstring guide_ = GuidePath();
};

INT_PTR CALLBACK AboutBox::Proc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(box, DWLP_USER, lParam);
    reinterpret_cast<AboutBox*>(lParam)->box_ = box;
  }
  auto* self = reinterpret_cast<AboutBox*>(::GetWindowLongPtrW(box, DWLP_USER));
  if (self == nullptr) return FALSE;
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

INT_PTR AboutBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
      if (!OnSetCursor(reinterpret_cast<HWND>(wParam))) return FALSE;
      ::SetWindowLongPtrW(box_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    default:
      return FALSE;
  }
}

// The address field shows where the guide is, so that it can be copied;
// scrolled to its end, it shows the file's name.
void AboutBox::OnInitDialog() {
  const HWND address = ::GetDlgItem(box_, IDC_ABOUT_ADDRESS);
  ::SetWindowTextW(address, guide_.c_str());
  const auto end = static_cast<WPARAM>(guide_.size());
  ::SendMessageW(address, EM_SETSEL, end, static_cast<LPARAM>(end));
  ::SendMessageW(address, EM_SCROLLCARET, 0, 0);
  ::SetDlgItemTextW(box_, IDC_ABOUT_VERSION, kVersionText);
}

bool AboutBox::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      ::EndDialog(box_, id);
      return true;
    case IDC_ABOUT_GUIDE:
      if (code == STN_CLICKED) OpenGuide();
      return true;
    default:
      return false;
  }
}

// The guide's line reads as a link.
INT_PTR AboutBox::OnColorStatic(HDC dc, HWND control) {
  if (control != ::GetDlgItem(box_, IDC_ABOUT_GUIDE)) return FALSE;
  ::SetTextColor(dc, kLinkColour);
  ::SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
}

bool AboutBox::OnSetCursor(HWND window) {
  if (window != ::GetDlgItem(box_, IDC_ABOUT_GUIDE)) return false;
  ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
  return true;
}

void AboutBox::OpenGuide() {
  const DWORD attributes = ::GetFileAttributesW(guide_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Tell(u"找不到使用说明：" + FromWide(guide_));
    return;
  }
  auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(box_, L"open", guide_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // Without an application for text files, the system's own editor shows it.
  if (result == SE_ERR_NOASSOC) {
    const std::wstring argument = L"\"" + guide_ + L"\"";
    result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(box_, L"open", L"notepad.exe", argument.c_str(), nullptr, SW_SHOWNORMAL));
  }
  if (result <= 32) Tell(u"无法打开使用说明：" + FromWide(guide_));
}

// Without an owner the box holds back both the About box and the main dialog.
void AboutBox::Tell(std::u16string text) {
  MessageRequest request;
  request.text = std::move(text);
  request.caption = u"提示";
  request.owner = MessageOwner::None;
  messages_.Show(request);
}

}  // namespace

INT_PTR RunAboutBox(HINSTANCE instance, HWND owner, MessageBoxes& messages) {
  AboutBox box(messages);
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutBox::Proc,
                           reinterpret_cast<LPARAM>(&box));
}

}  // namespace dorvane::win32

#include "app/win32/about_box.h"

#include "resources/resource.h"

namespace dorvane::win32 {
namespace {

constexpr wchar_t kVersionText[] = L"Dorvane1.1";
constexpr wchar_t kProjectAddress[] = L"https://dorvane.example.org/";

void OnInitDialog(HWND box) {
  ::SetDlgItemTextW(box, IDC_ABOUT_ADDRESS, kProjectAddress);
  ::SetDlgItemTextW(box, IDC_ABOUT_VERSION, kVersionText);
}

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(box);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(box, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR RunAboutBox(HINSTANCE instance, HWND owner) {
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
}

}  // namespace dorvane::win32

#include "main_dialog_driver.h"

#include "win32_test_support.h"

#include <commctrl.h>
#include <shlobj.h>

#include <array>
#include <cstring>
#include <map>

namespace dorvane::win32::testing::dialog {
namespace {

using testing::WriteFileBytes;

struct Pending {
  std::wstring caption;
  std::function<void(HWND)> script;
};

thread_local std::map<UINT_PTR, Pending> pendingScripts;

struct Search {
  const wchar_t* caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM lParam) {
  auto& search = *reinterpret_cast<Search*>(lParam);
  if (::IsWindowVisible(window) && WindowText(window) == search.caption) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindThreadWindow(const wchar_t* caption) {
  Search search{caption, nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CALLBACK RunPendingScript(HWND, UINT, UINT_PTR timer, DWORD) {
  const auto entry = pendingScripts.find(timer);
  if (entry == pendingScripts.end()) {
    ::KillTimer(nullptr, timer);
    return;
  }
  const HWND dialog = FindThreadWindow(entry->second.caption.c_str());
  if (dialog == nullptr) return;  // not up yet: the next tick looks again
  ::KillTimer(nullptr, timer);
  const std::function<void(HWND)> script = std::move(entry->second.script);
  pendingScripts.erase(entry);
  script(dialog);
}

BOOL CALLBACK MatchTooltip(HWND window, LPARAM lParam) {
  auto& search = *reinterpret_cast<std::pair<HWND, HWND>*>(lParam);
  if (ClassName(window) == TOOLTIPS_CLASSW && ::GetWindow(window, GW_OWNER) == search.first) {
    search.second = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void DriveNextDialog(const wchar_t* caption, std::function<void(HWND)> script) {
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, RunPendingScript);
  pendingScripts[timer] = Pending{caption, std::move(script)};
}

INT_PTR RunDriven(const std::function<INT_PTR()>& run, const wchar_t* caption,
                  const std::function<void(HWND)>& script) {
  const std::wstring title = caption;
  DriveNextDialog(caption, [&script, title](HWND dialog) {
    script(dialog);
    // A failed check may leave the dialog open: end it with a result no test expects.
    if (::IsWindowVisible(dialog) && WindowText(dialog) == title)
      ::SendMessageW(dialog, WM_CLOSE, 0x7777, 0);
  });
  return run();
}

void Click(HWND dialog, int id) {
  ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PressKey(HWND control, UINT key) {
  MSG message{control, WM_KEYDOWN, key, 1, ::GetTickCount(), {}};
  const HWND top = ::GetAncestor(control, GA_ROOT);
  if (!::IsDialogMessageW(top, &message)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void SetItemText(HWND dialog, int id, const std::wstring& text) {
  ::SetDlgItemTextW(dialog, id, text.c_str());
}

void DropFiles(HWND dialog, const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& path : paths) list += path + L'\0';
  list += L'\0';
  const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
  const HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(),
              list.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  // The dialog owns the drop from here and frees it.
  ::SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

void PumpMessages(DWORD milliseconds) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      const HWND top = message.hwnd != nullptr ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
      if (top != nullptr && ::IsDialogMessageW(top, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (::GetTickCount() - start >= milliseconds) return;
    ::Sleep(10);
  }
}

std::wstring HoverForTooltip(HWND dialog, HWND field) {
  std::pair<HWND, HWND> search{dialog, nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), MatchTooltip, reinterpret_cast<LPARAM>(&search));
  const HWND tooltip = search.second;
  if (tooltip == nullptr) return L"<no tooltip>";
  RECT client{};
  ::GetClientRect(field, &client);
  POINT centre{client.right / 2, client.bottom / 2};
  POINT screen = centre;
  ::ClientToScreen(field, &screen);
  // The tooltip waits for the mouse to rest: one move, then time.
  ::SetCursorPos(screen.x, screen.y);
  ::PostMessageW(field, WM_MOUSEMOVE, 0, MAKELPARAM(centre.x, centre.y));
  for (int tick = 0; tick < 60; ++tick) {
    PumpMessages(50);
    if (::IsWindowVisible(tooltip)) {
      std::array<wchar_t, 2048> text{};
      ::SendMessageW(tooltip, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
      return text.data();
    }
  }
  return L"<tooltip never shown>";
}

HWND GridWindowOf(HWND dialog) {
  const HWND host = ::GetWindow(::GetDlgItem(dialog, 1009), GW_CHILD);
  return host != nullptr ? ::GetWindow(host, GW_CHILD) : nullptr;
}

void PressGridKey(HWND dialog, UINT key) {
  const HWND grid = GridWindowOf(dialog);
  ::SetFocus(grid);
  ::SendMessageW(grid, WM_KEYDOWN, key, 0);
  PumpMessages(0);
}

void TypeIntoGrid(HWND dialog, const std::vector<std::wstring>& texts) {
  const HWND grid = GridWindowOf(dialog);
  for (const std::wstring& text : texts) {
    PressGridKey(dialog, VK_RETURN);
    const HWND edit = ::GetFocus();
    if (edit == nullptr || ::GetParent(edit) != grid) return;
    for (const wchar_t c : text) ::SendMessageW(edit, WM_CHAR, c, 1);
    ::SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    PumpMessages(0);
  }
}

bool SaveWindowImage(HWND window, const std::filesystem::path& file) {
  // The client area: without a window manager nobody draws the frame.
  RECT rect{};
  ::GetClientRect(window, &rect);
  ::MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int stride = (width * 3 + 3) & ~3;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::SelectObject(memory, previous);
  const int lines = ::GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (lines != height) return false;

  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  bytes.append(pixels.data(), pixels.size());
  WriteFileBytes(file, bytes);
  return true;
}

std::wstring WindowText(HWND window) {
  std::array<wchar_t, 2048> text{};
  ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return text.data();
}

std::wstring ItemText(HWND dialog, int id) {
  return WindowText(::GetDlgItem(dialog, id));
}

std::wstring ClassName(HWND window) {
  std::array<wchar_t, 256> name{};
  ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
  return name.data();
}

bool IsShown(HWND dialog, int id) {
  return (::GetWindowLongW(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsChecked(HWND dialog, int id) {
  return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

RECT ItemRect(HWND dialog, int id) {
  RECT rect{};
  ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
  ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string ScratchPathBytes(const std::filesystem::path& folder) {
  const std::wstring wide = folder.wstring() + L"\\";
  const int size = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

}  // namespace dorvane::win32::testing::dialog

#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>

namespace dorvane::win32 {

// Tooltips that show the whole text of the dialog's path fields, which are often
// narrower than their paths. The tooltip control learns of the mouse through a
// message hook on the dialog's thread, removed when this object goes.
class PathTooltips {
 public:
  PathTooltips() = default;
  ~PathTooltips();
  PathTooltips(const PathTooltips&) = delete;
  PathTooltips& operator=(const PathTooltips&) = delete;

  // The tooltip control, owned by `dialog`; false when it cannot be created.
  bool Create(HINSTANCE instance, HWND dialog);
  void InstallHook();
  void Add(HWND field);
  void Remove(HWND field);

  HWND window() const { return tooltip_; }
  // TTN_GETDISPINFOW: the field's text, up to 1023 units.
  void OnGetDispInfo(NMTTDISPINFOW& info);

 private:
  static LRESULT CALLBACK RelayMouseMessages(int code, WPARAM wParam, LPARAM lParam);
  TOOLINFOW ToolOf(HWND field) const;

  HWND dialog_ = nullptr;
  HWND tooltip_ = nullptr;
  HHOOK hook_ = nullptr;
  std::array<wchar_t, 1024> text_{};
  static thread_local PathTooltips* hooked_;
};

}  // namespace dorvane::win32

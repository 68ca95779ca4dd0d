#pragma once

#include <windows.h>

#include "gridcontrol/grid_control.h"

namespace dorvane::win32 {

// The window class of our grid control.
inline constexpr wchar_t kGridControlClassName[] = L"DorvaneGrid";

// Creates our grid control's window as a child of `parent` at the given client
// rectangle and binds it to `control` (not owned; must outlive the window).
// Sets control.SetWindow(hwnd) so control.hWnd() gives it. Null on failure.
HWND CreateGridControlWindow(GridControl& control, HINSTANCE instance, HWND parent, int x, int y,
                             int width, int height);

}  // namespace dorvane::win32

#pragma once

#include <windows.h>

namespace dorvane::win32 {

// Runs the About box modally; its result is the id of the command that ended it
// (IDOK, or IDCANCEL for Esc and the close box).
INT_PTR RunAboutBox(HINSTANCE instance, HWND owner);

}  // namespace dorvane::win32

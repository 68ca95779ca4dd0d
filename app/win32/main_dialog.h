#pragma once

#include <windows.h>

#include "grid/grid_editor.h"
#include "grid/win32/grid_host.h"
#include "platform/file_access.h"
#include "platform/win32/message_boxes_win32.h"

namespace dorvane::win32 {

// Runs the main dialog modally until it is closed. The result is the program's
// exit status: 1008 after "退出", 0 after the close box or the system menu.
// `messages` and `files` carry every message box and file dialog, so a caller can
// answer them.
INT_PTR RunMainDialog(HINSTANCE instance, Win32MessageBoxes& messages, FileAccess& files);
// The same with another maker of the grid's window, so tests can see hosting fail.
INT_PTR RunMainDialog(HINSTANCE instance, Win32MessageBoxes& messages, FileAccess& files,
                      GridControlWindowFactory createGridWindow);

// The topography grid's editor of a running main dialog; null when the grid
// could not be hosted. For tests, which read the cells it shows.
GridEditor* TopographyEditorOf(HWND dialog);

}  // namespace dorvane::win32

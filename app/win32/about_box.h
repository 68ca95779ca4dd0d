#pragma once

#include <windows.h>

#include "platform/message_boxes.h"

namespace dorvane::win32 {

// Runs the About box modally; its result is the id of the command that ended it
// (IDOK, or IDCANCEL for Esc and the close box). Its link opens the user guide
// beside the program; `messages` says when that cannot be done.
INT_PTR RunAboutBox(HINSTANCE instance, HWND owner, MessageBoxes& messages);

}  // namespace dorvane::win32

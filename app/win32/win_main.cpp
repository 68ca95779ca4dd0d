#include <windows.h>

#include "app/win32/main_dialog.h"
#include "platform/file_access.h"
#include "platform/win32/message_boxes_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  dorvane::win32::Win32MessageBoxes messages;
  dorvane::FileAccess files(messages);
  return static_cast<int>(dorvane::win32::RunMainDialog(instance, messages, files));
}

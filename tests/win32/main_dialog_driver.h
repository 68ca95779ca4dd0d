#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/message_boxes_win32.h"

// Drives the program's modal dialogs from inside their own message loops, the
// way a user's clicks and keys reach them.
namespace dorvane::win32::testing::dialog {

// Every message box of the program, recorded; the next `realBoxes` are shown
// as real boxes, the others answered at once (questions No).
class RecordingWin32Boxes : public Win32MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest& request) override {
    shown.push_back(request);
    if (realBoxes > 0) {
      --realBoxes;
      return Win32MessageBoxes::Show(request);
    }
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
  }
  std::vector<MessageRequest> shown;
  int realBoxes = 0;
};

// Calls `run`, which shows a modal dialog captioned `caption`, and runs `script`
// on that dialog once it is up; closes the dialog afterwards if the script left
// it open. Returns what `run` returns.
INT_PTR RunDriven(const std::function<INT_PTR()>& run, const wchar_t* caption,
                  const std::function<void(HWND)>& script);
// Runs `script` on the next dialog captioned `caption` once it shows.
void DriveNextDialog(const wchar_t* caption, std::function<void(HWND)> script);

void Click(HWND dialog, int id);
// A key press as the dialog's message loop would take it.
void PressKey(HWND control, UINT key);
void SetItemText(HWND dialog, int id, const std::wstring& text);
// Hands `paths` to the dialog as a file manager's drop does.
void DropFiles(HWND dialog, const std::vector<std::wstring>& paths);
// Moves the mouse over `field` until the dialog's tooltip shows; its text.
std::wstring HoverForTooltip(HWND dialog, HWND field);
// Runs the thread's messages for a while (0: those waiting now), as the modal
// loop would.
void PumpMessages(DWORD milliseconds);

// Types `texts` into the topography grid from its current cell downwards, the
// way a user does: Enter opens the cell's editor, Enter again keeps the text.
void TypeIntoGrid(HWND dialog, const std::vector<std::wstring>& texts);
// The grid's window inside the dialog's frame, or null.
HWND GridWindowOf(HWND dialog);
void PressGridKey(HWND dialog, UINT key);

// Saves what the screen shows of `window`'s client area as a 24-bit BMP file.
bool SaveWindowImage(HWND window, const std::filesystem::path& file);

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
std::wstring ClassName(HWND window);
bool IsShown(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
RECT ItemRect(HWND dialog, int id);
// The folder with a final separator, in the ANSI code page, as scripts hold it.
std::string ScratchPathBytes(const std::filesystem::path& folder);

}  // namespace dorvane::win32::testing::dialog

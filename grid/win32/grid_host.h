#pragma once

#include <windows.h>

#include <memory>

#include "grid/grid_editor.h"
#include "gridcontrol/grid_control.h"
#include "platform/code_page.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/message_boxes_win32.h"

namespace dorvane::win32 {

class Win32EditorView;

// Creates the control's window as a child of `parent` at a client rectangle.
using GridControlWindowFactory = HWND (*)(GridControl& control, HINSTANCE instance, HWND parent,
                                          int x, int y, int width, int height);

// The topography grid in a dialog: our control, its window, the in-place EDIT,
// the GridEditor and the Win32 seams it uses (clipboard owned by the grid window,
// CP_ACP code page). Destroying it destroys the editor and the grid's windows.
class GridHost {
 public:
  explicit GridHost(Win32MessageBoxes& messages);  // builds the editor; no window yet
  // Tests pass a factory that fails, to see the hosting failure.
  GridHost(Win32MessageBoxes& messages, GridControlWindowFactory createControlWindow);
  ~GridHost();
  GridHost(const GridHost&) = delete;
  GridHost& operator=(const GridHost&) = delete;

  // CreateGridControl into `parent` (the dialog's static frame): 1, or 0 after the
  // failure's message if it has one. Called once.
  int Create(HINSTANCE instance, HWND parent);
  GridEditor& editor();
  HWND hostWindow() const;  // the STATIC host, hidden until the dialog sizes and shows it
  HWND gridWindow() const;  // null unless Create succeeded
  HWND editWindow() const;  // the in-place EDIT, a child of the grid window
  const GridControl& control() const { return control_; }
  Win32EditorView* view() const { return view_.get(); }

 private:
  friend int CreateGridControl(GridHost& grid, HINSTANCE instance, HWND parent);
  static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void FollowHostSize();

  Win32MessageBoxes& messages_;
  GridControlWindowFactory createControlWindow_;
  GridControl control_;
  Win32Clipboard clipboard_;
  std::unique_ptr<CodePage> codePage_;
  GridEditor editor_;
  std::unique_ptr<Win32EditorView> view_;
  HWND host_ = nullptr;
  WNDPROC prevHostProc_ = nullptr;
  HWND grid_ = nullptr;
  HWND edit_ = nullptr;
  bool hosted_ = false;
};

// Hosts the grid in `parent`: the hidden STATIC host window (the window that owns
// hosting messages), our control's window filling it, the hidden in-place EDIT
// inside the control's window, the editor's window procedures in front of both,
// the standard settings and the popup menu. 1 on success; 0 without a message
// when the instance or parent is missing or the host is not created; 0 after
// "COM对象与窗口关联失败!" when the control's window is not created.
int CreateGridControl(GridHost& grid, HINSTANCE instance, HWND parent);

}  // namespace dorvane::win32

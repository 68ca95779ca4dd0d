// The topography grid alone, hosted in a resizable frame as the main dialog
// hosts it, to try it and take its pictures. Not shipped.
//
//   grid_demo.exe [--fill] [--edit] [--drag]
//
// --fill puts a small survey into the table and selects a block; --edit then
// opens the in-place EDIT on a cell; --drag holds the selection's fill handle
// dragged four rows down. (The popup menu needs a real right click.)

#include <windows.h>

#include <cmath>
#include <memory>
#include <string>

#include "grid/number_text.h"
#include "grid/topography_grid.h"
#include "grid/win32/grid_host.h"
#include "gridcontrol/win32/gdi.h"
#include "platform/win32/message_boxes_win32.h"

namespace {

using dorvane::GridEditor;
using dorvane::win32::GridHost;
using dorvane::win32::Win32MessageBoxes;

constexpr wchar_t kClassName[] = L"DorvaneGridDemo";
constexpr int kFrameId = 1009;
constexpr int kMargin = 8;
constexpr UINT kShowSceneMessage = WM_APP + 1;

struct Scene {
  bool fill = false;
  bool edit = false;
  bool drag = false;
};

struct Demo {
  Win32MessageBoxes messages;
  std::unique_ptr<GridHost> grid;
  HWND frame = nullptr;
  dorvane::win32::UniqueGdiObject font;
  Scene scene;
};

void FillSurvey(GridEditor& editor) {
  for (int row = 1; row <= 24; ++row) {
    const double position = 5.0 * (row - 1);
    const double elevation = 102.5 + 3.0 * std::sin(row / 4.0) + 0.25 * row;
    editor.SetCellText(row, 1, dorvane::ThreeDecimalsTrimmed(position));
    editor.SetCellText(row, 2, dorvane::ThreeDecimalsTrimmed(elevation));
  }
  editor.SetCellText(6, 1, u"测点 6");
  editor.SelectRegion({3, 7, 1, 2});
}

// The frame fills the client area less a margin; the grid's host fills the frame.
void Layout(HWND window, Demo& demo) {
  RECT client{};
  ::GetClientRect(window, &client);
  ::MoveWindow(demo.frame, kMargin, kMargin, client.right - 2 * kMargin,
               client.bottom - 2 * kMargin, TRUE);
  if (demo.grid == nullptr || demo.grid->hostWindow() == nullptr) return;
  RECT frame{};
  ::GetClientRect(demo.frame, &frame);
  ::MoveWindow(demo.grid->hostWindow(), 0, 0, frame.right, frame.bottom, TRUE);
  ::ShowWindow(demo.grid->hostWindow(), SW_SHOW);
}

POINT CellCentre(const GridHost& grid, int row, int col) {
  const auto& control = grid.control();
  return {(control.ColPos(col) + control.ColWidth(col) / 2) / control.TwipsPerPixelX(),
          (control.RowPos(row) + control.RowHeight(row) / 2) / control.TwipsPerPixelY()};
}

void ShowScene(Demo& demo) {
  if (demo.grid == nullptr || demo.grid->gridWindow() == nullptr) return;
  const HWND grid = demo.grid->gridWindow();
  if (demo.scene.edit) {
    const POINT cell = CellCentre(*demo.grid, 9, 2);
    const LPARAM at = MAKELPARAM(cell.x, cell.y);
    ::SendMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(grid, WM_LBUTTONUP, 0, at);
    ::SendMessageW(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::SendMessageW(grid, WM_LBUTTONUP, 0, at);
    ::SetWindowTextW(demo.grid->editWindow(), L"高程 105.25");
    ::SendMessageW(demo.grid->editWindow(), EM_SETSEL, 0, -1);
  }
  if (demo.scene.drag) {
    ::UpdateWindow(grid);  // the paint places the fill handle
    const dorvane::PixelRect handle = demo.grid->editor().fillHandleRect();
    const POINT target = CellCentre(*demo.grid, 11, 2);
    ::SendMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON,
                   MAKELPARAM((handle.left + handle.right) / 2, (handle.top + handle.bottom) / 2));
    ::SendMessageW(grid, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(target.x, target.y));
  }
}

LRESULT OnCreate(HWND window, Demo& demo) {
  const HINSTANCE instance =
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
  // The main dialog's font; the frame passes it on to the grid.
  demo.font.reset(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, L"新宋体"));
  demo.frame = ::CreateWindowExW(
      0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_ETCHEDFRAME, 0, 0, 0, 0, window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFrameId)), instance, nullptr);
  ::SendMessageW(demo.frame, WM_SETFONT, reinterpret_cast<WPARAM>(demo.font.get()), FALSE);
  demo.messages.SetOwner(dorvane::MessageOwner::MainDialog, window);
  demo.grid = std::make_unique<GridHost>(demo.messages);
  if (demo.grid->Create(instance, demo.frame) == 1) {
    dorvane::SetUpTopographyGrid(demo.grid->editor());
    if (demo.scene.fill) FillSurvey(demo.grid->editor());
  }
  Layout(window, demo);
  ::PostMessageW(window, kShowSceneMessage, 0, 0);
  return 0;
}

LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* demo = reinterpret_cast<Demo*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_CREATE:
      return demo != nullptr ? OnCreate(window, *demo) : -1;
    case WM_SIZE:
      if (demo != nullptr) Layout(window, *demo);
      return 0;
    case kShowSceneMessage:
      if (demo != nullptr) ShowScene(*demo);
      return 0;
    case WM_DESTROY:
      if (demo != nullptr) demo->grid.reset();
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

Scene SceneFromCommandLine() {
  const std::wstring line = ::GetCommandLineW();
  const auto has = [&](const wchar_t* option) {
    return line.find(std::wstring(L" ") + option) != std::wstring::npos;
  };
  Scene scene;
  scene.edit = has(L"--edit");
  scene.drag = has(L"--drag");
  scene.fill = has(L"--fill") || scene.edit || scene.drag;
  return scene;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  Demo demo;
  demo.scene = SceneFromCommandLine();

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DemoWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (::RegisterClassExW(&windowClass) == 0) return 1;

  const HWND window =
      ::CreateWindowExW(0, kClassName, L"地形数据表格 (测试程序)", WS_OVERLAPPEDWINDOW, 40, 40, 420,
                        460, nullptr, nullptr, instance, &demo);
  if (window == nullptr) return 1;
  ::ShowWindow(window, show);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

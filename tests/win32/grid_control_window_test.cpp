#include "gridcontrol/win32/grid_control_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gridcontrol/grid_control.h"

namespace dorvane::win32 {
namespace {

// A visible top-level window with our grid control inside, 400 x 300 client
// pixels; messages go to the grid through SendMessageW as from the system.
class GridControlWindowTest : public ::testing::Test {
 protected:
  // Showing a top-level window waits for the X server: one for all tests.
  static void SetUpTestSuite() {
    parent_ = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 500,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() {
    if (parent_ != nullptr) ::DestroyWindow(parent_);
    parent_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(parent_, nullptr);
    grid.SetRows(100);
    grid.SetCols(5);
    window = CreateGridControlWindow(grid, ::GetModuleHandleW(nullptr), parent_, 0, 0, 400, 300);
    ASSERT_NE(window, nullptr);
    Pump();
  }
  void TearDown() override {
    if (window != nullptr) ::DestroyWindow(window);
    Pump();
  }
  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(window, message, wParam, lParam);
  }
  SCROLLINFO VerticalBar() const {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(window, SB_VERT, &info);
    return info;
  }
  // The last position the bar lets the thumb reach.
  static int MaxPos(const SCROLLINFO& info) { return info.nMax - static_cast<int>(info.nPage) + 1; }
  // A pixel inside a cell, as the window lays it out now.
  LPARAM PointIn(std::int32_t row, std::int32_t col) const {
    const int x = (grid.ColPos(col) + grid.ColWidth(col) / 2) / grid.TwipsPerPixelX();
    const int y = (grid.RowPos(row) + grid.RowHeight(row) / 2) / grid.TwipsPerPixelY();
    return MAKELPARAM(x, y);
  }
  bool HasUpdateRegion() const { return ::GetUpdateRect(window, nullptr, FALSE) != 0; }

  GridControl grid;
  HWND window = nullptr;

 private:
  static inline HWND parent_ = nullptr;
};

TEST_F(GridControlWindowTest, IsBoundToItsControlAndLeavesTheSubclassersSlotsFree) {
  EXPECT_EQ(grid.hWnd(), reinterpret_cast<std::uintptr_t>(window));
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_USERDATA), 0);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_ID), 0);
  EXPECT_EQ(Send(WM_GETDLGCODE), DLGC_WANTARROWS | DLGC_WANTCHARS);
  EXPECT_EQ(Send(WM_GETFONT), reinterpret_cast<LRESULT>(::GetStockObject(DEFAULT_GUI_FONT)));
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(grid.ClientWidth(), client.right);
  EXPECT_EQ(grid.ClientHeight(), client.bottom);

  // An editor in front of ours: it takes the slots and forwards to our procedure.
  static WNDPROC ours = nullptr;
  ours = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      window, GWLP_WNDPROC,
      reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return ::CallWindowProcW(ours, w, m, wp, lp);
      })));
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0x1234);
  ::SetWindowLongPtrW(window, GWLP_ID, 0x5678);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, PointIn(4, 3));
  Send(WM_LBUTTONUP, 0, PointIn(4, 3));
  EXPECT_EQ(grid.Row(), 4);
  EXPECT_EQ(grid.Col(), 3);
  EXPECT_EQ(::GetFocus(), window);

  // A second grid in a parent that has a font writes in that font.
  const HFONT dialogFont =
      ::CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"NSimSun");
  ::SendMessageW(::GetParent(window), WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), FALSE);
  const HWND second = CreateGridControlWindow(grid, nullptr, ::GetParent(window), 0, 0, 50, 50);
  ::SendMessageW(::GetParent(window), WM_SETFONT, 0, FALSE);
  ASSERT_NE(second, nullptr);  // registering the class again is harmless
  EXPECT_EQ(::SendMessageW(second, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(dialogFont));
  ::DestroyWindow(second);
  ::DeleteObject(dialogFont);
  EXPECT_EQ(grid.hWnd(), 0u);
  const HWND parent = ::GetParent(window);
  ::DestroyWindow(window);
  window = nullptr;

  // WM_CLOSE destroys the window from inside its own procedure: the window
  // goes and lets go of its control.
  const HWND closed = CreateGridControlWindow(grid, nullptr, parent, 0, 0, 50, 50);
  ASSERT_NE(closed, nullptr);
  ::SendMessageW(closed, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(closed));
  EXPECT_EQ(grid.hWnd(), 0u);
}

TEST_F(GridControlWindowTest, ScrollingToTheBottomOf65536RowsMovesTopRowAndTheBar) {
  grid.SetRows(65536);
  Pump();
  Send(WM_VSCROLL, SB_BOTTOM);
  EXPECT_EQ(grid.TopRow(), grid.MaxTopRow());
  const SCROLLINFO bar = VerticalBar();
  EXPECT_EQ(bar.nPos, grid.VerticalScrollPos());
  EXPECT_EQ(MaxPos(bar), grid.VerticalScrollRange().max);
  EXPECT_EQ(bar.nPos, MaxPos(bar));
  Send(WM_VSCROLL, SB_LINEUP);
  EXPECT_EQ(VerticalBar().nPos, grid.VerticalScrollPos());
}

TEST_F(GridControlWindowTest, ThumbTrackingReachesRowsPast16BitPositions) {
  grid.SetRows(100000);
  grid.SetScrollTrack(true);
  Pump();
  // The user drags the thumb to 80000: the bar knows it, the message only
  // carries its low 16 bits.
  SCROLLINFO thumb{};
  thumb.cbSize = sizeof thumb;
  thumb.fMask = SIF_POS;
  thumb.nPos = 80000;
  ::SetScrollInfo(window, SB_VERT, &thumb, FALSE);
  Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 80000 & 0xFFFF));
  EXPECT_EQ(grid.TopRow(), grid.FixedRows() + 80000);
  // A thumb position sent by a program that does not match the bar is taken as sent.
  Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500));
  EXPECT_EQ(grid.TopRow(), grid.FixedRows() + 500);
  EXPECT_EQ(VerticalBar().nPos, 500);

  // Without ScrollTrack the grid waits for the release, which may come when
  // the bar no longer reports the tracked position: the last tracked one counts.
  grid.SetScrollTrack(false);
  thumb.nPos = 90000;
  ::SetScrollInfo(window, SB_VERT, &thumb, FALSE);
  Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 90000 & 0xFFFF));
  EXPECT_EQ(grid.TopRow(), grid.FixedRows() + 500);
  thumb.nPos = 500;
  ::SetScrollInfo(window, SB_VERT, &thumb, FALSE);
  Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 90000 & 0xFFFF));
  EXPECT_EQ(grid.TopRow(), grid.FixedRows() + 90000);
}

TEST_F(GridControlWindowTest, ModelChangesInvalidateTheWindowAndTheBarFollows) {
  struct Case {
    const char* name;
    std::function<void(GridControl&)> change;
  };
  const std::vector<Case> cases = {
      {"text", [](GridControl& g) { g.SetTextMatrix(2, 2, u"12.5"); }},
      {"rows", [](GridControl& g) { g.SetRows(5000); }},
      {"sort",
       [](GridControl& g) {
         g.SetTextMatrix(1, 1, u"9");
         g.SetTextMatrix(2, 1, u"1");
         g.SetRow(1);
         g.SetCol(1);
         g.SetRowSel(3);
         g.SetSort(1);
       }},
      {"fewer rows", [](GridControl& g) { g.SetRows(10); }},
      {"width", [](GridControl& g) { g.SetColWidth(2, 3000); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pump();
    ::ValidateRect(window, nullptr);
    c.change(grid);
    EXPECT_TRUE(HasUpdateRegion());
    Pump();
    EXPECT_FALSE(HasUpdateRegion());
    const SCROLLINFO bar = VerticalBar();
    if (grid.VerticalScrollRange().max > 0) {
      EXPECT_EQ(MaxPos(bar), grid.VerticalScrollRange().max);
      EXPECT_EQ(bar.nPos, grid.VerticalScrollPos());
    } else {
      EXPECT_FALSE(::GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL);
    }
  }
}

TEST_F(GridControlWindowTest, RedrawOffHoldsChangesBackUntilItIsOnAgain) {
  Pump();
  ::ValidateRect(window, nullptr);
  grid.SetRedraw(false);
  for (std::int32_t row = 1; row < 100; ++row) grid.SetTextMatrix(row, 1, u"x");
  grid.SetRows(3000);
  Pump();
  EXPECT_FALSE(HasUpdateRegion());
  EXPECT_LT(MaxPos(VerticalBar()), 3000 - 100);
  grid.SetRedraw(true);
  EXPECT_TRUE(HasUpdateRegion());
  Pump();
  EXPECT_EQ(MaxPos(VerticalBar()), grid.VerticalScrollRange().max);
}

TEST_F(GridControlWindowTest, ShiftArrowExtendsTheSelectionAndPlainArrowCollapsesIt) {
  grid.SetRow(3);
  grid.SetCol(2);
  BYTE saved[256];
  ASSERT_TRUE(::GetKeyboardState(saved));
  BYTE keys[256];
  std::copy(std::begin(saved), std::end(saved), keys);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
  ASSERT_TRUE(::SetKeyboardState(keys));
  Send(WM_KEYDOWN, VK_DOWN);
  Send(WM_KEYDOWN, VK_RIGHT);
  keys[VK_SHIFT] = keys[VK_LSHIFT] = 0;
  ASSERT_TRUE(::SetKeyboardState(keys));
  EXPECT_EQ(grid.Row(), 3);
  EXPECT_EQ(grid.Col(), 2);
  EXPECT_EQ(grid.RowSel(), 4);
  EXPECT_EQ(grid.ColSel(), 3);
  Send(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(grid.Row(), 4);
  EXPECT_EQ(grid.RowSel(), 4);
  EXPECT_EQ(grid.ColSel(), 2);
  ::SetKeyboardState(saved);
}

TEST_F(GridControlWindowTest, DragPastTheBottomScrollsOnTheTimerAndExtendsTheSelection) {
  Send(WM_LBUTTONDOWN, MK_LBUTTON, PointIn(2, 1));
  EXPECT_EQ(::GetCapture(), window);
  RECT client{};
  ::GetClientRect(window, &client);
  Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, client.bottom + 20));
  const std::int32_t top = grid.TopRow();
  Send(WM_TIMER, 1);
  Send(WM_TIMER, 1);
  EXPECT_EQ(grid.TopRow(), top + 2);
  EXPECT_EQ(grid.RowSel(), grid.LastVisibleRow());
  EXPECT_EQ(grid.Row(), 2);
  Send(WM_LBUTTONUP, 0, MAKELPARAM(100, client.bottom + 20));
  EXPECT_NE(::GetCapture(), window);
  Send(WM_TIMER, 1);
  EXPECT_EQ(grid.TopRow(), top + 2);
}

TEST_F(GridControlWindowTest, HeaderBordersShowTheResizePointerWhenResizingIsAllowed) {
  grid.SetAllowUserResizing(3);
  struct Case {
    int x, y;
    const wchar_t* shape;
  };
  const int colBorder = (grid.ColPos(1) + grid.ColWidth(1)) / grid.TwipsPerPixelX() - 1;
  const int rowBorder = (grid.RowPos(2) + grid.RowHeight(2)) / grid.TwipsPerPixelY() - 1;
  const Case cases[] = {
      {colBorder, 5, IDC_SIZEWE}, {5, rowBorder, IDC_SIZENS}, {colBorder + 20, 40, IDC_ARROW}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    POINT point{c.x, c.y};
    ::ClientToScreen(window, &point);
    ASSERT_TRUE(::SetCursorPos(point.x, point.y));
    Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, c.shape));
  }
}

// Renders through WM_PRINTCLIENT into a 32-bit DIB and reads pixels back.
TEST_F(GridControlWindowTest, PaintsHeadersSelectionGridLinesAndBackground) {
  grid.SetRows(5);
  grid.SetCols(3);
  grid.SetRow(1);
  grid.SetCol(1);
  grid.SetRowSel(2);
  grid.SetColSel(2);
  Pump();
  const int width = grid.ClientWidth();
  const int height = grid.ClientHeight();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC dc = ::CreateCompatibleDC(nullptr);
  const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::GdiFlush();
  const auto pixel = [&](int x, int y) {
    const std::uint32_t value = static_cast<const std::uint32_t*>(bits)[y * width + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  };
  // Cells are 64 x 16 pixels at 96 dpi.
  const int tpp = grid.TwipsPerPixelX();
  const int colWidth = GridControl::kDefaultColWidth / tpp;
  const int rowHeight = GridControl::kDefaultRowHeight / tpp;
  struct Probe {
    const char* what;
    int x, y;
    COLORREF colour;
  };
  const Probe probes[] = {
      {"header face", colWidth + colWidth / 2, rowHeight / 2, ::GetSysColor(COLOR_BTNFACE)},
      {"header light edge", colWidth + 5, 0, ::GetSysColor(COLOR_BTNHIGHLIGHT)},
      {"header shadow edge", colWidth + 5, rowHeight - 1, ::GetSysColor(COLOR_BTNSHADOW)},
      {"current cell", colWidth + 5, rowHeight + 5, ::GetSysColor(COLOR_WINDOW)},
      {"selection", 2 * colWidth + 5, 2 * rowHeight + 5, ::GetSysColor(COLOR_HIGHLIGHT)},
      {"outside the selection", 2 * colWidth + 5, 3 * rowHeight + 5, ::GetSysColor(COLOR_WINDOW)},
      {"vertical grid line", 2 * colWidth - 1, 3 * rowHeight + 5, RGB(192, 192, 192)},
      {"horizontal grid line", 2 * colWidth + 5, 4 * rowHeight - 1, RGB(192, 192, 192)},
      {"right of the cells", 3 * colWidth + 5, 5, ::GetSysColor(COLOR_APPWORKSPACE)},
      {"below the cells", 5, 5 * rowHeight + 5, ::GetSysColor(COLOR_APPWORKSPACE)},
  };
  for (const auto& probe : probes) {
    SCOPED_TRACE(probe.what);
    EXPECT_EQ(pixel(probe.x, probe.y), probe.colour);
  }
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
}

}  // namespace
}  // namespace dorvane::win32

#include "grid/win32/grid_host.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "grid/clipboard_text.h"
#include "grid/topography_grid.h"
#include "grid/win32/editor_window.h"
#include "gridcontrol/win32/grid_control_window.h"

namespace dorvane::win32 {
namespace {

// Records every message; answers questions from a script, Yes when it is empty.
class ScriptedBoxes : public Win32MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest& request) override {
    shown.push_back(request);
    owners.push_back(OwnerOf(request.owner));
    if (request.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return MessageAnswer::Yes;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<MessageRequest> shown;
  std::vector<HWND> owners;
  std::deque<MessageAnswer> answers;
};

std::wstring WindowText(HWND window) {
  wchar_t text[300] = {};
  ::GetWindowTextW(window, text, 300);
  return text;
}

void SetClipboardUnicode(std::u16string_view text) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * 2);
  ASSERT_NE(memory, nullptr);
  auto* units = static_cast<char16_t*>(::GlobalLock(memory));
  std::memcpy(units, text.data(), text.size() * 2);
  units[text.size()] = 0;
  ::GlobalUnlock(memory);
  EXPECT_NE(::SetClipboardData(CF_UNICODETEXT, memory), nullptr);
  ::CloseClipboard();
}

std::vector<UINT> ClipboardFormats() {
  std::vector<UINT> formats;
  if (!::OpenClipboard(nullptr)) return formats;
  for (UINT format = ::EnumClipboardFormats(0); format != 0;
       format = ::EnumClipboardFormats(format))
    formats.push_back(format);
  ::CloseClipboard();
  return formats;
}

std::string ClipboardSylk() {
  std::string bytes;
  if (!::OpenClipboard(nullptr)) return "<not open>";
  if (const HANDLE data = ::GetClipboardData(CF_SYLK)) {
    const auto* start = static_cast<const char*>(::GlobalLock(data));
    bytes.assign(start, ::GlobalSize(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return bytes;
}

// The grid hosted in a frame of a visible window, as the main dialog hosts it,
// with the dialog's table: 3 columns, 256 rows, columns of 90 and rows of 20
// pixels at 96 dpi. Messages reach the windows through SendMessageW.
class GridHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    top_ = ::CreateWindowExW(0, L"STATIC", L"grid host test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                             0, 640, 480, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    frame_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 400, 300, top_,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() {
    if (top_ != nullptr) ::DestroyWindow(top_);
    top_ = frame_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(frame_, nullptr);
    ::SetForegroundWindow(top_);
    ASSERT_EQ(host.Create(::GetModuleHandleW(nullptr), frame_), 1);
    SetUpTopographyGrid(editor());
    ShowHost(400, 300);
  }
  void ShowHost(int width, int height) {
    ::MoveWindow(host.hostWindow(), 0, 0, width, height, TRUE);
    ::ShowWindow(host.hostWindow(), SW_SHOW);
    Pump();
  }
  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  GridEditor& editor() { return host.editor(); }
  const GridControl& grid() const { return host.control(); }
  HWND gridWindow() const { return host.gridWindow(); }
  HWND editWindow() const { return host.editWindow(); }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(gridWindow(), message, wParam, lParam);
  }
  LRESULT Command(UINT id) { return Send(WM_COMMAND, id, 0); }
  POINT Centre(std::int32_t row, std::int32_t col) const {
    return {(grid().ColPos(col) + grid().ColWidth(col) / 2) / grid().TwipsPerPixelX(),
            (grid().RowPos(row) + grid().RowHeight(row) / 2) / grid().TwipsPerPixelY()};
  }
  static LPARAM At(POINT point) { return MAKELPARAM(point.x, point.y); }
  void Click(POINT point) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(point));
    Send(WM_LBUTTONUP, 0, At(point));
  }
  void DoubleClick(POINT point) {
    Click(point);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, At(point));
    Send(WM_LBUTTONUP, 0, At(point));
  }
  void Select(std::int32_t top, std::int32_t left, std::int32_t bottom, std::int32_t right) {
    editor().SelectRegion({top, bottom, left, right});
    Pump();
  }
  void Put(std::int32_t row, std::int32_t col, std::u16string_view text) {
    editor().SetCellText(row, col, text);
  }
  std::u16string Cell(std::int32_t row, std::int32_t col) {
    return editor().GetCellText(row, col).value_or(u"<none>");
  }
  std::vector<std::u16string> Column(std::int32_t col, std::int32_t first, std::int32_t last) {
    std::vector<std::u16string> texts;
    for (std::int32_t row = first; row <= last; ++row) texts.push_back(Cell(row, col));
    return texts;
  }
  // The EDIT's rectangle in the grid window's client pixels.
  RECT EditRect() const {
    RECT rect{};
    ::GetWindowRect(editWindow(), &rect);
    ::MapWindowPoints(HWND_DESKTOP, gridWindow(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  bool HasUpdateRegion() const { return ::GetUpdateRect(gridWindow(), nullptr, FALSE) != 0; }
  bool CellInView(std::int32_t row, std::int32_t col) const {
    const int tx = grid().TwipsPerPixelX(), ty = grid().TwipsPerPixelY();
    const int top = grid().RowPos(row) / ty, left = grid().ColPos(col) / tx;
    return top >= 0 && left >= 0 && top + grid().RowHeight(row) / ty <= grid().ClientHeight() &&
           left + grid().ColWidth(col) / tx <= grid().ClientWidth();
  }

  ScriptedBoxes messages;
  GridHost host{messages};

 private:
  static inline HWND top_ = nullptr;
  static inline HWND frame_ = nullptr;

 protected:
  static HWND frame() { return frame_; }
  static HWND top() { return top_; }
};

TEST_F(GridHostTest, HostingBindsTheEditorToBothWindowsAndTheGridFillsItsHost) {
  const HWND hostWindow = host.hostWindow();
  EXPECT_EQ(::GetParent(hostWindow), frame());
  EXPECT_EQ(WindowText(hostWindow), L"静态控件xx");
  EXPECT_EQ(::GetParent(gridWindow()), hostWindow);
  EXPECT_EQ(::GetParent(editWindow()), gridWindow());
  EXPECT_FALSE(::IsWindowVisible(editWindow()));
  // Created with WS_BORDER, which the EDIT takes over and draws itself.
  EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(editWindow(), GWL_STYLE)) &
                ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER),
            0x40001080u);
  for (HWND window : {gridWindow(), editWindow()}) {
    const Win32EditorView* view = Win32EditorView::OfWindow(window);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->editor(), &editor());
  }
  EXPECT_EQ(messages.OwnerOf(MessageOwner::Grid), gridWindow());
  EXPECT_EQ(grid().hWnd(), reinterpret_cast<std::uintptr_t>(gridWindow()));

  // A tooltip that subclasses the grid goes in front of the editor's procedure.
  const SUBCLASSPROC passOn = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
    return ::DefSubclassProc(window, message, wParam, lParam);
  };
  ASSERT_TRUE(::SetWindowSubclass(gridWindow(), passOn, 1, 0));
  Select(1, 1, 1, 1);
  Send(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(grid().Row(), 2);
  EXPECT_EQ(Win32EditorView::OfWindow(gridWindow())->editor(), &editor());

  for (const SIZE size : {SIZE{400, 300}, SIZE{250, 420}}) {
    ShowHost(size.cx, size.cy);
    RECT hostClient{}, gridOuter{};
    ::GetClientRect(hostWindow, &hostClient);
    ::GetWindowRect(gridWindow(), &gridOuter);
    EXPECT_EQ(gridOuter.right - gridOuter.left, hostClient.right);
    EXPECT_EQ(gridOuter.bottom - gridOuter.top, hostClient.bottom);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST(GridHosting, FailuresReturnZeroWithTheirMessageOwnedByTheHost) {
  const HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                                        nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  struct Case {
    const char* name;
    HINSTANCE instance;
    HWND parent;
    GridControlWindowFactory factory;
    bool hostCreated;
    std::u16string message;
  };
  const GridControlWindowFactory noWindow = [](GridControl&, HINSTANCE, HWND, int, int, int,
                                               int) -> HWND { return nullptr; };
  const Case cases[] = {
      {"no instance", nullptr, parent, nullptr, false, u""},
      {"no parent", instance, nullptr, nullptr, false, u""},
      {"the control's window is not created", instance, parent, noWindow, true,
       u"COM对象与窗口关联失败!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedBoxes boxes;
    GridHost grid(boxes, c.factory != nullptr ? c.factory : CreateGridControlWindow);
    EXPECT_EQ(grid.Create(c.instance, c.parent), 0);
    EXPECT_EQ(grid.hostWindow() != nullptr, c.hostCreated);
    EXPECT_EQ(grid.gridWindow(), nullptr);
    if (c.message.empty()) {
      EXPECT_TRUE(boxes.shown.empty());
      continue;
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, c.message);
    EXPECT_EQ(boxes.shown[0].caption, u"错误提示");
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.owners[0], grid.hostWindow());
  }
  ::DestroyWindow(parent);
}

TEST_F(GridHostTest, DoubleClickEditsADataCellAndEnterCommitsAndMovesDown) {
  Put(3, 1, u"12.5");
  DoubleClick(Centre(3, 1));
  ASSERT_TRUE(::IsWindowVisible(editWindow()));
  const RECT rect = EditRect();
  EXPECT_EQ(rect.left, 89);
  EXPECT_EQ(rect.top, 59);
  EXPECT_EQ(rect.right, 179);
  EXPECT_EQ(rect.bottom, 79);
  EXPECT_EQ(WindowText(editWindow()), L"12.5");
  DWORD start = 1, end = 0;
  ::SendMessageW(editWindow(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 4u);
  EXPECT_EQ(::GetFocus(), editWindow());

  // Enter goes through the dialog manager as in the main dialog.
  ::SetWindowTextW(editWindow(), L"高程 7");
  MSG enter{editWindow(), WM_KEYDOWN, VK_RETURN, 0x1C0001, 0, {}};
  EXPECT_TRUE(::IsDialogMessageW(top(), &enter));
  EXPECT_EQ(Cell(3, 1), u"高程 7");
  EXPECT_EQ(grid().Row(), 4);
  EXPECT_FALSE(::IsWindowVisible(editWindow()));
  EXPECT_EQ(::GetFocus(), gridWindow());

  // Enter on the grid opens the EDIT on the new current cell; Escape stays with
  // the EDIT, which keeps the edit open, and never reaches the dialog.
  MSG gridEnter{gridWindow(), WM_KEYDOWN, VK_RETURN, 0x1C0001, 0, {}};
  EXPECT_TRUE(::IsDialogMessageW(top(), &gridEnter));
  ASSERT_TRUE(::IsWindowVisible(editWindow()));
  ::SetWindowTextW(editWindow(), L"kept");
  MSG escape{editWindow(), WM_KEYDOWN, VK_ESCAPE, 0x10001, 0, {}};
  EXPECT_TRUE(::IsDialogMessageW(top(), &escape));
  EXPECT_TRUE(::IsWindowVisible(editWindow()));
  EXPECT_TRUE(::IsWindow(top()));
  EXPECT_EQ(Cell(4, 1), u"");
  EXPECT_TRUE(::IsDialogMessageW(top(), &enter));
  EXPECT_EQ(Cell(4, 1), u"kept");

  editor().SetRowCount(5);
  for (const POINT point : {Centre(0, 1), Centre(2, 0), POINT{135, 200}}) {
    DoubleClick(point);
    EXPECT_FALSE(::IsWindowVisible(editWindow())) << point.x << "," << point.y;
  }
}

TEST_F(GridHostTest, ClickingAnotherCellWhileEditingCommitsIntoTheEditedCell) {
  DoubleClick(Centre(2, 1));
  ::SetWindowTextW(editWindow(), L"5");
  Click(Centre(6, 2));
  EXPECT_EQ(Cell(2, 1), u"5");
  EXPECT_EQ(Cell(6, 2), u"");
  EXPECT_EQ(grid().Row(), 6);
  EXPECT_EQ(grid().Col(), 2);
  EXPECT_FALSE(::IsWindowVisible(editWindow()));
}

TEST_F(GridHostTest, ArrowsStopAtTheEdgesAndKeepTheCellInView) {
  Select(1, 1, 1, 1);
  for (const UINT key : {VK_UP, VK_LEFT}) Send(WM_KEYDOWN, key);
  EXPECT_EQ(grid().Row(), 1);
  EXPECT_EQ(grid().Col(), 1);
  for (int i = 0; i < 3; ++i) Send(WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(grid().Col(), 2);

  // Down past the bottom: every row that becomes current is wholly in view,
  // not hidden behind the horizontal scroll bar.
  ShowHost(220, 300);
  Select(1, 1, 1, 1);
  for (int i = 0; i < 20; ++i) {
    Send(WM_KEYDOWN, VK_DOWN);
    Pump();
    ASSERT_TRUE(CellInView(grid().Row(), 1)) << "row " << grid().Row();
  }
  EXPECT_EQ(grid().Row(), 21);
  EXPECT_GT(grid().TopRow(), 1);
  Send(WM_KEYDOWN, VK_RIGHT);
  Pump();
  EXPECT_TRUE(CellInView(grid().Row(), 2));

  Select(255, 1, 255, 1);
  Send(WM_VSCROLL, SB_BOTTOM);
  Send(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(grid().Row(), 255);
  EXPECT_EQ(grid().Rows(), 256);
}

TEST_F(GridHostTest, WheelAtTheTopDoesNothingAndWithCtrlScrollsAColumn) {
  ShowHost(220, 300);
  Pump();
  ::ValidateRect(gridWindow(), nullptr);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(50, 50));
  EXPECT_EQ(grid().TopRow(), 1);
  EXPECT_FALSE(HasUpdateRegion());

  Send(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -WHEEL_DELTA), MAKELPARAM(50, 50));
  EXPECT_EQ(grid().LeftCol(), 2);
  EXPECT_EQ(grid().TopRow(), 1);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(50, 50));
  EXPECT_EQ(grid().TopRow(), 2);
}

TEST_F(GridHostTest, AFillDragFillsTheSeriesAndRecordsOneStep) {
  Put(1, 1, u"1");
  Put(2, 1, u"3");
  Select(1, 1, 2, 1);
  ::UpdateWindow(gridWindow());  // the paint places the fill handle
  const PixelRect handle = editor().fillHandleRect();
  const POINT press{(handle.left + handle.right) / 2, (handle.top + handle.bottom) / 2};

  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(press));
  EXPECT_TRUE(editor().fillDragging());
  EXPECT_EQ(::GetCapture(), gridWindow());
  Send(WM_MOUSEMOVE, MK_LBUTTON, At(Centre(5, 1)));
  Send(WM_LBUTTONUP, 0, At(Centre(5, 1)));
  Pump();

  EXPECT_EQ(Column(1, 1, 6), (std::vector<std::u16string>{u"1", u"3", u"5", u"7", u"9", u""}));
  EXPECT_FALSE(editor().fillDragging());
  EXPECT_NE(::GetCapture(), gridWindow());
  EXPECT_EQ(editor().history().StepCount(), 1u);
  EXPECT_EQ(editor().history().current()->kind, StepKind::FillDrag);
}

TEST_F(GridHostTest, EveryMenuCommandReachesItsCommand) {
  struct Case {
    const char* name;
    std::int32_t top, bottom;  // of column 1
    std::vector<UINT> ids;
    std::vector<std::u16string> rows;  // column 1, rows 1 to 4, afterwards
  };
  const Case cases[] = {
      {"insert", 2, 2, {40013}, {u"3", u"", u"1", u"2"}},
      {"delete", 2, 2, {40014}, {u"3", u"2", u"8", u""}},
      {"cut", 1, 1, {40015}, {u"", u"1", u"2", u"8"}},
      {"copy", 1, 1, {40016}, {u"3", u"1", u"2", u"8"}},
      {"paste what was copied", 2, 2, {40017}, {u"3", u"3", u"2", u"8"}},
      {"clear", 1, 2, {40018}, {u"", u"", u"2", u"8"}},
      {"average", 1, 2, {40019}, {u"2", u"", u"2", u"8"}},
      {"ascending", 1, 3, {40020}, {u"1", u"2", u"3", u"8"}},
      {"descending", 1, 3, {40021}, {u"3", u"2", u"1", u"8"}},
      {"undo", 1, 2, {40018, 40022}, {u"3", u"1", u"2", u"8"}},
      {"redo", 1, 2, {40018, 40022, 40023}, {u"", u"", u"2", u"8"}},
      {"reverse", 1, 3, {40024}, {u"2", u"1", u"3", u"8"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::int32_t row = 1; row <= 8; ++row)
      Put(row, 1, row <= 4 ? std::u16string(1, u"3128"[row - 1]) : u"");
    Select(c.top, 1, c.bottom, 1);
    for (UINT id : c.ids) EXPECT_EQ(Command(id), 0);
    EXPECT_EQ(Column(1, 1, 4), c.rows);
  }
  EXPECT_TRUE(messages.shown.empty());
}

// The windows read the modifiers from the thread's keyboard state, as when typed.
void HoldKey(BYTE key, bool down) {
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[key] = down ? 0x80 : 0;
  ::SetKeyboardState(keys);
}

TEST_F(GridHostTest, TypingAndTheMenusShortcutsWorkFromTheKeyboard) {
  Put(1, 1, u"old");
  Select(1, 1, 1, 1);
  ::SetFocus(gridWindow());
  Send(WM_CHAR, L'7', 1);
  ASSERT_EQ(::GetFocus(), editWindow());
  ::SendMessageW(editWindow(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(Cell(1, 1), u"7");

  HoldKey(VK_CONTROL, true);
  Select(1, 1, 1, 1);
  Send(WM_KEYDOWN, 'C', 1);
  Select(3, 1, 3, 1);
  Send(WM_KEYDOWN, 'V', 1);
  HoldKey(VK_CONTROL, false);
  EXPECT_EQ(Cell(3, 1), u"7");
}

std::vector<POINT> trackedAt;
UINT pasteState = 0;

TEST_F(GridHostTest, RightPressOpensTheMenuAtTheCursorWithPasteByTheClipboard) {
  host.view()->SetMenuTracker([](HMENU menu, POINT screen, HWND) {
    trackedAt.push_back(screen);
    pasteState = ::GetMenuState(menu, 40017, MF_BYCOMMAND);
  });
  Select(2, 1, 4, 2);
  ::UpdateWindow(gridWindow());
  POINT inside = Centre(3, 1);
  ::ClientToScreen(gridWindow(), &inside);
  ASSERT_TRUE(::SetCursorPos(inside.x, inside.y));
  const POINT client = Centre(3, 1);

  struct Case {
    const char* name;
    UINT format;
    bool enabled;
  };
  for (const Case& c : {Case{"empty", 0, false}, Case{"SYLK", CF_SYLK, true},
                        Case{"8-bit text", CF_TEXT, true}, Case{"bitmap only", CF_BITMAP, false}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    if (c.format == CF_BITMAP) {
      ::SetClipboardData(CF_BITMAP, ::CreateBitmap(1, 1, 1, 1, nullptr));
    } else if (c.format != 0) {
      const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
      ::SetClipboardData(c.format, memory);
    }
    ::CloseClipboard();
    trackedAt.clear();
    Send(WM_RBUTTONDOWN, MK_RBUTTON, At(client));
    ASSERT_EQ(trackedAt.size(), 1u);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    EXPECT_EQ(trackedAt[0].x, cursor.x);
    EXPECT_EQ(trackedAt[0].y, cursor.y);
    EXPECT_EQ((pasteState & MF_GRAYED) == 0, c.enabled);
    EXPECT_EQ(grid().RowSel(), 4) << "inside the selection it stays";
  }
}

TEST_F(GridHostTest, PasteSortAndUndoRepaintTheWindowAndTheScrollBarFollowsTheRows) {
  std::u16string lines;
  for (int line = 0; line < 600; ++line)
    lines += u"9\t" + std::u16string(1, u'a' + line % 26) + u"\r\n";
  SetClipboardUnicode(lines);
  const auto scrollMax = [&] {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(gridWindow(), SB_VERT, &info);
    return info.nMax - static_cast<int>(info.nPage) + 1;
  };
  const std::pair<const char*, std::vector<UINT>> steps[] = {
      {"paste", {40017}}, {"sort", {40020}}, {"undo", {40022}}};
  Select(1, 1, 1, 1);
  for (const auto& [name, ids] : steps) {
    SCOPED_TRACE(name);
    if (std::string(name) == "sort") Select(1, 2, 600, 2);
    ::UpdateWindow(gridWindow());
    ASSERT_FALSE(HasUpdateRegion());
    for (UINT id : ids) Command(id);
    EXPECT_TRUE(HasUpdateRegion());
    Pump();
    EXPECT_EQ(scrollMax(), grid().VerticalScrollRange().max);
  }
  EXPECT_EQ(grid().Rows(), 602);
  EXPECT_EQ(Cell(600, 2), u"b") << "the sort is undone";
}

TEST_F(GridHostTest, CopyPutsExactlyTheSylkBytesOnTheClipboardAndNothingElse) {
  Put(2, 1, u"1.5");
  Put(2, 2, u"abc");
  Put(3, 2, u"-2");
  SetClipboardUnicode(u"earlier");
  Select(2, 1, 3, 2);
  Command(40016);

  EXPECT_EQ(ClipboardFormats(), std::vector<UINT>{CF_SYLK});
  EXPECT_EQ(::GetClipboardOwner(), gridWindow());
  const std::string expected =
      "ID;PGSIWKS1\r\nP;PGeneral\r\nP;FArial;M195\r\nF;P0;DG0G8;SM0;M255\r\n"
      "B;X2;Y2;D0 0 1 1\r\nC;X1;Y1;K1.5\r\nC;X2;K\"abc\"\r\nC;X1;Y2;K\"\"\r\nC;X2;K-2\r\nE\r\n" +
      std::string(1, '\0');
  EXPECT_EQ(ClipboardSylk(), expected);
}

// Run as a separate process by the test below: another program's clipboard text.
TEST(GridClipboardHelper, DISABLED_SetsUnicodeTextFromTheEnvironment) {
  wchar_t text[256] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"DORVANE_CLIPBOARD_TEXT", text, 256), 0u);
  SetClipboardUnicode(std::u16string(text, text + std::wcslen(text)));
}

TEST_F(GridHostTest, PastesUnicodeTextThatAnotherProcessPutOnTheClipboard) {
  SetClipboardUnicode(u"");
  wchar_t program[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(program) +
                         L"\" --gtest_filter=GridClipboardHelper.* --gtest_also_run_disabled_tests";
  ::SetEnvironmentVariableW(L"DORVANE_CLIPBOARD_TEXT", L"1\t2\r\n高程\t4\r\n");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
  ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ASSERT_EQ(exitCode, 0u);

  Select(5, 1, 5, 1);
  Command(40017);
  EXPECT_EQ(Column(1, 5, 6), (std::vector<std::u16string>{u"1", u"高程"}));
  EXPECT_EQ(Column(2, 5, 6), (std::vector<std::u16string>{u"2", u"4"}));
}

}  // namespace

// Run under LANG=zh_CN.UTF-8: the ANSI code page is 936.
class ChineseLocaleGrid : public GridHostTest {};

TEST_F(ChineseLocaleGrid, CopyAndPasteOfChineseTextsRoundTrip) {
  ASSERT_EQ(::GetACP(), 936u);
  const std::vector<std::u16string> texts{u"X坐标(斜距)", u"1号点", u"高程 12.5", u"-3.25"};
  for (std::int32_t i = 0; i < 4; ++i)
    Put(1 + i / 2, 1 + i % 2, texts[static_cast<std::size_t>(i)]);
  Select(1, 1, 2, 2);
  Command(40016);
  const std::string sylk = ClipboardSylk();
  EXPECT_NE(sylk.find("C;X1;Y1;K\"X\xD7\xF8\xB1\xEA(\xD0\xB1\xBE\xE0)\"\r\n"), std::string::npos);
  EXPECT_NE(sylk.find("C;X2;K\"1\xBA\xC5\xB5\xE3\"\r\n"), std::string::npos);

  Select(10, 1, 10, 1);
  Command(40017);
  EXPECT_EQ(Column(1, 10, 11), (std::vector<std::u16string>{texts[0], texts[2]}));
  EXPECT_EQ(Column(2, 10, 11), (std::vector<std::u16string>{texts[1], texts[3]}));

  SetClipboardUnicode(u"测线\t高程\r\n");
  Select(20, 1, 20, 1);
  Command(40017);
  EXPECT_EQ(Cell(20, 1), u"测线");
  EXPECT_EQ(Cell(20, 2), u"高程");
}

}  // namespace dorvane::win32

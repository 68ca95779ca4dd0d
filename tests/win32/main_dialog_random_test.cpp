#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>
#include <windowsx.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/main_dialog.h"
#include "grid/grid_editor.h"
#include "main_dialog_driver.h"
#include "platform/file_access.h"
#include "resources/resource.h"
#include "survey/win32/preview_window.h"
#include "win32_test_support.h"

// Thousands of random clicks, keys, menu commands and drags on the real program,
// seeded and bounded in time. The same seed gives the same inputs on any machine:
// DORVANE_RANDOM_SEED, DORVANE_RANDOM_ACTIONS and DORVANE_RANDOM_SECONDS (the
// bound) choose another run.
namespace dorvane::win32 {
namespace {

using namespace testing::dialog;
using testing::ScratchFolder;
using testing::WriteFileBytes;

unsigned EnvironmentNumber(const wchar_t* name, unsigned fallback) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? static_cast<unsigned>(std::wcstoul(value, nullptr, 10)) : fallback;
}

// Answers every question at random; records nothing but the count.
class RandomAnswers : public Win32MessageBoxes {
 public:
  explicit RandomAnswers(std::mt19937& random) : random_(random) {}
  MessageAnswer Show(const MessageRequest& request) override {
    ++shown;
    if (request.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return random_() % 2 == 0 ? MessageAnswer::Yes : MessageAnswer::No;
  }
  int shown = 0;

 private:
  std::mt19937& random_;
};

using Cells = std::vector<std::u16string>;

Cells Snapshot(const GridEditor& editor, std::int32_t rows) {
  Cells cells;
  for (std::int32_t row = 0; row < rows; ++row) {
    for (std::int32_t col = 0; col < 3; ++col)
      cells.push_back(editor.GetCellText(row, col).value_or(u"<none>"));
  }
  return cells;
}

HWND WindowAt(HWND dialog, POINT screen) {
  const HWND window = ::WindowFromPoint(screen);
  return window != nullptr && (window == dialog || ::IsChild(dialog, window)) ? window : nullptr;
}

LPARAM ClientPoint(HWND window, POINT screen) {
  ::ScreenToClient(window, &screen);
  return MAKELPARAM(screen.x, screen.y);
}

class RandomUser {
 public:
  RandomUser(HWND dialog, std::mt19937& random) : dialog_(dialog), random_(random) {}

  void Act() {
    switch (Pick(10)) {
      case 0:
      case 1:
        ClickSomewhere();
        break;
      case 2:
        ClickControl();
        break;
      case 3:
      case 4:
        PressKeys();
        break;
      case 5:
        MenuCommand();
        break;
      case 6:
      case 7:
        DragInGrid();
        break;
      case 8:
        RightClickGrid();
        break;
      default:
        DoubleClickGrid();
        break;
    }
    PumpMessages(0);
  }

  // The last inputs, to tell how a failing run ended.
  std::string Recent() const {
    std::string text;
    for (const std::string& line : recent_) text += "  " + line + "\n";
    return text;
  }

 private:
  unsigned Pick(unsigned count) { return random_() % count; }

  void Note(std::string what) {
    if (recent_.size() == 30) recent_.pop_front();
    recent_.push_back(std::move(what));
  }
  static std::string Where(HWND window, LPARAM point) {
    char text[96];
    std::snprintf(text, sizeof text, "%ls#%d (%d,%d)", ClassName(window).c_str(),
                  ::GetDlgCtrlID(window), GET_X_LPARAM(point), GET_Y_LPARAM(point));
    return text;
  }

  POINT PointIn(HWND window) {
    RECT rect{};
    ::GetClientRect(window, &rect);
    POINT point{static_cast<LONG>(Pick(std::max<LONG>(rect.right, 1))),
                static_cast<LONG>(Pick(std::max<LONG>(rect.bottom, 1)))};
    ::ClientToScreen(window, &point);
    return point;
  }

  HWND Grid() const {
    const HWND frame = ::GetDlgItem(dialog_, IDC_GRID_FRAME);
    const HWND host = ::GetWindow(frame, GW_CHILD);
    const HWND grid = host != nullptr ? ::GetWindow(host, GW_CHILD) : nullptr;
    return grid != nullptr && ::IsWindowVisible(grid) ? grid : nullptr;
  }

  void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ::PostMessageW(window, message, wParam, lParam);
  }

  void ClickAt(POINT screen) {
    const HWND window = WindowAt(dialog_, screen);
    // "退出" would end the run early; "预览" comes a counted few times from
    // ClickControl.
    if (window == nullptr || window == ::GetDlgItem(dialog_, IDC_EXIT) ||
        window == ::GetDlgItem(dialog_, IDC_PREVIEW))
      return;
    Note("click " + Where(window, ClientPoint(window, screen)));
    Post(window, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(window, screen));
    Post(window, WM_LBUTTONUP, 0, ClientPoint(window, screen));
  }

  void ClickSomewhere() { ClickAt(PointIn(dialog_)); }

  void ClickControl() {
    static constexpr int kIds[] = {IDC_MODE_MERGE,  IDC_MODE_SCRIPT2D, IDC_MODE_SCRIPT3D,
                                   IDC_TOPOGRAPHY,  IDC_TOPOGRAPHY,    IDC_ADD_FILE,
                                   IDC_DELETE_FILE, IDC_RUN_JOB,       IDC_OUTPUT_BROWSE,
                                   IDC_ROW_BROWSE,  IDC_HELP_ABOUT,    2201,
                                   IDC_PREVIEW};
    const int id = kIds[Pick(std::size(kIds))];
    // Without a window manager Wine takes two seconds to close a window: the
    // preview opens on a fifth of its picks, a few times a run.
    if (id == IDC_PREVIEW && Pick(5) != 0) return;
    Note("button " + std::to_string(id));
    Click(dialog_, id);
  }

  void PressKeys() {
    static constexpr UINT kKeys[] = {VK_UP,   VK_DOWN,       VK_LEFT,      VK_RIGHT, VK_RETURN,
                                     VK_TAB,  VK_ESCAPE,     VK_DELETE,    VK_PRIOR, VK_NEXT,
                                     VK_HOME, VK_END,        '1',          '5',      '0',
                                     'A',     VK_OEM_PERIOD, VK_OEM_MINUS, VK_BACK,  VK_SPACE};
    for (unsigned i = 0, n = 1 + Pick(4); i < n; ++i) {
      const HWND target = ::GetFocus() != nullptr ? ::GetFocus() : dialog_;
      const UINT key = kKeys[Pick(std::size(kKeys))];
      // Tab may have brought the focus to "退出", which would end the run.
      if (target == ::GetDlgItem(dialog_, IDC_EXIT) && (key == VK_RETURN || key == VK_SPACE))
        continue;
      Note("key " + std::to_string(key) + " to " + Where(target, 0));
      Post(target, WM_KEYDOWN, key, 1);
      if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) Post(target, WM_CHAR, key, 1);
      Post(target, WM_KEYUP, key, 0xC0000001);
      PumpMessages(0);
    }
  }

  void MenuCommand() {
    if (const HWND grid = Grid()) {
      const unsigned id = kCmdInsertRows + Pick(kCmdReverseColumns - kCmdInsertRows + 1);
      Note("menu command " + std::to_string(id));
      ::SendMessageW(grid, WM_COMMAND, id, 0);
    }
  }

  void DragInGrid() {
    const HWND grid = Grid();
    if (grid == nullptr) return ClickSomewhere();
    const POINT from = PointIn(grid);
    const POINT to = PointIn(grid);
    Note("drag from " + Where(grid, ClientPoint(grid, from)) + " to " +
         Where(grid, ClientPoint(grid, to)));
    Post(grid, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(grid, from));
    for (int step = 1; step <= 4; ++step) {
      const POINT at{from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4};
      Post(grid, WM_MOUSEMOVE, MK_LBUTTON, ClientPoint(grid, at));
    }
    Post(grid, WM_LBUTTONUP, 0, ClientPoint(grid, to));
  }

  void RightClickGrid() {
    const HWND grid = Grid();
    if (grid == nullptr) return ClickSomewhere();
    const POINT at = PointIn(grid);
    ::SetCursorPos(at.x, at.y);
    Note("right click " + Where(grid, ClientPoint(grid, at)));
    Post(grid, WM_RBUTTONDOWN, MK_RBUTTON, ClientPoint(grid, at));
    Post(grid, WM_RBUTTONUP, 0, ClientPoint(grid, at));
  }

  void DoubleClickGrid() {
    const HWND grid = Grid();
    if (grid == nullptr) return ClickSomewhere();
    const POINT at = PointIn(grid);
    Note("double click " + Where(grid, ClientPoint(grid, at)));
    Post(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, ClientPoint(grid, at));
    Post(grid, WM_LBUTTONUP, 0, ClientPoint(grid, at));
  }

  HWND dialog_;
  std::mt19937& random_;
  std::deque<std::string> recent_;
};

struct ModalWatch {
  unsigned seed = 0;
  int aboutBoxes = 0;
  int menus = 0;
  int previews = 0;
  bool inPreview = false;  // the timer comes again while the preview is used
  std::vector<std::wstring> strangers;
};
thread_local ModalWatch* watch = nullptr;
thread_local HWND mainDialog = nullptr;

// Toggles, resizes, hovers and keys at random, then closes the preview by Esc
// or its close box. Its own sequence, so a seed replays the same run however
// the timer falls.
void UsePreview(HWND window, unsigned seed) {
  std::mt19937 random(seed);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  for (int step = 0, steps = 1 + static_cast<int>(random() % 8); step < steps; ++step) {
    switch (random() % 4) {
      case 0:
        Click(window, IDC_PREVIEW_COLOURING);
        break;
      case 1:
        ::SetWindowPos(window, nullptr, 0, 0, static_cast<int>(random() % (work.right + 1)),
                       static_cast<int>(random() % (work.bottom + 1)), SWP_NOMOVE | SWP_NOZORDER);
        break;
      case 2: {
        RECT client{};
        ::GetClientRect(window, &client);
        for (int move = 0; move < 20; ++move) {
          const auto x = static_cast<int>(random() % (client.right + 1));
          const auto y = static_cast<int>(random() % (client.bottom + 1));
          ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        }
        break;
      }
      default: {
        static constexpr UINT kKeys[] = {VK_TAB, VK_DOWN, VK_UP, VK_SPACE, VK_NEXT, VK_END};
        const HWND focus = ::GetFocus();
        PressKey(focus != nullptr && ::IsChild(window, focus) ? focus : window,
                 kKeys[random() % std::size(kKeys)]);
        break;
      }
    }
    PumpMessages(0);
  }
  if (random() % 2 == 0)
    PressKey(::GetDlgItem(window, IDC_PREVIEW_FINDINGS), VK_ESCAPE);
  else
    ::SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

BOOL CALLBACK EndModalWindow(HWND window, LPARAM) {
  if (window == mainDialog || !::IsWindowVisible(window)) return TRUE;
  const std::wstring caption = WindowText(window);
  if (ClassName(window) == L"#32768") {
    ++watch->menus;
    ::EndMenu();
  } else if (ClassName(window) == kPreviewWindowClass) {
    if (watch->inPreview) return TRUE;
    watch->inPreview = true;
    ++watch->previews;
    UsePreview(window, watch->seed + static_cast<unsigned>(watch->previews));
    watch->inPreview = false;
  } else if (caption == L"关于 Dorvane") {
    ++watch->aboutBoxes;
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  } else if (ClassName(window) == L"#32770") {
    watch->strangers.push_back(caption);  // a real message box or file dialog
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  }
  return TRUE;
}

// Ends what a random click opens on top of the dialog: the About box, the grid's
// popup menu, and anything else that should never appear here.
void CALLBACK EndModalLoops(HWND, UINT, UINT_PTR, DWORD) {
  if (watch == nullptr) return;
  ::EnumThreadWindows(::GetCurrentThreadId(), EndModalWindow, 0);
}

TEST(MainDialogRandom, RandomInputNeverBreaksTheProgramAndUndoRestoresTheGrid) {
  const unsigned seed = EnvironmentNumber(L"DORVANE_RANDOM_SEED", 20261207);
  const int wanted = static_cast<int>(EnvironmentNumber(L"DORVANE_RANDOM_ACTIONS", 2000));
  const unsigned seconds = EnvironmentNumber(L"DORVANE_RANDOM_SECONDS", 150);
  std::mt19937 random(seed);
  ScratchFolder folder;
  const std::string good = "L\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n0\r\n0\r\n0\r\n0";
  WriteFileBytes(folder / L"good.dat", good);
  WriteFileBytes(folder / L"bad.dat", "no data");
  WriteFileBytes(folder / L"empty.dat", "");
  const std::vector<std::wstring> inputs = {(folder / L"good.dat").wstring(),
                                            (folder / L"bad.dat").wstring(),
                                            (folder / L"empty.dat").wstring()};
  const std::wstring output = (folder / L"out.dat").wstring();

  RandomAnswers messages(random);
  FileAccess files(messages);
  const auto choose = [&](const std::wstring& path, OPENFILENAMEW& request) {
    if (random() % 4 == 0 || path.size() >= request.nMaxFile) return false;  // cancelled
    std::wcscpy(request.lpstrFile, path.c_str());
    return true;
  };
  files.SetFileDialogs(
      [&](OPENFILENAMEW& request) { return choose(inputs[random() % inputs.size()], request); },
      [&](OPENFILENAMEW& request) { return choose(output, request); });

  // A handler that never returns stops the heartbeat: end the run with a message.
  std::atomic<unsigned> heartbeat{0};
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    unsigned last = heartbeat.load();
    int still = 0;
    while (!finished.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      const unsigned now = heartbeat.load();
      still = now == last ? still + 1 : 0;
      last = now;
      if (still > 120) {
        std::fprintf(stderr, "random run (seed %u): no progress for 30 s, a handler hangs\n", seed);
        std::fflush(stderr);
        ::ExitProcess(3);
      }
    }
  });

  ModalWatch modal;
  modal.seed = seed;
  int actions = 0;
  Cells start;
  Cells afterUndo;
  std::string recent;
  std::int32_t rowsAtStart = 0;
  int textsBelow = 0;  // in rows that inserts added
  bool gridHosted = false;
  const INT_PTR result = RunDriven(
      [&] { return RunMainDialog(::GetModuleHandleW(nullptr), messages, files); }, L"Dorvane1.1",
      [&](HWND dialog) {
        GridEditor* editor = TopographyEditorOf(dialog);
        gridHosted = editor != nullptr;
        if (!gridHosted) return;
        rowsAtStart = editor->GetRowCount();
        start = Snapshot(*editor, rowsAtStart);
        watch = &modal;
        mainDialog = dialog;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, EndModalLoops);
        RandomUser user(dialog, random);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (actions < wanted && std::chrono::steady_clock::now() < deadline &&
               ::IsWindowVisible(dialog)) {
          user.Act();
          ++actions;
          ++heartbeat;
        }
        ::KillTimer(nullptr, timer);
        watch = nullptr;
        recent = user.Recent();
        if (!::IsWindowVisible(dialog)) return;

        // Back to the start: every step undone. An edit still open has no cancel;
        // the first undo commits it into its own cell and then takes it back.
        const HWND grid =
            ::GetWindow(::GetWindow(::GetDlgItem(dialog, IDC_GRID_FRAME), GW_CHILD), GW_CHILD);
        for (int undo = 0; undo < 100000 && !editor->history().AtSentinel(); ++undo) {
          ::SendMessageW(grid, WM_COMMAND, kCmdUndo, 0);
          ++heartbeat;
        }
        afterUndo = Snapshot(*editor, rowsAtStart);
        for (std::int32_t row = rowsAtStart; row < editor->GetRowCount(); ++row) {
          for (std::int32_t col = 1; col < 3; ++col)
            if (!editor->GetCellText(row, col).value_or(u"").empty()) ++textsBelow;
        }
        Click(dialog, IDC_EXIT);
      });
  finished = true;
  watchdog.join();

  ASSERT_TRUE(gridHosted);
  std::printf(
      "random run: seed %u, %d actions, %d message boxes, %d About boxes, %d menus, %d previews\n",
      seed, actions, messages.shown, modal.aboutBoxes, modal.menus, modal.previews);
  EXPECT_EQ(result, IDC_EXIT) << "seed " << seed;
  EXPECT_EQ(actions, wanted) << "the program answers too slowly";
  EXPECT_TRUE(modal.strangers.empty()) << "seed " << seed << ": an unexpected window opened";
  EXPECT_EQ(textsBelow, 0) << "seed " << seed;
  // An insert renumbers every row, the first electrode's row title included, and
  // the history keeps no header texts: that one cell may read "1" after all.
  ASSERT_EQ(afterUndo.size(), start.size());
  const std::size_t firstRowTitle = 3;
  if (afterUndo[firstRowTitle] == u"1") afterUndo[firstRowTitle] = start[firstRowTitle];
  EXPECT_EQ(afterUndo, start) << "seed " << seed << ", the last inputs:\n" << recent;

  // Nothing of the program is left on the screen.
  struct Count {
    int visible = 0;
  } count;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM lParam) {
        if (::IsWindowVisible(window)) ++reinterpret_cast<Count*>(lParam)->visible;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  EXPECT_EQ(count.visible, 0);
}

}  // namespace
}  // namespace dorvane::win32

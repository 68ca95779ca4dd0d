#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/dialog_job.h"
#include "app/win32/main_dialog.h"
#include "gridcontrol/win32/gdi.h"
#include "main_dialog_driver.h"
#include "platform/file_access.h"
#include "platform/utf8.h"
#include "platform/win32/text.h"
#include "resources/resource.h"
#include "survey/finding_text.h"
#include "survey/survey.h"
#include "survey/win32/preview_window.h"
#include "win32_test_support.h"

namespace dorvane::win32 {
namespace {

using testing::ScratchFolder;
using testing::WriteFileBytes;
using namespace testing::dialog;

const std::string kTwoDataLines =
    "Line\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n0\r\n0\r\n0\r\n0";
const std::string kDipoleDipole =
    "DD\r\n1.0\r\n3\r\n2\r\n0\r\n0\r\n0 1 1 10\r\n1 1 1 11\r\n0\r\n0\r\n0\r\n0";
const std::string kOneDataLine = "Line\r\n1.0\r\n1\r\n1\r\n0\r\n0\r\n1 1 10\r\n0\r\n0\r\n0\r\n0";

class MainDialogTest : public ::testing::Test {
 protected:
  MainDialogTest() : files_(messages_) {
    files_.SetFileDialogs(Answer(openAnswers_), Answer(saveAnswers_));
  }

  // Runs the real dialog; `script` drives it from inside its message loop.
  INT_PTR Run(const std::function<void(HWND)>& script) {
    return RunDriven([&] { return RunMainDialog(::GetModuleHandleW(nullptr), messages_, files_); },
                     L"Dorvane1.1", script);
  }

  // Picks `path` with the row's browse button.
  void Browse(HWND dialog, int browseId, const std::filesystem::path& path) {
    openAnswers_.push_back(path.wstring());
    Click(dialog, browseId);
  }

  std::filesystem::path DataFile(const wchar_t* name, const std::string& content) {
    const std::filesystem::path path = folder_ / name;
    WriteFileBytes(path, content);
    return path;
  }

  FileAccess::FileDialog Answer(std::deque<std::wstring>& answers) {
    return [this, &answers](OPENFILENAMEW& request) {
      dialogOwner_ = request.hwndOwner;
      if (answers.empty()) return false;
      const std::wstring chosen = answers.front();
      answers.pop_front();
      if (chosen.size() >= request.nMaxFile) return false;
      std::wcscpy(request.lpstrFile, chosen.c_str());
      return true;
    };
  }

  RecordingWin32Boxes messages_;
  FileAccess files_;
  std::deque<std::wstring> openAnswers_;
  std::deque<std::wstring> saveAnswers_;
  HWND dialogOwner_ = nullptr;
  ScratchFolder folder_;
};

TEST_F(MainDialogTest, StartsInTheMergeModeWithOnlyTheFirstRowsFileControls) {
  const INT_PTR result = Run([](HWND dialog) {
    EXPECT_EQ(WindowText(dialog), L"Dorvane1.1");
    EXPECT_TRUE(IsChecked(dialog, IDC_MODE_MERGE));
    EXPECT_FALSE(IsChecked(dialog, IDC_MODE_SCRIPT2D));
    EXPECT_FALSE(IsChecked(dialog, IDC_MODE_SCRIPT3D));
    EXPECT_TRUE(IsShown(dialog, IDC_ROW_BROWSE));
    EXPECT_TRUE(IsShown(dialog, IDC_ROW_PATH));
    for (int id = IDC_ROW_LOCATION_LABEL; id <= IDC_ROW_DIRECTION_GROUP; ++id)
      EXPECT_FALSE(IsShown(dialog, id)) << id;
    EXPECT_TRUE(IsShown(dialog, IDC_TOPOGRAPHY));
    EXPECT_FALSE(IsChecked(dialog, IDC_TOPOGRAPHY));
    EXPECT_FALSE(IsShown(dialog, IDC_GRID_FRAME));
    EXPECT_EQ(ItemText(dialog, IDC_ROW_X), L"0");
    EXPECT_EQ(ItemText(dialog, IDC_ROW_Y), L"0");
    EXPECT_TRUE(IsChecked(dialog, IDC_ROW_INCREASING));
    EXPECT_TRUE(IsChecked(dialog, IDC_ROW_X_DIRECTION));
    Click(dialog, IDC_EXIT);
  });
  EXPECT_EQ(result, IDC_EXIT);
}

TEST_F(MainDialogTest, TheCloseBoxEndsWithZeroAndEscDoesNotClose) {
  const INT_PTR result = Run([](HWND dialog) {
    PressKey(::GetDlgItem(dialog, IDC_ADD_FILE), VK_ESCAPE);
    EXPECT_TRUE(::IsWindowVisible(dialog));
    ::SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(result, 0);
}

TEST_F(MainDialogTest, ScriptModesShowTheirRowControlsAndClearTheTopographyBox) {
  Run([](HWND dialog) {
    Click(dialog, IDC_TOPOGRAPHY);
    EXPECT_TRUE(IsShown(dialog, IDC_GRID_FRAME));
    const HWND grid = GridWindowOf(dialog);
    ASSERT_NE(grid, nullptr);
    EXPECT_TRUE(::IsWindowVisible(grid));
    RECT frame{};
    ::GetClientRect(::GetDlgItem(dialog, IDC_GRID_FRAME), &frame);
    RECT gridRect{};
    ::GetWindowRect(grid, &gridRect);
    // The grid fills its frame, give or take the borders.
    EXPECT_NEAR(gridRect.right - gridRect.left, frame.right, 4);
    EXPECT_NEAR(gridRect.bottom - gridRect.top, frame.bottom, 4);
    Click(dialog, IDC_TOPOGRAPHY);
    EXPECT_FALSE(IsShown(dialog, IDC_GRID_FRAME));
    Click(dialog, IDC_TOPOGRAPHY);

    Click(dialog, IDC_MODE_SCRIPT2D);
    const std::vector<int> script2dShown = {
        IDC_ROW_BROWSE,     IDC_ROW_PATH,       IDC_ROW_LOCATION_LABEL, IDC_ROW_X,
        IDC_ROW_INCREASING, IDC_ROW_DECREASING, IDC_ROW_X_LABEL,        IDC_ROW_ORDER_GROUP};
    for (int id = IDC_ROW_BROWSE; id <= IDC_ROW_DIRECTION_GROUP; ++id) {
      const bool expected =
          std::find(script2dShown.begin(), script2dShown.end(), id) != script2dShown.end();
      EXPECT_EQ(IsShown(dialog, id), expected) << id;
    }
    EXPECT_FALSE(IsShown(dialog, IDC_TOPOGRAPHY));
    EXPECT_FALSE(IsShown(dialog, IDC_GRID_FRAME));

    Click(dialog, IDC_MODE_SCRIPT3D);
    for (int id = IDC_ROW_BROWSE; id <= IDC_ROW_DIRECTION_GROUP; ++id)
      EXPECT_TRUE(IsShown(dialog, id)) << id;
    EXPECT_FALSE(IsShown(dialog, IDC_TOPOGRAPHY));

    Click(dialog, IDC_MODE_MERGE);
    EXPECT_TRUE(IsShown(dialog, IDC_TOPOGRAPHY));
    EXPECT_FALSE(IsChecked(dialog, IDC_TOPOGRAPHY));
    EXPECT_FALSE(IsShown(dialog, IDC_ROW_X));
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, RowsFillAColumnThenStartAnotherNearTheTopThenStopOnScreen) {
  Run([](HWND dialog) {
    Click(dialog, IDC_DELETE_FILE);  // the first row stays
    EXPECT_NE(::GetDlgItem(dialog, IDC_ROW_BROWSE), nullptr);
    EXPECT_EQ(::GetDlgItem(dialog, 2201), nullptr);

    const RECT first = ItemRect(dialog, IDC_ROW_BROWSE);
    std::vector<RECT> buttons = {first};
    for (int rows = 1; rows < 30; ++rows) {
      Click(dialog, IDC_ADD_FILE);
      const HWND button = ::GetDlgItem(dialog, 2201 + 13 * (rows - 1));
      if (button == nullptr) break;
      buttons.push_back(ItemRect(dialog, 2201 + 13 * (rows - 1)));
    }
    ASSERT_GE(buttons.size(), 3u) << "no second column on this screen";
    ASSERT_LT(buttons.size(), 30u) << "the screen should stop the rows first";
    bool newColumn = false;
    for (std::size_t i = 1; i < buttons.size(); ++i) {
      const RECT& previous = buttons[i - 1];
      const RECT& row = buttons[i];
      if (row.left == previous.left) {
        EXPECT_GT(row.top, previous.bottom) << "row " << i;
      } else {
        EXPECT_GT(row.left, previous.right) << "row " << i;
        EXPECT_LT(row.top, first.top) << "a new column starts near the top";
        newColumn = true;
      }
    }
    EXPECT_TRUE(newColumn);
    // Another press adds nothing.
    const int nextId = 2201 + 13 * static_cast<int>(buttons.size() - 1);
    Click(dialog, IDC_ADD_FILE);
    EXPECT_EQ(::GetDlgItem(dialog, nextId), nullptr);

    // "预览" stays clear of the rows that start a new column beside the buttons.
    const RECT preview = ItemRect(dialog, IDC_PREVIEW);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      RECT rect{};
      RECT overlap{};
      ::GetWindowRect(child, &rect);
      ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
      if (child != ::GetDlgItem(dialog, IDC_PREVIEW) && ::IsWindowVisible(child)) {
        EXPECT_FALSE(::IntersectRect(&overlap, &rect, &preview)) << ::GetDlgCtrlID(child);
      }
    }

    // The dialog stays whole on the screen, and the grid frame beside the last column.
    RECT window{};
    ::GetWindowRect(dialog, &window);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(window.left, work.left);
    EXPECT_LE(window.right, work.right);
    EXPECT_LE(window.bottom, work.bottom);
    EXPECT_GT(ItemRect(dialog, IDC_GRID_FRAME).left, buttons.back().right);
    RECT client{};
    ::GetClientRect(dialog, &client);
    const int lastGroup = 2201 + 13 * static_cast<int>(buttons.size() - 2) + 12;
    EXPECT_LE(ItemRect(dialog, lastGroup).bottom, client.bottom);
    Click(dialog, IDC_EXIT);
  });
}

HWND maximisedAtStart = nullptr;

LRESULT CALLBACK SeeMaximising(int code, WPARAM wParam, LPARAM lParam) {
  const auto* seen = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && seen->message == WM_SIZE && seen->wParam == SIZE_MAXIMIZED)
    maximisedAtStart = seen->hwnd;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainDialogTest, StartsUnmaximisedAndRowsAddedMaximisedStayInTheRestoredDialog) {
  maximisedAtStart = nullptr;
  const HHOOK hook =
      ::SetWindowsHookExW(WH_CALLWNDPROC, SeeMaximising, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Run([&](HWND dialog) {
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(maximisedAtStart, nullptr) << "the dialog showed maximised while it started";

    ::ShowWindow(dialog, SW_MAXIMIZE);
    RECT maximised{};
    ::GetClientRect(dialog, &maximised);
    int rows = 1;
    for (; rows < 30; ++rows) {
      Click(dialog, IDC_ADD_FILE);
      const int group = 2201 + 13 * (rows - 1) + 12;
      if (::GetDlgItem(dialog, group) == nullptr) break;
      // The room measured at start-up is the maximised client area.
      EXPECT_LE(ItemRect(dialog, group).bottom, maximised.bottom) << "row " << rows;
    }
    ASSERT_GT(rows, 3);
    const int lastGroup = 2201 + 13 * (rows - 2) + 12;

    ::ShowWindow(dialog, SW_RESTORE);
    RECT client{};
    ::GetClientRect(dialog, &client);
    EXPECT_LE(ItemRect(dialog, lastGroup).bottom, client.bottom);
    EXPECT_LE(ItemRect(dialog, IDC_GRID_FRAME).right, client.right);
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, TabReachesTheTopographyGrid) {
  Run([](HWND dialog) {
    Click(dialog, IDC_TOPOGRAPHY);
    const HWND grid = GridWindowOf(dialog);
    ::SetFocus(::GetDlgItem(dialog, IDC_TOPOGRAPHY));
    for (int press = 0; press < 15 && ::GetFocus() != grid; ++press) PressKey(::GetFocus(), VK_TAB);
    EXPECT_EQ(::GetFocus(), grid);
    PressKey(grid, VK_TAB);
    EXPECT_NE(::GetFocus(), grid) << "and leaves it again";
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, ANewRowTakesTheNextIdsTheFirstRowsCoordinatesAndTheFirstRadios) {
  Run([](HWND dialog) {
    Click(dialog, IDC_MODE_SCRIPT3D);
    SetItemText(dialog, IDC_ROW_X, L"12");
    SetItemText(dialog, IDC_ROW_Y, L"7.5");
    Click(dialog, IDC_ROW_DECREASING);
    Click(dialog, IDC_ROW_Y_DIRECTION);
    EXPECT_TRUE(IsChecked(dialog, IDC_ROW_DECREASING));
    EXPECT_FALSE(IsChecked(dialog, IDC_ROW_INCREASING));

    Click(dialog, IDC_ADD_FILE);
    for (int id = 2201; id <= 2213; ++id) {
      const HWND control = ::GetDlgItem(dialog, id);
      ASSERT_NE(control, nullptr) << id;
      EXPECT_EQ(ClassName(control), ClassName(::GetDlgItem(dialog, id - 2201 + IDC_ROW_BROWSE)));
      EXPECT_TRUE(::IsWindowVisible(control)) << id;  // mode 2 shows every position
    }
    EXPECT_EQ(::GetDlgItem(dialog, 2214), nullptr);
    EXPECT_EQ(ItemText(dialog, 2202), L"");
    EXPECT_EQ(ItemText(dialog, 2203), L"首电极的坐标位置");
    EXPECT_EQ(ItemText(dialog, 2204), L"12");
    EXPECT_EQ(ItemText(dialog, 2205), L"7.5");
    EXPECT_TRUE(IsChecked(dialog, 2206));
    EXPECT_FALSE(IsChecked(dialog, 2207));
    EXPECT_TRUE(IsChecked(dialog, 2208));
    EXPECT_FALSE(IsChecked(dialog, 2209));
    EXPECT_EQ(::SendDlgItemMessageW(dialog, 2204, WM_GETFONT, 0, 0),
              ::SendDlgItemMessageW(dialog, IDC_ROW_X, WM_GETFONT, 0, 0));

    // The new row's radios answer by themselves, not the first row's.
    Click(dialog, 2207);
    EXPECT_TRUE(IsChecked(dialog, 2207));
    EXPECT_FALSE(IsChecked(dialog, 2206));
    EXPECT_TRUE(IsChecked(dialog, IDC_ROW_DECREASING));

    Click(dialog, IDC_DELETE_FILE);
    EXPECT_EQ(::GetDlgItem(dialog, 2201), nullptr);
    Click(dialog, IDC_ADD_FILE);
    EXPECT_NE(::GetDlgItem(dialog, 2201), nullptr);
    EXPECT_NE(::GetDlgItem(dialog, 2213), nullptr);
    EXPECT_EQ(::GetDlgItem(dialog, 2214), nullptr);
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, ARefusedFileIsReportedAndTheRowKeepsItsPath) {
  const auto good = DataFile(L"good.dat", kTwoDataLines);
  const auto bad = DataFile(L"bad.dat", kOneDataLine);
  Run([&](HWND dialog) {
    EXPECT_EQ(messages_.OwnerOf(MessageOwner::MainDialog), dialog);
    Browse(dialog, IDC_ROW_BROWSE, good);
    EXPECT_EQ(ItemText(dialog, IDC_ROW_PATH), good.wstring());
    EXPECT_EQ(dialogOwner_, dialog);  // of the open dialog
    EXPECT_TRUE(messages_.shown.empty());
    Browse(dialog, IDC_ROW_BROWSE, bad);
    EXPECT_EQ(ItemText(dialog, IDC_ROW_PATH), good.wstring());
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, u"非反演格式或格式错误");
    EXPECT_EQ(messages_.shown[0].caption, u"错误");

    // A path longer than a field holds is refused before the file is opened.
    Browse(dialog, IDC_ROW_BROWSE, folder_ / std::wstring(1100, L'x'));
    EXPECT_EQ(ItemText(dialog, IDC_ROW_PATH), good.wstring());
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[1].text, u"文件路径过长");
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, ScriptsAreWrittenFromTheRowsControls) {
  const auto a = DataFile(L"a.dat", kTwoDataLines);
  const auto b = DataFile(L"b.dat", kTwoDataLines);
  const std::wstring output = (folder_ / L"long.dat").wstring();
  const std::string prefix = ScratchPathBytes(folder_.path());
  Run([&](HWND dialog) {
    Click(dialog, IDC_MODE_SCRIPT3D);
    Browse(dialog, IDC_ROW_BROWSE, a);
    SetItemText(dialog, IDC_ROW_X, L"0");
    SetItemText(dialog, IDC_ROW_Y, L" 5 m");
    Click(dialog, IDC_ADD_FILE);
    Click(dialog, IDC_ADD_FILE);  // a row without a file is passed over
    Browse(dialog, 2214, b);
    SetItemText(dialog, 2217, L"100");
    Click(dialog, 2220);  // positions decreasing
    Click(dialog, 2222);  // Y direction
    saveAnswers_.push_back(output);
    Click(dialog, IDC_OUTPUT_BROWSE);
    EXPECT_EQ(ItemText(dialog, IDC_OUTPUT_PATH), output);
    Click(dialog, IDC_RUN_JOB);

    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, u"文件合并成功,位置在：");
    EXPECT_EQ(testing::ReadFileBytes(folder_ / L"核对2D到3D的脚本文件.TXT"),
              "Conversion of RES2DINV data files\r\nNumber of files to collate\r\n2\r\n"
              "File 1 parameters\r\nName of data file in RES2DINV format\r\n" +
                  prefix +
                  "a.dat\r\nX and Y location of first electrode along this line\r\n"
                  "0, 5 m\r\nLine direction (0=X,1=Y)\r\n0\r\n"
                  "Line sign (0=positive,1=negative)\r\n0\r\n"
                  "File 2 parameters\r\nName of data file in RES2DINV format\r\n" +
                  prefix +
                  "b.dat\r\nX and Y location of first electrode along this line\r\n"
                  "100, 5 m\r\nLine direction (0=X,1=Y)\r\n1\r\n"
                  "Line sign (0=positive,1=negative)\r\n1\r\n"
                  "Name of Output file in RES3DINV format\r\n" +
                  prefix + "long.dat\r\nEnd of file");

    Click(dialog, IDC_MODE_SCRIPT2D);
    Click(dialog, IDC_RUN_JOB);
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(
        testing::ReadFileBytes(folder_ / L"连接为2D长断面的脚本文件.TXT"),
        "Concatenation of several data files in RES2DINV\r\nNumber of files to concatenate\r\n"
        "2\r\nFile 1 parameters\r\nName of data file in RES2DINV format\r\n" +
            prefix +
            "a.dat\r\nX location of first electrode along this line\r\n0\r\n"
            "Line sign (0=positive,1=negative)\r\n0\r\n"
            "File 2 parameters\r\nName of data file in RES2DINV format\r\n" +
            prefix +
            "b.dat\r\nX location of first electrode along this line\r\n100\r\n"
            "Line sign (0=positive,1=negative)\r\n1\r\n"
            "Name of Output file in RES2DINV format\r\n" +
            prefix + "long.dat\r\nEnd of file");
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, AMergeWithoutTopographyWritesTheJoinedFile) {
  const auto a = DataFile(L"a.dat", kTwoDataLines);
  const auto b = DataFile(L"b.dat", "B\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n3 1 12\r\n4 1 13\r\n0\r\n0");
  const std::wstring output = (folder_ / L"merged.dat").wstring();
  Run([&](HWND dialog) {
    Click(dialog, IDC_RUN_JOB);  // nothing chosen yet: nothing happens
    EXPECT_TRUE(messages_.shown.empty());
    Browse(dialog, IDC_ROW_BROWSE, a);
    Click(dialog, IDC_ADD_FILE);
    Browse(dialog, 2201, b);
    saveAnswers_.push_back(output);
    Click(dialog, IDC_OUTPUT_BROWSE);
    Click(dialog, IDC_RUN_JOB);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, u"文件合并成功");
    EXPECT_EQ(testing::ReadFileBytes(output),
              "Line\r\n1.0\r\n1\r\n4\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n4 1 13\r\n"
              "0\r\n0\r\n0\r\n0");
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, AWennerFileThenADipoleDipoleFileAreAskedAboutAndNoKeepsTheOutput) {
  const auto a = DataFile(L"a.dat", kTwoDataLines);
  const auto dipole = DataFile(
      L"d.dat", "D\r\n1.0\r\n3\r\n2\r\n0\r\n0\r\n3 1 1 12\r\n4 1 2 13\r\n0\r\n0\r\n0\r\n0");
  const auto b = DataFile(L"b.dat", "B\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n3 1 12\r\n4 1 13\r\n0\r\n0");
  const auto output = DataFile(L"merged.dat", "an earlier merge");
  Run([&](HWND dialog) {
    Browse(dialog, IDC_ROW_BROWSE, a);
    Click(dialog, IDC_ADD_FILE);
    Browse(dialog, 2201, dipole);
    saveAnswers_.push_back(output.wstring());
    Click(dialog, IDC_OUTPUT_BROWSE);
    Click(dialog, IDC_RUN_JOB);  // the recorded box answers No
    ASSERT_EQ(messages_.shown.size(), 1u);
    const MessageRequest& question = messages_.shown[0];
    EXPECT_EQ(question.caption, u"合并前检查");
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_TRUE(question.secondButtonDefault);
    EXPECT_EQ(question.owner, MessageOwner::MainDialog);
    EXPECT_NE(question.text.find(u"d.dat"), std::u16string::npos);
    EXPECT_TRUE(question.text.ends_with(u"\n\n是否仍然继续？"));
    EXPECT_EQ(testing::ReadFileBytes(output), "an earlier merge");

    // Two Wenner files join without a question.
    Browse(dialog, 2201, b);
    Click(dialog, IDC_RUN_JOB);
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[1].caption, u"文件合并成功");
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, AMergeWithTopographyTypedIntoTheGrid) {
  const auto a = DataFile(L"a.dat", kTwoDataLines);
  const std::wstring output = (folder_ / L"merged.dat").wstring();
  Run([&](HWND dialog) {
    Browse(dialog, IDC_ROW_BROWSE, a);
    saveAnswers_.push_back(output);
    Click(dialog, IDC_OUTPUT_BROWSE);
    Click(dialog, IDC_TOPOGRAPHY);
    Click(dialog, IDC_RUN_JOB);  // the first electrode's elevation is missing
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, u"首电极地形数据无效");
    EXPECT_EQ(testing::ReadFileBytes(output), "<missing>");

    TypeIntoGrid(dialog, {L"0"});
    // A value still open in the cell editor counts when "合并/创建" is pressed.
    PressGridKey(dialog, VK_RETURN);
    for (const wchar_t c : std::wstring(L"5")) ::SendMessageW(::GetFocus(), WM_CHAR, c, 1);
    Click(dialog, IDC_RUN_JOB);
    EXPECT_EQ(messages_.shown.size(), 2u);  // the elevation is still missing
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, IDC_RUN_JOB)) << "the keyboard stays put";
    for (const UINT key : {VK_RIGHT, VK_UP, VK_UP}) PressGridKey(dialog, key);
    TypeIntoGrid(dialog, {L"100"});
    // Enter reaches the grid through the dialog's keyboard handling too: it opens
    // and closes the cell editor and never presses "合并/创建".
    const HWND grid = GridWindowOf(dialog);
    ::SetFocus(grid);
    PressKey(grid, VK_RETURN);
    const HWND edit = ::GetFocus();
    ASSERT_EQ(::GetParent(edit), grid);
    for (const wchar_t c : std::wstring(L"101.5")) ::SendMessageW(edit, WM_CHAR, c, 1);
    PressKey(edit, VK_RETURN);
    EXPECT_EQ(messages_.shown.size(), 2u);
    const GridEditor* editor = TopographyEditorOf(dialog);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetCellText(2, 1), u"5");
    EXPECT_EQ(editor->GetCellText(2, 2), u"101.5");
    Click(dialog, IDC_RUN_JOB);
    ASSERT_EQ(messages_.shown.size(), 3u);
    EXPECT_EQ(messages_.shown[2].caption, u"文件合并成功");
    EXPECT_EQ(testing::ReadFileBytes(output),
              "Line\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n"
              "2\r\n2\r\n0.000  100.000\r\n5.000  101.500\r\n1\r\n0\r\n0\r\n0\r\n0");
    Click(dialog, IDC_EXIT);
  });
}

// The preview window's client area as it draws itself.
std::vector<std::uint32_t> ClientPixels(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  const WindowDc screen(window);
  const DibSection copy(screen.get(), client.right, client.bottom);
  if (!copy) return {};
  ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(copy.dc()), PRF_CLIENT);
  ::GdiFlush();
  return {copy.pixels(), copy.pixels() + client.right * client.bottom};
}

std::string Narrow(const std::wstring& text) {
  return Utf16ToUtf8(FromWide(text));
}

// The findings list, a row a line: its level, then the row as the command line
// prints a finding, with the full path of the file the row names.
std::vector<std::string> ListedFindings(HWND window,
                                        const std::vector<std::filesystem::path>& inputs) {
  const HWND list = ::GetDlgItem(window, IDC_PREVIEW_FINDINGS);
  const auto cell = [list](int row, int column) {
    std::array<wchar_t, 2048> text{};
    ListView_GetItemText(list, row, column, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data());
  };
  std::vector<std::string> lines;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    std::string line = Narrow(cell(row, 0)) + " ";
    const std::wstring file = cell(row, 1);
    if (!file.empty()) {
      const auto named = std::find_if(inputs.begin(), inputs.end(), [&](const auto& path) {
        return path.filename().wstring() == file;
      });
      const std::wstring number = cell(row, 2);
      line += (named != inputs.end() ? Narrow(named->wstring()) : "?" + Narrow(file)) + ":" +
              (number.empty() ? "0" : Narrow(number)) + ": ";
    }
    lines.push_back(line + Narrow(cell(row, 4)) + ": " + Narrow(cell(row, 3)));
  }
  return lines;
}

// What `dorvane preview` prints for the rows, each finding after its level.
std::vector<std::string> CommandLineFindings(MergeMode mode,
                                             const std::vector<std::filesystem::path>& inputs) {
  app::DialogControlState state;
  state.mode = mode;
  for (const auto& path : inputs) {
    app::RowControlState row;
    row.path = FromWide(path.wstring());
    row.x = row.y = u"0";
    state.rows.push_back(row);
  }
  const SurveyReport report = AnalyseSurvey(app::BuildMergeJob(state), nullptr, nullptr);
  std::vector<std::string> lines;
  for (const Finding& finding : report.findings)
    lines.push_back((finding.level == FindingLevel::Error ? "错误 " : "警告 ") +
                    FindingLine(report, finding));
  return lines;
}

TEST_F(MainDialogTest, ThePreviewListsWhatTheCommandLineFindsAndRedrawsOnResizeAndToggle) {
  const std::vector<std::filesystem::path> inputs = {DataFile(L"wenner.dat", kTwoDataLines),
                                                     DataFile(L"dipole.dat", kDipoleDipole),
                                                     DataFile(L"gone.dat", kTwoDataLines)};
  Run([&](HWND dialog) {
    Browse(dialog, IDC_ROW_BROWSE, inputs[0]);
    Click(dialog, IDC_ADD_FILE);
    Browse(dialog, 2201, inputs[1]);
    Click(dialog, IDC_ADD_FILE);
    Browse(dialog, 2214, inputs[2]);
    std::filesystem::remove(inputs[2]);  // chosen, then gone before the preview
    const std::pair<int, MergeMode> modes[] = {{IDC_MODE_MERGE, MergeMode::LongProfileMerge},
                                               {IDC_MODE_SCRIPT2D, MergeMode::ConcatenationScript},
                                               {IDC_MODE_SCRIPT3D, MergeMode::CollateScript}};
    for (const auto& [radio, mode] : modes) {
      Click(dialog, radio);
      const std::vector<std::string> expected = CommandLineFindings(mode, inputs);
      bool shown = false;
      DriveNextDialog(kPreviewTitle, [&, mode](HWND window) {
        shown = true;
        EXPECT_FALSE(::IsWindowEnabled(dialog));
        const std::vector<std::string> listed = ListedFindings(window, inputs);
        EXPECT_EQ(listed, expected);
        EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [](const std::string& line) {
          return line.find("gone.dat") != std::string::npos;
        })) << "the file that cannot be read";

        const std::vector<std::uint32_t> before = ClientPixels(window);
        if (mode == MergeMode::LongProfileMerge) {
          Click(window, IDC_PREVIEW_COLOURING);
          EXPECT_EQ(ItemText(window, IDC_PREVIEW_COLOURING), L"按文件着色");
          EXPECT_NE(ClientPixels(window), before) << "the toggle repaints";
          Click(window, IDC_PREVIEW_COLOURING);
          EXPECT_EQ(ClientPixels(window), before);
        }
        RECT frame{};
        ::GetWindowRect(window, &frame);
        ::SetWindowPos(window, nullptr, 0, 0, (frame.right - frame.left) * 3 / 4,
                       (frame.bottom - frame.top) * 3 / 4, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages(0);
        const std::vector<std::uint32_t> resized = ClientPixels(window);
        EXPECT_LT(resized.size(), before.size());
        EXPECT_GT(std::set<std::uint32_t>(resized.begin(), resized.end()).size(), 8u)
            << "the picture is drawn";

        // Hovering a datum names it in the status line.
        const HWND status = ::GetDlgItem(window, IDC_PREVIEW_STATUS);
        const std::wstring hint = WindowText(status);
        RECT client{};
        ::GetClientRect(window, &client);
        for (int y = 0; y < client.bottom && WindowText(status) == hint; y += 3) {
          for (int x = 0; x < client.right && WindowText(status) == hint; x += 3)
            ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        }
        const std::wstring hovered = WindowText(status);
        EXPECT_TRUE(hovered.find(L"wenner.dat") != std::wstring::npos ||
                    hovered.find(L"dipole.dat") != std::wstring::npos)
            << Narrow(hovered);

        PressKey(::GetDlgItem(window, IDC_PREVIEW_FINDINGS), VK_ESCAPE);
      });
      Click(dialog, IDC_PREVIEW);
      EXPECT_TRUE(shown);
      EXPECT_TRUE(::IsWindowEnabled(dialog));
      EXPECT_EQ(::FindWindowW(kPreviewWindowClass, nullptr), nullptr);
    }
    EXPECT_TRUE(messages_.shown.empty());
    Click(dialog, IDC_EXIT);
  });
}

HWND NoGridWindow(GridControl&, HINSTANCE, HWND, int, int, int, int) {
  return nullptr;
}

TEST_F(MainDialogTest, WithoutAGridTheJobsRunWithoutTopography) {
  const auto a = DataFile(L"a.dat", kTwoDataLines);
  const std::wstring output = (folder_ / L"merged.dat").wstring();
  const INT_PTR result = RunDriven(
      [&] { return RunMainDialog(::GetModuleHandleW(nullptr), messages_, files_, NoGridWindow); },
      L"Dorvane1.1",
      [&](HWND dialog) {
        ASSERT_EQ(messages_.shown.size(), 1u);  // the hosting failure, once
        EXPECT_EQ(messages_.shown[0].caption, u"错误提示");
        EXPECT_EQ(TopographyEditorOf(dialog), nullptr);
        Click(dialog, IDC_TOPOGRAPHY);
        EXPECT_FALSE(IsChecked(dialog, IDC_TOPOGRAPHY));
        EXPECT_FALSE(IsShown(dialog, IDC_GRID_FRAME));
        Browse(dialog, IDC_ROW_BROWSE, a);
        saveAnswers_.push_back(output);
        Click(dialog, IDC_OUTPUT_BROWSE);
        Click(dialog, IDC_ADD_FILE);  // moves the frame of the missing grid
        Click(dialog, IDC_RUN_JOB);
        ASSERT_EQ(messages_.shown.size(), 2u);
        EXPECT_EQ(messages_.shown[1].caption, u"文件合并成功");
        EXPECT_EQ(testing::ReadFileBytes(output),
                  "Line\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n0\r\n0\r\n0\r\n0");
        Click(dialog, IDC_EXIT);
      });
  EXPECT_EQ(result, IDC_EXIT);
}

TEST_F(MainDialogTest, DroppedFilesFillTheEmptyRowsInNameOrder) {
  const auto line2 = DataFile(L"line2.dat", kTwoDataLines);
  const auto line10 = DataFile(L"line10.dat", kTwoDataLines);
  const auto bad = DataFile(L"bad.dat", kOneDataLine);
  Run([&](HWND dialog) {
    DropFiles(dialog, {line10.wstring(), bad.wstring(), line2.wstring(), folder_.path().wstring()});
    ASSERT_EQ(messages_.shown.size(), 1u);  // bad.dat; the folder is passed over
    EXPECT_EQ(messages_.shown[0].text, u"非反演格式或格式错误");
    EXPECT_EQ(ItemText(dialog, IDC_ROW_PATH), line2.wstring());
    EXPECT_EQ(ItemText(dialog, 2202), line10.wstring());
    EXPECT_EQ(::GetDlgItem(dialog, 2214), nullptr);
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, ThePathTooltipShowsTheWholePath) {
  const std::wstring longName = std::wstring(120, L'p') + L".dat";
  const auto file = DataFile(longName.c_str(), kTwoDataLines);
  Run([&](HWND dialog) {
    Browse(dialog, IDC_ROW_BROWSE, file);
    const std::wstring shown = HoverForTooltip(dialog, ::GetDlgItem(dialog, IDC_ROW_PATH));
    EXPECT_EQ(shown, file.wstring());
    Click(dialog, IDC_EXIT);
  });
}

TEST_F(MainDialogTest, TheAboutBoxShowsTheVersionPointsToTheGuideAndClosesWithEsc) {
  std::wstring version;
  std::wstring address;
  Run([&](HWND dialog) {
    DriveNextDialog(L"关于 Dorvane", [&](HWND about) {
      version = ItemText(about, IDC_ABOUT_VERSION);
      address = ItemText(about, IDC_ABOUT_ADDRESS);
      // No guide beside the test program: the link says so.
      const HWND link = ::GetDlgItem(about, IDC_ABOUT_GUIDE);
      ::SendMessageW(about, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_GUIDE, STN_CLICKED),
                     reinterpret_cast<LPARAM>(link));
      PressKey(::GetFocus(), VK_ESCAPE);
    });
    Click(dialog, IDC_HELP_ABOUT);
    EXPECT_TRUE(::IsWindowVisible(dialog));
    Click(dialog, IDC_EXIT);
  });
  EXPECT_EQ(version, L"Dorvane1.1");
  std::wstring program(MAX_PATH, L'\0');
  program.resize(::GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
  const std::wstring guide = std::filesystem::path(program).replace_filename(L"使用说明.txt");
  ASSERT_FALSE(std::filesystem::exists(guide));
  EXPECT_EQ(address, guide);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, u"找不到使用说明：" + FromWide(guide));
}

// A close request reaches the dialog through a message box's own loop (taskbar,
// End task); the command that showed the box goes on with the grid afterwards.
TEST_F(MainDialogTest, ACloseDuringABoxEndsTheDialogOnlyAfterTheCommand) {
  const auto a = DataFile(L"a.dat", kTwoDataLines);
  const auto b = DataFile(L"b.dat", kTwoDataLines);
  const struct {
    const char* name;
    std::function<void(HWND dialog, GridEditor& editor)> start;  // shows the box
    const wchar_t* caption;
    int answer;
  } cases[] = {
      {"deleting every row",
       [](HWND dialog, GridEditor& editor) {
         editor.SelectRegion({1, editor.GetRowCount() - 1, 1, 2});
         ::SendMessageW(GridWindowOf(dialog), WM_COMMAND, kCmdDeleteRows, 0);
       },
       L"警告", IDYES},
      {"inserting past the capacity",
       [](HWND dialog, GridEditor& editor) {
         editor.SetRowCount(editor.RowCapacity());
         editor.SelectRegion({1, 2, 1, 1});
         ::SendMessageW(GridWindowOf(dialog), WM_COMMAND, kCmdInsertRows, 0);
       },
       L"提示", IDYES},
      {"a merge whose input changed",
       [&](HWND dialog, GridEditor&) {
         Browse(dialog, IDC_ROW_BROWSE, a);
         Click(dialog, IDC_ADD_FILE);
         Browse(dialog, 2201, b);
         saveAnswers_.push_back((folder_ / L"merged.dat").wstring());
         Click(dialog, IDC_OUTPUT_BROWSE);
         WriteFileBytes(a, kOneDataLine);  // a format box, then b's merge reads the grid
         Click(dialog, IDC_RUN_JOB);
       },
       L"错误", IDOK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(a, kTwoDataLines);
    messages_.shown.clear();
    messages_.realBoxes = 1;
    bool answered = false;
    const INT_PTR result = Run([&](HWND dialog) {
      Click(dialog, IDC_TOPOGRAPHY);
      GridEditor* editor = TopographyEditorOf(dialog);
      ASSERT_NE(editor, nullptr);
      const HWND grid = GridWindowOf(dialog);
      DriveNextDialog(c.caption, [&, dialog, grid](HWND) {
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        // The box's loop delivers the close before it runs the next script.
        DriveNextDialog(c.caption, [&, grid](HWND box) {
          EXPECT_TRUE(::IsWindow(grid)) << "the grid is still in use";
          answered = true;
          ::SendMessageW(box, WM_COMMAND, c.answer, 0);
        });
      });
      c.start(dialog, *editor);
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(result, 0) << "ended by the close request";
  }
}

}  // namespace
}  // namespace dorvane::win32

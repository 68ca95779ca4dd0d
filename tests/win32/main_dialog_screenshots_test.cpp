#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/win32/main_dialog.h"
#include "grid/grid_editor.h"
#include "main_dialog_driver.h"
#include "platform/file_access.h"
#include "resources/resource.h"
#include "survey/win32/preview_window.h"

// The pictures of the user guide, taken from the real dialog on the example
// survey: scripts/make-screenshots runs this with the folders to use.
namespace dorvane::win32 {
namespace {

using namespace testing::dialog;
namespace fs = std::filesystem;

fs::path FolderFromEnvironment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? fs::path(value) : fs::path();
}

// The rows of a topography table: position and elevation.
std::vector<std::pair<std::u16string, std::u16string>> ReadTable(const fs::path& file) {
  std::vector<std::pair<std::u16string, std::u16string>> rows;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    rows.emplace_back(std::u16string(line.begin(), line.begin() + tab),
                      std::u16string(line.begin() + tab + 1, line.end()));
  }
  return rows;
}

TEST(MainDialogScreenshots, DISABLED_ForTheGuide) {
  const fs::path examples = FolderFromEnvironment(L"DORVANE_EXAMPLES");
  const fs::path out = FolderFromEnvironment(L"DORVANE_SCREENSHOTS");
  ASSERT_FALSE(examples.empty());
  ASSERT_FALSE(out.empty());
  RecordingWin32Boxes messages;
  FileAccess files(messages);
  std::deque<std::wstring> answers;
  const auto answer = [&answers](OPENFILENAMEW& request) {
    if (answers.empty()) return false;
    std::wcscpy(request.lpstrFile, answers.front().c_str());
    answers.pop_front();
    return true;
  };
  files.SetFileDialogs(answer, answer);

  const auto browse = [&](HWND dialog, int id, const fs::path& path) {
    answers.push_back(path.wstring());
    Click(dialog, id);
  };
  // The preview of the dialog's job, at a size that suits the guide's page.
  const auto preview = [&](HWND dialog, const wchar_t* name, bool byValue) {
    DriveNextDialog(kPreviewTitle, [&, name, byValue](HWND window) {
      ::SetWindowPos(window, nullptr, 0, 0, 1000, 720, SWP_NOMOVE | SWP_NOZORDER);
      if (byValue) Click(window, IDC_PREVIEW_COLOURING);
      PumpMessages(100);
      // The status line names the first datum the mouse meets from the top left.
      const HWND status = ::GetDlgItem(window, IDC_PREVIEW_STATUS);
      const std::wstring hint = WindowText(status);
      RECT client{};
      ::GetClientRect(window, &client);
      for (int y = 0; y < client.bottom && WindowText(status) == hint; y += 3) {
        for (int x = 0; x < client.right && WindowText(status) == hint; x += 3)
          ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
      }
      PumpMessages(300);
      EXPECT_TRUE(SaveWindowImage(window, out / name));
      ::SendMessageW(window, WM_CLOSE, 0, 0);
    });
    Click(dialog, IDC_PREVIEW);
  };
  RunDriven([&] { return RunMainDialog(::GetModuleHandleW(nullptr), messages, files); },
            L"Dorvane1.1",
            [&](HWND dialog) {
              browse(dialog, IDC_OUTPUT_BROWSE, L"D:\\survey\\long-profile.dat");
              browse(dialog, IDC_ROW_BROWSE, examples / L"line1.dat");
              Click(dialog, IDC_ADD_FILE);
              browse(dialog, 2201, examples / L"line2.dat");
              Click(dialog, IDC_ADD_FILE);
              browse(dialog, 2214, examples / L"line3.dat");
              PumpMessages(300);
              EXPECT_TRUE(SaveWindowImage(dialog, out / L"dialog-merge.bmp"));

              Click(dialog, IDC_TOPOGRAPHY);
              TypeIntoGrid(dialog, {L"0", L"10", L"20", L"30", L"40", L"50"});
              PressGridKey(dialog, VK_RIGHT);
              for (int up = 0; up < 6; ++up) PressGridKey(dialog, VK_UP);
              TypeIntoGrid(dialog, {L"152", L"153.07", L"154.08", L"154.99", L"155.74", L"156.3"});
              for (int up = 0; up < 3; ++up) PressGridKey(dialog, VK_UP);
              PumpMessages(300);
              EXPECT_TRUE(SaveWindowImage(dialog, out / L"dialog-topography.bmp"));
              // The whole profile's topography, as pasted from a spreadsheet.
              GridEditor* editor = TopographyEditorOf(dialog);
              ASSERT_NE(editor, nullptr);
              const auto table = ReadTable(examples / L"topography.txt");
              ASSERT_GT(table.size(), 6u);
              for (std::size_t k = 0; k < table.size(); ++k) {
                editor->SetCellText(static_cast<std::int32_t>(k + 1), 1, table[k].first);
                editor->SetCellText(static_cast<std::int32_t>(k + 1), 2, table[k].second);
              }
              preview(dialog, L"preview-profile.bmp", true);
              for (std::size_t k = 6; k < table.size(); ++k) {
                editor->SetCellText(static_cast<std::int32_t>(k + 1), 1, u"");
                editor->SetCellText(static_cast<std::int32_t>(k + 1), 2, u"");
              }

              // More lines than one column holds: the grid moves beside the new column.
              for (int row = 3; row < 5; ++row) {
                Click(dialog, IDC_ADD_FILE);
                browse(dialog, 2201 + 13 * (row - 1), examples / L"line1.dat");
              }
              PumpMessages(300);
              EXPECT_TRUE(SaveWindowImage(dialog, out / L"dialog-columns.bmp"));
              Click(dialog, IDC_DELETE_FILE);
              Click(dialog, IDC_DELETE_FILE);
              Click(dialog, IDC_TOPOGRAPHY);

              Click(dialog, IDC_MODE_SCRIPT2D);
              SetItemText(dialog, 2204, L"235");
              SetItemText(dialog, 2217, L"470");
              PumpMessages(300);
              EXPECT_TRUE(SaveWindowImage(dialog, out / L"dialog-script2d.bmp"));
              preview(dialog, L"preview-script2d.bmp", false);

              Click(dialog, IDC_MODE_SCRIPT3D);
              SetItemText(dialog, 2204, L"0");
              SetItemText(dialog, 2217, L"0");
              SetItemText(dialog, 2205, L"20");
              SetItemText(dialog, 2218, L"40");
              PumpMessages(300);
              EXPECT_TRUE(SaveWindowImage(dialog, out / L"dialog-script3d.bmp"));
              preview(dialog, L"preview-plan.bmp", false);

              DriveNextDialog(L"关于 Dorvane", [&](HWND about) {
                PumpMessages(300);
                EXPECT_TRUE(SaveWindowImage(about, out / L"dialog-about.bmp"));
                PressKey(::GetFocus(), VK_ESCAPE);
              });
              Click(dialog, IDC_HELP_ABOUT);
              Click(dialog, IDC_EXIT);
            });
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace dorvane::win32

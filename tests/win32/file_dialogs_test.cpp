#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <deque>
#include <future>
#include <optional>
#include <utility>

#include "platform/file_access.h"
#include "platform/win32/text.h"
#include "win32_test_support.h"

namespace dorvane::win32 {
namespace {

using namespace std::string_literals;

using testing::RecordingMessageBoxes;
using testing::ScratchFolder;
using testing::U16;
using testing::WriteFileBytes;

// What a dialog was given, copied out of its OPENFILENAMEW.
struct DialogCall {
  HWND owner = nullptr;
  std::wstring filters;
  DWORD filterIndex = 0;
  std::wstring initialName;
  DWORD capacity = 0;
  std::optional<std::wstring> initialFolder;
  std::wstring title;
  std::optional<std::wstring> defaultExtension;
  DWORD flags = 0;
};

std::wstring FilterList(const wchar_t* filters) {
  const wchar_t* end = filters;
  while (*end != L'\0' || end[1] != L'\0') ++end;
  return std::wstring(filters, end + 2);
}

// Answers each dialog with the next scripted path; none means the user cancels.
class ScriptedDialog {
 public:
  FileAccess::FileDialog Function() {
    return [this](OPENFILENAMEW& dialog) -> FileAccess::DialogResult {
      DialogCall call;
      call.owner = dialog.hwndOwner;
      call.filters = FilterList(dialog.lpstrFilter);
      call.filterIndex = dialog.nFilterIndex;
      call.initialName = dialog.lpstrFile;
      call.capacity = dialog.nMaxFile;
      if (dialog.lpstrInitialDir != nullptr) call.initialFolder = dialog.lpstrInitialDir;
      call.title = dialog.lpstrTitle;
      if (dialog.lpstrDefExt != nullptr) call.defaultExtension = dialog.lpstrDefExt;
      call.flags = dialog.Flags;
      calls.push_back(call);

      if (failNext != 0) return FileAccess::DialogResult::Failed(std::exchange(failNext, 0));
      if (answers.empty() || !answers.front()) {
        if (!answers.empty()) answers.pop_front();
        return false;
      }
      const std::wstring chosen = *answers.front();
      answers.pop_front();
      if (chosen.size() >= dialog.nMaxFile) return false;
      std::wcscpy(dialog.lpstrFile, chosen.c_str());
      return true;
    };
  }
  std::deque<std::optional<std::wstring>> answers;
  unsigned long failNext = 0;  // CommDlgExtendedError of the next call
  std::vector<DialogCall> calls;
};

class FileDialogs : public ::testing::Test {
 protected:
  FileDialogs() {
    files_.SetFileDialogs(open_.Function(), save_.Function());
    files_.SetOwnerWindow(owner_);
  }

  static HWND FakeOwner() { return reinterpret_cast<HWND>(0x1234); }

  HWND owner_ = FakeOwner();
  ScriptedDialog open_;
  ScriptedDialog save_;
  RecordingMessageBoxes messages_;
  FileAccess files_{messages_};
};

TEST_F(FileDialogs, OpenDialogStartsInTheFolderLastChosenWithAnEmptyName) {
  open_.answers = {L"D:\\survey\\line1.dat", L"D:\\survey\\line2.dat"};

  EXPECT_EQ(files_.ChooseOpenFile(u"打开res2dinv格式数据文件", kDataFileFilters),
            u"D:\\survey\\line1.dat");
  EXPECT_EQ(files_.ChooseOpenFile(u"打开res2dinv格式数据文件", kDataFileFilters),
            u"D:\\survey\\line2.dat");

  ASSERT_EQ(open_.calls.size(), 2u);
  const DialogCall& first = open_.calls[0];
  EXPECT_EQ(first.owner, FakeOwner());
  EXPECT_EQ(first.filters,
            L"数据文件(*.dat)\0*.dat\0文本文件(*.txt)\0*.txt\0所有文件(*.*)\0*.*\0\0"s);
  EXPECT_EQ(first.filterIndex, 1u);
  EXPECT_EQ(first.initialName, L"");
  EXPECT_EQ(first.capacity, 32768u);
  EXPECT_EQ(first.initialFolder, std::nullopt);
  EXPECT_EQ(first.title, L"打开res2dinv格式数据文件");
  EXPECT_EQ(first.defaultExtension, std::nullopt);
  EXPECT_EQ(first.flags, DWORD{OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR});
  EXPECT_EQ(open_.calls[1].initialFolder, L"D:\\survey");
  EXPECT_EQ(open_.calls[1].initialName, L"");
  EXPECT_TRUE(save_.calls.empty());
}

TEST_F(FileDialogs, SaveDialogKeepsItsOwnFolderAndSetsTheSavePath) {
  open_.answers = {L"D:\\survey\\line1.dat"};
  save_.answers = {L"E:\\results\\long.TXT", L"E:\\results\\other.TXT"};
  files_.ChooseOpenFile(u"打开", kDataFileFilters);

  EXPECT_EQ(files_.ChooseSaveFile(u"输入保存的res2dinv格式数据文件", kDataFileFilters),
            u"E:\\results\\long.TXT");
  EXPECT_EQ(files_.savePath(), u"E:\\results\\long.TXT");
  files_.ChooseSaveFile(u"输入保存的res2dinv格式数据文件", kDataFileFilters);

  ASSERT_EQ(save_.calls.size(), 2u);
  const DialogCall& first = save_.calls[0];
  EXPECT_EQ(first.initialFolder, std::nullopt);
  EXPECT_EQ(first.initialName, L"");
  EXPECT_EQ(first.capacity, 260u);
  EXPECT_EQ(first.defaultExtension, L"TXT");
  EXPECT_EQ(first.flags, DWORD{OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR});
  EXPECT_EQ(first.title, L"输入保存的res2dinv格式数据文件");
  EXPECT_EQ(first.owner, FakeOwner());
  EXPECT_EQ(save_.calls[1].initialFolder, L"E:\\results");
  EXPECT_EQ(files_.savePath(), u"E:\\results\\other.TXT");
}

TEST_F(FileDialogs, CancellingChangesNothingAndSaysNothing) {
  open_.answers = {L"D:\\survey\\line1.dat", std::nullopt, std::nullopt};
  save_.answers = {std::nullopt};
  files_.SetSavePath(u"C:\\old\\merged.dat");
  files_.ChooseOpenFile(u"打开", kDataFileFilters);

  EXPECT_EQ(files_.ChooseSaveFile(u"保存", kDataFileFilters), std::nullopt);
  EXPECT_EQ(files_.ChooseOpenFile(u"打开", kDataFileFilters), std::nullopt);
  EXPECT_EQ(files_.OpenAndMap(u"打开", kDataFileFilters), nullptr);

  EXPECT_EQ(files_.savePath(), u"C:\\old\\merged.dat");
  ASSERT_EQ(open_.calls.size(), 3u);
  EXPECT_EQ(open_.calls[2].initialFolder, L"D:\\survey");
  EXPECT_TRUE(messages_.shown.empty());
}

// A path too long for the dialog's buffer is not a cancel: the user must learn
// why nothing happened.
TEST_F(FileDialogs, AFailedDialogIsReportedAndChangesNothing) {
  const struct {
    unsigned long failure;
    std::u16string text;
  } cases[] = {
      {FNERR_BUFFERTOOSMALL, SystemMessageText(ERROR_FILENAME_EXCED_RANGE)},
      {FNERR_INVALIDFILENAME, SystemMessageText(ERROR_INVALID_NAME)},
      {CDERR_DIALOGFAILURE, u"文件对话框出错，错误代码 0xFFFF"},
  };
  files_.SetSavePath(u"C:\\old\\merged.dat");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failure);
    messages_.shown.clear();
    save_.failNext = c.failure;
    EXPECT_EQ(files_.ChooseSaveFile(u"保存", kDataFileFilters), std::nullopt);
    open_.failNext = c.failure;
    EXPECT_EQ(files_.OpenAndMap(u"打开", kDataFileFilters), nullptr);

    ASSERT_EQ(messages_.shown.size(), 2u);
    for (const MessageRequest& shown : messages_.shown) {
      EXPECT_EQ(shown.text, c.text);
      EXPECT_EQ(shown.caption, u"提示!");
      EXPECT_EQ(shown.owner, MessageOwner::None);
    }
  }
  EXPECT_EQ(files_.savePath(), u"C:\\old\\merged.dat");
}

// The folder a dialog browsed to must not stay in use by the program (a USB
// stick could not be ejected).
TEST(RealFileDialogs, KeepTheCurrentFolder) {
  ScratchFolder folder;
  const std::filesystem::path chosen = folder / L"line1.dat";
  WriteFileBytes(chosen, "line 1\r\n");
  wchar_t before[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, before);
  RecordingMessageBoxes messages;
  FileAccess files(messages);
  const std::wstring title = L"打开测试" + std::to_wstring(::GetCurrentProcessId());

  std::future<bool> answered = std::async(std::launch::async, [&] {
    for (int attempt = 0; attempt < 500; ++attempt) {
      const HWND dialog = ::FindWindowW(L"#32770", title.c_str());
      if (dialog == nullptr || !::IsWindowVisible(dialog)) {
        ::Sleep(20);
        continue;
      }
      // Browse into the folder first, as a user would, then choose the file.
      for (const std::filesystem::path& typed : {folder.path(), chosen}) {
        for (const int name : {edt1, cmb13})
          ::SendDlgItemMessageW(dialog, name, WM_SETTEXT, 0,
                                reinterpret_cast<LPARAM>(typed.c_str()));
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
      }
      return true;
    }
    return false;
  });
  const std::optional<std::u16string> path =
      files.ChooseOpenFile(FromWide(title), kDataFileFilters);
  ASSERT_TRUE(answered.get());

  wchar_t after[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_EQ(path, U16(chosen));
  EXPECT_STREQ(after, before);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(FileDialogs, AFileAtADriveRootRemembersTheRoot) {
  open_.answers = {L"D:\\line1.dat", L"D:\\line1.dat"};
  files_.ChooseOpenFile(u"打开", kDataFileFilters);
  files_.ChooseOpenFile(u"打开", kDataFileFilters);
  // "D:" alone would name the drive's current folder, not its root.
  EXPECT_EQ(open_.calls[1].initialFolder, L"D:\\");
}

TEST_F(FileDialogs, OpenAndMapMapsTheChosenFile) {
  ScratchFolder folder;
  WriteFileBytes(folder / L"line1.dat", "line 1\r\n");
  open_.answers = {(folder / L"line1.dat").wstring()};

  const std::uint8_t* view = files_.OpenAndMap(u"打开res2dinv格式数据文件", kDataFileFilters);

  ASSERT_NE(view, nullptr);
  EXPECT_EQ(files_.FileSize(), 8u);
  EXPECT_EQ(view[0], 'l');
  files_.Release();
}

}  // namespace
}  // namespace dorvane::win32

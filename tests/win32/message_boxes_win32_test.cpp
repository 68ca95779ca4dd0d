#include "platform/win32/message_boxes_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win32/text.h"
#include "win32_test_support.h"

namespace dorvane::win32 {
namespace {

using testing::HiddenWindow;

TEST(MessageBoxStyle, FollowsButtonsIconAndDefault) {
  const struct {
    MessageButtons buttons;
    MessageIcon icon;
    bool secondDefault;
    UINT style;
  } cases[] = {
      {MessageButtons::Ok, MessageIcon::None, false, MB_OK},
      {MessageButtons::Ok, MessageIcon::Information, false, MB_OK | MB_ICONINFORMATION},
      {MessageButtons::YesNo, MessageIcon::Stop, true, MB_YESNO | MB_ICONSTOP | MB_DEFBUTTON2},
      {MessageButtons::YesNo, MessageIcon::Information, false, MB_YESNO | MB_ICONINFORMATION},
  };
  for (const auto& c : cases) {
    MessageRequest request;
    request.buttons = c.buttons;
    request.icon = c.icon;
    request.secondButtonDefault = c.secondDefault;
    EXPECT_EQ(MessageBoxStyle(request), c.style);
  }
}

// What the real message box showed, read from its window by another thread.
struct SeenBox {
  HWND owner = nullptr;
  std::wstring text;
  bool hasYes = false, hasNo = false, hasOk = false;
  int defaultButton = 0;
};

BOOL CALLBACK CollectStaticText(HWND child, LPARAM seen) {
  wchar_t className[32] = {};
  ::GetClassNameW(child, className, 32);
  wchar_t text[512] = {};
  if (::lstrcmpiW(className, L"Static") == 0 && ::GetWindowTextW(child, text, 512) > 0)
    reinterpret_cast<SeenBox*>(seen)->text += text;
  return TRUE;
}

// Waits for the box with `caption`, records it and presses `button`.
std::thread AnswerBox(std::wstring caption, int button, SeenBox& seen, std::atomic<bool>& found) {
  return std::thread([caption = std::move(caption), button, &seen, &found] {
    for (int attempt = 0; attempt < 500 && !found; ++attempt) {
      const HWND box = ::FindWindowW(L"#32770", caption.c_str());
      if (box == nullptr || !::IsWindowVisible(box)) {
        ::Sleep(20);
        continue;
      }
      seen.owner = ::GetWindow(box, GW_OWNER);
      ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen));
      seen.hasYes = ::GetDlgItem(box, IDYES) != nullptr;
      seen.hasNo = ::GetDlgItem(box, IDNO) != nullptr;
      seen.hasOk = ::GetDlgItem(box, IDOK) != nullptr;
      for (int id : {IDOK, IDYES, IDNO}) {
        const HWND button = ::GetDlgItem(box, id);
        if (button != nullptr && (::GetWindowLongW(button, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON)
          seen.defaultButton = id;
      }
      found = true;
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
    }
  });
}

TEST(Win32MessageBoxes, AQuestionIsOwnedByItsRoleAndAnswered) {
  HiddenWindow grid;
  Win32MessageBoxes boxes;
  boxes.SetOwner(MessageOwner::Grid, grid.get());
  MessageRequest request{u"确实要删除选中的行吗?", u"警告", MessageButtons::YesNo,
                         MessageIcon::Stop,        true,    MessageOwner::Grid};
  SeenBox seen;
  std::atomic<bool> found = false;
  std::thread answerer = AnswerBox(L"警告", IDYES, seen, found);

  const MessageAnswer answer = boxes.Show(request);
  answerer.join();

  ASSERT_TRUE(found);
  EXPECT_EQ(answer, MessageAnswer::Yes);
  EXPECT_EQ(seen.owner, grid.get());
  EXPECT_EQ(seen.text, L"确实要删除选中的行吗?");
  EXPECT_TRUE(seen.hasYes && seen.hasNo);
  EXPECT_FALSE(seen.hasOk);
  EXPECT_EQ(seen.defaultButton, IDNO);
}

TEST(Win32MessageBoxes, ANoticeWithoutOwnerHasOnlyOk) {
  HiddenWindow dialog;
  Win32MessageBoxes boxes;
  boxes.SetOwner(MessageOwner::MainDialog, dialog.get());
  MessageRequest request{SystemMessageText(ERROR_FILE_NOT_FOUND),
                         u"提示!",
                         MessageButtons::Ok,
                         MessageIcon::Information,
                         false,
                         MessageOwner::None};
  SeenBox seen;
  std::atomic<bool> found = false;
  std::thread answerer = AnswerBox(L"提示!", IDOK, seen, found);

  EXPECT_EQ(boxes.Show(request), MessageAnswer::Ok);
  answerer.join();

  ASSERT_TRUE(found);
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_EQ(seen.text, Wide(request.text));
  EXPECT_TRUE(seen.hasOk);
  EXPECT_FALSE(seen.hasYes);
}

}  // namespace
}  // namespace dorvane::win32

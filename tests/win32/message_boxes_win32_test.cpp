#include "platform/win32/message_boxes_win32.h"

#include <gtest/gtest.h>

#include <future>
#include <utility>

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
    MessageOwner owner;
    UINT style;
  } cases[] = {
      {MessageButtons::Ok, MessageIcon::None, false, MessageOwner::MainDialog, MB_OK},
      {MessageButtons::Ok, MessageIcon::Information, false, MessageOwner::None,
       MB_OK | MB_ICONINFORMATION | MB_TASKMODAL},
      {MessageButtons::YesNo, MessageIcon::Stop, true, MessageOwner::Grid,
       MB_YESNO | MB_ICONSTOP | MB_DEFBUTTON2},
      {MessageButtons::YesNo, MessageIcon::Information, false, MessageOwner::MainDialog,
       MB_YESNO | MB_ICONINFORMATION},
      {MessageButtons::YesNo, MessageIcon::Question, true, MessageOwner::MainDialog,
       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2},
  };
  for (const auto& c : cases) {
    MessageRequest request;
    request.buttons = c.buttons;
    request.icon = c.icon;
    request.secondButtonDefault = c.secondDefault;
    request.owner = c.owner;
    EXPECT_EQ(MessageBoxStyle(request), c.style);
  }
}

// What the real message box showed, read from its window by another thread.
struct SeenBox {
  bool found = false;
  HWND owner = nullptr;
  std::wstring text;
  std::wstring buttons;  // "O", "Y", "N" for each button present
  int defaultButton = 0;
  bool mainDialogEnabled = true;  // while the box is up
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
SeenBox AnswerBox(const std::wstring& caption, int button, HWND mainDialog) {
  SeenBox seen;
  for (int attempt = 0; attempt < 500 && !seen.found; ++attempt) {
    const HWND box = ::FindWindowW(L"#32770", caption.c_str());
    if (box == nullptr || !::IsWindowVisible(box)) {
      ::Sleep(20);
      continue;
    }
    seen.found = true;
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.mainDialogEnabled = ::IsWindowEnabled(mainDialog) != FALSE;
    ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen));
    for (const auto& [id, letter] : {std::pair{IDOK, L'O'}, {IDYES, L'Y'}, {IDNO, L'N'}}) {
      const HWND control = ::GetDlgItem(box, id);
      if (control == nullptr) continue;
      seen.buttons += letter;
      if ((::GetWindowLongW(control, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
  }
  return seen;
}

TEST(Win32MessageBoxes, ShowsTheRealBoxForItsOwnerRole) {
  HiddenWindow mainDialog;
  HiddenWindow grid;
  Win32MessageBoxes boxes;
  boxes.SetOwner(MessageOwner::MainDialog, mainDialog.get());
  boxes.SetOwner(MessageOwner::Grid, grid.get());
  const struct {
    MessageRequest request;
    int press;
    MessageAnswer answer;
    HWND owner;
    std::wstring buttons;
    int defaultButton;
  } cases[] = {
      {{u"确实要删除选中的行吗?", u"警告", MessageButtons::YesNo, MessageIcon::Stop, true,
        MessageOwner::Grid},
       IDYES,
       MessageAnswer::Yes,
       grid.get(),
       L"YN",
       IDNO},
      {{u"要覆盖吗?", u"提示", MessageButtons::YesNo, MessageIcon::None, false,
        MessageOwner::MainDialog},
       IDNO,
       MessageAnswer::No,
       mainDialog.get(),
       L"YN",
       IDYES},
      {{SystemMessageText(ERROR_FILE_NOT_FOUND), u"提示!", MessageButtons::Ok,
        MessageIcon::Information, false, MessageOwner::None},
       IDOK,
       MessageAnswer::Ok,
       nullptr,
       L"O",
       IDOK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.press);
    std::future<SeenBox> seen = std::async(std::launch::async, AnswerBox, Wide(c.request.caption),
                                           c.press, mainDialog.get());

    EXPECT_EQ(boxes.Show(c.request), c.answer);

    const SeenBox box = seen.get();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.owner, c.owner);
    EXPECT_EQ(box.text, Wide(c.request.text));
    EXPECT_EQ(box.buttons, c.buttons);
    EXPECT_EQ(box.defaultButton, c.defaultButton);
    // A box without owner holds the main dialog too: no second job can start.
    if (c.request.owner != MessageOwner::Grid) EXPECT_FALSE(box.mainDialogEnabled);
    EXPECT_TRUE(::IsWindowEnabled(mainDialog.get()));
  }
}

}  // namespace
}  // namespace dorvane::win32

#include "platform/win32/message_boxes_win32.h"

#include "platform/win32/text.h"

namespace dorvane::win32 {

UINT MessageBoxStyle(const MessageRequest& request) {
  UINT style = request.buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
  if (request.icon == MessageIcon::Information) style |= MB_ICONINFORMATION;
  if (request.icon == MessageIcon::Stop) style |= MB_ICONSTOP;
  if (request.icon == MessageIcon::Question) style |= MB_ICONQUESTION;
  if (request.secondButtonDefault) style |= MB_DEFBUTTON2;
  // A box without owner would leave the program's windows live behind it, so a
  // second job could start inside the first.
  if (request.owner == MessageOwner::None) style |= MB_TASKMODAL;
  return style;
}

void Win32MessageBoxes::SetOwner(MessageOwner role, HWND window) {
  owners_[static_cast<std::size_t>(role)] = window;
}

HWND Win32MessageBoxes::OwnerOf(MessageOwner role) const {
  return role == MessageOwner::None ? nullptr : owners_[static_cast<std::size_t>(role)];
}

MessageAnswer Win32MessageBoxes::Show(const MessageRequest& request) {
  const std::wstring text = Wide(request.text);
  const std::wstring caption = Wide(request.caption);
  const int answer = ::MessageBoxW(OwnerOf(request.owner), text.c_str(), caption.c_str(),
                                   MessageBoxStyle(request));
  if (request.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  // A box that could not be shown answers the question with No, the answer that changes nothing.
  return answer == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace dorvane::win32

#pragma once

#include <windows.h>

#include <array>

#include "platform/message_boxes.h"

namespace dorvane::win32 {

// MB_* flags of a request: buttons, icon, default button; task-modal when it has
// no owner.
UINT MessageBoxStyle(const MessageRequest& request);

// Message boxes of the program, owned by the window the application assigned
// to the request's owner role (none until one is assigned).
class Win32MessageBoxes : public MessageBoxes {
 public:
  void SetOwner(MessageOwner role, HWND window);
  HWND OwnerOf(MessageOwner role) const;
  MessageAnswer Show(const MessageRequest& request) override;

 private:
  std::array<HWND, 3> owners_{};
};

}  // namespace dorvane::win32

#include <windows.h>

#include "platform/system_error.h"
#include "platform/win32/text.h"

namespace dorvane {

SystemError LastSystemError() {
  return {::GetLastError()};
}

std::u16string SystemErrorText(SystemError error) {
  return win32::SystemMessageText(error.code);
}

}  // namespace dorvane

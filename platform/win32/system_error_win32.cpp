#include <windows.h>

#include "platform/system_error.h"
#include "platform/win32/text.h"

namespace dorvane {

SystemError LastSystemError() {
  return {::GetLastError()};
}

// "The volume for a file has been externally altered so that the opened file is
// no longer valid."
SystemError FileChangedError() {
  return {ERROR_FILE_INVALID};
}

std::u16string SystemErrorText(SystemError error) {
  return win32::SystemMessageText(error.code);
}

}  // namespace dorvane

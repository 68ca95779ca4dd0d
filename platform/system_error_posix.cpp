#include <cerrno>
#include <cstring>

#include "platform/system_error.h"
#include "platform/utf8.h"

namespace dorvane {
namespace {

// The GNU strerror_r returns the text; the XSI one fills the buffer.
[[maybe_unused]] const char* ChooseErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* ChooseErrorText(const char* result, const char*) {
  return result;
}

}  // namespace

SystemError LastSystemError() {
  return {static_cast<std::uint32_t>(errno)};
}

// "Stale file handle": the file that was opened is no longer the one there.
SystemError FileChangedError() {
  return {ESTALE};
}

std::u16string SystemErrorText(SystemError error) {
  char buffer[256] = {};
  return Utf8ToUtf16(
      ChooseErrorText(strerror_r(static_cast<int>(error.code), buffer, sizeof buffer), buffer));
}

}  // namespace dorvane

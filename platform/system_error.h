#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

// A failure as the system reported it: errno on POSIX systems, GetLastError() on
// Windows. Code 0 is no failure.
struct SystemError {
  std::uint32_t code = 0;

  friend bool operator==(SystemError, SystemError) = default;
};

// The calling thread's last error.
SystemError LastSystemError();

// The error for a file that was changed or replaced while it was being read, so
// that what was read of it no longer holds.
SystemError FileChangedError();

// The system's own text for `error`, in the user's language.
std::u16string SystemErrorText(SystemError error);

}  // namespace dorvane

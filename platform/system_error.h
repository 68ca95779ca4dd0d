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

// The system's own text for `error`, in the user's language.
std::u16string SystemErrorText(SystemError error);

}  // namespace dorvane

#pragma once

#include <filesystem>
#include <string_view>

#include "platform/utf8.h"

namespace dorvane {

// A path of the core as the system's own. On POSIX systems the bytes go back
// exactly as they came (see utf8.h), which a conversion through the locale
// would refuse for a name that is not UTF-8.
inline std::filesystem::path NativePath(std::u16string_view path) {
#ifdef _WIN32
  return std::filesystem::path(path);
#else
  return std::filesystem::path(Utf16ToUtf8(path));
#endif
}

}  // namespace dorvane

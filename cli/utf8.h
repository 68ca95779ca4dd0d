#pragma once

#include <string>
#include <string_view>

namespace dorvane::cli {

// The console, the command line (on POSIX) and topography tables speak UTF-8; the
// core speaks UTF-16. Ill-formed input becomes U+FFFD rather than being dropped.
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace dorvane::cli

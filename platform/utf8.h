#pragma once

#include <string>
#include <string_view>

namespace dorvane {

// Lossless for well-formed text; an unpaired surrogate or a malformed byte
// sequence becomes U+FFFD, so a conversion never fails.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace dorvane

#pragma once

#include <string>
#include <string_view>

namespace dorvane {

// Lossless both ways, so that any file name survives the trip through UTF-16:
// each byte of a malformed UTF-8 sequence, b, stands for the lone surrogate
// U+DC00 + b and goes back to b. Any other unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace dorvane

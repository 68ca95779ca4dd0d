#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace dorvane::win32 {

// UTF-16 both: the portable core's char16_t and the API's wchar_t.
inline std::wstring Wide(std::u16string_view text) {
  return {text.begin(), text.end()};
}
inline std::u16string FromWide(std::wstring_view text) {
  return {text.begin(), text.end()};
}

// The system's message text for an error code, in the user's default language,
// exactly as FormatMessageW gives it; "Error N" when the system has none.
std::u16string SystemMessageText(DWORD error);

}  // namespace dorvane::win32

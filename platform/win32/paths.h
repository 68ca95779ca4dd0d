#pragma once

#include <string>
#include <string_view>

namespace dorvane::win32 {

// The full path of `path` in its extended-length form ("\\?\D:\...",
// "\\?\UNC\server\share\..."), which the file functions take past MAX_PATH.
// Device paths ("\\.\...", "NUL", "COM1") come back as full device paths;
// empty when the path cannot be made full (GetLastError tells why).
std::wstring ExtendedLengthPath(std::u16string_view path);

// A device rather than a file on a volume: "\\.\...", or a reserved DOS device
// name such as NUL, CON or COM1 in any folder and with any extension.
bool IsDevicePath(std::wstring_view path);

}  // namespace dorvane::win32

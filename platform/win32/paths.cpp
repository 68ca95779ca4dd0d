#include "platform/win32/paths.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "platform/win32/text.h"

namespace dorvane::win32 {
namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
constexpr std::wstring_view kUncPrefix = L"\\\\";

std::wstring Upper(std::wstring_view text) {
  std::wstring upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
  return upper;
}

// The name part of a path without extension and trailing spaces: what the
// system compares with its device names.
std::wstring BaseName(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/:");
  std::wstring_view name = separator == std::wstring_view::npos ? path : path.substr(separator + 1);
  name = name.substr(0, name.find(L'.'));
  while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
  return Upper(name);
}

}  // namespace

std::wstring ExtendedLengthPath(std::u16string_view path) {
  const std::wstring given = Wide(path);
  if (given.starts_with(kExtendedPrefix) || given.starts_with(kDevicePrefix)) return given;
  const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  if (full.starts_with(kDevicePrefix) || IsDevicePath(full)) return full;
  if (full.starts_with(kUncPrefix))
    return std::wstring(kExtendedPrefix) + L"UNC\\" + full.substr(2);
  return std::wstring(kExtendedPrefix) + full;
}

bool IsDevicePath(std::wstring_view path) {
  if (path.starts_with(kDevicePrefix)) return true;
  const std::wstring name = BaseName(path);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (name == device) return true;
  return name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")) &&
         name[3] >= L'1' && name[3] <= L'9';
}

}  // namespace dorvane::win32

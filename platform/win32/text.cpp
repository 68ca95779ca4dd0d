#include "platform/win32/text.h"

#include "platform/win32/handles.h"

namespace dorvane::win32 {

std::u16string SystemMessageText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const LocalMemory owned(buffer);
  if (length == 0) return FromWide(L"Error " + std::to_wstring(error));
  return FromWide(std::wstring_view(buffer, length));
}

}  // namespace dorvane::win32

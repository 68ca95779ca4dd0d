#include <windows.h>

#include <cstdio>

#include "cli/console.h"
#include "platform/utf8.h"

namespace dorvane::cli {

void PrintText(ConsoleStream stream, std::string_view utf8) {
  const bool toOutput = stream == ConsoleStream::Output;
  const HANDLE handle = GetStdHandle(toOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    const std::u16string text = Utf8ToUtf16(utf8);
    DWORD written = 0;
    WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.data()),
                  static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  // Redirected: UTF-8 bytes, which is what pipes and files on both systems expect.
  std::FILE* file = toOutput ? stdout : stderr;
  std::fwrite(utf8.data(), 1, utf8.size(), file);
  std::fflush(file);
}

}  // namespace dorvane::cli

#pragma once

#include <string>
#include <string_view>

namespace dorvane::cli {

enum class ConsoleStream { Output, Error };

// Writes UTF-8 text to standard output or standard error, flushed at once so that
// lines of both streams keep their order on a terminal. On a Windows console the
// text goes out as UTF-16, so Chinese captions show whatever the console code page.
void PrintText(ConsoleStream stream, std::string_view utf8);

inline void PrintLine(ConsoleStream stream, std::string_view utf8) {
  std::string line(utf8);
  line += '\n';
  PrintText(stream, line);
}

}  // namespace dorvane::cli

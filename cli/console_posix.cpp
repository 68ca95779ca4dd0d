#include <cstdio>

#include "cli/console.h"

namespace dorvane::cli {

void PrintText(ConsoleStream stream, std::string_view utf8) {
  std::FILE* file = stream == ConsoleStream::Output ? stdout : stderr;
  std::fwrite(utf8.data(), 1, utf8.size(), file);
  std::fflush(file);
}

}  // namespace dorvane::cli

#include <string>
#include <vector>

#include "cli/commands.h"

// Linked with -municode: the C runtime hands over the wide command line, so paths
// in any script reach the core unchanged.
extern "C" int wmain(int argc, wchar_t** argv) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument(argv[i]);
    args.emplace_back(argument.begin(), argument.end());
  }
  return dorvane::cli::RunCommandLine(args);
}

#include <clocale>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/utf8.h"

int main(int argc, char** argv) {
  // Only the character type follows the environment: it names the default code
  // page of scripts. Numbers are never converted through the C locale.
  std::setlocale(LC_CTYPE, "");
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(dorvane::Utf8ToUtf16(argv[i]));
  return dorvane::cli::RunCommandLine(args);
}

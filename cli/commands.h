#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cli/arguments.h"

namespace dorvane::cli {

// Exit status of the tool.
enum ExitCode : int { kExitWritten = 0, kExitNotWritten = 1, kExitUsage = 2 };

// Runs the whole command line (program name excluded) and returns the exit status.
int RunCommandLine(std::span<const std::u16string> args);

// Each returns kExitWritten (check: every file valid) or kExitNotWritten, except
// that an unknown code page is a usage error.
int RunCheck(const Arguments& arguments);
int RunMerge(const Arguments& arguments);
int RunScript(const Arguments& arguments);

// A file whose reader result was refused and that holds an LF without a CR before
// it: the reader only splits lines at CR LF.
bool HasBareLineFeed(std::span<const std::uint8_t> content);

}  // namespace dorvane::cli

#pragma once

#include <span>
#include <string>

#include "cli/arguments.h"

namespace dorvane::cli {

// Exit status of the tool.
enum ExitCode : int {
  kExitWritten = 0,
  kExitNotWritten = 1,
  kExitUsage = 2,
  kExitInputsLeftOut = 3,  // written, but without some inputs
  kExitFindings = 4,       // preview: the check found something
};

// Runs the whole command line (program name excluded) and returns the exit status.
int RunCommandLine(std::span<const std::u16string> args);

}  // namespace dorvane::cli

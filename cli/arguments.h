#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/merge_job.h"

namespace dorvane::cli {

// The program file: dorvane-cli.exe on Windows, beside the dialog program.
#ifdef _WIN32
inline constexpr std::string_view kProgramName = "dorvane-cli";
#else
inline constexpr std::string_view kProgramName = "dorvane";
#endif

inline constexpr std::string_view kVersion = "1.1";

enum class Command { Help, Version, Check, Merge, Script2d, Script3d, Preview };

// A command line that made sense. Paths and texts are UTF-16, as the core takes them.
struct Arguments {
  Command command = Command::Help;
  std::vector<std::u16string> checkFiles;
  std::u16string outputPath;
  std::optional<std::u16string> topographyPath;         // merge: topography on when given
  std::vector<InputFileRow> rows;                       // merge and scripts, in order
  std::optional<std::string> codePageName;              // scripts; none: the locale's
  bool checkInputs = true;                              // merge and scripts: check the join first
  MergeMode previewMode = MergeMode::LongProfileMerge;  // preview: whose placing
  std::optional<std::u16string> pointsPath;             // preview: where the CSV goes
  std::optional<std::u16string> svgPath;                // preview: where the picture goes
  bool svgByValue = false;  // preview: the picture coloured by apparent resistivity
};

struct ParsedArguments {
  std::optional<Arguments> arguments;
  std::string error;  // UTF-8; set when `arguments` is empty
};

// `args` excludes the program name.
ParsedArguments ParseArguments(std::span<const std::u16string> args);

std::string UsageText();
// "NAME VERSION"
std::string VersionText();

}  // namespace dorvane::cli

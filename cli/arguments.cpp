#include "cli/arguments.h"

#include "platform/utf8.h"

namespace dorvane::cli {
namespace {

constexpr std::string_view kUsageDetails =
    "\n"
    "check     shows where the data lines of each RES2DINV data file lie; succeeds only\n"
    "          when every file holds at least two data lines\n"
    "merge     merges the data lines of the INPUT files, in order, into one long-profile\n"
    "          RES2DINV data file OUTPUT; an empty INPUT is a row without a file\n"
    "          --topography TABLE  appends the topography of TABLE, a UTF-8 text file\n"
    "          with one point per line: position and elevation separated by a tab\n"
    "          (or by a comma when the line holds no tab); line 1 is the first electrode\n"
    "script2d  writes the RES2DINV concatenation script into the folder of OUTPUT\n"
    "script3d  writes the RES3DINV collate script into the folder of OUTPUT\n"
    "          OUTPUT is the data file that the script names as its result\n"
    "          --input PATH      starts a row; the options after it set the row\n"
    "          --x, --y TEXT     location of the first electrode in metres (default 0)\n"
    "          --sign 0|1        positions along the line increase (0) or decrease (1)\n"
    "          --direction 0|1   the line runs along X (0) or along Y (1)\n"
    "          --codepage NAME   8-bit code page of the script (default: the locale's)\n"
    "preview   reads every data line of the inputs, places it as merge (the default),\n"
    "          script2d or script3d would, and checks the join; prints one line per\n"
    "          finding, PATH:LINE: CODE: message (LINE 0: the whole file), then one\n"
    "          line per input, PATH: array=T spacing=A data=N x=MIN..MAX\n"
    "          --points CSV      also writes every placed data point to CSV\n"
    "          --svg FILE        also draws the survey as an SVG picture: data at their\n"
    "                            places and depths (or elevations), coloured by input\n"
    "                            row; gaps and overlaps marked; the plan view of the\n"
    "                            lines for --script3d\n"
    "          --by-value        colours the picture by apparent resistivity instead\n"
    "merge, script2d and script3d check the inputs as preview does before they write,\n"
    "and print what would make the output misread as warnings on standard error;\n"
    "--no-check skips that reading.\n"
    "merge and preview take any number of input files, a script (or its preview) at\n"
    "most 30. Options take their value as the next argument or as --option=value;\n"
    "\"--\" ends the options of check, merge and preview.\n"
    "\n"
    "Exit status: 0 the output file was written and every input was used (check:\n"
    "every file is valid; preview: nothing found);\n"
    "3 it was written but some inputs were left out, each named on standard error;\n"
    "4 preview: findings printed; 1 nothing was written (check: some file is not\n"
    "valid or not read; preview: an input not read or the CSV or SVG not written);\n"
    "2 usage error.\n";

// A usage error, thrown from deep inside the parsers and caught by ParseArguments.
struct UsageError {
  std::string message;
};

std::string Quoted(std::u16string_view text) {
  return "'" + Utf16ToUtf8(text) + "'";
}

struct Option {
  std::u16string name;
  std::optional<std::u16string> inlineValue;  // from "--name=value"
};

// "" and "-" are operands, like any argument that does not start with a hyphen.
std::optional<Option> AsOption(const std::u16string& argument) {
  if (argument.size() < 2 || argument[0] != u'-') return std::nullopt;
  if (argument.starts_with(u"--")) {
    const auto equals = argument.find(u'=');
    if (equals != std::u16string::npos) {
      return Option{argument.substr(0, equals), argument.substr(equals + 1)};
    }
  }
  return Option{argument, std::nullopt};
}

InputFileRow RowFor(std::u16string path) {
  InputFileRow row;
  row.inputPath = std::move(path);
  return row;
}

Arguments ForCommand(Command command) {
  Arguments arguments;
  arguments.command = command;
  return arguments;
}

bool IsHelp(const Option& option) {
  return !option.inlineValue && (option.name == u"--help" || option.name == u"-h");
}

bool IsVersion(const Option& option) {
  return !option.inlineValue && option.name == u"--version";
}

// --help and --version stand for the whole command line wherever they appear.
std::optional<Arguments> AnswerInstead(const Option& option) {
  if (IsHelp(option)) return ForCommand(Command::Help);
  if (IsVersion(option)) return ForCommand(Command::Version);
  return std::nullopt;
}

class ArgumentReader {
 public:
  explicit ArgumentReader(std::span<const std::u16string> args) : args_(args) {}

  bool AtEnd() const { return next_ >= args_.size(); }
  const std::u16string& Take() { return args_[next_++]; }

  // The value is taken as it stands, so "--x -12.5" works.
  std::u16string TakeValue(const Option& option) {
    if (option.inlineValue) return *option.inlineValue;
    if (AtEnd()) throw UsageError{"option " + Quoted(option.name) + " needs a value"};
    return Take();
  }

 private:
  std::span<const std::u16string> args_;
  std::size_t next_ = 0;
};

void SetOnce(std::optional<std::u16string>& field, std::u16string value, const Option& option) {
  if (field) throw UsageError{"option " + Quoted(option.name) + " is given twice"};
  field = std::move(value);
}

bool IsOutputOption(const Option& option) {
  return option.name == u"-o" || option.name == u"--output";
}

[[noreturn]] void ThrowUnknown(const Option& option) {
  throw UsageError{"unknown option " + Quoted(option.name)};
}

std::int32_t ParseFlag(const Option& option, const std::u16string& value) {
  if (value == u"0") return 0;
  if (value == u"1") return 1;
  throw UsageError{"option " + Quoted(option.name) + " takes 0 or 1, not " + Quoted(value)};
}

void CheckRows(const Arguments& arguments) {
  if (arguments.rows.empty()) throw UsageError{"no input files"};
}

void CheckOutputAndRows(Arguments& arguments, std::optional<std::u16string> output) {
  if (!output) throw UsageError{"missing -o OUTPUT"};
  // The output's folder matters (scripts go beside it, the merge writes a
  // temporary file there): standard output has none.
  if (*output == u"-") throw UsageError{"the output must be a file, not '-'"};
  arguments.outputPath = std::move(*output);
  CheckRows(arguments);
}

// The scripts keep the dialog's number of rows; a merge takes any number of files.
void CheckScriptRowLimit(const Arguments& arguments) {
  if (arguments.rows.size() > MergeJob::kMaxRows) {
    throw UsageError{"a script takes at most " + std::to_string(MergeJob::kMaxRows) +
                     " input files, not " + std::to_string(arguments.rows.size())};
  }
}

bool IsNoCheck(const Option& option) {
  return !option.inlineValue && option.name == u"--no-check";
}

Arguments ParseCheck(ArgumentReader& reader) {
  Arguments arguments = ForCommand(Command::Check);
  bool optionsEnded = false;
  while (!reader.AtEnd()) {
    const std::u16string& argument = reader.Take();
    const auto option = optionsEnded ? std::nullopt : AsOption(argument);
    if (!option) {
      arguments.checkFiles.push_back(argument);
    } else if (option->name == u"--" && !option->inlineValue) {
      optionsEnded = true;
    } else if (const auto answer = AnswerInstead(*option)) {
      return *answer;
    } else {
      ThrowUnknown(*option);
    }
  }
  if (arguments.checkFiles.empty()) throw UsageError{"no files to check"};
  return arguments;
}

Arguments ParseMerge(ArgumentReader& reader) {
  Arguments arguments = ForCommand(Command::Merge);
  std::optional<std::u16string> output;
  bool optionsEnded = false;
  while (!reader.AtEnd()) {
    const std::u16string& argument = reader.Take();
    const auto option = optionsEnded ? std::nullopt : AsOption(argument);
    if (!option) {
      arguments.rows.push_back(RowFor(argument));
    } else if (option->name == u"--" && !option->inlineValue) {
      optionsEnded = true;
    } else if (const auto answer = AnswerInstead(*option)) {
      return *answer;
    } else if (IsOutputOption(*option)) {
      SetOnce(output, reader.TakeValue(*option), *option);
    } else if (option->name == u"--topography") {
      SetOnce(arguments.topographyPath, reader.TakeValue(*option), *option);
    } else if (IsNoCheck(*option)) {
      arguments.checkInputs = false;
    } else {
      ThrowUnknown(*option);
    }
  }
  CheckOutputAndRows(arguments, std::move(output));
  return arguments;
}

InputFileRow& CurrentRow(Arguments& arguments, const Option& option) {
  if (arguments.rows.empty()) {
    throw UsageError{"option " + Quoted(option.name) + " comes before any --input"};
  }
  return arguments.rows.back();
}

// The options that make and set the rows of the scripts: true when `option` is one.
bool TakeRowOption(ArgumentReader& reader, const Option& option, bool collate,
                   Arguments& arguments) {
  if (option.name == u"--input") {
    arguments.rows.push_back(RowFor(reader.TakeValue(option)));
  } else if (option.name == u"--x") {
    const std::u16string value = reader.TakeValue(option);
    CurrentRow(arguments, option).firstElectrodeX = value;
  } else if (option.name == u"--y" && collate) {
    const std::u16string value = reader.TakeValue(option);
    CurrentRow(arguments, option).firstElectrodeY = value;
  } else if (option.name == u"--sign") {
    const std::int32_t sign = ParseFlag(option, reader.TakeValue(option));
    CurrentRow(arguments, option).lineSign = sign;
  } else if (option.name == u"--direction" && collate) {
    const std::int32_t direction = ParseFlag(option, reader.TakeValue(option));
    CurrentRow(arguments, option).lineDirection = direction;
  } else {
    return false;
  }
  return true;
}

[[noreturn]] void ThrowLooseArgument(const std::u16string& argument) {
  throw UsageError{"unexpected argument " + Quoted(argument) + "; input files follow --input"};
}

Arguments ParseScript(ArgumentReader& reader, Command command) {
  const bool collate = command == Command::Script3d;
  Arguments arguments = ForCommand(command);
  std::optional<std::u16string> output;
  std::optional<std::u16string> codePage;
  while (!reader.AtEnd()) {
    const std::u16string& argument = reader.Take();
    const auto option = AsOption(argument);
    if (!option) ThrowLooseArgument(argument);
    if (const auto answer = AnswerInstead(*option)) return *answer;
    if (IsOutputOption(*option)) {
      SetOnce(output, reader.TakeValue(*option), *option);
    } else if (option->name == u"--codepage") {
      SetOnce(codePage, reader.TakeValue(*option), *option);
    } else if (IsNoCheck(*option)) {
      arguments.checkInputs = false;
    } else if (!TakeRowOption(reader, *option, collate, arguments)) {
      ThrowUnknown(*option);
    }
  }
  CheckOutputAndRows(arguments, std::move(output));
  CheckScriptRowLimit(arguments);
  if (codePage) arguments.codePageName = Utf16ToUtf8(*codePage);
  return arguments;
}

// The mode comes first: it decides whether inputs are operands or --input rows.
std::optional<MergeMode> PreviewModeOption(const Option& option) {
  if (option.inlineValue) return std::nullopt;
  if (option.name == u"--script2d") return MergeMode::ConcatenationScript;
  if (option.name == u"--script3d") return MergeMode::CollateScript;
  return std::nullopt;
}

Arguments ParsePreview(ArgumentReader& reader) {
  Arguments arguments = ForCommand(Command::Preview);
  MergeMode& mode = arguments.previewMode;
  bool optionsEnded = false;
  bool modeChosen = false;
  while (!reader.AtEnd()) {
    const std::u16string& argument = reader.Take();
    const auto option = optionsEnded ? std::nullopt : AsOption(argument);
    if (!option) {
      if (mode != MergeMode::LongProfileMerge) ThrowLooseArgument(argument);
      arguments.rows.push_back(RowFor(argument));
    } else if (option->name == u"--" && !option->inlineValue &&
               mode == MergeMode::LongProfileMerge) {
      optionsEnded = true;
    } else if (const auto answer = AnswerInstead(*option)) {
      return *answer;
    } else if (const auto chosen = PreviewModeOption(*option)) {
      if (modeChosen) throw UsageError{"option " + Quoted(option->name) + " is given twice"};
      if (!arguments.rows.empty())
        throw UsageError{"option " + Quoted(option->name) + " comes after the inputs"};
      mode = *chosen;
      modeChosen = true;
    } else if (option->name == u"--points") {
      SetOnce(arguments.pointsPath, reader.TakeValue(*option), *option);
    } else if (option->name == u"--svg") {
      SetOnce(arguments.svgPath, reader.TakeValue(*option), *option);
    } else if (option->name == u"--by-value" && !option->inlineValue) {
      arguments.svgByValue = true;
    } else if (option->name == u"--topography") {
      SetOnce(arguments.topographyPath, reader.TakeValue(*option), *option);
    } else if (mode == MergeMode::LongProfileMerge ||
               !TakeRowOption(reader, *option, mode == MergeMode::CollateScript, arguments)) {
      ThrowUnknown(*option);
    }
  }
  if (arguments.topographyPath && mode != MergeMode::LongProfileMerge)
    throw UsageError{"option '--topography' does not go with --script2d or --script3d"};
  if (arguments.svgByValue && !arguments.svgPath)
    throw UsageError{"option '--by-value' colours the picture of --svg"};
  CheckRows(arguments);
  if (mode != MergeMode::LongProfileMerge) CheckScriptRowLimit(arguments);
  return arguments;
}

Arguments ParseCommand(ArgumentReader& reader) {
  if (reader.AtEnd()) throw UsageError{"no command"};
  const std::u16string& name = reader.Take();
  if (name == u"--help" || name == u"-h" || name == u"help") return ForCommand(Command::Help);
  if (name == u"--version") return ForCommand(Command::Version);
  if (name == u"check") return ParseCheck(reader);
  if (name == u"merge") return ParseMerge(reader);
  if (name == u"script2d") return ParseScript(reader, Command::Script2d);
  if (name == u"script3d") return ParseScript(reader, Command::Script3d);
  if (name == u"preview") return ParsePreview(reader);
  throw UsageError{"unknown command " + Quoted(name)};
}

}  // namespace

ParsedArguments ParseArguments(std::span<const std::u16string> args) {
  ArgumentReader reader(args);
  try {
    return ParsedArguments{ParseCommand(reader), {}};
  } catch (const UsageError& error) {
    return ParsedArguments{std::nullopt, error.message};
  }
}

std::string UsageText() {
  const std::string name(kProgramName);
  const std::string command = "       " + name + " ";
  const std::string more(command.size() + 9, ' ');
  std::string usage = "usage: " + name + " check FILE...\n";
  usage += command + "merge -o OUTPUT [--topography TABLE] [--no-check] INPUT...\n";
  usage += command + "script2d -o OUTPUT [--codepage NAME] [--no-check]\n";
  usage += more + "(--input PATH [--x TEXT] [--sign 0|1])...\n";
  usage += command + "script3d -o OUTPUT [--codepage NAME] [--no-check]\n";
  usage += more + "(--input PATH [--x TEXT] [--y TEXT] [--sign 0|1]\n";
  usage += more + " [--direction 0|1])...\n";
  usage += command + "preview [--points CSV] [--svg FILE [--by-value]] [--topography TABLE]\n";
  usage += more + "INPUT...\n";
  usage += command + "preview --script2d [--points CSV] [--svg FILE [--by-value]]\n";
  usage += more + "(--input PATH [--x TEXT] [--sign 0|1])...\n";
  usage += command + "preview --script3d [--points CSV] [--svg FILE [--by-value]]\n";
  usage += more + "(--input PATH [--x TEXT] [--y TEXT] [--sign 0|1]\n";
  usage += more + " [--direction 0|1])...\n";
  usage += command + "--help | --version\n";
  usage += kUsageDetails;
  return usage;
}

std::string VersionText() {
  return std::string(kProgramName) + " " + std::string(kVersion);
}

}  // namespace dorvane::cli

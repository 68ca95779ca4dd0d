#include "cli/commands.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "cli/console.h"
#include "cli/console_message_boxes.h"
#include "cli/points_csv.h"
#include "cli/topography_file.h"
#include "data/batch_script.h"
#include "data/data_block.h"
#include "data/decimal.h"
#include "data/long_profile_merge.h"
#include "platform/code_page.h"
#include "platform/file_access.h"
#include "platform/utf8.h"
#include "survey/finding_text.h"
#include "survey/preview_svg.h"
#include "survey/survey.h"

namespace dorvane::cli {
namespace {

void PrintError(std::string_view message) {
  PrintLine(ConsoleStream::Error, std::string(kProgramName) + ": " + std::string(message));
}

// The reason and where to read more; the whole help would bury the reason.
int UsageError(std::string_view message) {
  PrintError(message);
  PrintLine(ConsoleStream::Error, "try '" + std::string(kProgramName) + " --help'");
  return kExitUsage;
}

void PrintInputLine(const std::u16string& path, std::string_view what) {
  PrintError(Utf16ToUtf8(path) + ": " + std::string(what));
}

// Names each input the merge leaves out, right after the message that says why.
class LeftOutInputs final : public MergeInputReport {
 public:
  void LeftOut(const std::u16string& path, Reason reason) override {
    ++count_;
    paths_.push_back(path);
    PrintInputLine(path, reason == Reason::NotRead ? "not read" : "skipped");
  }
  int count() const { return count_; }
  bool Contains(const std::u16string& path) const {
    return std::find(paths_.begin(), paths_.end(), path) != paths_.end();
  }

 private:
  std::vector<std::u16string> paths_;
  int count_ = 0;
};

// Used when topography is off: the merge never reads it.
class NoTopography final : public TopographyTable {
 public:
  std::int32_t RowCount() const override { return 1; }
  std::u16string CellText(std::int32_t, std::int32_t) const override { return {}; }
};

// The reader splits lines only at CR LF; files from elsewhere often have LF alone.
bool HasBareLineFeed(std::span<const std::uint8_t> content) {
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\n' && (i == 0 || content[i - 1] != '\r')) return true;
  }
  return false;
}

std::string CheckLine(const std::u16string& path, std::int32_t count, const DataBlock& block) {
  std::string line = Utf16ToUtf8(path) + ": count=" + std::to_string(count);
  if (count > 0) {
    line += " first=" + std::to_string(block.firstLine) + " end=" + std::to_string(block.end);
  }
  return line;
}

// Checks one file; true when it holds at least two data lines.
bool CheckFile(const std::u16string& path, FileAccess& files) {
  auto notRead = [&] {
    PrintInputLine(path, "not read");
    PrintLine(ConsoleStream::Output, Utf16ToUtf8(path) + ": not read");
    files.Release();
    return false;
  };
  // FileAccess prints the system's reason; the line after it names the file.
  if (files.OpenAndMap(path) == nullptr) return notRead();
  const std::span<const std::uint8_t> content = files.Content();
  DataBlock block;
  std::int32_t count = 0;
  bool bareLineFeed = false;
  const bool read = files.ReadContent([&] {
    count = LocateDataBlock(content.data(), content.size(), block);
    bareLineFeed = count <= 1 && HasBareLineFeed(content);
  });
  if (!read) return notRead();
  PrintLine(ConsoleStream::Output, CheckLine(path, count, block));
  if (bareLineFeed) {
    PrintLine(ConsoleStream::Error, Utf16ToUtf8(path) +
                                        ": hint: the file has LF line ends; RES2DINV data "
                                        "files need CR LF line ends (convert it, e.g. unix2dos)");
  }
  files.Release();
  return count > 1;
}

// Nobody is there to answer the dialog's question: the join is checked before
// the job, the job writes as asked, and then the errors that concern what it
// wrote are printed.
class JoinCheck {
 public:
  JoinCheck(const Arguments& arguments, const MergeJob& job, const TopographyTable* topography) {
    if (!arguments.checkInputs) return;
    try {
      report_ = AnalyseSurvey(job, topography, nullptr);
    } catch (const std::exception& error) {
      failure_ = error.what();
    }
  }

  // After a job that wrote; the inputs the merge left out are not in its output.
  void PrintErrors(const LeftOutInputs* leftOut = nullptr) const {
    if (!failure_.empty()) PrintError("warning: the inputs could not be checked: " + failure_);
    for (const Finding& finding : ErrorsBeforeJob(report_)) {
      const bool left = leftOut != nullptr && finding.input >= 0 &&
                        leftOut->Contains(report_.inputs[finding.input].path);
      if (!left) PrintError("warning: " + FindingLine(report_, finding));
    }
  }

 private:
  SurveyReport report_;
  std::string failure_;
};

// The parser has already held the scripts to their limit.
MergeJob JobWithRows(MergeMode mode, const Arguments& arguments) {
  MergeJob job = MergeJob::WithoutRowLimit();
  job.SelectMode(mode);
  for (std::size_t i = 1; i < arguments.rows.size(); ++i) job.AppendRow();
  for (std::size_t i = 0; i < arguments.rows.size(); ++i) job.row(i) = arguments.rows[i];
  job.SetOutputPath(arguments.outputPath);
  return job;
}

int RunCheck(const Arguments& arguments) {
  ConsoleMessageBoxes messages;
  FileAccess files(messages);
  bool allValid = true;
  for (const std::u16string& path : arguments.checkFiles) {
    allValid = CheckFile(path, files) && allValid;
  }
  return allValid ? kExitWritten : kExitNotWritten;
}

std::optional<TopographyFile> ReadTopographyTable(const std::u16string& path) {
  const FileContents contents = ReadWholeFile(path);
  if (!contents.bytes) {
    PrintError("cannot read the topography table '" + Utf16ToUtf8(path) + "': " + contents.error);
    return std::nullopt;
  }
  return TopographyFile(*contents.bytes);
}

int RunMerge(const Arguments& arguments) {
  MergeJob job = JobWithRows(MergeMode::LongProfileMerge, arguments);
  std::optional<TopographyFile> table;
  if (arguments.topographyPath) {
    table = ReadTopographyTable(*arguments.topographyPath);
    if (!table) return kExitNotWritten;
    job.SetWithTopography(true);
  }
  const JoinCheck check(arguments, job, table ? &*table : nullptr);
  ConsoleMessageBoxes messages;
  FileAccess files(messages);
  const NoTopography noTopography;
  LeftOutInputs leftOut;
  MergeToLongProfile(job, table ? static_cast<const TopographyTable&>(*table) : noTopography, files,
                     messages, leftOut);
  if (messages.successShown()) {
    check.PrintErrors(&leftOut);
    return leftOut.count() == 0 ? kExitWritten : kExitInputsLeftOut;
  }
  if (messages.shownCount() == 0) PrintError("no input file could be merged; nothing written");
  return kExitNotWritten;
}

int RunScript(const Arguments& arguments) {
  const std::string codePageName = arguments.codePageName.value_or("");
  const std::unique_ptr<CodePage> codePage = MakeCodePage(codePageName);
  if (!codePage) {
    return UsageError(codePageName.empty()
                          ? "the locale's code page is not available; choose one with --codepage"
                          : "code page '" + codePageName +
                                "' is unknown or does not keep ASCII as it is");
  }
  const MergeMode mode = arguments.command == Command::Script3d ? MergeMode::CollateScript
                                                                : MergeMode::ConcatenationScript;
  const MergeJob job = JobWithRows(mode, arguments);
  const JoinCheck check(arguments, job, nullptr);
  ConsoleMessageBoxes messages;
  FileAccess files(messages);
  WriteBatchScript(mode, job, files, messages, *codePage);
  if (!messages.successShown()) return kExitNotWritten;
  check.PrintErrors();
  return kExitWritten;
}

std::string Number(double value) {
  char digits[kShortestChars];
  return std::string(digits, WriteShortest(digits, value));
}

// "PATH: array=T spacing=A data=N x=MIN..MAX"; no x range without data.
std::string SummaryLine(const InputSummary& input) {
  std::string line = Utf16ToUtf8(input.path) + ": ";
  if (!input.readable) return line + "not read";
  line += "array=" + std::to_string(input.arrayType) + " spacing=" + Number(input.spacing) +
          " data=" + std::to_string(input.dataCount);
  if (input.dataCount > 0 && !std::isnan(input.xMin))
    line += " x=" + Number(input.xMin) + ".." + Number(input.xMax);
  return line;
}

// Hands each datum to the CSV and to the picture, whichever are asked for.
class PreviewSinks final : public DatumSink {
 public:
  PreviewSinks(DatumSink* points, DatumSink* picture) : points_(points), picture_(picture) {}
  void Accept(const PlacedDatum& placed) override {
    if (points_) points_->Accept(placed);
    if (picture_) picture_->Accept(placed);
  }
  void AcceptBatch(std::span<const PlacedDatum> data) override {
    if (points_) points_->AcceptBatch(data);
    if (picture_) picture_->AcceptBatch(data);
  }

 private:
  DatumSink* points_;
  DatumSink* picture_;
};

// The picture keeps every datum (22 bytes each) until the layout is made.
bool WriteSvg(const Arguments& arguments, PreviewData& picture, const SurveyReport& report) {
  picture.SetReport(report);
  SystemError error;
  const PreviewColouring colouring =
      arguments.svgByValue ? PreviewColouring::kByValue : PreviewColouring::kByInput;
  if (WritePreviewSvg(picture, colouring, *arguments.svgPath, error)) return true;
  PrintError("cannot write '" + Utf16ToUtf8(*arguments.svgPath) +
             "': " + Utf16ToUtf8(SystemErrorText(error)));
  return false;
}

int RunPreview(const Arguments& arguments) {
  MergeJob job = JobWithRows(arguments.previewMode, arguments);
  std::optional<TopographyFile> table;
  if (arguments.topographyPath) {
    table = ReadTopographyTable(*arguments.topographyPath);
    if (!table) return kExitNotWritten;
    job.SetWithTopography(true);
  }
  std::optional<PointsCsv> points;
  if (arguments.pointsPath) {
    points.emplace(arguments.previewMode == MergeMode::CollateScript);
    if (!points->Begin(*arguments.pointsPath)) {
      PrintError("cannot write '" + Utf16ToUtf8(*arguments.pointsPath) +
                 "': " + Utf16ToUtf8(SystemErrorText(points->error())));
      return kExitNotWritten;
    }
  }
  std::optional<PreviewData> picture;
  if (arguments.svgPath) picture.emplace(arguments.previewMode);
  PreviewSinks sinks(points ? &*points : nullptr, picture ? &*picture : nullptr);
  const SurveyReport report =
      AnalyseSurvey(job, table ? &*table : nullptr, points || picture ? &sinks : nullptr);
  bool pointsWritten = true;
  if (points && !points->Finish()) {
    pointsWritten = false;
    PrintError("cannot write '" + Utf16ToUtf8(*arguments.pointsPath) +
               "': " + Utf16ToUtf8(SystemErrorText(points->error())));
  }
  const bool pictureWritten = !picture || WriteSvg(arguments, *picture, report);
  std::string out;
  for (const Finding& finding : report.findings) (out += FindingLine(report, finding)) += '\n';
  bool allRead = true;
  for (const InputSummary& input : report.inputs) {
    (out += SummaryLine(input)) += '\n';
    allRead = allRead && input.readable;
  }
  PrintText(ConsoleStream::Output, out);
  for (const InputSummary& input : report.inputs)
    if (!input.readable) PrintInputLine(input.path, "not read");
  if (!allRead || !pointsWritten || !pictureWritten) return kExitNotWritten;
  return report.findings.empty() ? kExitWritten : kExitFindings;
}

int Dispatch(const Arguments& arguments) {
  switch (arguments.command) {
    case Command::Help:
      PrintText(ConsoleStream::Output, UsageText());
      return kExitWritten;
    case Command::Version:
      PrintLine(ConsoleStream::Output, VersionText());
      return kExitWritten;
    case Command::Check:
      return RunCheck(arguments);
    case Command::Merge:
      return RunMerge(arguments);
    case Command::Script2d:
    case Command::Script3d:
      return RunScript(arguments);
    case Command::Preview:
      return RunPreview(arguments);
  }
  return kExitUsage;
}

}  // namespace

int RunCommandLine(std::span<const std::u16string> args) {
  if (args.empty()) return UsageError("no command");
  try {
    const ParsedArguments parsed = ParseArguments(args);
    if (!parsed.arguments) return UsageError(parsed.error);
    return Dispatch(*parsed.arguments);
  } catch (const std::bad_alloc&) {
    PrintError("out of memory");
  } catch (const std::exception& error) {
    PrintError(error.what());
  }
  return kExitNotWritten;
}

}  // namespace dorvane::cli

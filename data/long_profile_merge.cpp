#include "data/long_profile_merge.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "data/data_block.h"
#include "data/decimal.h"
#include "data/output_plan.h"
#include "data/windows_of_file.h"
#include "platform/guarded_read.h"
#include "platform/mapped_file.h"
#include "platform/output_file.h"

namespace dorvane {
namespace {

constexpr std::string_view kTrailer = "0\r\n0\r\n0\r\n0";

// What the scan of one row found, enough to write the row's part of the output
// later without reading the file again.
struct ScannedRow {
  enum class Outcome { NoFile, NotRead, Refused, Merged };

  Outcome outcome = Outcome::NoFile;
  SystemError error;  // NotRead
  FileStamp stamp;    // Merged: the file as it was scanned
  DataBlock block;
  TextSummary asFirst;  // bytes [0, block.end), the part of a first merged file
  TextSummary asLater;  // bytes [block.firstLine, block.end)
  std::optional<LineSpan> headerCountLine;
};

ScannedRow NotRead(SystemError error) {
  ScannedRow row;
  row.outcome = ScannedRow::Outcome::NotRead;
  row.error = error;
  return row;
}

// Runs on any thread: it shows nothing, it only tells.
ScannedRow ScanRow(const std::u16string& path) {
  if (path.empty()) return {};
  const MappedFile file(path, MappedFile::Pages::InWindows);
  if (!file.isOpen()) return NotRead(file.error());
  ScannedRow row;
  const std::span<const std::uint8_t> content = file.content();
  std::int32_t count = 0;
  SystemError error;
  // Nothing in here owns memory: a failed read leaves without unwinding.
  const bool read = ReadGuarded(
      [&] {
        WindowsOfFile windows(file);
        count = LocateDataBlock(content.data(), content.size(), row.block, windows);
        if (count <= 1) return;
        const DataBlock& block = row.block;
        row.asFirst = Summarize(content.first(block.end));
        row.asLater = Summarize(content.subspan(block.firstLine, block.end - block.firstLine));
        row.headerCountLine = HeaderCountLine(content.first(block.end), block.firstLine, count);
      },
      error);
  // Written meanwhile (a read that failed too, when it was cut short): what the
  // scan found may mix old and new bytes.
  if (file.CurrentStamp() != file.stamp()) return NotRead(FileChangedError());
  if (!read) return NotRead(error);
  row.outcome = count > 1 ? ScannedRow::Outcome::Merged : ScannedRow::Outcome::Refused;
  row.stamp = file.stamp();
  return row;
}

// Each scan holds a window of its file in memory (and a page-cache folio on
// either side of it): a few at once keep the memory of a merge small whatever
// the number of cores, and scans beyond that only share the memory bus.
constexpr std::size_t kMostScansAtOnce = 4;

// The rows' files are independent: they are scanned on as many threads as there
// are cores, up to kMostScansAtOnce, each thread taking the next row still to do.
std::vector<ScannedRow> ScanRows(const std::vector<InputFileRow>& rows) {
  std::vector<ScannedRow> scanned(rows.size());
  std::atomic<std::size_t> next{0};
  std::mutex failureLock;
  std::exception_ptr failure;
  auto work = [&] {
    for (std::size_t i; (i = next++) < rows.size();) {
      try {
        scanned[i] = ScanRow(rows[i].inputPath);
      } catch (...) {
        const std::lock_guard lock(failureLock);
        if (!failure) failure = std::current_exception();
      }
    }
  };
  const auto files = static_cast<std::size_t>(std::count_if(
      rows.begin(), rows.end(), [](const auto& row) { return !row.inputPath.empty(); }));
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> helpers;
  try {
    while (helpers.size() + 1 < std::min({cores, files, kMostScansAtOnce}))
      helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads only make the scan slower.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
  return scanned;
}

// The topography section; none when row 1 lacks a position or an elevation.
std::optional<std::string> TopographySection(const TopographyTable& table) {
  if (table.CellText(1, 1).empty() || table.CellText(1, 2).empty()) return std::nullopt;
  const std::int32_t rows = table.RowCount();
  std::int64_t points = 0;
  for (std::int32_t row = 1; row < rows; ++row)
    if (!table.CellText(row, 1).empty() && !table.CellText(row, 2).empty()) ++points;

  std::string section = "2\r\n";
  AppendInteger(section, points);
  section += "\r\n";
  for (std::int32_t row = 1; row < rows; ++row) {
    const std::u16string position = table.CellText(row, 1);
    const std::u16string elevation = table.CellText(row, 2);
    if (position.empty() || elevation.empty()) continue;
    AppendFixed3(section, DecimalToFloat(position));
    section += "  ";
    AppendFixed3(section, DecimalToFloat(elevation));
    section += "\r\n";
  }
  section += "1\r\n";
  return section;
}

// A merged input as the output plan numbers it.
struct PlannedInput {
  const std::u16string* path;
  FileStamp stamp;
};

struct WriteFailure {
  WriteFailure(SystemError why, std::optional<std::size_t> blamed) : error(why), input(blamed) {}

  SystemError error;
  std::optional<std::size_t> input;  // the input to blame; none: the output
  // A destination written in place that could not be put back, and the copy of
  // its content that stays (empty: none on disk).
  bool unrestored = false;
  std::u16string keptCopy;
};

// Opens each input again, as it was scanned, and copies its pieces.
class InputsForWriting {
 public:
  explicit InputsForWriting(const std::vector<PlannedInput>& inputs) : inputs_(inputs) {}

  // The input `source`, opened; none after `failure` has been set.
  const MappedFile* Open(std::size_t source, std::optional<WriteFailure>& failure) {
    if (source == open_) return &file_;
    if (!Close(failure)) return nullptr;
    file_ = MappedFile(*inputs_[source].path, MappedFile::Pages::InWindows);
    open_ = source;
    if (!file_.isOpen())
      failure = WriteFailure{file_.error(), source};
    else if (file_.stamp() != inputs_[source].stamp)
      failure = WriteFailure{FileChangedError(), source};
    return failure ? nullptr : &file_;
  }

  // Closes the open input; false when it changed while it was copied.
  bool Close(std::optional<WriteFailure>& failure) {
    if (open_ == kNone) return true;
    const bool unchanged = file_.CurrentStamp() == inputs_[open_].stamp;
    if (!unchanged) failure = WriteFailure{FileChangedError(), open_};
    file_.Release();
    open_ = kNone;
    return unchanged;
  }

 private:
  static constexpr std::size_t kNone = SIZE_MAX;
  const std::vector<PlannedInput>& inputs_;
  MappedFile file_;
  std::size_t open_ = kNone;
};

// Copies bytes [offset, offset + count) of `input` a window at a time.
bool CopyGuarded(const MappedFile& input, std::uint64_t offset, std::uint64_t count,
                 std::string& bytes, SystemError& error) {
  bytes.resize(static_cast<std::size_t>(count));
  constexpr std::uint64_t kWindow = ScanWindows::kBytes;
  for (std::uint64_t done = 0; done < count; done += kWindow) {
    const std::uint64_t window = std::min(count - done, kWindow);
    input.LoadPages(offset + done, window);
    const bool read = ReadGuarded(
        [&] { std::memcpy(bytes.data() + done, input.content().data() + offset + done, window); },
        error);
    input.DropPages(offset + done, window);
    if (!read) return false;
  }
  return true;
}

// The pieces of an input that is the destination itself, read before the
// destination, written in place, changes. Indexed like the plan's pieces.
std::optional<WriteFailure> ReadPiecesOfTheDestination(const OutputPlan& plan,
                                                       const std::vector<PlannedInput>& inputs,
                                                       const std::u16string& outputPath,
                                                       std::vector<std::string>& held) {
  const MappedFile destination(outputPath, MappedFile::Pages::InWindows);
  if (!destination.isOpen()) return std::nullopt;  // not a file an input could be
  held.resize(plan.pieces().size());
  InputsForWriting files(inputs);
  std::optional<WriteFailure> failure;
  for (std::size_t i = 0; i < plan.pieces().size(); ++i) {
    const OutputPiece& piece = plan.pieces()[i];
    if (piece.source == OutputPiece::kOwnText ||
        inputs[piece.source].stamp.identity != destination.stamp().identity)
      continue;
    const MappedFile* input = files.Open(piece.source, failure);
    if (input == nullptr) return failure;
    SystemError error;
    if (!CopyGuarded(*input, piece.offset, piece.length, held[i], error)) {
      const bool changed = input->CurrentStamp() != inputs[piece.source].stamp;
      return WriteFailure{changed ? FileChangedError() : error, piece.source};
    }
  }
  if (!files.Close(failure)) return failure;
  return std::nullopt;
}

// Every other input, found as it was scanned before the destination written in
// place changes: after that only a change during the copy can fail it.
std::optional<WriteFailure> CheckTheOtherInputs(const OutputPlan& plan,
                                                const std::vector<PlannedInput>& inputs,
                                                const std::vector<std::string>& held) {
  InputsForWriting files(inputs);
  std::optional<WriteFailure> failure;
  for (std::size_t i = 0; i < plan.pieces().size(); ++i) {
    const OutputPiece& piece = plan.pieces()[i];
    if (piece.source == OutputPiece::kOwnText || !held[i].empty()) continue;
    if (files.Open(piece.source, failure) == nullptr) return failure;
  }
  if (!files.Close(failure)) return failure;
  return std::nullopt;
}

std::optional<WriteFailure> WritePieces(OutputFile& output, const OutputPlan& plan,
                                        const std::vector<PlannedInput>& inputs,
                                        const std::u16string& outputPath) {
  // Only a destination written in place needs them: a temporary file leaves
  // the destination, and so an input that it is, as it was until Commit.
  std::vector<std::string> held(plan.pieces().size());
  if (output.writesInPlace()) {
    if (auto failure = ReadPiecesOfTheDestination(plan, inputs, outputPath, held)) return failure;
    if (auto failure = CheckTheOtherInputs(plan, inputs, held)) return failure;
  }
  InputsForWriting files(inputs);
  std::optional<WriteFailure> failure;
  for (std::size_t i = 0; i < plan.pieces().size(); ++i) {
    const OutputPiece& piece = plan.pieces()[i];
    if (piece.source == OutputPiece::kOwnText || !held[i].empty()) {
      const auto bytes =
          piece.source == OutputPiece::kOwnText
              ? plan.TextOf(piece)
              : std::span(reinterpret_cast<const std::uint8_t*>(held[i].data()), held[i].size());
      if (!output.Append(bytes)) return WriteFailure{output.error(), std::nullopt};
      continue;
    }
    const MappedFile* input = files.Open(piece.source, failure);
    if (input == nullptr) return failure;
    if (!output.AppendFrom(*input, piece.offset, piece.length)) {
      if (!output.inputFailed()) return WriteFailure{output.error(), std::nullopt};
      const bool changed = input->CurrentStamp() != inputs[piece.source].stamp;
      return WriteFailure{changed ? FileChangedError() : output.error(), piece.source};
    }
  }
  if (!files.Close(failure)) return failure;
  if (!output.Commit()) return WriteFailure{output.error(), std::nullopt};
  return std::nullopt;
}

std::optional<WriteFailure> WritePlan(const OutputPlan& plan,
                                      const std::vector<PlannedInput>& inputs,
                                      const std::u16string& outputPath) {
  OutputFile output;
  if (!output.Begin(outputPath)) return WriteFailure{output.error(), std::nullopt};
  std::optional<WriteFailure> failure = WritePieces(output, plan, inputs, outputPath);
  if (failure) {
    output.Abandon();
    failure->unrestored = output.restoreFailed();
    failure->keptCopy = output.keptCopy();
  }
  return failure;
}

void ShowMerged(MessageBoxes& messages, const std::u16string& outputPath) {
  MessageRequest request;
  request.text = outputPath;
  request.caption = u"文件合并成功";
  messages.Show(request);
}

// A changed input is named; any other failure gets the system's text first. A
// destination written in place that could not be put back is said to be so.
void ShowWriteFailure(const WriteFailure& failure, const std::vector<PlannedInput>& inputs,
                      FileAccess& files, MessageBoxes& messages, MergeInputReport& report) {
  const bool changed = failure.input && failure.error == FileChangedError();
  if (changed) {
    ShowJobError(messages,
                 u"输入文件在合并过程中被修改，文件合并失败：" + *inputs[*failure.input].path);
  } else {
    files.ReportSystemError(failure.error);
  }
  if (failure.input)
    report.LeftOut(*inputs[*failure.input].path, MergeInputReport::Reason::NotRead);
  if (failure.unrestored) {
    std::u16string text = u"文件合并失败，输出文件原有的内容未能恢复";
    if (!failure.keptCopy.empty()) text += u"，已保存在：" + failure.keptCopy;
    ShowJobError(messages, text);
  } else if (!changed) {
    ShowJobError(messages, u"文件合并失败，请检查输出文件名");
  }
}

// Nobody to tell.
class SilentReport final : public MergeInputReport {
 public:
  void LeftOut(const std::u16string&, Reason) override {}
};

}  // namespace

int MergeToLongProfile(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                       MessageBoxes& messages) {
  SilentReport report;
  return MergeToLongProfile(job, topography, files, messages, report);
}

// In two steps: every file is scanned for its data block, then the output is
// written as pieces, most of them straight from the inputs. The count of data
// points stands in the first lines, so no piece can go out before every scan has
// ended; the messages come afterwards in row order, as if the files had been
// taken one by one.
int MergeToLongProfile(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                       MessageBoxes& messages, MergeInputReport& report) {
  const std::vector<InputFileRow>& rows = job.rows();
  const std::vector<ScannedRow> scanned = ScanRows(rows);

  std::vector<std::size_t> merged;  // row indices
  for (std::size_t i = 0; i < rows.size(); ++i) {
    switch (scanned[i].outcome) {
      case ScannedRow::Outcome::NoFile:
        break;
      case ScannedRow::Outcome::NotRead:
        if (scanned[i].error == FileChangedError())
          ShowJobError(messages, u"输入文件在合并过程中被修改，已跳过：" + rows[i].inputPath);
        else
          files.ReportSystemError(scanned[i].error);
        report.LeftOut(rows[i].inputPath, MergeInputReport::Reason::NotRead);
        break;
      case ScannedRow::Outcome::Refused:
        ShowJobError(messages, u"非反演格式或格式错误");
        report.LeftOut(rows[i].inputPath, MergeInputReport::Reason::Refused);
        break;
      case ScannedRow::Outcome::Merged:
        merged.push_back(i);
        break;
    }
  }
  if (merged.empty()) return 1;

  std::optional<std::string> section;
  if (job.withTopography() && !(section = TopographySection(topography))) {
    ShowJobError(messages, u"首电极地形数据无效");
    return 0;
  }

  OutputPlan plan;
  std::vector<PlannedInput> inputs;
  std::int64_t total = 0;  // 30 files of up to 2^31 lines each do not fit 32 bits
  for (const std::size_t i : merged) {
    const ScannedRow& row = scanned[i];
    // The first file's terminator line and everything after it are dropped.
    if (inputs.empty())
      plan.AddInput(inputs.size(), 0, row.asFirst);
    else
      plan.AddInput(inputs.size(), row.block.firstLine, row.asLater);
    inputs.push_back({&rows[i].inputPath, row.stamp});
    total += row.block.lineCount;
  }
  if (section) plan.AddText(*section);
  plan.AddText(kTrailer);
  plan.PutCount(scanned[merged.front()].headerCountLine, FormatInteger(total));

  if (const std::optional<WriteFailure> failure = WritePlan(plan, inputs, job.outputPath())) {
    ShowWriteFailure(*failure, inputs, files, messages, report);
  } else {
    ShowMerged(messages, job.outputPath());
  }
  return 1;
}

}  // namespace dorvane

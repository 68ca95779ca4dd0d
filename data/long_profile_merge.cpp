#include "data/long_profile_merge.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "data/data_block.h"
#include "data/decimal.h"

namespace dorvane {
namespace {

// The assembled output. It grows with realloc rather than std::vector: for large
// blocks the C library moves the pages instead of copying them, so the text is
// never held twice, and capacity not yet written costs no memory.
class OutputBuffer {
 public:
  std::span<const std::uint8_t> Bytes() const { return {data_.get(), size_}; }

  void Append(const std::uint8_t* bytes, std::size_t count) {
    MakeRoom(count);
    if (count != 0) std::memcpy(data_.get() + size_, bytes, count);
    size_ += count;
  }
  void Append(std::string_view text) {
    Append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }

  // Puts `text` in place of the bytes [start, end) and moves the tail after them.
  void Replace(std::size_t start, std::size_t end, std::string_view text) {
    const std::size_t tail = size_ - end;
    if (text.size() > end - start) MakeRoom(text.size() - (end - start));
    std::uint8_t* base = data_.get();
    std::memmove(base + start + text.size(), base + end, tail);
    std::memcpy(base + start, text.data(), text.size());
    size_ = start + text.size() + tail;
  }

 private:
  struct Free {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };

  void MakeRoom(std::size_t extra) {
    if (extra <= capacity_ - size_) return;
    if (extra > SIZE_MAX / 2 - size_) throw std::bad_alloc();
    const std::size_t wanted = std::max(size_ + extra, capacity_ + capacity_ / 2);
    void* grown = std::realloc(data_.get(), wanted);
    if (grown == nullptr) throw std::bad_alloc();
    data_.release();
    data_.reset(static_cast<std::uint8_t*>(grown));
    capacity_ = wanted;
  }

  std::unique_ptr<std::uint8_t, Free> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Releases the mapped input on every way out of a row.
class MappedInput {
 public:
  explicit MappedInput(FileAccess& files) : files_(files) {}
  ~MappedInput() { files_.Release(); }
  MappedInput(const MappedInput&) = delete;
  MappedInput& operator=(const MappedInput&) = delete;

 private:
  FileAccess& files_;
};

constexpr std::string_view kTrailer = "0\r\n0\r\n0\r\n0";

struct LineSpan {
  std::size_t start = 0;
  std::size_t end = 0;  // the CR of the line's CR LF
};

std::optional<std::size_t> FindCrLf(std::span<const std::uint8_t> text, std::size_t from) {
  for (std::size_t p = from; p + 1 < text.size(); ++p) {
    const void* cr = std::memchr(text.data() + p, '\r', text.size() - 1 - p);
    if (cr == nullptr) return std::nullopt;
    p = static_cast<const std::uint8_t*>(cr) - text.data();
    if (text[p + 1] == '\n') return p;
  }
  return std::nullopt;
}

// A line that holds one number token, no letter, and that number is `count`.
bool HoldsOnlyTheCount(std::span<const std::uint8_t> line, std::int64_t count) {
  std::optional<std::string_view> token;
  for (std::size_t p = 0; p < line.size();) {
    if (IsLetterByte(line[p])) return false;
    if (!IsNumberByte(line[p])) {
      ++p;
      continue;
    }
    if (token) return false;
    const std::size_t start = p;
    while (p < line.size() && IsNumberByte(line[p])) ++p;
    token = std::string_view(reinterpret_cast<const char*>(line.data()) + start, p - start);
  }
  if (!token) return false;
  const DecimalPrefix number = ReadDecimalPrefix(*token);
  return number.end == token->size() && number.value == static_cast<double>(count);
}

// The line that carries the number of data points: the first header line from
// line 4 on that holds nothing but the first file's count (general-array files
// keep it on line 7, after their measurement-type lines); otherwise line 4,
// whatever stands there. None when the text has fewer than four CR LF pairs.
std::optional<LineSpan> FindCountLine(std::span<const std::uint8_t> text, std::size_t headerEnd,
                                      std::int64_t firstCount) {
  std::optional<LineSpan> fourth;
  std::size_t start = 0;
  for (std::size_t number = 1;; ++number) {
    const std::optional<std::size_t> cr = FindCrLf(text, start);
    if (!cr) return fourth;
    const LineSpan line{start, *cr};
    if (number == 4) fourth = line;
    if (number >= 4) {
      if (line.end + 2 > headerEnd) return fourth;
      if (HoldsOnlyTheCount(text.subspan(line.start, line.end - line.start), firstCount))
        return line;
    }
    start = line.end + 2;
  }
}

// Appends the topography section; false when row 1 lacks a position or an
// elevation.
bool AppendTopography(OutputBuffer& out, const TopographyTable& table) {
  if (table.CellText(1, 1).empty() || table.CellText(1, 2).empty()) return false;
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
  out.Append(section);
  return true;
}

void ShowMerged(MessageBoxes& messages, const std::u16string& outputPath) {
  MessageRequest request;
  request.text = outputPath;
  request.caption = u"文件合并成功";
  messages.Show(request);
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

int MergeToLongProfile(const MergeJob& job, const TopographyTable& topography, FileAccess& files,
                       MessageBoxes& messages, MergeInputReport& report) {
  OutputBuffer out;
  std::int32_t merged = 0;
  std::int64_t total = 0;  // 30 files of up to 2^31 lines each do not fit 32 bits
  std::int64_t firstCount = 0;
  std::size_t firstHeaderEnd = 0;

  for (const InputFileRow& row : job.rows()) {
    if (row.inputPath.empty()) continue;
    MappedInput input(files);
    if (files.OpenAndMap(row.inputPath) == nullptr) {
      report.LeftOut(row.inputPath, MergeInputReport::Reason::NotRead);
      continue;
    }
    const std::span<const std::uint8_t> content = files.Content();
    DataBlock block;
    if (LocateDataBlock(content.data(), content.size(), block) <= 1) {
      ShowJobError(messages, u"非反演格式或格式错误");
      report.LeftOut(row.inputPath, MergeInputReport::Reason::Refused);
      continue;
    }
    if (merged++ == 0) {
      // The first file's terminator line and everything after it are dropped.
      out.Append(content.data(), block.end);
      firstCount = block.lineCount;
      firstHeaderEnd = block.firstLine;
    } else {
      out.Append(content.data() + block.firstLine, block.end - block.firstLine);
    }
    total += block.lineCount;
  }
  if (merged == 0) return 1;

  if (job.withTopography() && !AppendTopography(out, topography)) {
    ShowJobError(messages, u"首电极地形数据无效");
    return 0;
  }
  out.Append(kTrailer);

  if (const std::optional<LineSpan> line = FindCountLine(out.Bytes(), firstHeaderEnd, firstCount))
    out.Replace(line->start, line->end, FormatInteger(total));

  files.SetSavePath(job.outputPath());
  if (files.WriteWholeFile(out.Bytes()) == 0)
    ShowJobError(messages, u"文件合并失败，请检查输出文件名");
  else
    ShowMerged(messages, job.outputPath());
  return 1;
}

}  // namespace dorvane

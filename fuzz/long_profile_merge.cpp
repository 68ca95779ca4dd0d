// The merge on arbitrary inputs: the fuzz input is split at kSeparator into up to
// three data files and a topography table (lines of "position<TAB>elevation").
// The first byte chooses whether topography is added.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_block.h"
#include "data/decimal.h"
#include "data/long_profile_merge.h"

namespace {

namespace fs = std::filesystem;
using namespace dorvane;

constexpr std::string_view kSeparator = "\xF0\xF1\xF2";
constexpr std::string_view kTrailer = "0\r\n0\r\n0\r\n0";

class RecordedMessages : public MessageBoxes {
 public:
  MessageAnswer Show(const MessageRequest& request) override {
    captions.push_back(request.caption);
    texts.push_back(request.text);
    return MessageAnswer::Ok;
  }
  std::vector<std::u16string> captions;
  std::vector<std::u16string> texts;
};

class Table : public TopographyTable {
 public:
  explicit Table(std::string_view text) {
    rows_.push_back({});  // the title row
    while (!text.empty()) {
      const std::size_t end = std::min(text.find('\n'), text.size());
      const std::string_view line = text.substr(0, end);
      const std::size_t tab = std::min(line.find('\t'), line.size());
      rows_.push_back(
          {Widen(line.substr(0, tab)), Widen(line.substr(std::min(tab + 1, line.size())))});
      text.remove_prefix(std::min(end + 1, text.size()));
    }
  }
  std::int32_t RowCount() const override { return static_cast<std::int32_t>(rows_.size()); }
  std::u16string CellText(std::int32_t row, std::int32_t column) const override {
    if (row < 0 || row >= RowCount() || column < 1 || column > 2) return {};
    return rows_[row][column - 1];
  }

 private:
  static std::u16string Widen(std::string_view bytes) { return {bytes.begin(), bytes.end()}; }
  std::vector<std::array<std::u16string, 2>> rows_;
};

// Where the scratch folder goes: in memory where the system has a file system
// there, since on a disk a run's durable writes cost more than the rest of it.
fs::path ScratchParent() {
  const fs::path memory = "/dev/shm";
  std::error_code error;
  if (fs::is_directory(memory, error) && ::access(memory.c_str(), W_OK | X_OK) == 0) return memory;
  return fs::temp_directory_path();
}

// One scratch folder per fuzzing process, removed when it exits.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (ScratchParent() / "dorvane-fuzz-merge-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

const fs::path& Folder() {
  static const ScratchFolder folder;
  return folder.path();
}

std::u16string Utf16Path(const fs::path& path) {
  const std::string narrow = path.string();  // ASCII: the temporary folder and our names
  return {narrow.begin(), narrow.end()};
}

void Require(bool condition) {
  if (!condition) std::abort();
}

std::optional<double> OnlyNumberOf(std::string_view line) {
  std::vector<std::string_view> tokens;
  for (std::size_t p = 0; p < line.size();) {
    const auto byte = static_cast<std::uint8_t>(line[p]);
    if (IsLetterByte(byte)) return std::nullopt;
    if (!IsNumberByte(byte)) {
      ++p;
      continue;
    }
    const std::size_t start = p;
    while (p < line.size() && IsNumberByte(static_cast<std::uint8_t>(line[p]))) ++p;
    tokens.push_back(line.substr(start, p - start));
  }
  if (tokens.size() != 1) return std::nullopt;
  const DecimalPrefix number = ReadDecimalPrefix(tokens[0]);
  if (number.end != tokens[0].size()) return std::nullopt;
  return number.value;
}

// The expected count rewrite, from the CR LF lines of the whole text: line 4
// after an index-based array type (line 3), line 7 after a general array's
// caption and its value, else the first header line from 4 on that holds the
// first file's count, else line 4.
void RewriteCount(std::string& text, std::size_t headerEnd, std::int64_t firstCount,
                  std::int64_t total) {
  std::vector<std::pair<std::size_t, std::size_t>> lines;
  for (std::size_t start = 0, cr; (cr = text.find("\r\n", start)) != std::string::npos;
       start = cr + 2)
    lines.emplace_back(start, cr);
  if (lines.size() < 4) return;
  std::size_t header = 0;
  while (header < lines.size() && lines[header].second + 2 <= headerEnd) ++header;
  auto line = [&](std::size_t n) {
    return std::string_view(text.data() + lines[n - 1].first,
                            lines[n - 1].second - lines[n - 1].first);
  };
  auto holdsALetter = [](std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return IsLetterByte(static_cast<std::uint8_t>(c)); });
  };
  std::size_t chosen = 0;
  const std::optional<double> type = header >= 4 ? OnlyNumberOf(line(3)) : std::nullopt;
  if (type && *type >= 1 && *type <= 7 && *type == static_cast<int>(*type) && OnlyNumberOf(line(4)))
    chosen = 4;
  else if (type && *type == 11 && header >= 7 && holdsALetter(line(5)) && OnlyNumberOf(line(7)))
    chosen = 7;
  for (std::size_t n = 4; chosen == 0 && n <= header; ++n)
    if (OnlyNumberOf(line(n)) == static_cast<double>(firstCount)) chosen = n;
  if (chosen == 0) chosen = 4;
  const auto [start, end] = lines[chosen - 1];
  text.replace(start, end - start, std::to_string(total));
}

std::string TopographySection(const Table& table) {
  std::string points;
  int count = 0;
  for (std::int32_t row = 1; row < table.RowCount(); ++row) {
    const std::u16string x = table.CellText(row, 1), z = table.CellText(row, 2);
    if (x.empty() || z.empty()) continue;
    ++count;
    points += FormatFixed3(DecimalToFloat(x)) + "  " + FormatFixed3(DecimalToFloat(z)) + "\r\n";
  }
  return "2\r\n" + std::to_string(count) + "\r\n" + points + "1\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool withTopography = data[0] & 1;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string_view> parts;
  while (parts.size() < 3) {
    const std::size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) break;
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + kSeparator.size());
  }
  const std::string_view topography = parts.empty() ? std::string_view() : rest;
  if (parts.empty()) parts.push_back(rest);

  MergeJob job;
  std::size_t valid = 0, refused = 0, unreadable = 0, headerEnd = 0;
  std::int64_t firstCount = 0, total = 0;
  std::string expected;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const fs::path path = Folder() / ("in" + std::to_string(i) + ".dat");
    std::ofstream(path, std::ios::binary).write(parts[i].data(), parts[i].size());
    if (i > 0) job.AppendRow();
    job.row(i).inputPath = Utf16Path(path);
    DataBlock block;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(parts[i].data());
    if (parts[i].empty()) {
      ++unreadable;
    } else if (const std::int32_t count = LocateDataBlock(bytes, parts[i].size(), block);
               count > 1) {
      if (valid++ == 0) {
        expected.assign(parts[i].substr(0, block.end));
        headerEnd = block.firstLine;
        firstCount = count;
      } else {
        expected += parts[i].substr(block.firstLine, block.end - block.firstLine);
      }
      total += count;
    } else {
      ++refused;
    }
  }
  const fs::path out = Folder() / "out.dat";
  fs::remove(out);
  job.SetOutputPath(Utf16Path(out));
  job.SetWithTopography(withTopography);

  RecordedMessages messages;
  FileAccess files(messages);
  const Table table(topography);
  const int result = MergeToLongProfile(job, table, files, messages);

  std::size_t formatMessages = 0;
  for (const std::u16string& text : messages.texts)
    formatMessages += text == u"非反演格式或格式错误";
  Require(formatMessages == refused);
  Require(messages.texts.size() >= refused + unreadable);
  Require(files.FileSize() == FileAccess::kNoSize);

  const bool topographyStops =
      withTopography && (table.CellText(1, 1).empty() || table.CellText(1, 2).empty());
  if (valid == 0 || topographyStops) {
    Require(!fs::exists(out));
    Require(result == (valid != 0 && topographyStops ? 0 : 1));
    Require(messages.texts.size() == refused + unreadable + (valid != 0 ? 1 : 0));
    return 0;
  }
  std::ifstream in(out, std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(in), {}};
  if (withTopography) expected += TopographySection(table);
  expected += kTrailer;
  RewriteCount(expected, headerEnd, firstCount, total);
  Require(result == 1);
  Require(written == expected);
  Require(messages.captions.back() == u"文件合并成功" && messages.texts.back() == job.outputPath());
  return 0;
}

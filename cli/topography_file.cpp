#include "cli/topography_file.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

#include "platform/native_path.h"
#include "platform/utf8.h"

namespace dorvane::cli {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The first two fields; a missing one is empty.
std::pair<std::string_view, std::string_view> FirstTwoFields(std::string_view line) {
  const char separator = line.find('\t') != std::string_view::npos ? '\t' : ',';
  const auto first = line.find(separator);
  if (first == std::string_view::npos) return {line, {}};
  std::string_view rest = line.substr(first + 1);
  return {line.substr(0, first), rest.substr(0, rest.find(separator))};
}

}  // namespace

TopographyFile::TopographyFile(std::string_view utf8) {
  if (utf8.starts_with(kByteOrderMark)) utf8.remove_prefix(kByteOrderMark.size());
  for (const std::string_view line : SplitLines(utf8)) {
    const auto [position, elevation] = FirstTwoFields(line);
    points_.push_back(Point{Utf8ToUtf16(position), Utf8ToUtf16(elevation)});
  }
}

std::int32_t TopographyFile::RowCount() const {
  constexpr std::size_t kLargest = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(points_.size(), kLargest - 1) + 1);
}

std::u16string TopographyFile::CellText(std::int32_t row, std::int32_t column) const {
  if (row < 1 || static_cast<std::size_t>(row) > points_.size()) return {};
  const Point& point = points_[static_cast<std::size_t>(row) - 1];
  if (column == 1) return point.position;
  if (column == 2) return point.elevation;
  return {};
}

FileContents ReadWholeFile(const std::u16string& path) {
  std::error_code status;
  try {
    const std::filesystem::path file = NativePath(path);
    if (std::filesystem::is_directory(file, status)) {
      return {std::nullopt, std::make_error_code(std::errc::is_a_directory).message()};
    }
    errno = 0;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
      const int reason = errno != 0 ? errno : static_cast<int>(std::errc::io_error);
      return {std::nullopt, std::generic_category().message(reason)};
    }
    std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) return {std::nullopt, std::make_error_code(std::errc::io_error).message()};
    return {std::move(bytes), {}};
  } catch (const std::exception& error) {
    return {std::nullopt, error.what()};
  }
}

}  // namespace dorvane::cli

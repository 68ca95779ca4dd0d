// The merge on the Windows file system: inputs mapped in windows of pages and
// copied straight from their views, the reader's fast paths as MinGW builds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "data/long_profile_merge.h"
#include "data/scan_paths.h"
#include "platform/system_error.h"
#include "platform/win32/handles.h"
#include "win32_test_support.h"

namespace dorvane::win32::testing {
namespace {

const std::string kFirst =
    "Line 1\r\n1.0\r\n1\r\n3\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0\r\n0\r\n0\r\n";
const std::string kSecond = "Line 2\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n4 1 13\r\n5 1 14\r\n0\r\n0";

// A file of several scan windows.
std::string LargeData() {
  std::string data;
  while (data.size() < (9u << 20)) data += std::to_string(data.size()) + " 1 10.25\r\n";
  return data;
}

// Column 1 and 2 of row 1; its first read runs `change`, between the scan and
// the write of the merge.
class FirstPoint : public TopographyTable {
 public:
  explicit FirstPoint(std::function<void()> change = {}) : change_(std::move(change)) {}
  std::int32_t RowCount() const override { return 2; }
  std::u16string CellText(std::int32_t row, std::int32_t column) const override {
    if (change_) std::exchange(change_, nullptr)();
    if (row != 1) return {};
    return column == 1 ? u"0" : column == 2 ? u"100" : u"";
  }

 private:
  mutable std::function<void()> change_;
};

std::vector<std::u16string> Lines(const RecordingMessageBoxes& messages) {
  std::vector<std::u16string> lines;
  for (const MessageRequest& request : messages.shown)
    lines.push_back(request.caption + u": " + request.text);
  return lines;
}

class MergeWin32Test : public ::testing::Test {
 protected:
  MergeJob JobFor(const std::vector<std::wstring>& names) {
    MergeJob job;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (i > 0) job.AppendRow();
      job.row(i).inputPath = U16(folder_ / names[i]);
    }
    job.SetOutputPath(U16(folder_ / L"long.dat"));
    job.SetWithTopography(true);
    return job;
  }

  ScratchFolder folder_;
  RecordingMessageBoxes messages_;
  FileAccess files_{messages_};
};

TEST_F(MergeWin32Test, LargeInputsAreCopiedWholeFromTheirViews) {
  const std::string data = LargeData();
  const std::string large = "Big\r\n1.0\r\n1\r\n0\r\n0\r\n0\r\n" + data + "0\r\n0\r\n";
  WriteFileBytes(folder_ / L"a.dat", kFirst);
  WriteFileBytes(folder_ / L"big.dat", large);
  const MergeJob job = JobFor({L"a.dat", L"big.dat", L"big.dat"});
  const std::string lines = std::to_string(3 + 2 * std::count(data.begin(), data.end(), '\n'));

  EXPECT_EQ(MergeToLongProfile(job, FirstPoint(), files_, messages_), 1);
  EXPECT_EQ(Lines(messages_), std::vector<std::u16string>{u"文件合并成功: " + job.outputPath()});
  EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"),
            "Line 1\r\n1.0\r\n1\r\n" + lines + "\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n" +
                data + data + "2\r\n1\r\n0.000  100.000\r\n1\r\n0\r\n0\r\n0\r\n0");
  EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"a.dat", L"big.dat", L"long.dat"}));
}

// Rewritten to the same size with its write time put back, as copies that keep
// times and sync clients leave it: only the change time tells.
void RewriteKeepingTheWriteTime(const std::filesystem::path& path) {
  FILETIME written{};
  {
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ::GetFileTime(file.get(), nullptr, nullptr, &written);
  }
  ::Sleep(20);  // a clock tick
  std::string changed = kSecond;
  changed[0] = 'X';
  WriteFileBytes(path, changed);
  const UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ::SetFileTime(file.get(), nullptr, nullptr, &written);
}

TEST_F(MergeWin32Test, AnInputWrittenAfterItsScanIsNotReadAndNothingIsWritten) {
  const std::function<void(const std::filesystem::path&)> changes[] = {
      [](const std::filesystem::path& path) { WriteFileBytes(path, kSecond + "\r\n"); },
      RewriteKeepingTheWriteTime,
  };
  for (const auto& change : changes) {
    messages_.shown.clear();
    WriteFileBytes(folder_ / L"a.dat", kFirst);
    WriteFileBytes(folder_ / L"b.dat", kSecond);
    WriteFileBytes(folder_ / L"long.dat", "the previous merge");
    const MergeJob job = JobFor({L"a.dat", L"b.dat"});
    const FirstPoint grid([&] { change(folder_ / L"b.dat"); });

    EXPECT_EQ(MergeToLongProfile(job, grid, files_, messages_), 1);
    const std::vector<std::u16string> expected = {
        u"错误: 输入文件在合并过程中被修改，文件合并失败：" + U16(folder_ / L"b.dat")};
    EXPECT_EQ(Lines(messages_), expected);
    EXPECT_EQ(ReadFileBytes(folder_ / L"long.dat"), "the previous merge");
    EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"a.dat", L"b.dat", L"long.dat"}));
  }
}

TEST(ReaderWin32, EveryScanPathFindsTheSameBlock) {
  const std::string data = LargeData();
  const std::string text = "Title\r\n1.0\r\n1\r\n0\r\n0\r\n0\r\n" +
                           data.substr(0, data.find("\r\n", 5000) + 2) + "0\r\n0\r\n";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  DataBlock expected;
  const std::int32_t count = LocateDataBlockUsing(ScanPath::Portable, bytes, text.size(), expected);
  ASSERT_GT(count, 100);
  for (const ScanPath path : AvailableScanPaths()) {
    DataBlock block;
    EXPECT_EQ(LocateDataBlockUsing(path, bytes, text.size(), block), count) << ScanPathName(path);
    EXPECT_EQ(block.firstLine, expected.firstLine) << ScanPathName(path);
    EXPECT_EQ(block.end, expected.end) << ScanPathName(path);
  }
}

}  // namespace
}  // namespace dorvane::win32::testing

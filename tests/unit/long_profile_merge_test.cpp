#include "data/long_profile_merge.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/file_size_limit.h"
#include "support/scripted_message_boxes.h"

namespace dorvane {
namespace {

namespace fs = std::filesystem;
using testing::FileSizeLimit;
using testing::FromUtf8;
using testing::ScriptedMessageBoxes;
using Lines = std::vector<std::string>;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Points = std::vector<std::array<std::u16string, 2>>;

class GridCells : public TopographyTable {
 public:
  // Columns 1 and 2 of the rows after the title row.
  explicit GridCells(std::vector<std::array<std::u16string, 2>> points = {},
                     std::int32_t rows = 256)
      : points_(std::move(points)), rows_(rows) {}
  std::int32_t RowCount() const override { return rows_; }
  std::u16string CellText(std::int32_t row, std::int32_t column) const override {
    if (row < 1 || row >= rows_ || column < 1 || column > 2) return {};
    const std::size_t index = static_cast<std::size_t>(row - 1);
    return index < points_.size() ? points_[index][column - 1] : std::u16string();
  }

 private:
  Points points_;
  std::int32_t rows_;
};

const std::string kFirst =
    "Line 1\r\n1.0\r\n1\r\n3\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0\r\n0\r\n0\r\n";
const std::string kSecond =
    "Line 2\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n4 1 13\r\n5 1 14\r\n2\r\n2\r\n0 9\r\n5 9\r\n1\r\n0\r\n0";
const std::string kFirstHeaderRest = "Line 1\r\n1.0\r\n1\r\n";
const std::string kFirstData = "0\r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n";
const std::string kSecondData = "4 1 13\r\n5 1 14\r\n";
const std::string kTrailer = "0\r\n0\r\n0\r\n0";

class MergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dorvane-merge-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    job_.SetOutputPath(PathOf(Out()));
  }
  void TearDown() override {
    ::unsetenv("TMPDIR");  // set by the tests that write in place
    fs::permissions(folder_, fs::perms(0700));
    for (const auto& entry : fs::recursive_directory_iterator(folder_))
      if (entry.is_directory() && !entry.is_symlink()) fs::permissions(entry, fs::perms(0755));
    fs::remove_all(folder_);
  }

  fs::path Out() const { return folder_ / "long.dat"; }
  std::u16string PathOf(const fs::path& path) const { return FromUtf8(path.string()); }

  std::u16string Input(const std::string& name, std::string_view content) {
    std::ofstream(folder_ / name, std::ios::binary) << content;
    return PathOf(folder_ / name);
  }

  // One job row per path, in order; empty paths stay empty rows.
  void SetInputs(const std::vector<std::u16string>& paths) {
    while (job_.rows().size() < paths.size()) job_.AppendRow();
    for (std::size_t i = 0; i < paths.size(); ++i) job_.row(i).inputPath = paths[i];
  }

  int Merge(const TopographyTable& grid = GridCells()) {
    return MergeToLongProfile(job_, grid, files_, messages_);
  }

  Lines Success() const { return {"文件合并成功: " + Out().string()}; }

  fs::path folder_;
  MergeJob job_;
  ScriptedMessageBoxes messages_;
  FileAccess files_{messages_};
};

TEST_F(MergeTest, TwoFilesGiveFirstHeaderAllDataLinesAndTheTrailer) {
  SetInputs({Input("a.dat", kFirst), Input("b.dat", kSecond)});
  EXPECT_EQ(Merge(), 1);
  EXPECT_EQ(ReadFile(Out()), kFirstHeaderRest + "5\r\n" + kFirstData + kSecondData + kTrailer);
  EXPECT_EQ(messages_.Lines(), Success());
  const MessageRequest& shown = messages_.shown().back();
  EXPECT_EQ(shown.buttons, MessageButtons::Ok);
  EXPECT_EQ(shown.icon, MessageIcon::None);
  EXPECT_EQ(shown.owner, MessageOwner::MainDialog);
}

TEST_F(MergeTest, CountLineIsReplacedWhateverItHolds) {
  struct Case {
    const char* name;
    std::string first;
    std::string expected;    // up to the second file's data
    std::string whole = {};  // the whole output, when the count line lies further on
  };
  const Case cases[] = {
      {"spaces around the count",
       "T\r\n1\r\n1\r\n  3  \r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0",
       "T\r\n1\r\n1\r\n5\r\n0\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n"},
      {"text longer than the number", "T\r\n1\r\n1\r\nxxxx\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0",
       "T\r\n1\r\n1\r\n5\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n"},
      {"shorter header: a data line is line 4", "T\r\n1\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0",
       "T\r\n1\r\n1 1 10\r\n5\r\n3 1 12\r\n"},
      {"count on a later header line",
       "T\r\n1\r\n11\r\n15\r\nType\r\n0\r\n3    \r\n1 1 10\r\n2 1 "
       "11\r\n3 1 12\r\n0\r\n0",
       "T\r\n1\r\n11\r\n15\r\nType\r\n0\r\n5\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n"},
      {"a declared count that differs stays on line 4",
       "T\r\n1\r\n1\r\n300\r\n2\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0",
       "T\r\n1\r\n1\r\n5\r\n2\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n"},
      {"lines 1 to 3 are never taken", "T\r\n3\r\n3\r\n9\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n0\r\n0",
       "T\r\n3\r\n3\r\n5\r\n1 1 10\r\n2 1 11\r\n3 1 12\r\n"},
      // Without a CR LF in the first file, line 4 is the trailer's second line.
      {"line 4 lies past the first file", "1 1 10 \n2 1 11 \n0 \n0", "",
       "1 1 10 \n2 1 11 \n" + kSecondData + "0\r\n4\r\n0\r\n0"},
  };
  const std::u16string second = Input("b.dat", kSecond);
  for (const Case& c : cases) {
    messages_.Clear();
    SetInputs({Input("a.dat", c.first), second});
    Merge();
    EXPECT_EQ(ReadFile(Out()), c.whole.empty() ? c.expected + kSecondData + kTrailer : c.whole)
        << c.name;
    EXPECT_EQ(messages_.Lines(), Success()) << c.name;
  }
}

// The count line follows the measurement type, whatever it holds: a count made
// stale by deleting lines by hand, or a sub-array type (line 4, 15) that equals
// the number of data lines, never moves it to line 4.
TEST_F(MergeTest, GeneralArrayFileKeepsItsCountOnLineSeven) {
  const fs::path real = fs::path(DORVANE_REALDATA_DIR) / "resipy__res2dinv-multigradient.dat";
  const std::string original = ReadFile(real);
  ASSERT_NE(original.find("\r\n2.0\r\n11\r\n15\r\nType of data("), std::string::npos);
  const std::string countLine = "\r\n742     \r\n";
  const std::size_t at = original.find(countLine);
  ASSERT_NE(at, std::string::npos);
  const std::size_t firstData = original.find("\r\n4 ") + 2;
  const std::size_t trailer = original.rfind("\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
  ASSERT_NE(trailer, std::string::npos);
  const std::string header = original.substr(0, firstData);
  const std::string data = original.substr(firstData, trailer + 2 - firstData);
  ASSERT_EQ(std::count(data.begin(), data.end(), '\n'), 742);

  for (const int kept : {742, 600, 15}) {
    SCOPED_TRACE(kept);
    std::size_t end = 0;
    for (int line = 0; line < kept; ++line) end = data.find("\r\n", end) + 2;
    const std::u16string path =
        Input("general.dat", header + data.substr(0, end) + original.substr(trailer + 2));
    SetInputs({path, path});
    EXPECT_EQ(Merge(), 1);
    const std::string expected = original.substr(0, at) + "\r\n" + std::to_string(2 * kept) +
                                 "\r\n" + header.substr(at + countLine.size()) +
                                 data.substr(0, end) + data.substr(0, end) + kTrailer;
    EXPECT_EQ(ReadFile(Out()), expected);
  }
}

TEST_F(MergeTest, RefusedFilesAreReportedAndTheNextValidOneSuppliesTheHeader) {
  SetInputs({Input("bad.dat", "Title\r\n1 2\r\n"), u"", PathOf(folder_ / "missing.dat"),
             Input("empty.dat", ""), Input("b.dat", kSecond), Input("a.dat", kFirst)});
  EXPECT_EQ(Merge(), 1);
  const Lines expected = {"错误: 非反演格式或格式错误",
                          "提示!: " + std::string(std::strerror(ENOENT)),
                          "提示!: " + std::string(std::strerror(EINVAL)), Success().front()};
  EXPECT_EQ(messages_.Lines(), expected);
  EXPECT_EQ(ReadFile(Out()), "Line 2\r\n1.0\r\n1\r\n5\r\n0\r\n0\r\n" + kSecondData +
                                 "1 1 10\r\n2 1 11\r\n3 1 12\r\n" + kTrailer);
  EXPECT_EQ(files_.FileSize(), FileAccess::kNoSize);
}

TEST_F(MergeTest, SingleLineFileIsRefused) {
  SetInputs({Input("one.dat", "T\r\n1\r\n1\r\n1\r\n1 1 10\r\n0\r\n0\r\n")});
  EXPECT_EQ(Merge(), 1);
  EXPECT_EQ(messages_.Lines(), Lines{"错误: 非反演格式或格式错误"});
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(MergeTest, NothingMergedShowsNothingAndWritesNothing) {
  SetInputs({u"", u""});
  EXPECT_EQ(Merge(GridCells(Points{{u"0", u"100"}})), 1);
  job_.SetWithTopography(true);
  EXPECT_EQ(Merge(GridCells()), 1);
  EXPECT_TRUE(messages_.Lines().empty());
  EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(MergeTest, TopographySectionListsCompleteRowsInOrder) {
  struct Case {
    const char* name;
    GridCells grid;
    std::string section;
  };
  const Case cases[] = {
      {"two points", GridCells(Points{{u"0", u"100"}, {u"5", u"101.5"}}),
       "2\r\n2\r\n0.000  100.000\r\n5.000  101.500\r\n1\r\n"},
      {"incomplete row passed over", GridCells(Points{{u"0", u"100"}, {u"5", u""}, {u"10", u"99"}}),
       "2\r\n2\r\n0.000  100.000\r\n10.000  99.000\r\n1\r\n"},
      {"any text is a point",
       GridCells(Points{{u"12.3456", u"2.0005"}, {u"abc", u" "}, {u"1e3", u"-3"}}),
       "2\r\n3\r\n12.346  2.000\r\n0.000  0.000\r\n1000.000  -3.000\r\n1\r\n"},
      {"rows past the grid are not read", GridCells(Points{{u"1", u"2"}, {u"3", u"4"}}, 2),
       "2\r\n1\r\n1.000  2.000\r\n1\r\n"},
  };
  SetInputs({Input("a.dat", kFirst)});
  job_.SetWithTopography(true);
  for (const Case& c : cases) {
    messages_.Clear();
    EXPECT_EQ(Merge(c.grid), 1) << c.name;
    EXPECT_EQ(ReadFile(Out()), kFirstHeaderRest + "3\r\n" + kFirstData + c.section + kTrailer)
        << c.name;
    EXPECT_EQ(messages_.Lines(), Success()) << c.name;
  }
}

TEST_F(MergeTest, IncompleteFirstTopographyRowStopsTheJob) {
  const GridCells grids[] = {
      GridCells(Points{{u"0", u""}, {u"5", u"101"}}),
      GridCells(Points{{u"", u"100"}, {u"5", u"101"}}),
      GridCells(Points{{u"0", u"100"}}, 1),  // the title row only
  };
  SetInputs({Input("bad.dat", "x"), Input("a.dat", kFirst)});
  job_.SetWithTopography(true);
  for (const GridCells& grid : grids) {
    messages_.Clear();
    EXPECT_EQ(Merge(grid), 0);
    EXPECT_EQ(messages_.Lines(), (Lines{"错误: 非反演格式或格式错误", "错误: 首电极地形数据无效"}));
    EXPECT_FALSE(fs::exists(Out()));
  }
}

TEST_F(MergeTest, EmptyOutputPathReportsTheSystemErrorThenTheMergeFailure) {
  SetInputs({Input("a.dat", kFirst)});
  job_.SetOutputPath(u"");
  EXPECT_EQ(Merge(), 1);
  EXPECT_EQ(messages_.Lines(), (Lines{"提示!: " + std::string(std::strerror(ENOENT)),
                                      "错误: 文件合并失败，请检查输出文件名"}));
}

TEST_F(MergeTest, FailedWriteKeepsThePreviousOutput) {
  SetInputs({Input("a.dat", kFirst), Input("b.dat", kSecond)});
  std::ofstream(Out(), std::ios::binary) << "the previous merge";
  {
    FileSizeLimit limit(16);
    EXPECT_EQ(Merge(), 1);
  }
  EXPECT_EQ(messages_.Lines(), (Lines{"提示!: " + std::string(std::strerror(EFBIG)),
                                      "错误: 文件合并失败，请检查输出文件名"}));
  EXPECT_EQ(ReadFile(Out()), "the previous merge");

  messages_.Clear();
  fs::remove_all(folder_ / "gone");
  job_.SetOutputPath(PathOf(folder_ / "gone" / "long.dat"));
  EXPECT_EQ(Merge(), 1);
  EXPECT_EQ(messages_.Lines(), (Lines{"提示!: " + std::string(std::strerror(ENOENT)),
                                      "错误: 文件合并失败，请检查输出文件名"}));
}

// Read by the merge after every file has been scanned and before the output is
// written: the moment to change an input behind the merge's back.
class GridThatChangesAFile : public GridCells {
 public:
  GridThatChangesAFile(Points points, std::function<void()> change)
      : GridCells(std::move(points)), change_(std::move(change)) {}
  std::u16string CellText(std::int32_t row, std::int32_t column) const override {
    if (change_) std::exchange(change_, nullptr)();
    return GridCells::CellText(row, column);
  }

 private:
  mutable std::function<void()> change_;
};

class RecordedReport : public MergeInputReport {
 public:
  void LeftOut(const std::u16string& path, Reason reason) override {
    lines.push_back(testing::ToUtf8(path) +
                    (reason == Reason::NotRead ? ": not read" : ": skipped"));
  }
  Lines lines;
};

TEST_F(MergeTest, AnInputChangedAfterItsScanIsNotReadAndNothingIsWritten) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> change;
    int error;  // 0: a change, named as such
  };
  const Case cases[] = {
      {"rewritten in place, same size",
       [](const fs::path& path) {
         std::fstream(path, std::ios::in | std::ios::out | std::ios::binary) << "L";
       },
       0},
      // As `cp -p`, `touch -r` or a sync client leave it; a clock tick after the scan.
      {"rewritten to the same size, its times put back",
       [](const fs::path& path) {
         struct stat old {};
         ::stat(path.c_str(), &old);
         std::this_thread::sleep_for(std::chrono::milliseconds(20));
         std::fstream(path, std::ios::in | std::ios::out | std::ios::binary) << "X";
         const timespec times[2] = {old.st_atim, old.st_mtim};
         ::utimensat(AT_FDCWD, path.c_str(), times, 0);
       },
       0},
      {"cut short", [](const fs::path& path) { fs::resize_file(path, 20); }, 0},
      {"replaced by a copy with the same time",
       [](const fs::path& path) {
         fs::copy_file(path, path.string() + ".new");
         fs::last_write_time(path.string() + ".new", fs::last_write_time(path));
         fs::rename(path.string() + ".new", path);
       },
       0},
      {"removed", [](const fs::path& path) { fs::remove(path); }, ENOENT},
  };
  job_.SetWithTopography(true);
  for (const Case& c : cases) {
    messages_.Clear();
    const std::u16string first = Input("a.dat", kFirst);
    const std::u16string second = Input("b.dat", kSecond);
    // An hour old, so that a change now shows in the modification time.
    fs::last_write_time(folder_ / "b.dat",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    SetInputs({first, second});
    std::ofstream(Out(), std::ios::binary) << "the previous merge";
    const GridThatChangesAFile grid(Points{{u"0", u"100"}}, [&] { c.change(folder_ / "b.dat"); });
    RecordedReport report;

    EXPECT_EQ(MergeToLongProfile(job_, grid, files_, messages_, report), 1) << c.name;
    const Lines expected = c.error == 0 ? Lines{"错误: 输入文件在合并过程中被修改，文件合并失败：" +
                                                (folder_ / "b.dat").string()}
                                        : Lines{"提示!: " + std::string(std::strerror(c.error)),
                                                "错误: 文件合并失败，请检查输出文件名"};
    EXPECT_EQ(messages_.Lines(), expected) << c.name;
    EXPECT_EQ(report.lines, Lines{(folder_ / "b.dat").string() + ": not read"}) << c.name;
    EXPECT_EQ(ReadFile(Out()), "the previous merge") << c.name;
    for (const auto& entry : fs::directory_iterator(folder_))
      EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << c.name << ": " << entry.path();
  }
}

// Another program cuts an input short at some moment of the merge: whenever it
// happens, the merge neither crashes nor writes a file that mixes the input's
// old and new bytes.
TEST_F(MergeTest, AnInputCutShortDuringTheMergeNeverCrashesOrMixes) {
  std::string data;
  while (data.size() < (24u << 20)) data += std::to_string(data.size()) + " 1 10.25\r\n";
  std::int64_t lines = std::count(data.begin(), data.end(), '\n');
  const std::string big =
      "Big\r\n1.0\r\n1\r\n" + std::to_string(lines) + "\r\n0\r\n0\r\n" + data + "0\r\n0\r\n";
  const std::string withBig =
      kFirstHeaderRest + std::to_string(3 + lines) + "\r\n" + kFirstData + data + kTrailer;
  const std::string withoutBig = kFirstHeaderRest + "3\r\n" + kFirstData + kTrailer;
  const std::string previous = "the previous merge";
  const std::string path = (folder_ / "big.dat").string();
  const std::string skipped = "错误: 输入文件在合并过程中被修改，已跳过：" + path;
  const std::string format = "错误: 非反演格式或格式错误";
  const std::string changed = "错误: 输入文件在合并过程中被修改，文件合并失败：" + path;
  const std::string merged = Success().front();

  for (const int delayMicroseconds : {0, 200, 1000, 3000, 6000, 12000, 25000}) {
    messages_.Clear();
    SetInputs({Input("a.dat", kFirst), Input("big.dat", big)});
    std::ofstream(Out(), std::ios::binary) << previous;
    std::thread cutter([&] {
      std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds));
      fs::resize_file(folder_ / "big.dat", 4096);
    });
    Merge();
    cutter.join();

    const Lines shown = messages_.Lines();
    const std::string out = ReadFile(Out());
    const bool valid = (shown == Lines{merged} && out == withBig) ||
                       ((shown == Lines{format, merged} || shown == Lines{skipped, merged}) &&
                        out == withoutBig) ||
                       (shown == Lines{changed} && out == previous);
    EXPECT_TRUE(valid) << delayMicroseconds << " us: " << ::testing::PrintToString(shown) << ", "
                       << out.size() << " bytes";
  }
}

// Runs `body` in a child process, by default as a user without privileges
// (nobody, when the tests run as root, who may write anything), and returns its
// exit status.
int RunUnprivileged(const std::function<int()>& body, bool asNobody = true) {
  const pid_t child = ::fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (asNobody && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(255);
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A folder that refuses new files has its writable files written in place, which
// cuts the file short first: an input that is the output must be read before.
TEST_F(MergeTest, OutputThatIsAnInputInAFolderRefusingNewFilesKeepsItsData) {
  const fs::path sub = folder_ / "read-only";
  fs::create_directory(sub);
  std::ofstream(sub / "long.dat", std::ios::binary) << kFirst;
  std::ofstream(sub / "b.dat", std::ios::binary) << kSecond;
  fs::permissions(sub / "long.dat", fs::perms(0666));
  fs::permissions(folder_, fs::perms(0755));
  fs::permissions(sub, fs::perms(0555));
  SetInputs({PathOf(sub / "long.dat"), PathOf(sub / "b.dat"), PathOf(sub / "long.dat")});
  job_.SetOutputPath(PathOf(sub / "long.dat"));

  const int status = RunUnprivileged([&] {
    Merge();
    return messages_.Lines() == Lines{"文件合并成功: " + (sub / "long.dat").string()} ? 0 : 1;
  });
  fs::permissions(sub, fs::perms(0755));

  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(sub / "long.dat"), kFirstHeaderRest + "8\r\n" + kFirstData + kSecondData +
                                            "1 1 10\r\n2 1 11\r\n3 1 12\r\n" + kTrailer);
}

// Written in place, the previous output survives every failure: an input found
// changed before the first piece, a disk that fills up. When even putting it back
// fails, the message says so.
TEST_F(MergeTest, AMergeWrittenInPlaceThatFailsLeavesThePreviousOutput) {
  const fs::path sub = folder_ / "read-only";
  const fs::path copies = folder_ / "tmp";
  fs::create_directory(sub);
  fs::create_directory(copies);
  fs::permissions(copies, fs::perms(0777));
  fs::permissions(folder_, fs::perms(0755));
  const std::string previous = "the previous merge, forty bytes or so...";
  const std::string changed =
      "错误: 输入文件在合并过程中被修改，文件合并失败：" + (sub / "b.dat").string();
  const std::string full = "提示!: " + std::string(std::strerror(EFBIG));
  struct Case {
    const char* name;
    rlim_t sizeLimit;
    bool changeAnInput;
    Lines shown;
  };
  const Case cases[] = {
      {"an input changed after its scan", RLIM_INFINITY, true, {changed}},
      {"disk full", 64, false, {full, "错误: 文件合并失败，请检查输出文件名"}},
      {"disk full below the previous size",
       24,
       false,
       {full, "错误: 文件合并失败，输出文件原有的内容未能恢复"}},
  };
  job_.SetOutputPath(PathOf(sub / "long.dat"));
  job_.SetWithTopography(true);
  ::setenv("TMPDIR", copies.c_str(), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.Clear();
    fs::permissions(sub, fs::perms(0755));
    std::ofstream(sub / "long.dat", std::ios::binary) << previous;
    std::ofstream(sub / "b.dat", std::ios::binary) << kSecond;
    fs::permissions(sub / "long.dat", fs::perms(0666));
    fs::permissions(sub / "b.dat", fs::perms(0666));
    fs::permissions(sub, fs::perms(0555));
    SetInputs({Input("a.dat", kFirst), PathOf(sub / "b.dat")});
    const GridThatChangesAFile grid(Points{{u"0", u"100"}}, [&] {
      if (c.changeAnInput) std::ofstream(sub / "b.dat", std::ios::app) << "\r\n";
    });

    const int status = RunUnprivileged([&] {
      FileSizeLimit limit(c.sizeLimit);
      MergeToLongProfile(job_, grid, files_, messages_);
      return messages_.Lines() == c.shown ? 0 : 1;
    });

    EXPECT_EQ(status, 0);
    // Below the previous size, its copy could only be held in memory.
    if (c.sizeLimit > previous.size()) {
      EXPECT_EQ(ReadFile(sub / "long.dat"), previous);
    }
    EXPECT_TRUE(fs::is_empty(copies));
  }
  ::unsetenv("TMPDIR");
  fs::permissions(sub, fs::perms(0755));
}

// Replaced through a temporary file, the output leaves an input that it is
// untouched until the end: no copy of that input is held in memory, only the
// windows of it that are being copied.
TEST_F(MergeTest, AnOutputThatIsAnInputIsNotHeldInMemoryWhenReplaced) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's own memory hides the merge's";
#endif
  std::string data;
  while (data.size() < (48u << 20)) data += std::to_string(data.size()) + " 1 10.25\r\n";
  const std::int64_t lines = std::count(data.begin(), data.end(), '\n');
  const std::string header = "Big\r\n1.0\r\n1\r\n" + std::to_string(lines) + "\r\n0\r\n0\r\n";
  SetInputs({Input("long.dat", header + data + "0\r\n0")});

  // Its peak of resident memory, from the start of the merge.
  const int status = RunUnprivileged(
      [&] {
        auto peakKiB = [] {
          std::ifstream statusFile("/proc/self/status");
          for (std::string line; std::getline(statusFile, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6));
          return 0ull;
        };
        if (!(std::ofstream("/proc/self/clear_refs") << "5")) return 2;
        const unsigned long long before = peakKiB();
        Merge();
        const unsigned long long grown = peakKiB() - before;
        if (messages_.Lines() != Success()) return 1;
        return grown < (16u << 10) ? 0 : 3;
      },
      false);

  EXPECT_EQ(status, 0);
  EXPECT_TRUE(ReadFile(Out()) == header + data + kTrailer);
}

TEST_F(MergeTest, OutputMayReplaceAnInputAndAFileMayBeMergedTwice) {
  const std::u16string first = Input("long.dat", kFirst);
  SetInputs({first, Input("b.dat", kSecond), first});
  EXPECT_EQ(Merge(), 1);
  EXPECT_EQ(ReadFile(Out()), kFirstHeaderRest + "8\r\n" + kFirstData + kSecondData +
                                 "1 1 10\r\n2 1 11\r\n3 1 12\r\n" + kTrailer);
  EXPECT_EQ(messages_.Lines(), Success());
}

TEST_F(MergeTest, TextWithFewerThanFourLineEndsIsWrittenUnchanged) {
  // Accepted by the reader: a separator before each LF makes the line ends.
  SetInputs({Input("lf.dat", "1 1 10 \n2 1 11 \n0 \n0")});
  EXPECT_EQ(Merge(), 1);
  EXPECT_EQ(ReadFile(Out()), "1 1 10 \n2 1 11 \n" + kTrailer);
}

TEST_F(MergeTest, OutputLargerThanFourMebibytesIsComplete) {
  std::string data;
  std::int64_t lines = 0;
  while (data.size() < 3 * 1024 * 1024) {
    data += std::to_string(lines) + " 1.00 10.25\r\n";
    ++lines;
  }
  const std::string header = "Big\r\n1.0\r\n1\r\n" + std::to_string(lines) + "\r\n0\r\n0\r\n";
  const std::u16string big = Input("big.dat", header + data + "0\r\n0\r\n");
  SetInputs({big, big});
  EXPECT_EQ(Merge(), 1);
  const std::string out = ReadFile(Out());
  EXPECT_EQ(out, "Big\r\n1.0\r\n1\r\n" + std::to_string(2 * lines) + "\r\n0\r\n0\r\n" + data +
                     data + kTrailer);
}

}  // namespace
}  // namespace dorvane

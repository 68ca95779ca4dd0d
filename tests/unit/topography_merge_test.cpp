#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "data/long_profile_merge.h"
#include "grid/grid_topography_table.h"
#include "model/merge_job.h"
#include "platform/file_access.h"
#include "support/grid_window_test.h"

namespace dorvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kFirstLine[] =
    "Line A\r\n1.0\r\n7\r\n3\r\n1\r\n0\r\n"
    "1 1 10\r\n2 1 11\r\n3 1 12\r\n"
    "0\r\n0\r\n0\r\n0\r\n";
constexpr char kSecondLine[] =
    "Line B\r\n1.0\r\n7\r\n2\r\n1\r\n0\r\n"
    "4 1 13\r\n5 1 14\r\n"
    "0\r\n0\r\n0\r\n0\r\n";
constexpr char kMergedData[] =
    "Line A\r\n1.0\r\n7\r\n5\r\n1\r\n0\r\n"
    "1 1 10\r\n2 1 11\r\n3 1 12\r\n4 1 13\r\n5 1 14\r\n";

// The topography typed into the main dialog's grid and merged with two lines.
class TopographyMerge : public GridWindowTest {
 protected:
  TopographyMerge() {
    // A folder of its own: tests run in parallel processes, where `this` can repeat.
    std::string pattern = (fs::temp_directory_path() / "dorvane-topo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    Write("a.dat", kFirstLine);
    Write("b.dat", kSecondLine);
  }
  ~TopographyMerge() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  void Write(const char* name, std::string_view bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::u16string PathOf(const char* name) const { return FromUtf8((folder_ / name).string()); }
  std::string ReadOutput() const {
    std::ifstream in(folder_ / "out.dat", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // A mode-0 job over both files with topography, read from the editor.
  int RunMerge() {
    MergeJob job;
    job.row(0).inputPath = PathOf("a.dat");
    job.AppendRow();
    job.row(1).inputPath = PathOf("b.dat");
    job.SetOutputPath(PathOf("out.dat"));
    job.SetWithTopography(true);
    FileAccess files(messages);
    const GridTopographyTable topography(*editor);
    return MergeToLongProfile(job, topography, files, messages);
  }

 private:
  fs::path folder_;
};

TEST_F(TopographyMerge, TypedAndFilledPointsFollowTheDataLines) {
  // Row 1 and 2 typed cell by cell; Enter moves down a row.
  TypeIntoCell(1, 1, u"0");
  TypeIntoCell(1, 2, u"100");
  TypeIntoCell(2, 1, u"5");
  TypeIntoCell(2, 2, u"101.5");
  // Two more points by the fill handle, and one incomplete row that is skipped.
  Select(1, 1, 2, 2);
  Paint();
  const PixelPoint handle{editor->selRectPx().right, editor->selRectPx().bottom};
  Send(msg::kLButtonDown, msg::kMkLButton, At(handle));
  Send(msg::kMouseMove, msg::kMkLButton, At(CellCentre(4, 1)));
  Send(msg::kLButtonUp, 0, At(CellCentre(4, 1)));
  TypeIntoCell(5, 1, u"12.3456");

  ASSERT_EQ(RunMerge(), 1);
  ASSERT_EQ(messages.Lines().size(), 1u);
  EXPECT_EQ(messages.shown()[0].caption, u"文件合并成功");
  EXPECT_EQ(ReadOutput(), std::string(kMergedData) +
                              "2\r\n4\r\n"
                              "0.000  100.000\r\n"
                              "5.000  101.500\r\n"
                              "10.000  103.000\r\n"
                              "15.000  104.500\r\n"
                              "1\r\n"
                              "0\r\n0\r\n0\r\n0");
}

TEST_F(TopographyMerge, TheTableReadsTheTitlesAndEmptyTextOutsideTheGrid) {
  const GridTopographyTable table(*editor);
  EXPECT_EQ(table.RowCount(), 256);
  EXPECT_EQ(table.CellText(0, 1), u"X坐标(斜距)");
  EXPECT_EQ(table.CellText(1, 0), u"1(首电极地形)");
  EXPECT_EQ(table.CellText(256, 1), u"");
  EXPECT_EQ(table.CellText(1, 3), u"");
  EXPECT_EQ(table.CellText(-1, 1), u"");
}

}  // namespace
}  // namespace dorvane::testing

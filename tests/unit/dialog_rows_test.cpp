#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "app/dialog_job.h"
#include "app/row_table.h"
#include "support/scripted_message_boxes.h"
#include "survey/survey.h"

namespace dorvane::app {
namespace {

using testing::ScriptedMessageBoxes;

// A first row as the dialog measures it at 96 dpi.
RowControls FirstRow() {
  RowControls row;
  row.left = 12;
  row.top = 182;
  row.width = 249;
  row.height = 156;
  return row;
}

TEST(RowTable, RowsFillTheColumnThenStartOneNearTheTopThenStop) {
  // Room for three rows in a column and for two columns beside the grid.
  const ScreenRoom room{1000, 182 + 3 * 156 + 2 * 20, 261};
  RowTable rows(FirstRow());
  struct Expected {
    std::int32_t left;
    std::int32_t top;
  };
  const Expected expected[] = {
      {12, 182 + 176},       {12, 182 + 2 * 176},  // below the last row
      {12 + 269, 182 - 176}, {12 + 269, 182},      // a new column, near the top
      {12 + 269, 182 + 176}, {12 + 269, 182 + 2 * 176},
  };
  for (const Expected& next : expected) {
    const RowControls* added = rows.AddRow(room);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->left, next.left);
    EXPECT_EQ(added->top, next.top);
    EXPECT_EQ(added->width, 249);
    EXPECT_EQ(added->height, 156);
  }
  EXPECT_EQ(rows.AddRow(room), nullptr);  // a third column would not fit beside the grid
  EXPECT_EQ(rows.rowCount(), 7u);
  EXPECT_EQ(rows.nextControlId(), 2200 + 6 * 13);
}

TEST(RowTable, ThirtyRowsAtMostEvenOnAHugeScreen) {
  RowTable rows(FirstRow());
  const ScreenRoom room{100000, 100000, 261};
  while (rows.AddRow(room) != nullptr) {
  }
  EXPECT_EQ(rows.rowCount(), RowTable::kCapacity);
}

TEST(RowTable, LocatesCommandIdsOfExistingRowsOnly) {
  const ScreenRoom room{10000, 10000, 261};
  RowTable rows(FirstRow());
  rows.AddRow(room);
  rows.AddRow(room);
  struct Case {
    std::int32_t id;
    bool found;
    std::size_t row;
    std::size_t position;
  };
  const Case cases[] = {
      {2009, true, 0, 0},  {2021, true, 0, 12}, {2201, true, 1, 0},  {2213, true, 1, 12},
      {2214, true, 2, 0},  {2219, true, 2, 5},  {2226, true, 2, 12}, {2227, false, 0, 0},
      {2200, false, 0, 0}, {2008, false, 0, 0}, {2022, false, 0, 0}, {1007, false, 0, 0},
  };
  for (const Case& c : cases) {
    const auto slot = rows.Locate(c.id);
    ASSERT_EQ(slot.has_value(), c.found) << c.id;
    if (!slot) continue;
    EXPECT_EQ(slot->row, c.row) << c.id;
    EXPECT_EQ(slot->position, c.position) << c.id;
  }
}

TEST(RowTable, DialogGrowsByARowOrAColumnOnlyWhenTheNewRowLeavesTheClientArea) {
  const RowControls first = FirstRow();
  RowControls below = first;
  below.top = first.top + 176;
  RowControls beside = first;
  beside.left = first.left + 269;
  beside.top = first.top - 176;
  struct Case {
    RowControls added;
    PixelSize client;
    PixelSize growth;
  };
  const Case cases[] = {
      {below, {541, 348}, {0, 176}},
      {below, {541, 600}, {0, 0}},
      {beside, {541, 348}, {269, 0}},
      {beside, {900, 348}, {0, 0}},
  };
  for (const Case& c : cases) {
    const PixelSize growth = DialogGrowth(first, c.added, c.client, 261);
    EXPECT_EQ(growth.width, c.growth.width);
    EXPECT_EQ(growth.height, c.growth.height);
  }
}

TEST(RowTable, GridFrameMovesBesideTheNewRowAndReachesTheLowestRow) {
  const ScreenRoom room{10000, 182 + 2 * 156 + 20, 261};
  RowTable rows(FirstRow());
  const PixelRect frame{276, 33, 261, 278};
  const RowControls second = *rows.AddRow(room);
  PixelRect moved = GridFrameBeside(rows, second, frame);
  EXPECT_EQ(moved.left, 12 + 249 + 20);
  EXPECT_EQ(moved.top, 33);
  EXPECT_EQ(moved.width, 261);
  EXPECT_EQ(moved.height, 182 + 176 + 156 - 33);

  const RowControls third = *rows.AddRow(room);  // starts the second column
  moved = GridFrameBeside(rows, third, moved);
  EXPECT_EQ(moved.left, third.left + 249 + 20);
  EXPECT_EQ(moved.height, 182 + 176 + 156 - 33);
}

TEST(RowTable, AGrownWindowMovesBackOntoTheWorkArea) {
  const PixelRect work{0, 0, 1024, 738};
  struct Case {
    PixelRect window;
    PixelRect kept;
  };
  const Case cases[] = {
      {{100, 50, 600, 400}, {100, 50, 600, 400}},    // inside: stays
      {{700, 50, 600, 400}, {424, 50, 600, 400}},    // over the right edge
      {{100, 500, 600, 400}, {100, 338, 600, 400}},  // over the bottom
      {{100, 50, 1500, 760}, {0, 0, 1024, 738}},     // larger than the screen
  };
  for (const Case& c : cases) {
    const PixelRect kept = KeepInside(c.window, work);
    EXPECT_EQ(kept.left, c.kept.left);
    EXPECT_EQ(kept.top, c.kept.top);
    EXPECT_EQ(kept.width, c.kept.width);
    EXPECT_EQ(kept.height, c.kept.height);
  }
}

TEST(DialogJob, BuildsTheJobFromTheControlsInRowOrder) {
  DialogControlState state;
  state.mode = MergeMode::CollateScript;
  state.rows = {{u"a.dat", u"0", u"5", true, false}, {u"", u"abc", u"", false, true}};
  state.outputPath = u"out.dat";
  state.topographyChecked = true;
  state.topographyAvailable = true;
  const MergeJob job = BuildMergeJob(state);
  EXPECT_EQ(job.mode(), MergeMode::CollateScript);
  ASSERT_EQ(job.rows().size(), 2u);
  EXPECT_EQ(job.row(0).inputPath, u"a.dat");
  EXPECT_EQ(job.row(0).firstElectrodeY, u"5");
  EXPECT_EQ(job.row(0).lineSign, 0);
  EXPECT_EQ(job.row(0).lineDirection, 1);
  EXPECT_EQ(job.row(1).firstElectrodeX, u"abc");
  EXPECT_EQ(job.row(1).lineSign, 1);
  EXPECT_EQ(job.row(1).lineDirection, 0);
  EXPECT_EQ(job.outputPath(), u"out.dat");
  EXPECT_FALSE(job.withTopography());  // never in a script mode

  state.mode = MergeMode::LongProfileMerge;
  EXPECT_TRUE(BuildMergeJob(state).withTopography());
  state.topographyAvailable = false;  // no grid: the merge runs without topography
  EXPECT_FALSE(BuildMergeJob(state).withTopography());
}

// A grid whose cells cannot be read.
class FailingTable : public TopographyTable {
 public:
  explicit FailingTable(bool outOfMemory) : outOfMemory_(outOfMemory) {}
  std::int32_t RowCount() const override { return 3; }
  std::u16string CellText(std::int32_t, std::int32_t) const override {
    if (outOfMemory_) throw std::bad_alloc();
    throw std::out_of_range("row");
  }

 private:
  bool outOfMemory_;
};

TEST(DialogJob, AFailingMergeEndsInAnErrorMessageAndNoFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("dorvane-dialog-job-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path input = folder / "line.dat";
  std::ofstream(input, std::ios::binary)
      << "L\r\n1\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n0\r\n0\r\n0\r\n0";
  const std::filesystem::path output = folder / "out.dat";

  for (const bool outOfMemory : {true, false}) {
    DialogControlState state;
    state.rows = {{testing::FromUtf8(input.string()), u"0", u"0", true, true}};
    state.outputPath = testing::FromUtf8(output.string());
    state.topographyChecked = true;
    state.topographyAvailable = true;
    ScriptedMessageBoxes messages;
    FileAccess files(messages);
    const std::unique_ptr<CodePage> codePage = MakeCodePage("UTF-8");
    RunMergeJob(BuildMergeJob(state), FailingTable(outOfMemory), files, messages, *codePage);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].caption, u"错误");
    EXPECT_EQ(messages.shown()[0].text, outOfMemory ? u"内存不足，文件合并失败" : u"文件合并失败");
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_TRUE(files.Content().empty());  // the input is not left open
  }
  std::filesystem::remove_all(folder);
}

Finding Found(std::string code, FindingLevel level, std::int32_t input, std::uint64_t line) {
  Finding finding;
  finding.code = std::move(code);
  finding.level = level;
  finding.input = input;
  finding.line = line;
  finding.message = u"第" + testing::FromUtf8(std::to_string(line)) + u"行的问题";
  return finding;
}

TEST(DialogJob, TheQuestionListsTheErrorsWithFileAndLineThenCountsTheRest) {
  SurveyReport report;
  report.inputs.resize(2);
  report.inputs[0].path = u"D:\\s\\a.dat";
  report.inputs[0].readable = true;
  report.inputs[1].path = u"D:\\s\\gone.dat";  // not read: the job says so itself
  report.findings.push_back(Found("gap", FindingLevel::Warning, 0, 3));
  ScriptedMessageBoxes messages;
  EXPECT_TRUE(ConfirmJoin(report, messages));
  EXPECT_TRUE(messages.shown().empty()) << "warnings do not interrupt";

  report.findings.push_back(Found("ip-mismatch", FindingLevel::Error, -1, 0));
  report.findings.push_back(Found("unreadable-line", FindingLevel::Error, 1, 9));
  report.findings.push_back(Found("array-mismatch", FindingLevel::Error, 0, 0));
  for (std::uint64_t line = 7; line < 17; ++line)
    report.findings.push_back(Found("unreadable-line", FindingLevel::Error, 0, line));
  messages.AnswerNext(MessageAnswer::No);
  EXPECT_FALSE(ConfirmJoin(report, messages));
  ASSERT_EQ(messages.shown().size(), 1u);
  const MessageRequest& question = messages.shown()[0];
  EXPECT_EQ(question.caption, u"合并前检查");
  EXPECT_EQ(question.buttons, MessageButtons::YesNo);
  EXPECT_EQ(question.icon, MessageIcon::Question);
  EXPECT_TRUE(question.secondButtonDefault);
  EXPECT_EQ(question.owner, MessageOwner::MainDialog);
  EXPECT_EQ(question.text,
            u"第0行的问题\na.dat：第0行的问题\n"
            u"a.dat 第7行：第7行的问题\na.dat 第8行：第8行的问题\na.dat 第9行：第9行的问题\n"
            u"a.dat 第10行：第10行的问题\na.dat 第11行：第11行的问题\n"
            u"a.dat 第12行：第12行的问题\na.dat 第13行：第13行的问题\n"
            u"a.dat 第14行：第14行的问题\n……另有2项\n\n是否仍然继续？");
  EXPECT_TRUE(ConfirmJoin(report, messages)) << "Yes goes on";
}

struct CheckedJob {
  MergeMode mode;
  const char* second;  // file content of the second row
  MessageAnswer answer;
  bool asked;
};

// The whole path of "合并/创建" on files: the inputs are read, placed as the mode
// places them and checked before anything is written.
TEST(DialogJob, AJoinTheInversionWouldMisreadIsAskedAboutAndNoWritesNothing) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("dorvane-checked-job-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto write = [&](const char* name, const char* content) {
    std::ofstream(folder / name, std::ios::binary) << content;
    return testing::FromUtf8((folder / name).string());
  };
  const std::u16string wenner =
      write("a.dat", "A\r\n1\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 11\r\n0\r\n0\r\n0\r\n0");
  const char* kWenner = "B\r\n1\r\n1\r\n2\r\n0\r\n0\r\n3 1 12\r\n4 1 13\r\n0\r\n0\r\n0\r\n0";
  const char* kDipole = "D\r\n1\r\n3\r\n2\r\n0\r\n0\r\n3 1 1 12\r\n4 1 2 13\r\n0\r\n0\r\n0\r\n0";
  const std::filesystem::path output = folder / "out.dat";
  const CheckedJob cases[] = {
      {MergeMode::LongProfileMerge, kWenner, MessageAnswer::No, false},
      {MergeMode::LongProfileMerge, kDipole, MessageAnswer::No, true},
      {MergeMode::LongProfileMerge, kDipole, MessageAnswer::Yes, true},
      {MergeMode::ConcatenationScript, kDipole, MessageAnswer::No, true},
      {MergeMode::CollateScript, kDipole, MessageAnswer::No, true},
      {MergeMode::CollateScript, kDipole, MessageAnswer::Yes, true},
  };
  const std::unique_ptr<CodePage> codePage = MakeCodePage("UTF-8");
  for (const CheckedJob& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    std::filesystem::remove_all(folder / "written");
    const std::u16string second = write("b.dat", c.second);
    DialogControlState state;
    state.mode = c.mode;
    state.rows = {{wenner, u"0", u"0", true, true}, {second, u"10", u"0", true, true}};
    std::filesystem::create_directories(folder / "written");
    state.outputPath = testing::FromUtf8((folder / "written" / "out.dat").string());
    ScriptedMessageBoxes messages;
    messages.AnswerNext(c.answer);
    FileAccess files(messages);
    CheckAndRunMergeJob(BuildMergeJob(state), NoTopography(), files, messages, *codePage);

    const bool written = !c.asked || c.answer == MessageAnswer::Yes;
    ASSERT_EQ(messages.shown().size(), (c.asked ? 1u : 0u) + (written ? 1u : 0u));
    if (c.asked) {
      EXPECT_EQ(messages.shown()[0].caption, u"合并前检查");
      const std::string text = testing::ToUtf8(messages.shown()[0].text);
      EXPECT_NE(text.find("b.dat"), std::string::npos) << text;
    }
    if (written) {
      EXPECT_TRUE(messages.shown().back().caption.starts_with(u"文件合并成功"));
    }
    EXPECT_EQ(std::filesystem::is_empty(folder / "written"), !written);
  }
  std::filesystem::remove_all(folder);
}

TEST(DialogJob, DroppedFilesComeInFileManagerOrder) {
  const std::vector<std::u16string> dropped = {u"D:\\s\\line10.dat", u"D:\\s\\Line2.dat",
                                               u"D:\\s\\line1.dat", u"D:\\s\\a\\z.dat",
                                               u"D:\\s\\line03.dat"};
  const std::vector<std::u16string> expected = {u"D:\\s\\a\\z.dat", u"D:\\s\\line1.dat",
                                                u"D:\\s\\Line2.dat", u"D:\\s\\line03.dat",
                                                u"D:\\s\\line10.dat"};
  EXPECT_EQ(InFileManagerOrder(dropped), expected);
}

}  // namespace
}  // namespace dorvane::app

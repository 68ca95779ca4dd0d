#include "data/batch_script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/scripted_message_boxes.h"

namespace dorvane {
namespace {

namespace fs = std::filesystem;
using testing::FromUtf8;
using testing::ScriptedMessageBoxes;
using testing::ToUtf8;
using Lines = std::vector<std::string>;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const std::u16string kConcatenationName = u"连接为2D长断面的脚本文件.TXT";
const std::u16string kCollateName = u"核对2D到3D的脚本文件.TXT";

struct RowSetup {
  std::u16string path;
  std::u16string x = u"0";
  std::u16string y = u"0";
  std::int32_t sign = 0;
  std::int32_t direction = 0;
};

class BatchScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dorvane-script-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    codePage_ = MakeCodePage("CP936");
    ASSERT_NE(codePage_, nullptr);
    outputPath_ = folder_.string() + "/long.dat";
    job_.SetOutputPath(FromUtf8(outputPath_));
  }
  void TearDown() override { fs::remove_all(folder_); }

  void SetRows(const std::vector<RowSetup>& rows) {
    while (job_.rows().size() < rows.size()) job_.AppendRow();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      InputFileRow& row = job_.row(i);
      row.inputPath = rows[i].path;
      row.firstElectrodeX = rows[i].x;
      row.firstElectrodeY = rows[i].y;
      row.lineSign = rows[i].sign;
      row.lineDirection = rows[i].direction;
    }
  }

  int Write(MergeMode mode) { return WriteBatchScript(mode, job_, files_, messages_, *codePage_); }

  fs::path ScriptFile(const std::u16string& name) const { return folder_ / ToUtf8(name); }
  Lines Success(const std::u16string& name) const {
    return {"文件合并成功,位置在：: " + ScriptFile(name).string()};
  }

  fs::path folder_;
  std::string outputPath_;
  std::unique_ptr<CodePage> codePage_;
  MergeJob job_;
  ScriptedMessageBoxes messages_;
  FileAccess files_{messages_};
};

const std::vector<RowSetup> kThreeRows = {
    {u"D:\\in\\a.dat", u"0"}, {u"D:\\in\\b.dat", u"100"}, {u"D:\\in\\c.dat", u"200"}};

TEST_F(BatchScriptTest, ConcatenationScriptListsEveryFile) {
  SetRows(kThreeRows);
  EXPECT_EQ(Write(MergeMode::ConcatenationScript), 1);
  std::string expected =
      "Concatenation of several data files in RES2DINV\r\nNumber of files to concatenate\r\n3\r\n";
  const char* names[] = {"a", "b", "c"};
  const char* xs[] = {"0", "100", "200"};
  for (int i = 0; i < 3; ++i)
    expected += "File " + std::to_string(i + 1) +
                " parameters\r\nName of data file in RES2DINV format\r\nD:\\in\\" + names[i] +
                ".dat\r\nX location of first electrode along this line\r\n" + xs[i] +
                "\r\nLine sign (0=positive,1=negative)\r\n0\r\n";
  expected += "Name of Output file in RES2DINV format\r\n" + outputPath_ + "\r\nEnd of file";
  EXPECT_EQ(ReadFile(ScriptFile(kConcatenationName)), expected);
  EXPECT_EQ(messages_.Lines(), Success(kConcatenationName));
  EXPECT_EQ(messages_.shown().back().owner, MessageOwner::MainDialog);
  EXPECT_FALSE(fs::exists(folder_ / "long.dat"));
}

TEST_F(BatchScriptTest, CollateScriptAddsYDirectionAndSign) {
  SetRows({{u"D:\\in\\a.dat", u"0", u"0", 0, 0},
           {u"", u"", u""},
           {u"D:\\in\\b.dat", u" 12.5 m", u"-3", 1, 1}});
  EXPECT_EQ(Write(MergeMode::CollateScript), 1);
  const std::string expected =
      "Conversion of RES2DINV data files\r\nNumber of files to collate\r\n2\r\n"
      "File 1 parameters\r\nName of data file in RES2DINV format\r\nD:\\in\\a.dat\r\n"
      "X and Y location of first electrode along this line\r\n0,0\r\n"
      "Line direction (0=X,1=Y)\r\n0\r\nLine sign (0=positive,1=negative)\r\n0\r\n"
      "File 2 parameters\r\nName of data file in RES2DINV format\r\nD:\\in\\b.dat\r\n"
      "X and Y location of first electrode along this line\r\n 12.5 m,-3\r\n"
      "Line direction (0=X,1=Y)\r\n1\r\nLine sign (0=positive,1=negative)\r\n1\r\n"
      "Name of Output file in RES3DINV format\r\n" +
      outputPath_ + "\r\nEnd of file";
  EXPECT_EQ(ReadFile(ScriptFile(kCollateName)), expected);
  EXPECT_EQ(messages_.Lines(), Success(kCollateName));
}

TEST_F(BatchScriptTest, TextsAreWrittenInTheCodePage) {
  SetRows({{u"D:\\测线\\a.dat", u"东"}, {u"D:\\测线\\b.dat", u"x"}});
  job_.SetOutputPath(FromUtf8(folder_.string() + "/长断面.dat"));
  EXPECT_EQ(Write(MergeMode::ConcatenationScript), 1);
  const std::string script = ReadFile(ScriptFile(kConcatenationName));
  // CP936: 测 B2E2, 线 CFDF, 东 B6AB, 长 B3A4, 断 B6CF, 面 C3E6.
  EXPECT_NE(script.find("D:\\\xB2\xE2\xCF\xDF\\a.dat\r\n"), std::string::npos);
  EXPECT_NE(script.find("line\r\n\xB6\xAB\r\n"), std::string::npos);
  EXPECT_NE(script.find("/\xB3\xA4\xB6\xCF\xC3\xE6.dat\r\nEnd of file"), std::string::npos);
}

TEST_F(BatchScriptTest, ChecksStopTheRunInOrderAndWriteNothing) {
  struct Case {
    const char* name;
    MergeMode mode;
    std::vector<RowSetup> rows;
    bool outputPath;
    const char* message;
  };
  const Case cases[] = {
      {"one input",
       MergeMode::ConcatenationScript,
       {{u"a.dat"}, {u""}},
       true,
       "创建脚本文件最少需要两个输入文件"},
      {"no input, no output path",
       MergeMode::CollateScript,
       {{u""}},
       false,
       "创建脚本文件最少需要两个输入文件"},
      {"second X empty",
       MergeMode::ConcatenationScript,
       {{u"a.dat"}, {u"b.dat", u""}},
       false,
       "X方向坐标参数为空"},
      {"X before Y",
       MergeMode::CollateScript,
       {{u"a.dat", u"", u""}, {u"b.dat"}},
       true,
       "X方向坐标参数为空"},
      {"Y empty",
       MergeMode::CollateScript,
       {{u"a.dat", u"1", u""}, {u"b.dat", u""}},
       true,
       "Y方向坐标参数为空"},
      {"Y not needed for concatenation",
       MergeMode::ConcatenationScript,
       {{u"a.dat", u"1", u""}, {u"b.dat", u"2", u""}},
       false,
       "请检查输出文件名"},
      {"empty row skipped",
       MergeMode::CollateScript,
       {{u"a.dat"}, {u"", u"", u""}, {u"b.dat"}},
       false,
       "请检查输出文件名"},
      // A text the code page cannot hold would name another file or another place.
      {"X not in the code page",
       MergeMode::ConcatenationScript,
       {{u"a.dat", u"x\u0e01"}, {u"b.dat"}},
       true,
       "当前代码页无法表示的文字：x\u0e01"},
      {"path not in the code page",
       MergeMode::CollateScript,
       {{u"a.dat"}, {u"D:\\\U0001F600.dat"}},
       true,
       "当前代码页无法表示的文字：D:\\\U0001F600.dat"},
      {"Y not in the code page",
       MergeMode::CollateScript,
       {{u"a.dat", u"1", u"\uFF11"}, {u"b.dat", u"2", u"\u0627"}},
       true,
       "当前代码页无法表示的文字：\u0627"},
  };
  for (const Case& c : cases) {
    MergeJob fresh;
    job_ = fresh;
    messages_.Clear();
    SetRows(c.rows);
    job_.SetOutputPath(c.outputPath ? FromUtf8(outputPath_) : u"");
    EXPECT_EQ(Write(c.mode), 0) << c.name;
    EXPECT_EQ(messages_.Lines(), Lines{std::string("错误: ") + c.message}) << c.name;
    EXPECT_TRUE(fs::is_empty(folder_)) << c.name;
  }
}

// The C locale of cron jobs and containers holds ASCII only.
TEST_F(BatchScriptTest, AnOutputPathTheCodePageCannotHoldWritesNothing) {
  codePage_ = MakeCodePage("ANSI_X3.4-1968");
  SetRows(kThreeRows);
  job_.SetOutputPath(FromUtf8(folder_.string() + "/测线/合并.dat"));
  EXPECT_EQ(Write(MergeMode::ConcatenationScript), 0);
  EXPECT_EQ(messages_.Lines(),
            Lines{"错误: 当前代码页无法表示的文字：" + folder_.string() + "/测线/合并.dat"});
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(BatchScriptTest, OtherModesDoNothing) {
  SetRows(kThreeRows);
  EXPECT_EQ(Write(MergeMode::LongProfileMerge), 0);
  EXPECT_EQ(Write(static_cast<MergeMode>(7)), 0);
  EXPECT_TRUE(messages_.Lines().empty());
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(BatchScriptTest, ScriptPathReplacesTheOutputFileName) {
  struct Case {
    std::string output;  // relative to the temporary folder
    std::string script;
  };
  const Case cases[] = {
      {"/sub/long.dat", "/sub/"},
      {"/sub/", "/sub/"},
  };
  fs::create_directory(folder_ / "sub");
  SetRows(kThreeRows);
  for (const Case& c : cases) {
    job_.SetOutputPath(FromUtf8(folder_.string() + c.output));
    EXPECT_EQ(Write(MergeMode::CollateScript), 1);
    EXPECT_TRUE(fs::exists(folder_.string() + c.script + ToUtf8(kCollateName))) << c.output;
  }

  // Without a separator the script goes to the current folder.
  const fs::path saved = fs::current_path();
  fs::current_path(folder_);
  job_.SetOutputPath(u"long.dat");
  messages_.Clear();
  EXPECT_EQ(Write(MergeMode::ConcatenationScript), 1);
  fs::current_path(saved);
  EXPECT_EQ(messages_.Lines(), Lines{"文件合并成功,位置在：: " + ToUtf8(kConcatenationName)});
  const std::string script = ReadFile(ScriptFile(kConcatenationName));
  EXPECT_TRUE(script.ends_with("RES2DINV format\r\nlong.dat\r\nEnd of file"));
}

TEST_F(BatchScriptTest, BackslashSeparatesTooAndAFailedWriteIsReported) {
  SetRows(kThreeRows);
  job_.SetOutputPath(FromUtf8(folder_.string() + "/gone/x\\long.dat"));
  EXPECT_EQ(Write(MergeMode::ConcatenationScript), 1);
  EXPECT_EQ(messages_.Lines(),
            (Lines{"提示!: " + std::string(std::strerror(ENOENT)), "错误: 文件合并失败"}));
  EXPECT_EQ(files_.savePath(), FromUtf8(folder_.string() + "/gone/x\\") + kConcatenationName);
}

TEST_F(BatchScriptTest, LongTextsAreKeptWhole) {
  const std::u16string longPath = u"D:\\" + std::u16string(5000, u'测') + u".dat";
  SetRows({{longPath}, {u"b.dat"}});
  EXPECT_EQ(Write(MergeMode::ConcatenationScript), 1);
  const std::string script = ReadFile(ScriptFile(kConcatenationName));
  std::string encoded = "D:\\";
  for (int i = 0; i < 5000; ++i) encoded += "\xB2\xE2";
  EXPECT_NE(script.find("format\r\n" + encoded + ".dat\r\n"), std::string::npos);
}

}  // namespace
}  // namespace dorvane

// End-to-end tests of the command-line tool: the real binary, its streams and exit
// status, and the bytes of the files it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace dorvane {
namespace {

namespace fs = std::filesystem;

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

// Runs `program` with `args` in `folder`; stdout and stderr land in files there.
CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& folder) {
  const std::string outPath = (folder / ".stdout").string();
  const std::string errPath = (folder / ".stderr").string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : args) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const std::string workingFolder = folder.string();
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(workingFolder.c_str()) != 0) {
      _exit(126);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  CliResult result;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadBytes(outPath);
  result.err = ReadBytes(errPath);
  fs::remove(outPath);
  fs::remove(errPath);
  return result;
}

std::string CrLf(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) (text += line) += "\r\n";
  return text;
}

constexpr std::string_view kTrailer = "0\r\n0\r\n0\r\n0";

// A Wenner file: title, spacing, array type, declared count, x-location type,
// IP flag, the data lines, four zero lines.
std::string DataFile(std::string_view title, std::string_view declared,
                     std::initializer_list<std::string_view> data) {
  return CrLf({title, "1.0", "1", declared, "0", "0"}) + CrLf(data) + CrLf({"0", "0", "0", "0"});
}

const std::string kFileA = DataFile("Line A", "3", {"0 1 10.5", "1 1 11.25", "2 1 12"});
const std::string kFileB = DataFile("Line B", "2", {"5 1 20", "6 1 21"});
const std::string kHeaderA = CrLf({"Line A", "1.0", "1"});
const std::string kDataA = CrLf({"0 1 10.5", "1 1 11.25", "2 1 12"});
const std::string kDataB = CrLf({"5 1 20", "6 1 21"});
const std::string kHeaderTail = CrLf({"0", "0"});

std::string Lf(std::string text) {
  std::erase(text, '\r');
  return text;
}

constexpr std::string_view kUsageStart = "usage: dorvane";
constexpr std::string_view kMergedCaption = "文件合并成功: ";
// The caption ends in a colon of its own.
constexpr std::string_view kScriptCaption = "文件合并成功,位置在： ";
constexpr std::string_view kConcatenationName = "连接为2D长断面的脚本文件.TXT";
constexpr std::string_view kCollateName = "核对2D到3D的脚本文件.TXT";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dorvane-cli-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(std::string_view name) const { return (folder_ / name).string(); }
  std::string Write(std::string_view name, std::string_view bytes) const {
    WriteBytes(folder_ / name, bytes);
    return Path(name);
  }
  CliResult Run(const std::vector<std::string>& args) const {
    return RunProgram(DORVANE_CLI_PATH, args, folder_);
  }

  fs::path folder_;
};

// ---- check

struct CheckCase {
  const char* name;
  std::string content;
  std::string expected;  // the per-file line after "PATH: "
  bool valid;
  bool hint;
};

TEST_F(CliTest, CheckReportsEachFileAndHintsAtLfLineEnds) {
  const std::size_t firstA = CrLf({"Line A", "1.0", "1", "3", "0", "0"}).size();
  const std::string countA =
      "count=3 first=" + std::to_string(firstA) + " end=" + std::to_string(firstA + kDataA.size());
  const std::string single = DataFile("One", "1", {"0 1 10"});
  const std::size_t firstSingle = CrLf({"One", "1.0", "1", "1", "0", "0"}).size();
  const std::vector<CheckCase> cases = {
      {"valid", kFileA, countA, true, false},
      {"single data line", single,
       "count=1 first=" + std::to_string(firstSingle) +
           " end=" + std::to_string(firstSingle + CrLf({"0 1 10"}).size()),
       false, false},
      {"header only", CrLf({"Title", "1.0", "1", "0", "0"}), "count=0", false, false},
      {"LF line ends", Lf(kFileA), "count=0", false, true},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("file.dat", c.content);
    const CliResult result = Run({"check", path});
    EXPECT_EQ(result.out, path + ": " + c.expected + "\n");
    EXPECT_EQ(result.exitCode, c.valid ? 0 : 1);
    if (c.hint) {
      EXPECT_TRUE(result.err.starts_with(path + ": hint: the file has LF line ends")) << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one hint line";
    } else {
      EXPECT_EQ(result.err, "");
    }
  }
}

TEST_F(CliTest, CheckFailsWhenAnyFileIsInvalidOrUnreadable) {
  const std::string good = Write("good.dat", kFileB);
  const std::string bad = Write("bad.dat", CrLf({"nothing here"}));
  const std::string missing = Path("missing.dat");

  const CliResult allGood = Run({"check", good, good});
  EXPECT_EQ(allGood.exitCode, 0);

  const CliResult mixed = Run({"check", good, bad, missing, good});
  EXPECT_EQ(mixed.exitCode, 1);
  const std::string goodLine = good + ": count=2 first=" +
                               std::to_string(CrLf({"Line B", "1.0", "1", "2", "0", "0"}).size()) +
                               " end=" + std::to_string(kFileB.size() - 12) + "\n";
  EXPECT_EQ(mixed.out, goodLine + bad + ": count=0\n" + missing + ": not read\n" + goodLine);
  EXPECT_EQ(mixed.err, "提示!: No such file or directory\ndorvane: " + missing + ": not read\n");
}

// ---- merge

TEST_F(CliTest, MergeWritesHeaderOfFirstFileAllDataAndTrailer) {
  const std::string a = Write("a.dat", kFileA);
  const std::string b = Write("b.dat", kFileB);
  const std::string out = Path("merged.dat");
  // The empty argument is a row without a file: skipped silently.
  const CliResult result = Run({"merge", "-o", out, a, "", b});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, std::string(kMergedCaption) + out + "\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadBytes(out),
            kHeaderA + "5\r\n" + kHeaderTail + kDataA + kDataB + std::string(kTrailer));
}

// The dialog's 30 rows are its screen room; a merge on the command line takes more.
TEST_F(CliTest, MergeTakesMoreInputsThanTheDialogHasRows) {
  std::vector<std::string> args{"merge", "-o", Path("merged.dat")};
  std::string data;
  for (int i = 0; i < 40; ++i) {
    const std::string first = std::to_string(2 * i) + " 1 10";
    const std::string second = std::to_string(2 * i + 1) + " 1 11";
    args.push_back(Write("line" + std::to_string(i) + ".dat",
                         DataFile("Line " + std::to_string(i), "2", {first, second})));
    data += CrLf({first, second});
  }
  const CliResult result = Run(args);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadBytes(folder_ / "merged.dat"),
            CrLf({"Line 0", "1.0", "1", "80"}) + kHeaderTail + data + std::string(kTrailer));
}

TEST_F(CliTest, MergeAppendsTopographyFromTheTable) {
  const std::string a = Write("a.dat", kFileA);
  const std::string out = Path("merged.dat");
  // BOM, CR LF and LF ends, comma fields, a tab line whose comma is data, a row
  // without elevation (no point), a third field that is ignored, no final line end.
  const std::string table = Write("topo.txt",
                                  "\xEF\xBB\xBF"
                                  "0\t100\r\n"
                                  "5,101.5\n"
                                  "7\t\n"
                                  "10\t102,5\textra\r\n"
                                  "15.25,99");
  const CliResult result = Run({"merge", "--topography", table, "-o", out, a});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string topography = CrLf(
      {"2", "4", "0.000  100.000", "5.000  101.500", "10.000  102.000", "15.250  99.000", "1"});
  EXPECT_EQ(ReadBytes(out),
            kHeaderA + "3\r\n" + kHeaderTail + kDataA + topography + std::string(kTrailer));
}

struct FailedMerge {
  const char* name;
  std::vector<std::string> extraArgs;  // after "merge -o OUT"
  std::string expectedErr;
};

TEST_F(CliTest, MergeThatWritesNothingExitsWithOne) {
  const std::string bad = Write("bad.dat", CrLf({"Title", "1 2 3", "x"}));
  const std::string good = Write("good.dat", kFileA);
  const std::string noFirstPoint = Write("topo.txt", "0\t\n5\t101\n");
  const std::string emptyTable = Write("empty.txt", "");
  const std::vector<FailedMerge> cases = {
      {"invalid and empty rows",
       {bad, ""},
       "错误: 非反演格式或格式错误\ndorvane: " + bad + ": skipped\n"},
      {"only empty rows", {"", ""}, "dorvane: no input file could be merged; nothing written\n"},
      {"first point incomplete",
       {"--topography", noFirstPoint, good},
       "错误: 首电极地形数据无效\n"},
      {"empty table", {"--topography", emptyTable, good}, "错误: 首电极地形数据无效\n"},
      {"missing table",
       {"--topography", Path("none.txt"), good},
       "dorvane: cannot read the topography table '" + Path("none.txt") +
           "': No such file or directory\n"},
  };
  const std::string out = Path("merged.dat");
  for (const FailedMerge& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args{"merge", "-o", out};
    args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
    const CliResult result = Run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.expectedErr);
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(CliTest, MergeIntoMissingFolderReportsSystemErrorThenFailure) {
  const std::string a = Write("a.dat", kFileA);
  const CliResult result = Run({"merge", "-o", Path("no-such-folder/merged.dat"), a});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "提示!: No such file or directory\n"
            "错误: 文件合并失败，请检查输出文件名\n");
}

TEST_F(CliTest, MergeThatLeavesInputsOutNamesThemAndExitsWithThree) {
  const std::string bad = Write("bad.dat", CrLf({"Title", "1 2 3", "x"}));
  const std::string a = Write("a.dat", kFileA);
  const std::string missing = Path("missing.dat");
  const std::string out = Path("merged.dat");
  const CliResult result = Run({"merge", "-o", out, bad, a, missing});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.out, std::string(kMergedCaption) + out + "\n");
  EXPECT_EQ(result.err,
            "错误: 非反演格式或格式错误\n"
            "dorvane: " +
                bad +
                ": skipped\n"
                "提示!: No such file or directory\n"
                "dorvane: " +
                missing + ": not read\n");
  EXPECT_EQ(ReadBytes(out), kHeaderA + "3\r\n" + kHeaderTail + kDataA + std::string(kTrailer));
}

// Another program cuts the input short while the tool reads it: whenever that
// happens, the tool ends normally, and a read failure or change names the file.
TEST_F(CliTest, AnInputCutShortWhileReadNeverEndsTheTool) {
  std::string data;
  while (data.size() < (24u << 20)) data += std::to_string(data.size()) + " 1 10.25\r\n";
  const std::string big = CrLf({"Big", "1.0", "1", "0", "0", "0"}) + data + CrLf({"0", "0"});
  const std::string path = Path("big.dat");
  for (const bool merge : {false, true}) {
    for (const int delayMicroseconds : {500, 2000, 5000, 10000, 20000}) {
      SCOPED_TRACE(std::string(merge ? "merge" : "check") + " " +
                   std::to_string(delayMicroseconds));
      WriteBytes(path, big);
      std::thread cutter([&] {
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds));
        fs::resize_file(path, 4096);
      });
      const CliResult result =
          merge ? Run({"merge", "-o", Path("out.dat"), path}) : Run({"check", path});
      cutter.join();
      EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1) << result.exitCode;
      // A read failure, or a change seen by the merge, named in the line after it.
      if (result.err.find("提示!: ") != std::string::npos ||
          result.err.find("在合并过程中被修改") != std::string::npos) {
        EXPECT_NE(result.err.find("dorvane: " + path + ": not read\n"), std::string::npos)
            << result.err;
      }
    }
  }
}

// ---- scripts

TEST_F(CliTest, Script2dWritesConcatenationScriptIntoTheOutputFolder) {
  fs::create_directory(folder_ / "out");
  const std::string output = Path("out/long.dat");
  const CliResult result =
      Run({"script2d", "--codepage", "UTF-8", "-o", output, "--input", "/in/a.dat", "--x", "0",
           "--input", "", "--x", "50", "--input", "/in/b.dat", "--x=-12.5 m", "--sign", "1"});
  const std::string script = Path("out/") + std::string(kConcatenationName);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, std::string(kScriptCaption) + script + "\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadBytes(script), CrLf({"Concatenation of several data files in RES2DINV",
                                     "Number of files to concatenate", "2", "File 1 parameters",
                                     "Name of data file in RES2DINV format", "/in/a.dat",
                                     "X location of first electrode along this line", "0",
                                     "Line sign (0=positive,1=negative)", "0", "File 2 parameters",
                                     "Name of data file in RES2DINV format", "/in/b.dat",
                                     "X location of first electrode along this line", "-12.5 m",
                                     "Line sign (0=positive,1=negative)", "1",
                                     "Name of Output file in RES2DINV format", output}) +
                                   "End of file");
  EXPECT_FALSE(fs::exists(output)) << "the script names the output, it does not create it";
}

TEST_F(CliTest, Script3dWritesCollateScriptWithDirectionAndDefaults) {
  const CliResult result =
      Run({"script3d", "-o", "grid.dat", "--codepage", "UTF-8", "--input", "a.dat", "--y", "10",
           "--direction", "1", "--input", "b.dat", "--x", "5", "--sign", "1"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string script = ReadBytes(folder_ / kCollateName);
  EXPECT_EQ(script, CrLf({"Conversion of RES2DINV data files",
                          "Number of files to collate",
                          "2",
                          "File 1 parameters",
                          "Name of data file in RES2DINV format",
                          "a.dat",
                          "X and Y location of first electrode along this line",
                          "0,10",
                          "Line direction (0=X,1=Y)",
                          "1",
                          "Line sign (0=positive,1=negative)",
                          "0",
                          "File 2 parameters",
                          "Name of data file in RES2DINV format",
                          "b.dat",
                          "X and Y location of first electrode along this line",
                          "5,0",
                          "Line direction (0=X,1=Y)",
                          "0",
                          "Line sign (0=positive,1=negative)",
                          "1",
                          "Name of Output file in RES3DINV format",
                          "grid.dat"}) +
                        "End of file");
  EXPECT_TRUE(result.out.starts_with(kScriptCaption)) << result.out;
  EXPECT_TRUE(result.out.ends_with(std::string(kCollateName) + "\n")) << result.out;
}

TEST_F(CliTest, ScriptCodePageTurnsChinesePathIntoGbkBytes) {
  const CliResult result = Run({"script2d", "--codepage", "CP936", "-o", Path("结果.dat"),
                                "--input", "测线1.dat", "--input", "测线2.dat"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string script = ReadBytes(folder_ / kConcatenationName);
  EXPECT_NE(script.find("\r\n\xB2\xE2\xCF\xDF"
                        "1.dat\r\n"),
            std::string::npos);
  EXPECT_NE(script.find("\xBD\xE1\xB9\xFB.dat\r\nEnd of file"), std::string::npos);
  EXPECT_EQ(script.find("测线"), std::string::npos) << "no UTF-8 left in the script";
}

struct RefusedScript {
  const char* name;
  std::vector<std::string> args;
  std::string expectedErr;
};

TEST_F(CliTest, ScriptStoppedAtACheckWritesNothing) {
  const std::vector<RefusedScript> cases = {
      {"one input",
       {"script2d", "-o", "o.dat", "--input", "a.dat", "--input", ""},
       "错误: 创建脚本文件最少需要两个输入文件\n"},
      {"empty X",
       {"script2d", "-o", "o.dat", "--input", "a", "--input", "b", "--x", ""},
       "错误: X方向坐标参数为空\n"},
      {"empty Y",
       {"script3d", "-o", "o.dat", "--input", "a", "--y=", "--input", "b"},
       "错误: Y方向坐标参数为空\n"},
      {"empty output",
       {"script3d", "-o", "", "--input", "a", "--input", "b"},
       "错误: 请检查输出文件名\n"},
  };
  for (const RefusedScript& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.args;
    args.insert(args.begin() + 1, {"--codepage", "UTF-8"});
    const CliResult result = Run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.expectedErr);
    EXPECT_FALSE(fs::exists(folder_ / kConcatenationName));
    EXPECT_FALSE(fs::exists(folder_ / kCollateName));
  }
}

// ---- preview and the check before a job

// A dipole-dipole file: its rows carry n, which a Wenner header does not announce.
const std::string kFileDipole =
    CrLf({"Line D", "1.0", "3", "2", "0", "0", "20 1 1 30", "21 1 2 31", "0", "0", "0", "0"});

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return lines;
}

TEST_F(CliTest, PreviewPrintsFindingsThenEachInputAndExitsByWhatItFound) {
  const std::string a = Write("a.dat", kFileA);
  const std::string b = Write("b.dat", kFileB);
  const std::string dipole = Write("d.dat", kFileDipole);
  const std::string missing = Path("missing.dat");

  const CliResult agreeing = Run({"preview", a, "", b});
  EXPECT_EQ(agreeing.exitCode, 0) << agreeing.out;
  EXPECT_EQ(agreeing.out, a + ": array=1 spacing=1 data=3 x=1.5..3.5\n" + b +
                              ": array=1 spacing=1 data=2 x=6.5..7.5\n");
  EXPECT_EQ(agreeing.err, "");

  // The second file lies apart and reads its rows with one more column.
  const CliResult mixed = Run({"preview", a, dipole});
  EXPECT_EQ(mixed.exitCode, 4);
  EXPECT_EQ(mixed.err, "");
  EXPECT_TRUE(mixed.out.ends_with("\n" + a + ": array=1 spacing=1 data=3 x=1.5..3.5\n" + dipole +
                                  ": array=3 spacing=1 data=2 x=21.5..23\n"))
      << mixed.out;
  EXPECT_NE(mixed.out.find(": array-mismatch: "), std::string::npos) << mixed.out;

  const CliResult unread = Run({"preview", a, missing});
  EXPECT_EQ(unread.exitCode, 1);
  EXPECT_TRUE(unread.out.ends_with(missing + ": not read\n")) << unread.out;
  EXPECT_NE(unread.err.find("dorvane: " + missing + ": not read\n"), std::string::npos);
}

TEST_F(CliTest, PreviewWritesEveryPlacedDatumAsCsv) {
  const std::string a = Write("a.dat", kFileA);
  const std::string points = Path("points.csv");
  const CliResult result = Run({"preview", "--points", points, a});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  const std::vector<std::string> rows = Lines(ReadBytes(points));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], "input,line,c1x,c1z,c2x,c2z,p1x,p1z,p2x,p2z,x,depth,elevation,value");
  // Wenner at x=1: C1 1, P1 2, P2 3, C2 4; no z, no topography.
  const std::string& second = rows[2];
  EXPECT_TRUE(second.starts_with("1,8,1,,4,,2,,3,,2.5,")) << second;
  EXPECT_TRUE(second.ends_with(",,11.25")) << second;
  const double depth = std::stod(second.substr(std::string("1,8,1,,4,,2,,3,,2.5,").size()));
  EXPECT_NEAR(depth, 0.519, 0.519 * 0.005);

  // The plan position's y follows x in the 3D layout; a CSV that cannot be
  // written fails the command.
  const CliResult plan = Run(
      {"preview", "--script3d", "--points", points, "--input", a, "--y", "10", "--direction", "1"});
  EXPECT_TRUE(ReadBytes(points).starts_with(
      "input,line,c1x,c1z,c2x,c2z,p1x,p1z,p2x,p2z,x,y,depth,elevation,value\n1,7,"));
  const CliResult unwritable = Run({"preview", "--points", Path("none/p.csv"), a});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_EQ(unwritable.err,
            "dorvane: cannot write '" + Path("none/p.csv") + "': No such file or directory\n");
  // Nor does one whose lines cannot all be written.
  const CliResult full = Run({"preview", "--points", "/dev/full", a});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_EQ(full.err, "dorvane: cannot write '/dev/full': No space left on device\n");
}

// The picture and the CSV come from the same reading.
TEST_F(CliTest, PreviewDrawsTheSurveyAsSvg) {
  const std::string a = Write("a.dat", kFileA);
  const std::string svg = Path("survey.svg"), points = Path("points.csv");
  const CliResult result = Run({"preview", "--svg", svg, "--points", points, a});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  const std::string picture = ReadBytes(svg);
  EXPECT_TRUE(picture.starts_with("<?xml")) << picture.substr(0, 80);
  EXPECT_NE(picture.find(">1: a.dat</text>"), std::string::npos);
  EXPECT_EQ(Lines(ReadBytes(points)).size(), 4u);
  ASSERT_EQ(Run({"preview", "--svg", svg, "--by-value", a}).exitCode, 0);
  EXPECT_NE(ReadBytes(svg).find(">视电阻率 (Ω·m)</text>"), std::string::npos);
  const CliResult unwritable = Run({"preview", "--svg", Path("none/p.svg"), a});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_EQ(unwritable.err,
            "dorvane: cannot write '" + Path("none/p.svg") + "': No such file or directory\n");
}

TEST_F(CliTest, JobsPrintTheJoinsErrorsAsWarningsAndWriteAllTheSame) {
  const std::string a = Write("a.dat", kFileA);
  const std::string dipole = Write("d.dat", kFileDipole);
  const std::string out = Path("merged.dat");
  const std::vector<std::vector<std::string>> jobs = {
      {"merge", "-o", out, a, dipole},
      {"script2d", "--codepage", "UTF-8", "-o", out, "--input", a, "--input", dipole},
      {"script3d", "--codepage", "UTF-8", "-o", out, "--input", a, "--input", dipole}};
  for (const std::vector<std::string>& job : jobs) {
    SCOPED_TRACE(job[0]);
    const CliResult checked = Run(job);
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_TRUE(checked.out.starts_with("文件合并成功")) << checked.out;
    EXPECT_TRUE(checked.err.starts_with("dorvane: warning: ")) << checked.err;
    EXPECT_NE(checked.err.find(": array-mismatch: "), std::string::npos) << checked.err;
    EXPECT_EQ(checked.err.find(": gap: "), std::string::npos) << "warnings stay unprinted";

    std::vector<std::string> unchecked = job;
    unchecked.insert(unchecked.begin() + 1, "--no-check");
    const CliResult quiet = Run(unchecked);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "");
  }
  // The merge leaves out a file with LF line ends: what it holds is not in the output.
  const std::string lf = Write("lf.dat", Lf(kFileDipole));
  const CliResult leftOut = Run({"merge", "-o", out, a, lf});
  EXPECT_EQ(leftOut.exitCode, 3);
  EXPECT_EQ(leftOut.err, "错误: 非反演格式或格式错误\ndorvane: " + lf + ": skipped\n");
}

// ---- usage

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  std::string message;  // the line before the usage text; empty: none
};

TEST_F(CliTest, UsageErrorsExitWithTwoAndGiveTheReasonOnStderr) {
  std::vector<std::string> thirtyOne{"script3d", "-o", "o.dat"};
  for (int i = 0; i < 31; ++i) thirtyOne.insert(thirtyOne.end(), {"--input", "a.dat"});
  std::vector<std::string> previewThirtyOne{"preview", "--script3d"};
  previewThirtyOne.insert(previewThirtyOne.end(), thirtyOne.begin() + 3, thirtyOne.end());
  const std::vector<UsageCase> cases = {
      {"no arguments", {}, "no command"},
      {"unknown command", {"frobnicate"}, "unknown command 'frobnicate'"},
      {"unknown option", {"merge", "-o", "o.dat", "--bogus", "a.dat"}, "unknown option '--bogus'"},
      {"option without value", {"merge", "a.dat", "-o"}, "option '-o' needs a value"},
      {"missing -o", {"merge", "a.dat"}, "missing -o OUTPUT"},
      {"-o twice", {"merge", "-o", "x", "--output=y", "a"}, "option '--output' is given twice"},
      {"no inputs", {"merge", "-o", "o.dat"}, "no input files"},
      {"standard output", {"merge", "-o", "-", "a.dat"}, "the output must be a file, not '-'"},
      {"standard output for a script",
       {"script2d", "--output=-", "--input", "a", "--input", "b"},
       "the output must be a file, not '-'"},
      {"too many inputs for a script", thirtyOne, "a script takes at most 30 input files, not 31"},
      {"too many inputs for a script's preview", previewThirtyOne,
       "a script takes at most 30 input files, not 31"},
      {"nothing to check", {"check"}, "no files to check"},
      {"sign 2",
       {"script2d", "-o", "o", "--input", "a", "--sign", "2"},
       "option '--sign' takes 0 or 1, not '2'"},
      {"direction x",
       {"script3d", "-o", "o", "--input", "a", "--direction", "x"},
       "option '--direction' takes 0 or 1, not 'x'"},
      {"option before --input",
       {"script2d", "-o", "o", "--x", "5", "--input", "a"},
       "option '--x' comes before any --input"},
      {"Y in 2D", {"script2d", "-o", "o", "--input", "a", "--y", "1"}, "unknown option '--y'"},
      {"loose argument",
       {"script3d", "-o", "o", "a.dat"},
       "unexpected argument 'a.dat'; input files follow --input"},
      {"unknown code page",
       {"script2d", "--codepage", "NO-SUCH-PAGE", "-o", "o", "--input", "a", "--input", "b"},
       "code page 'NO-SUCH-PAGE' is unknown or does not keep ASCII as it is"},
      {"preview without inputs", {"preview", "--points", "p.csv"}, "no input files"},
      {"colouring without a picture",
       {"preview", "--by-value", "a.dat"},
       "option '--by-value' colours the picture of --svg"},
      {"preview mode after the inputs",
       {"preview", "a.dat", "--script2d"},
       "option '--script2d' comes after the inputs"},
      {"preview topography of a script",
       {"preview", "--script3d", "--topography", "t.txt", "--input", "a"},
       "option '--topography' does not go with --script2d or --script3d"},
      {"preview writes no output", {"preview", "-o", "o.dat", "a.dat"}, "unknown option '-o'"},
      {"loose argument in a script preview",
       {"preview", "--script2d", "a.dat"},
       "unexpected argument 'a.dat'; input files follow --input"},
      {"code page that changes ASCII",
       {"script2d", "--codepage", "UTF-7", "-o", "o", "--input", "a", "--input", "b"},
       "code page 'UTF-7' is unknown or does not keep ASCII as it is"},
  };
  for (const UsageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const CliResult result = Run(c.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "dorvane: " + c.message + "\ntry 'dorvane --help'\n");
  }
  EXPECT_FALSE(fs::exists(folder_ / "o.dat"));
  EXPECT_FALSE(fs::exists(folder_ / kConcatenationName));
}

TEST_F(CliTest, HelpAndVersionGoToStdoutAndSucceed) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"help"}, {"merge", "--help"}, {"script3d", "-h"}}) {
    const CliResult result = Run(args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.starts_with(kUsageStart)) << result.out;
    EXPECT_NE(result.out.find("3 it was written but some inputs were left out"), std::string::npos);
    EXPECT_NE(result.out.find("4 preview: findings printed"), std::string::npos);
    EXPECT_EQ(result.err, "");
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--version"}, {"check", "--version", "a.dat"}}) {
    const CliResult result = Run(args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "dorvane 1.1\n");
    EXPECT_EQ(result.err, "");
  }
}

TEST_F(CliTest, DoubleDashLetsInputsStartWithAHyphen) {
  Write("-a.dat", kFileA);
  const CliResult result = Run({"merge", "-o", "m.dat", "--", "-a.dat"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ReadBytes(folder_ / "m.dat"),
            kHeaderA + "3\r\n" + kHeaderTail + kDataA + std::string(kTrailer));
}

// ---- the example survey

TEST_F(CliTest, ExamplesAreReproducibleAndValid) {
  const fs::path examples = fs::path(DORVANE_SOURCE_DIR) / "examples";
  const std::string generator = (fs::path(DORVANE_SOURCE_DIR) / "scripts/make-examples").string();
  const CliResult generated = RunProgram(generator, {Path("generated")}, folder_);
  ASSERT_EQ(generated.exitCode, 0) << generated.err;
  for (const char* name : {"line1.dat", "line2.dat", "line3.dat", "topography.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ReadBytes(folder_ / "generated" / name), ReadBytes(examples / name))
        << "examples/ is out of date: run scripts/make-examples";
  }
  for (const char* name : {"line1.dat", "line2.dat", "line3.dat"}) {
    const std::string path = (examples / name).string();
    const CliResult check = Run({"check", path});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_TRUE(check.out.starts_with(path + ": count=360 first=")) << check.out;
  }
}

TEST_F(CliTest, RunExamplesMergesWithTopographyAndWritesBothScripts) {
  const std::string runner = (fs::path(DORVANE_SOURCE_DIR) / "scripts/run-examples").string();
  const CliResult run = RunProgram(runner, {DORVANE_CLI_PATH, Path("out")}, folder_);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find(std::string(kMergedCaption) + Path("out/merged.dat")), std::string::npos);
  EXPECT_TRUE(fs::exists(folder_ / "out" / kConcatenationName));
  EXPECT_TRUE(fs::exists(folder_ / "out" / kCollateName));

  const std::string merged = ReadBytes(folder_ / "out/merged.dat");
  EXPECT_NE(merged.find("\r\n1\r\n1080\r\n0\r\n"), std::string::npos) << "3 x 360 data points";
  EXPECT_NE(merged.find("\r\n2\r\n71\r\n0.000  152.000\r\n"), std::string::npos);
  EXPECT_TRUE(merged.ends_with("\r\n1\r\n0\r\n0\r\n0\r\n0"));
  const CliResult check = Run({"check", Path("out/merged.dat")});
  EXPECT_TRUE(check.out.starts_with(Path("out/merged.dat") + ": count=1080 ")) << check.out;
}

// ---- real survey files

TEST_F(CliTest, RealFilesAreReadOrGetTheLineEndHint) {
  const fs::path realData = DORVANE_REALDATA_DIR;
  if (!fs::exists(realData)) GTEST_SKIP() << "no real data at " << realData;
  const std::string crlf = (realData / "resipy__res2dinv-wenner32.dat").string();
  const CliResult valid = Run({"check", crlf});
  EXPECT_EQ(valid.exitCode, 0);
  EXPECT_TRUE(valid.out.starts_with(crlf + ": count=1648 first=")) << valid.out;

  const std::string lf = (realData / "dcmatlab__gallery.dat").string();
  const CliResult refused = Run({"check", lf});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.starts_with(lf + ": hint: the file has LF line ends")) << refused.err;
}

}  // namespace
}  // namespace dorvane

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/scripted_message_boxes.h"
#include "survey/duplicate_keys.h"
#include "survey/median_depth.h"
#include "survey/survey.h"

namespace dorvane {
namespace {

namespace fs = std::filesystem;
using testing::FromUtf8;

TEST(MedianDepth, MatchesThePublishedValues) {
  struct Case {
    const char* name;
    Electrode c1, c2, p1, p2;
    double published;  // in units of a = 1
  };
  const Electrode none{};
  auto at = [](double x, double across = 0) { return Electrode{true, x, kNoValue, across}; };
  const Case cases[] = {
      {"wenner_alpha", at(0), at(3), at(1), at(2), 0.519},
      {"wenner_beta", at(1), at(0), at(2), at(3), 0.416},
      {"wenner_gamma", at(0), at(2), at(1), at(3), 0.595},
      {"pole_pole", at(0), none, at(1), none, 0.867},
      {"dipole_dipole_1", at(1), at(0), at(2), at(3), 0.416},
      {"dipole_dipole_2", at(1), at(0), at(3), at(4), 0.697},
      {"dipole_dipole_3", at(1), at(0), at(4), at(5), 0.962},
      {"dipole_dipole_4", at(1), at(0), at(5), at(6), 1.220},
      {"dipole_dipole_8", at(1), at(0), at(9), at(10), 2.236},
      {"schlumberger_2", at(0), at(5), at(2), at(3), 0.925},
      {"schlumberger_6", at(0), at(13), at(6), at(7), 2.478},
      {"pole_dipole_1", at(0), none, at(1), at(2), 0.519},
      {"pole_dipole_3", at(0), none, at(3), at(4), 1.318},
      {"equatorial_1", at(0), at(0, 1), at(1), at(1, 1), 0.451},
      {"equatorial_4", at(0), at(0, 1), at(4), at(4, 1), 1.556},
  };
  MedianDepthCache cache;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::array<Electrode, 4> e{c.c1, c.c2, c.p1, c.p2};
    EXPECT_NEAR(SolveMedianDepth(e), c.published, 0.005 * c.published);
    // Ten times larger, elsewhere on the line: ten times deeper.
    std::array<Electrode, 4> scaled = e;
    for (Electrode& electrode : scaled) electrode.x = 1234.5 + 10 * electrode.x;
    for (Electrode& electrode : scaled) electrode.across *= 10;
    EXPECT_NEAR(cache.Depth(scaled), 10 * c.published, 0.05 * c.published);
  }
}

// Keys on cells packed, spread far apart (more cells than keys: regions are
// shared), negative and beyond 32 bits (clamped): every key is found with its
// first value, in its own cell only, and the keys of the next input replace it.
TEST(DuplicateKeysTable, FindsEveryKeyInItsCellWhateverTheSpread) {
  struct Case {
    const char* name;
    std::int64_t first, step;
    bool cellPerRegion;  // else cells far apart share regions
  };
  const Case cases[] = {{"packed", 0, 0, true},
                        {"neighbours", -40, 1, true},
                        {"far_apart", -3'000'000'000, 977'000'003, false},
                        {"beyond_32_bits", std::int64_t{1} << 40, std::int64_t{1} << 36, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DuplicateKeys keys;
    keys.Reset(64);
    auto cell = [&](int i) { return c.first + c.step * (i / 7); };
    auto key = [](int i) { return MixKey(MixKey(0, i), 1); };
    for (int i = 0; i < 700; ++i) keys.Add(key(i), cell(i), i);
    keys.Add(key(3), cell(3), -1);  // a repeat keeps the first value
    keys.Seal();
    for (int i = 0; i < 700; ++i) {
      double value = -2;
      ASSERT_TRUE(keys.Find(key(i), cell(i), value)) << i;
      EXPECT_EQ(value, i);
    }
    double value = 0;
    EXPECT_FALSE(keys.Find(key(700), cell(0), value));
    EXPECT_TRUE(!c.cellPerRegion || !keys.Find(key(0), c.first - 1, value));
    keys.Reset(1);
    keys.Seal();
    EXPECT_FALSE(keys.Find(key(0), cell(0), value));
  }
}

class SurveyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "dorvane-survey-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  // With CR LF line ends, as the merge needs them; "LF:" in front keeps LF.
  std::u16string Write(const std::string& name, std::string text) {
    if (text.rfind("LF:", 0) == 0)
      text.erase(0, 3);
    else
      for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, 1, '\r');
    std::ofstream(folder_ / name, std::ios::binary) << text;
    return FromUtf8((folder_ / name).string());
  }

  fs::path folder_;
};

// Ten Wenner rows, a = 1, electrodes 0 to 12: x = 0..9, values 100 + x.
std::string Wenner(const std::string& header = "1\n1\n10\n0\n0", double factor = 1,
                   const std::string& after = "0\n0\n0\n0\n") {
  std::string text = "line\n" + header + "\n";
  for (int x = 0; x < 10; ++x)
    text += std::to_string(x) + " 1 " + std::to_string((100 + x) * factor) + "\n";
  return text + after;
}

struct Planted {
  const char* code;
  std::int32_t input;
  std::uint64_t line;
};

struct CheckCase {
  const char* name;
  MergeMode mode;
  std::vector<std::string> files;  // "" names no file
  std::vector<const char*> x;      // first-electrode X per row (modes 1, 2)
  std::vector<Planted> expected;
};

std::string WennerWith(int row, const std::string& line) {
  std::string text = Wenner();
  std::size_t at = 0;
  for (int i = 0; i < 6 + row; ++i) at = text.find('\n', at) + 1;
  return text.replace(at, text.find('\n', at) - at, line);
}

const std::string kDipoleDipole = [] {
  std::string text = "dd\n1\n3\n10\n0\n0\n";
  for (int x = 0; x < 10; ++x) text += std::to_string(x) + " 1 1 " + std::to_string(50 + x) + "\n";
  return text + "0\n0\n";
}();

const std::string kGeneral =
    "g\n1\n11\n0\nType of measurement\n0\n2\n0\n0\n"
    "4 0 0 3 0 1 0 2 0 100\n4 9 0 12 0 10 0 11 0 100\n0\n0\n";
const std::string kGeneralResistance =
    "g\n1\n11\n0\nType of measurement\n1\n2\n0\n0\n"
    "4 0 0 3 0 1 0 2 0 5\n4 9 0 12 0 10 0 11 0 5\n0\n0\n";

const std::vector<CheckCase>& CheckCases() {
  static const std::vector<CheckCase> cases = {
      {"agreeing_roll_along",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner()},
       {"0", "12"},
       {}},
      {"array",
       MergeMode::ConcatenationScript,
       {Wenner(), kDipoleDipole},
       {"0", "12"},
       {{"array-mismatch", 1, 3}}},
      {"ip",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner("1\n1\n10\n0\n1\nChargeability\nmV/V\n0.1 0.2")},
       {"0", "12"},
       {{"ip-mismatch", 1, 6}, {"unreadable-line", 1, 10}}},
      {"measurement",
       MergeMode::ConcatenationScript,
       {kGeneral, kGeneralResistance},
       {"0", "12"},
       {{"measurement-mismatch", 1, 6}}},
      {"x_location",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner("1\n1\n10\n1\n0")},
       {"0", "13.5"},
       {{"x-location-mismatch", 1, 5}}},
      {"error_column",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner("1\n1\n10\n0\n0\nError estimate for data present\nType\n1")},
       {"0", "12"},
       {{"error-mismatch", 1, 6}, {"unreadable-line", 1, 10}}},
      {"unreadable",
       MergeMode::LongProfileMerge,
       {WennerWith(3, "3 1 1.0.3"), ""},
       {},
       {{"unreadable-line", 0, 10}}},
      {"not_read",
       MergeMode::LongProfileMerge,
       {Wenner(), "/no such file"},
       {},
       {{"not-read", 1, 0}}},
      {"unsupported",
       MergeMode::LongProfileMerge,
       {"b\n1\n12\n2\n0\n0\n1 2 3\n"},
       {},
       {{"unsupported", 0, 3}}},
      {"spacing",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner("0.5\n1\n10\n0\n0")},
       {"0", "12"},
       {{"spacing-mismatch", 1, 2}}},
      {"same_place", MergeMode::LongProfileMerge, {Wenner(), Wenner()}, {}, {{"same-place", 1, 0}}},
      {"duplicates",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner("1\n1\n10\n0\n0", 2)},
       {"0", "6"},
       {{"duplicate-disagree", 1, 7}}},
      {"gap", MergeMode::ConcatenationScript, {Wenner(), Wenner()}, {"0", "15"}, {{"gap", 1, 0}}},
      {"off_grid",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner()},
       {"0", "12.5"},
       {{"off-grid", 1, 7}}},
      {"bad_value",
       MergeMode::LongProfileMerge,
       {WennerWith(4, "4 1 -5")},
       {},
       {{"bad-value", 0, 11}}},
      {"merge_skips_lf",
       MergeMode::LongProfileMerge,
       {"LF:" + Wenner()},
       {},
       {{"merge-skips", 0, 0}}},
      {"merge_drops_lines",
       MergeMode::LongProfileMerge,
       {WennerWith(4, "4 1 1.04e2")},
       {},
       {{"merge-drops-lines", 0, 11}}},
      {"count",
       MergeMode::LongProfileMerge,
       {Wenner("1\n1\n12\n0\n0")},
       {},
       {{"count-mismatch", 0, 4}}},
      {"topography_short",
       MergeMode::LongProfileMerge,
       {Wenner("1\n1\n10\n0\n0", 1, "2\n2\n0 5\n10 6\n1\n0\n")},
       {},
       {{"topography-short", 0, 0}}},
      {"topography_order",
       MergeMode::ConcatenationScript,
       {Wenner(), Wenner("1\n1\n10\n0\n0", 1, "2\n3\n0 5\n13 6\n12 6\n1\n0\n")},
       {"0", "12"},
       {{"topography-order", 1, 21}}},
      // Parallel lines in plan: neither on top of each other nor a gap.
      {"plan", MergeMode::CollateScript, {Wenner(), Wenner()}, {"0", "0"}, {}},
  };
  return cases;
}

class SurveyChecks : public SurveyFiles {};

TEST_F(SurveyChecks, EachCheckFindsItsPlantedCase) {
  for (const CheckCase& c : CheckCases()) {
    SCOPED_TRACE(c.name);
    MergeJob job;
    job.SelectMode(c.mode);
    for (std::size_t i = 0; i < c.files.size(); ++i) {
      if (i > 0) job.AppendRow();
      InputFileRow& row = job.row(i);
      if (c.files[i].rfind("/no such", 0) == 0)
        row.inputPath = FromUtf8(c.files[i]);
      else if (!c.files[i].empty())
        row.inputPath = Write(std::string(c.name) + std::to_string(i), c.files[i]);
      if (i < c.x.size()) row.firstElectrodeX = FromUtf8(c.x[i]);
      row.firstElectrodeY = FromUtf8(std::to_string(10 * i));
    }
    const SurveyReport report = AnalyseSurvey(job, nullptr, nullptr);
    std::vector<std::tuple<std::string, std::int32_t, std::uint64_t>> found, expected;
    for (const Finding& f : report.findings) {
      found.emplace_back(f.code, f.input, f.line);
      EXPECT_FALSE(f.message.empty());
    }
    for (const Planted& p : c.expected) expected.emplace_back(p.code, p.input, p.line);
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    const std::vector<std::string> errorCodes = {"array-mismatch",
                                                 "ip-mismatch",
                                                 "measurement-mismatch",
                                                 "x-location-mismatch",
                                                 "error-mismatch",
                                                 "unreadable-line",
                                                 "not-read"};
    const bool errors = std::any_of(c.expected.begin(), c.expected.end(), [&](const Planted& p) {
      return std::count(errorCodes.begin(), errorCodes.end(), p.code) > 0;
    });
    EXPECT_EQ(report.HasErrors(), errors);
  }
}

// The duplicate finding says how many and by what ratio, and where.
TEST_F(SurveyChecks, DuplicatesGiveCountRatioAndPlace) {
  MergeJob job;
  job.SelectMode(MergeMode::ConcatenationScript);
  job.AppendRow();
  job.row(0).inputPath = Write("a", Wenner());
  job.row(1).inputPath = Write("b", Wenner("1\n1\n10\n0\n0", 2));
  job.row(1).firstElectrodeX = u"6";
  const SurveyReport report = AnalyseSurvey(job, nullptr, nullptr);
  ASSERT_EQ(report.findings.size(), 1u);
  const Finding& f = report.findings[0];
  EXPECT_NE(f.message.find(u"有4个电极位置相同的测点，其中4个"), std::u16string::npos);
  EXPECT_NE(f.message.find(u"比值中位数"), std::u16string::npos);
  EXPECT_EQ(f.xFrom, 7.5);  // rows x = 0..3 of the second line, plotted at x + 6 + 1.5
  EXPECT_EQ(f.xTo, 10.5);
}

class Collect : public DatumSink {
 public:
  void Accept(const PlacedDatum& datum) override { data.push_back(datum); }
  std::vector<PlacedDatum> data;
};

// Cuts its file to its header when the first data arrive, while the reading
// runs a few batches ahead on a thread of its own.
class CutOnFirstData : public DatumSink {
 public:
  explicit CutOnFirstData(fs::path file) : file_(std::move(file)) {}
  void Accept(const PlacedDatum&) override {
    if (!cut_) fs::resize_file(file_, 64);
    cut_ = true;
  }

 private:
  fs::path file_;
  bool cut_ = false;
};

TEST_F(SurveyChecks, AFileCutWhileItIsReadIsNotRead) {
  std::string text = "LF:line\r\n1\r\n1\r\n200000\r\n0\r\n0\r\n";
  for (int row = 0; row < 200'000; ++row) text += std::to_string(row % 900) + " 1 100\r\n";
  const std::u16string path = Write("cut", text);
  MergeJob job;
  job.SelectMode(MergeMode::ConcatenationScript);
  job.row(0).inputPath = path;
  CutOnFirstData sink(folder_ / "cut");
  const SurveyReport report = AnalyseSurvey(job, nullptr, &sink);
  ASSERT_EQ(report.inputs.size(), 1u);
  EXPECT_LT(report.inputs[0].dataCount, 200'000u);
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_EQ(report.findings[0].code, "not-read");
}

// One Wenner row (C1 = 2, a = 2), a topography 0..10 rising 1 m per metre.
TEST_F(SurveyChecks, PlacesAsTheJobSays) {
  const std::u16string path =
      Write("one", "l\n2\n1\n2\n0\n0\n2 2 100\n4 2 100\n2\n2\n0 100\n10 110\n1\n0\n");
  struct Case {
    const char* name;
    MergeMode mode;
    const char16_t* x;
    std::int32_t sign, direction;
    double plotted, y, c1;
  };
  const Case cases[] = {
      {"as_it_stands", MergeMode::LongProfileMerge, u"", 0, 0, 5, kNoValue, 2},
      {"increasing", MergeMode::ConcatenationScript, u"100", 0, 0, 105, kNoValue, 102},
      {"decreasing", MergeMode::ConcatenationScript, u" 100 m", 1, 0, 95, kNoValue, 98},
      {"plan_along_y", MergeMode::CollateScript, u"5", 0, 1, 5, 12, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MergeJob job;
    job.SelectMode(c.mode);
    job.row(0).inputPath = path;
    job.row(0).firstElectrodeX = c.x;
    job.row(0).firstElectrodeY = u"7";
    job.row(0).lineSign = c.sign;
    job.row(0).lineDirection = c.direction;
    Collect sink;
    const SurveyReport report = AnalyseSurvey(job, nullptr, &sink);
    EXPECT_TRUE(report.findings.empty());
    ASSERT_EQ(sink.data.size(), 2u);
    const PlacedDatum& d = sink.data[0];
    EXPECT_DOUBLE_EQ(d.x, c.plotted);
    EXPECT_EQ(std::isnan(d.y), std::isnan(c.y));
    if (!std::isnan(c.y)) {
      EXPECT_DOUBLE_EQ(d.y, c.y);
    }
    EXPECT_DOUBLE_EQ(d.datum.electrodes[kC1].x, c.c1);
    EXPECT_NEAR(d.depth, 0.519 * 2, 0.005);
    EXPECT_NEAR(d.elevation, 105 - d.depth, 1e-9);  // surface at the file's x = 5
    EXPECT_EQ(d.datum.line, 7u);
    ASSERT_EQ(report.inputs.size(), 1u);
    EXPECT_EQ(report.inputs[0].dataCount, 2u);
    EXPECT_EQ(report.surface.empty(), c.mode == MergeMode::CollateScript);
  }
}

class Table : public TopographyTable {
 public:
  std::int32_t RowCount() const override { return 4; }
  std::u16string CellText(std::int32_t row, std::int32_t column) const override {
    static const char16_t* cells[4][3] = {
        {}, {u"", u"0", u"50"}, {u"", u"20", u"52"}, {u"", u"10", u"51"}};
    return row >= 1 && row < 4 && column >= 1 && column < 3 ? cells[row][column] : u"";
  }
};

TEST_F(SurveyChecks, TheGridTableIsTheSurfaceOfAMerge) {
  MergeJob job;
  job.SetWithTopography(true);
  job.row(0).inputPath = Write("w", Wenner());
  const Table table;
  Collect sink;
  const SurveyReport report = AnalyseSurvey(job, &table, &sink);
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_EQ(report.findings[0].code, "topography-order");
  EXPECT_EQ(report.findings[0].input, -1);
  EXPECT_EQ(report.surface.size(), 3u);
  // x = 0: plotted at 1.5, surface 50.15.
  EXPECT_NEAR(sink.data[0].elevation, 50.15 - sink.data[0].depth, 1e-9);
}

// Real surveys joined with themselves as a roll-along would be: nothing to say,
// but for what the data really hold.
TEST(SurveyRealData, SilentOnSaneRollAlong) {
  // A worktree's build finds the samples where its environment says.
  const char* elsewhere = std::getenv("DORVANE_REALDATA_DIR");
  const fs::path folder = elsewhere != nullptr ? elsewhere : DORVANE_REALDATA_DIR;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name == "README.md") continue;
    SCOPED_TRACE(name);
    ++files;
    MergeJob first;
    first.row(0).inputPath = FromUtf8(entry.path().string());
    const SurveyReport alone = AnalyseSurvey(first, nullptr, nullptr);
    ASSERT_EQ(alone.inputs.size(), 1u);
    const InputSummary& s = alone.inputs[0];
    ASSERT_GT(s.dataCount, 0u);

    MergeJob job;
    job.SelectMode(MergeMode::ConcatenationScript);
    job.AppendRow();
    job.row(0).inputPath = job.row(1).inputPath = first.row(0).inputPath;
    job.row(1).firstElectrodeX = FromUtf8(std::to_string(s.electrodeMax - s.electrodeMin));
    const SurveyReport report = AnalyseSurvey(job, nullptr, nullptr);
    std::vector<std::string> codes;
    for (const Finding& f : report.findings) codes.push_back(f.code);
    // Two negative apparent resistivities in the field data.
    const std::vector<std::string> expected =
        name == "resipy__res2dinv-multigradient.dat"
            ? std::vector<std::string>{"bad-value", "bad-value"}
            : std::vector<std::string>{};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(report.inputs[1].dataCount, s.dataCount);
  }
  EXPECT_GE(files, 19);
}

}  // namespace
}  // namespace dorvane

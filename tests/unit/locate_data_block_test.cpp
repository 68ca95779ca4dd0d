#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/data_block.h"
#include "data/scan_paths.h"

namespace dorvane {
namespace {

struct Located {
  std::int32_t count = 0;
  DataBlock block;
};

Located LocateOn(ScanPath path, std::string_view text) {
  Located result;
  result.block = {111, 222, 333};  // must stay untouched on failure
  result.count = LocateDataBlockUsing(path, reinterpret_cast<const std::uint8_t*>(text.data()),
                                      text.size(), result.block);
  return result;
}

// The fastest path's result, after checking that every path agrees with the
// portable one wherever the 64-byte blocks fall: a line of separators put in
// front moves every byte without changing what the reader finds.
Located Locate(std::string_view text) {
  Located result;
  result.block = {111, 222, 333};
  result.count = LocateDataBlock(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                 result.block);
  const std::vector<std::size_t> shifts =
      text.size() < 4096 ? std::vector<std::size_t>{0,  1,  2,  3,  14, 15, 16, 17, 30, 31,
                                                    32, 33, 46, 47, 48, 61, 62, 63, 64, 65}
                         : std::vector<std::size_t>{0, 1, 31, 62, 63};
  for (const std::size_t shift : shifts) {
    const std::string prefix = std::string(shift, '#') + "\r\n";
    const std::string moved = prefix + std::string(text);
    for (const ScanPath path : AvailableScanPaths()) {
      const Located on = LocateOn(path, moved);
      EXPECT_EQ(on.count, result.count) << ScanPathName(path) << " shifted by " << shift;
      if (on.count == 0) {
        EXPECT_EQ(on.block.firstLine, 111u) << ScanPathName(path);
        continue;
      }
      EXPECT_EQ(on.block.firstLine, result.block.firstLine + prefix.size()) << ScanPathName(path);
      EXPECT_EQ(on.block.end, result.block.end + prefix.size()) << ScanPathName(path);
      EXPECT_EQ(on.block.lineCount, result.count) << ScanPathName(path);
    }
  }
  return result;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string WithCrLf(std::string_view lf) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const std::string kHeader = "Line 1\r\n1.0\r\n1\r\n3\r\n0\r\n0\r\n";
const std::string kData3 = "1 1 10\r\n2 1 11\r\n3 1 12\r\n";

struct AcceptedCase {
  const char* name;
  std::string text;
  std::int32_t count;
  std::string block;  // the bytes [firstLine, end)
};

void PrintTo(const AcceptedCase& c, std::ostream* os) {
  *os << c.name;
}

class LocateAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(LocateAccepted, FindsTheBlock) {
  const AcceptedCase& c = GetParam();
  const Located located = Locate(c.text);
  ASSERT_EQ(located.count, c.count);
  EXPECT_EQ(located.block.lineCount, c.count);
  ASSERT_LE(located.block.firstLine, located.block.end);
  ASSERT_LE(located.block.end, c.text.size());
  EXPECT_EQ(c.text.substr(located.block.firstLine, located.block.end - located.block.firstLine),
            c.block);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, LocateAccepted,
    ::testing::Values(
        AcceptedCase{"HeaderThreeLinesFourZeros", kHeader + kData3 + "0\r\n0\r\n0\r\n0\r\n", 3,
                     kData3},
        AcceptedCase{"TwoZerosNoFinalLineEnd", kHeader + "1 1 10\r\n2 1 11\r\n0\r\n0", 2,
                     "1 1 10\r\n2 1 11\r\n"},
        AcceptedCase{"TwoZerosFinalLineEnd", kHeader + "1 1 10\r\n2 1 11\r\n0\r\n0\r\n", 2,
                     "1 1 10\r\n2 1 11\r\n"},
        AcceptedCase{"SingleDataLineCountsOne", kHeader + "1 1 10\r\n0\r\n0\r\n", 1, "1 1 10\r\n"},
        AcceptedCase{"ExponentEndsTheBlock", kHeader + "1 1 10\r\n2 1 1.5E-3\r\n0\r\n0\r\n", 1,
                     "1 1 10\r\n"},
        AcceptedCase{"TopographyLineTwoIsTheTerminator",
                     kHeader + kData3 + "2\r\n2\r\n0 100\r\n5 101.5\r\n1\r\n0\r\n0\r\n0\r\n0", 3,
                     kData3},
        AcceptedCase{"DateTitleIsTakenAsData", "2009-10-01 12:30\r\n1.0\r\n1\r\n3\r\n" + kData3, 1,
                     "2009-10-01 12:30\r\n"},
        AcceptedCase{"ChineseTitleWithThreeNumbersIsData",
                     "\xB2\xE2\xCF\xDF 1 2 3\r\n1.0\r\n0\r\n0", 1, "\xB2\xE2\xCF\xDF 1 2 3\r\n"},
        AcceptedCase{"TitleWithLetterIsSkipped",
                     "Line 7 of 12 2009-10-01\r\n1.0\r\n1\r\n2\r\n0\r\n0\r\n1 1 10\r\n2 1 "
                     "11\r\n0\r\n0",
                     2, "1 1 10\r\n2 1 11\r\n"},
        AcceptedCase{"CommaSeparated", kHeader + "1,1,10\r\n2,1,11\r\n0\r\n0", 2,
                     "1,1,10\r\n2,1,11\r\n"},
        AcceptedCase{"TabSeparated", kHeader + "1\t1\t10\t\r\n2\t1\t11\t\r\n0\t\r\n0\t", 2,
                     "1\t1\t10\t\r\n2\t1\t11\t\r\n"},
        AcceptedCase{"PlusSignIsASeparator", kHeader + "1 1 +10\r\n2 1 11\r\n0\r\n0", 2,
                     "1 1 +10\r\n2 1 11\r\n"},
        AcceptedCase{"NoHeader", kData3 + "0\r\n0\r\n", 3, kData3},
        AcceptedCase{"EndWordTerminates", kHeader + kData3 + "end\r\nx", 3, kData3},
        AcceptedCase{"ManyColumns",
                     "t\r\n4 -80.00 0.00 64.00 0.00 107.29\r\n4 -80 0 64 0 11.8\r\nend\r\n0", 2,
                     "4 -80.00 0.00 64.00 0.00 107.29\r\n4 -80 0 64 0 11.8\r\n"},
        // Any two bytes after a CR are its line end.
        AcceptedCase{"CrFollowedByAnyByte", "1 1 10\rX2 1 11\r\n0\r\n0", 2, "1 1 10\rX2 1 11\r\n"},
        // With LF-only ends a line only ends when a separator stands before the LF.
        AcceptedCase{"LfAfterTrailingSpace", "1 1 10 \n2 1 11 \n0 \n0", 2, "1 1 10 \n2 1 11 \n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  std::string text;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
  *os << c.name;
}

class LocateRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(LocateRefused, ReturnsZeroAndLeavesTheBlockAlone) {
  const Located located = Locate(GetParam().text);
  EXPECT_EQ(located.count, 0);
  EXPECT_EQ(located.block.firstLine, 111u);
  EXPECT_EQ(located.block.end, 222u);
  EXPECT_EQ(located.block.lineCount, 333);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, LocateRefused,
    ::testing::Values(
        RefusedCase{"Empty", ""}, RefusedCase{"HeaderOnly", "Title\r\n1.0\r\n1\r\n3\r\n0\r\n0\r\n"},
        RefusedCase{"TwoNumbersPerLine", "Title\r\n1 2\r\n3 4\r\n5 6\r\n0\r\n0\r\n"},
        RefusedCase{"SingleZeroAtTheEnd", kHeader + "1 1 10\r\n2 1 11\r\n0\r\n"},
        RefusedCase{"EndsWithDataLines", kHeader + kData3},
        RefusedCase{"EndsWithDataLinesWithoutLineEnd", kHeader + "1 1 10\r\n2 1 11"},
        RefusedCase{"FirstDataLineIsTheLast", kHeader + "1 1 10\r\n"},
        RefusedCase{"BlankLineAfterData", kHeader + kData3 + "\r\n0\r\n0\r\n"},
        RefusedCase{"SeparatorsOnlyAfterData", kHeader + kData3 + " \t,\r\n0\r\n0\r\n"},
        RefusedCase{"ColumnsDiffer", kHeader + "1 1 10\r\n2 1 11 5\r\n0\r\n0\r\n"},
        RefusedCase{"TwoTokensAfterData", kHeader + kData3 + "0 0\r\n0\r\n0\r\n"},
        RefusedCase{"EndWordIsTheLastLine", kHeader + kData3 + "end\r\n"},
        RefusedCase{"LfOnly", "Line 1\n1.0\n1\n3\n0\n0\n1 1 10\n2 1 11\n3 1 12\n0\n0\n0\n0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

const std::filesystem::path kRealData = DORVANE_REALDATA_DIR;

// Counts are the declared data points of the files' own headers.
struct RealFile {
  const char* name;
  std::int32_t count;
};

TEST(LocateRealData, CrLfFilesGiveTheirDeclaredCounts) {
  const RealFile files[] = {
      {"resipy__res2dinv-wenner32.dat", 1648},
      {"resipy__res2dinv_PoleDipole.DAT", 162},
      {"resipy__res2dinv-multigradient.dat", 742},
  };
  for (const RealFile& file : files) {
    const std::string text = ReadFile(kRealData / file.name);
    ASSERT_FALSE(text.empty()) << file.name;
    const Located located = Locate(text);
    EXPECT_EQ(located.count, file.count) << file.name;
    EXPECT_EQ(text.substr(located.block.end, 3), "0\r\n") << file.name;
  }
}

// Its remote-electrode line "-25.000,10.000,0.0" holds three numbers and no
// letter, so it is taken for the first data line, and the next header line ends
// the block after one line.
TEST(LocateRealData, PolePoleHeaderCoordinatesLookLikeOneDataLine) {
  const std::string text = ReadFile(kRealData / "resipy__res2dinv_PolePole.DAT");
  const Located located = Locate(text);
  EXPECT_EQ(located.count, 1);
  EXPECT_EQ(text.substr(located.block.firstLine, 20), "-25.000,10.000,0.0\r\n");
}

TEST(LocateRealData, LfFilesAreRefusedAndTheirCrLfTwinsAccepted) {
  const RealFile files[] = {
      {"dcmatlab__gallery.dat", 116},         {"dcmatlab__geologic.dat", 610},
      {"dcmatlab__ground_fall.dat", 1113},    {"dcmatlab__wo_sl000+1.dat", 266},
      {"dcmatlab__wo_sl002+3.dat", 276},      {"pytopres__ert1_an_wen.dat", 84},
      {"pytopres__ert8_an_wen_topo.dat", 84}, {"resipy__primeFile.dat", 438},
      {"resipy__res2dinv-dd.dat", 591},       {"resipy__res2dinv-forward-error.dat", 739},
      {"resipy__res2dinv-ga.dat", 540},       {"resipy__res2dinv-ipgeneral.dat", 228},
  };
  for (const RealFile& file : files) {
    const std::string lf = ReadFile(kRealData / file.name);
    ASSERT_FALSE(lf.empty()) << file.name;
    ASSERT_EQ(lf.find('\r'), std::string::npos) << file.name;
    // Refused by callers: a count of 0, or 1 where runs of lines happen to fall apart.
    EXPECT_LE(Locate(lf).count, 1) << file.name;
    const std::string crlf = WithCrLf(lf);
    EXPECT_EQ(Locate(crlf).count, file.count) << file.name;
  }
}

// These lines have no trailing zero lines: the data block runs to the end of the
// file, so even their CR LF twins are refused.
TEST(LocateRealData, BlockReachingTheEndIsRefusedEvenWithCrLf) {
  for (const char* name : {"dcmatlab__profil01k-rel.dat", "dcmatlab__profil02k-rel.dat",
                           "dcmatlab__profil03k-rel.dat"}) {
    const std::string lf = ReadFile(kRealData / name);
    ASSERT_FALSE(lf.empty()) << name;
    EXPECT_EQ(Locate(lf).count, 0) << name;
    EXPECT_EQ(Locate(WithCrLf(lf)).count, 0) << name;
  }
}

}  // namespace
}  // namespace dorvane

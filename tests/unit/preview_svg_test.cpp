#include "survey/preview_svg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/utf8.h"
#include "tests/support/synthetic_survey.h"

namespace dorvane {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

class PreviewSvgFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("dorvane-svg-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

// File names reach the picture whatever they hold; the document stays XML.
TEST_F(PreviewSvgFile, IsWellFormedWhateverTheFileNames) {
  if (!HaveTool("xmllint")) GTEST_SKIP() << "xmllint is not installed";
  PreviewData data = SyntheticPreviewData(3000, 4);
  SurveyReport report = data.report();
  report.inputs[0].path = u"D:/a<b>&\"c\".dat";
  report.inputs[1].path = std::u16string(u"x\x01y\xD800z.dat");
  report.inputs[2].path = u"测线 😀.dat";
  data.SetReport(report);
  for (PreviewColouring colouring : {PreviewColouring::kByInput, PreviewColouring::kByValue}) {
    const fs::path file = folder_ / "names.svg";
    SystemError error;
    ASSERT_TRUE(WritePreviewSvg(data, colouring, Utf8ToUtf16(file.string()), error));
    EXPECT_EQ(std::system(("xmllint --noout '" + file.string() + "'").c_str()), 0);
    std::ifstream in(file);
    const std::string svg((std::istreambuf_iterator<char>(in)), {});
    if (colouring == PreviewColouring::kByInput) {  // the legend names the files
      EXPECT_NE(svg.find("1: a&lt;b&gt;&amp;\"c\".dat"), std::string::npos);
      EXPECT_NE(svg.find("3: 测线 😀.dat"), std::string::npos);
    }
    EXPECT_EQ(svg.find("<script"), std::string::npos);
  }
}

TEST_F(PreviewSvgFile, StaysSmallForMillionsOfData) {
  const PreviewData data = SyntheticPreviewData(5'000'000, 30);
  // By value: the most colours, the shortest runs of equal cells.
  const PreviewLayout layout =
      LayOutPreview(data, {kSvgWidth, kSvgHeight, PreviewColouring::kByValue});
  EXPECT_TRUE(layout.binned);
  EXPECT_LT(PreviewSvg(layout).size(), 5u << 20);
}

// Decoded by a real renderer, the legend's colours show in the picture.
TEST_F(PreviewSvgFile, RendersWithTheLegendColours) {
  if (!HaveTool("rsvg-convert")) GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed";
  ASSERT_TRUE(HaveTool("convert"));
  const PreviewData data = SyntheticPreviewData(2000, 3);
  const fs::path svg = folder_ / "legend.svg", ppm = folder_ / "legend.ppm";
  SystemError error;
  ASSERT_TRUE(WritePreviewSvg(data, PreviewColouring::kByInput, Utf8ToUtf16(svg.string()), error));
  const std::string command =
      "rsvg-convert -f png '" + svg.string() + "' | convert png:- '" + ppm.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(ppm, std::ios::binary);
  std::string magic;
  std::int32_t width = 0, height = 0, maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  ASSERT_EQ(magic, "P6");
  ASSERT_EQ(width, kSvgWidth);
  ASSERT_EQ(height, kSvgHeight);
  std::map<PreviewColour, std::int32_t> counts;
  for (std::int32_t i = 0; i < width * height; ++i) {
    unsigned char rgb[3];
    in.read(reinterpret_cast<char*>(rgb), 3);
    ++counts[PreviewColour{rgb[0]} << 16 | PreviewColour{rgb[1]} << 8 | rgb[2]];
  }
  ASSERT_TRUE(in.good());
  EXPECT_GT(width * height - counts[0xFFFFFF], 20000);
  for (std::uint32_t input = 0; input < 3; ++input)
    EXPECT_GT(counts[InputColour(input)], 500) << input;
  EXPECT_EQ(counts[InputColour(3)], 0);
}

}  // namespace
}  // namespace dorvane

#include "platform/utf8.h"

#include <gtest/gtest.h>

#include "platform/native_path.h"

namespace dorvane {
namespace {

TEST(Utf8, WellFormedTextRoundTrips) {
  const std::u16string texts[] = {u"", u"plain.dat", u"D:/测线/line1.dat", u"é€😀",
                                  std::u16string(u"a\0b", 3)};
  for (const std::u16string& text : texts) EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"测😀"), "\xE6\xB5\x8B\xF0\x9F\x98\x80");
}

// File names unpacked from archives of Chinese Windows are GBK bytes, not UTF-8:
// they must reach the file system unchanged.
TEST(Utf8, MalformedBytesTravelAsEscapesAndComeBack) {
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"\xB2\xE2\xCF\xDF/a.dat", u"\xDCB2\xDCE2\xDCCF\xDCDF/a.dat"},  // 测线 in GBK
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                                  // overlong
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},                        // encoded surrogate
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},              // past U+10FFFF
      {"ab\xE6\xB5", u"ab\xDCE6\xDCB5"},                              // cut off by the end
      {"\xE6x\xE6\xB5\x8B", u"\xDCE6x测"},
      {"\xFF", u"\xDCFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text);
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes);
  }
}

// The topography table of the command line is opened through std::filesystem,
// whose own conversion refuses such a name.
TEST(Utf8, NativePathsKeepTheBytesOfTheName) {
  const std::string gbk = "/tmp/\xB2\xE2\xCF\xDF/topo.txt";
  EXPECT_EQ(NativePath(Utf8ToUtf16(gbk)).native(), gbk);
  EXPECT_EQ(NativePath(u"/测线/a.dat").native(), "/\xE6\xB5\x8B\xE7\xBA\xBF/a.dat");
}

TEST(Utf8, OtherUnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a\xD800")), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"\xDC00z\xDC7F\xDD00")),
            "\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace dorvane

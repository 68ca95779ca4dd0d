#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

TEST(Utf8, WellFormedTextRoundTrips) {
  const std::u16string texts[] = {u"", u"plain.dat", u"D:/测线/line1.dat", u"é€😀",
                                  std::u16string(u"a\0b", 3)};
  for (const std::u16string& text : texts) EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"测😀"), "\xE6\xB5\x8B\xF0\x9F\x98\x80");
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a\xD800")), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"\xDC00z")), "\xEF\xBF\xBDz");
  const struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"ab\xE6\xB5", u"ab\uFFFD\uFFFD"},                  // cut off by the end
      {"\xE6x", u"\uFFFDx"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text);
}

}  // namespace
}  // namespace dorvane

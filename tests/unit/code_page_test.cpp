#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace dorvane {
namespace {

struct RoundTrip {
  const char* codePage;
  std::u16string text;
  std::string bytes;
};

class CodePageRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTrip, ConvertsBothWays) {
  const RoundTrip& c = GetParam();
  const auto codePage = MakeCodePage(c.codePage);
  ASSERT_NE(codePage, nullptr);
  EXPECT_EQ(codePage->FromUtf16(c.text), c.bytes);
  EXPECT_EQ(codePage->ToUtf16(c.bytes), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, CodePageRoundTrip,
    ::testing::Values(RoundTrip{"CP936", u"错误", "\xB4\xED\xCE\xF3"},
                      RoundTrip{"936", u"高程 12.5", "\xB8\xDF\xB3\xCC 12.5"},
                      RoundTrip{"CP936", u"", ""},
                      RoundTrip{"CP1252", u"café €5",
                                "caf\xE9 \x80"
                                "5"},
                      RoundTrip{"CP1252", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
                      RoundTrip{"UTF-8", u"测线 😀", "\xE6\xB5\x8B\xE7\xBA\xBF \xF0\x9F\x98\x80"}));

struct Lossy {
  const char* codePage;
  std::u16string text;
  std::string bytes;
};

TEST(CodePage, CharactersTheCodePageLacksBecomeOneQuestionMarkEach) {
  const Lossy cases[] = {
      {"CP1252", u"a错b", "a?b"},
      {"CP1252", u"错误", "??"},
      {"CP936", u"x😀y", "x?y"},  // a surrogate pair is one character
      {"CP936",
       std::u16string(u"a\xD800"
                      u"b"),
       "a?b"},
      {"CP936", std::u16string(u"\xDC00"), "?"},
      {"CP936", std::u16string(u"end\xD83D"), "end?"},
  };
  for (const Lossy& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(MakeCodePage(c.codePage)->FromUtf16(c.text), c.bytes);
  }
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacters) {
  const Lossy cases[] = {
      {"CP936", u"a\uFFFD", "a\x81"},  // lead byte cut off by the end
      {"CP936", u"\uFFFD\uFFFD错", "\xFF\xFF\xB4\xED"},
      {"UTF-8", u"a\uFFFDb",
       "a\xC3"
       "b"},
      {"UTF-8", u"\uFFFD\uFFFD", "\xC0\x80"},
  };
  for (const Lossy& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(MakeCodePage(c.codePage)->ToUtf16(c.bytes), c.text);
  }
}

TEST(CodePage, ConvertsCleanlyAfterAFailedCharacter) {
  const auto codePage = MakeCodePage("CP936");
  ASSERT_NE(codePage, nullptr);
  EXPECT_EQ(codePage->ToUtf16("\xB4"), u"\uFFFD");
  EXPECT_EQ(codePage->ToUtf16("\xB4\xED"), u"错");
  EXPECT_EQ(codePage->FromUtf16(u"😀"), "?");
  EXPECT_EQ(codePage->FromUtf16(u"错"), "\xB4\xED");
}

TEST(CodePage, LongTextsConvertWhole) {
  const auto codePage = MakeCodePage("CP936");
  std::u16string text;
  for (int i = 0; i < 20000; ++i) text += u"高程1";
  const std::string bytes = codePage->FromUtf16(text);
  EXPECT_EQ(bytes.size(), 20000u * 5);
  EXPECT_EQ(codePage->ToUtf16(bytes), text);
}

TEST(CodePage, NamesTheSystemDoesNotKnowGiveNothing) {
  EXPECT_EQ(MakeCodePage("no-such-code-page"), nullptr);
  EXPECT_EQ(MakeCodePage("99999"), nullptr);
}

TEST(CodePage, TheLocalesCodePageCarriesPlainText) {
  const auto codePage = MakeCodePage("");
  ASSERT_NE(codePage, nullptr);
  EXPECT_EQ(codePage->FromUtf16(u"Line 1\r\n"), "Line 1\r\n");
  EXPECT_EQ(codePage->ToUtf16("Line 1\r\n"), u"Line 1\r\n");
}

}  // namespace
}  // namespace dorvane

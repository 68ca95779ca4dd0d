#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <optional>
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

// A path in a script must name the file the user chose, or the script is not
// written: no default character, and file-name bytes that were not UTF-8 go out
// unchanged.
TEST(CodePage, ExactConversionRefusesWhatTheCodePageCannotHold) {
  const struct {
    const char* codePage;
    std::u16string text;
    std::optional<std::string> bytes;
  } cases[] = {
      {"CP936", u"测线/合并.dat", "\xB2\xE2\xCF\xDF/\xBA\xCF\xB2\xA2.dat"},
      {"ANSI_X3.4-1968", u"测线/合并.dat", std::nullopt},  // the C locale's
      {"ANSI_X3.4-1968", u"line 1.dat", "line 1.dat"},
      {"CP1252", u"café", "caf\xE9"},
      {"CP1252", u"\uFF41.dat", std::nullopt},  // no best fit "a"
      {"CP1252", u"\u221E", std::nullopt},      // nor "8"
      {"CP936", u"x😀", std::nullopt},
      {"CP936", std::u16string(u"a\xD800"), std::nullopt},
      {"CP936", u"\xDCB2\xDCE2\xDCCF\xDCDF/合.dat", "\xB2\xE2\xCF\xDF/\xBA\xCF.dat"},
      {"UTF-8", u"\xDCFF测", "\xFF\xE6\xB5\x8B"},
      {"CP936", u"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    const auto codePage = MakeCodePage(c.codePage);
    ASSERT_NE(codePage, nullptr);
    EXPECT_EQ(codePage->FromUtf16Exactly(c.text), c.bytes);
  }
  EXPECT_EQ(MakeCodePage("CP936")->FromUtf16(u"\xDCB2\xDCE2错"), "\xB2\xE2\xB4\xED");
}

// The scripts mix ASCII lines with converted texts.
TEST(CodePage, NamesTheSystemDoesNotKnowOrThatChangeAsciiGiveNothing) {
  for (const char* name : {"no-such-code-page", "99999", "UTF-7", "UTF-16LE", "IBM037"}) {
    EXPECT_EQ(MakeCodePage(name), nullptr) << name;
  }
}

TEST(CodePage, TheLocalesCodePageCarriesPlainText) {
  const auto codePage = MakeCodePage("");
  ASSERT_NE(codePage, nullptr);
  EXPECT_EQ(codePage->FromUtf16(u"Line 1\r\n"), "Line 1\r\n");
  EXPECT_EQ(codePage->ToUtf16("Line 1\r\n"), u"Line 1\r\n");
}

}  // namespace
}  // namespace dorvane

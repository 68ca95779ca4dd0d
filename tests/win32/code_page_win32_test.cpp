#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "platform/code_page.h"

namespace dorvane {
namespace {

TEST(CodePageWin32, NamedCodePagesConvertBothWays) {
  const struct {
    const char* name;
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {"CP936", u"错误", "\xB4\xED\xCE\xF3"},
      {"936", u"高程", "\xB8\xDF\xB3\xCC"},
      {"cp1252", u"café €5",
       "caf\xE9 \x80"
       "5"},
      {"UTF-8", u"测线", "\xE6\xB5\x8B\xE7\xBA\xBF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto codePage = MakeCodePage(c.name);
    ASSERT_NE(codePage, nullptr);
    EXPECT_EQ(codePage->FromUtf16(c.text), c.bytes);
    EXPECT_EQ(codePage->ToUtf16(c.bytes), c.text);
  }
}

TEST(CodePageWin32, MissingCharactersBecomeTheDefaultCharacter) {
  EXPECT_EQ(MakeCodePage("CP1252")->FromUtf16(u"a错b"), "a?b");
  EXPECT_EQ(MakeCodePage("CP936")->ToUtf16(""), u"");
  EXPECT_EQ(MakeCodePage("CP936")->FromUtf16(u""), "");
}

// Best fit would turn a path into another, plausible one.
TEST(CodePageWin32, ExactConversionTakesNoBestFitAndNoDefaultCharacter) {
  const struct {
    const char* name;
    std::u16string text;
    std::optional<std::string> bytes;
  } cases[] = {
      {"CP1252", u"D:\\\uFF41.dat", std::nullopt},  // not "D:\a.dat"
      {"CP1252", u"\u221E", std::nullopt},          // not "8"
      {"CP1252", u"a错b", std::nullopt},
      {"CP1252", u"café", "caf\xE9"},
      {"CP936", u"D:\\测线\\合并.dat", "D:\\\xB2\xE2\xCF\xDF\\\xBA\xCF\xB2\xA2.dat"},
      {"CP936", std::u16string(u"a\xD800"), std::nullopt},
      {"UTF-8", std::u16string(u"a\xD800"), std::nullopt},
      {"UTF-8", u"测", "\xE6\xB5\x8B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto codePage = MakeCodePage(c.name);
    ASSERT_NE(codePage, nullptr);
    EXPECT_EQ(codePage->FromUtf16Exactly(c.text), c.bytes);
  }
}

// These take no default character: the conversion used to give empty texts.
TEST(CodePageWin32, CodePagesWithoutOptionsConvertOrAreRefused) {
  EXPECT_EQ(MakeCodePage("65000"), nullptr);  // UTF-7 writes "\\" as "+AFw-"
  const auto japanese = MakeCodePage("50220");
  if (::IsValidCodePage(50220)) {
    ASSERT_NE(japanese, nullptr);
    const std::optional<std::string> bytes = japanese->FromUtf16Exactly(u"D:\\日本.dat");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(japanese->ToUtf16(*bytes), u"D:\\日本.dat");
    EXPECT_FALSE(japanese->FromUtf16(u"a日b").empty());
  }
}

TEST(CodePageWin32, UnknownNamesGiveNothing) {
  EXPECT_EQ(MakeCodePage("no-such-code-page"), nullptr);
  EXPECT_EQ(MakeCodePage("CP"), nullptr);
  EXPECT_EQ(MakeCodePage("12345678901"), nullptr);
}

// The ANSI code page of a Western system.
TEST(WesternLocale, AnsiCodePageRoundTrips) {
  ASSERT_EQ(::GetACP(), 1252u);
  const auto codePage = MakeCodePage("");
  ASSERT_NE(codePage, nullptr);
  EXPECT_EQ(codePage->FromUtf16(u"Pos é 错"), "Pos \xE9 ?");
  EXPECT_EQ(codePage->ToUtf16("Pos \xE9"), u"Pos é");
}

// Run by its own test entry with LANG=zh_CN.UTF-8.
TEST(ChineseLocale, AnsiCodePageIsGbk) {
  ASSERT_EQ(::GetACP(), 936u);
  const auto codePage = MakeCodePage("");
  ASSERT_NE(codePage, nullptr);
  EXPECT_EQ(codePage->FromUtf16(u"错误"), "\xB4\xED\xCE\xF3");
  EXPECT_EQ(codePage->ToUtf16("\xB4\xED\xCE\xF3 1.5"), u"错误 1.5");
  EXPECT_EQ(codePage->FromUtf16(u"x\u00A0y"), "x?y");
}

}  // namespace
}  // namespace dorvane

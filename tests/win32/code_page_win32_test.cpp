#include <windows.h>

#include <gtest/gtest.h>

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

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>

#include "data/decimal.h"

namespace dorvane {
namespace {

struct TopographyNumberCase {
  std::u16string cell;
  const char* printed;
};

TEST(Decimal, CellTextsPrintAsTheirSinglePrecisionValue) {
  const TopographyNumberCase cases[] = {
      {u"12.3456", "12.346"},
      {u"2.0005", "2.000"},  // 2.0005f is just below 2.0005
      {u"1234567.891", "1234567.875"},
      {u"abc", "0.000"},
      {u" ", "0.000"},
      {u"", "0.000"},
      {u"1e3", "1000.000"},
      {u"1E+3", "1000.000"},
      {u"2.5e-1", "0.250"},
      {u"-7.25", "-7.250"},
      {u"-0", "-0.000"},
      {u"-0.0001", "-0.000"},
      {u"+4", "4.000"},
      {u"  \t12", "12.000"},
      {u".5", "0.500"},
      {u"5.", "5.000"},
      {u"1e", "1.000"},
      {u"1e+", "1.000"},
      {u"3.5m", "3.500"},
      {u"1,5", "1.000"},
      {u"0x10", "0.000"},
      {u"inf", "0.000"},
      {u"nan", "0.000"},
      {u"-", "0.000"},
      {u"+.e1", "0.000"},
      {u"1e40", "inf"},
      {u"-1e999", "-inf"},
      {u"1e-999", "0.000"},
      {u"340282356779733661637539395458142568448", "inf"},  // half an ulp past the largest
      {u"340282346638528859811704183484516925440", "340282346638528859811704183484516925440.000"},
      {u"\uFF11", "0.000"},  // a full-width digit is not a digit
  };
  for (const TopographyNumberCase& c : cases) {
    const float value = DecimalToFloat(c.cell);
    EXPECT_EQ(FormatFixed3(static_cast<double>(value)), c.printed)
        << std::string(c.cell.begin(), c.cell.end());
  }
}

TEST(Decimal, PrefixEndsWhereTheNumberEnds) {
  struct Case {
    std::string_view text;
    std::size_t end;
    double value;
  };
  const Case cases[] = {
      {"12.5 m", 4, 12.5}, {"  -3", 4, -3},   {"1e5x", 3, 1e5},    {"1e-x", 1, 1},
      {"7.", 2, 7},        {"x7", 0, 0},      {"", 0, 0},          {"+", 0, 0},
      {"0012", 4, 12},     {"1.2.3", 3, 1.2}, {"\v\f\r\n9", 5, 9},
  };
  for (const Case& c : cases) {
    const DecimalPrefix narrow = ReadDecimalPrefix(c.text);
    EXPECT_EQ(narrow.end, c.end) << c.text;
    EXPECT_EQ(narrow.value, c.value) << c.text;
    const std::u16string wide(c.text.begin(), c.text.end());
    const DecimalPrefix widened = ReadDecimalPrefix(wide);
    EXPECT_EQ(widened.end, c.end) << c.text;
    EXPECT_EQ(widened.value, c.value) << c.text;
  }
}

TEST(Decimal, LongDigitStringsRoundCorrectly) {
  const std::string digits = "0." + std::string(400, '0') + "1e401";
  EXPECT_EQ(ReadDecimalPrefix(digits).value, 1.0);
  EXPECT_EQ(ReadDecimalPrefix(std::string(400, '9')).value,
            std::numeric_limits<double>::infinity());
}

TEST(Decimal, IntegersFormatLikePercentD) {
  EXPECT_EQ(FormatInteger(0), "0");
  EXPECT_EQ(FormatInteger(742), "742");
  EXPECT_EQ(FormatInteger(-15), "-15");
  EXPECT_EQ(FormatInteger(4294967296), "4294967296");
  std::string out = "n=";
  AppendInteger(out, 12);
  AppendFixed3(out, 0.0005);  // ties of binary values round by their exact value
  EXPECT_EQ(out, "n=120.001");
}

// The quick path for few decimals must give exactly what std::to_chars gives.
TEST(Decimal, ShortestFormIsToCharsForEveryValue) {
  std::vector<double> values = {0.0,       -0.0,    1e-3,      -1e-3,      0.0009999,
                                0.1 + 0.2, 1e5,     99999.999, 99999.9995, 1e5 - 1e-11,
                                10000,     100000,  0.0005,    2.675,      1.0 / 3.0,
                                1e300,     -5e-324, 12.3456,   2.5,        -0.5};
  for (int k = -2'000'000; k <= 2'000'000; k += 7) values.push_back(k / 1000.0);
  for (int k = -20'000; k <= 20'000; ++k) values.push_back(k * 0.1);
  std::mt19937_64 random(12);
  for (int i = 0; i < 100'000; ++i) {
    values.push_back(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                                std::uniform_int_distribution<int>(-12, 20)(random)));
  }
  for (const double value : values) {
    char expected[kShortestChars];
    char written[kShortestChars];
    const std::string_view want(expected,
                                std::to_chars(expected, expected + kShortestChars, value).ptr);
    const std::string_view got(written, WriteShortest(written, value));
    ASSERT_EQ(got, want) << value;
  }
  char nothing[kShortestChars];
  EXPECT_EQ(WriteShortest(nothing, std::nan("")), nothing);
}

// The quick path for plain decimals must read exactly what std::from_chars reads,
// and refuse what it refuses or does not read to the end.
TEST(Decimal, WholeNumberIsFromCharsForEveryText) {
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    ".5",
                                    "-.5",
                                    "1.",
                                    "007",
                                    "",
                                    "-",
                                    ".",
                                    "1e3",
                                    "1.5E-2",
                                    "inf",
                                    "-nan",
                                    "1 ",
                                    "1-",
                                    "--1",
                                    "1..2",
                                    "0.30000000000000004",
                                    "9007199254740993",
                                    "9007199254740992.5",
                                    "12345678901234567890",
                                    "0.0000000000000000000001",
                                    "1234567.000000000000000000001"};
  std::mt19937_64 random(13);
  auto digits = [&](int most) {
    return std::to_string(random() >>
                          std::uniform_int_distribution<int>(64 - 3 * most, 63)(random));
  };
  for (int i = 0; i < 200'000; ++i)
    texts.push_back((i % 2 ? "-" : "") + digits(19) + (i % 3 ? "." + digits(19) : ""));
  for (const std::string& text : texts) {
    const char* end = text.data() + text.size();
    double want = 0, got = 0;
    const auto [ptr, error] = std::from_chars(text.data(), end, want);
    const bool read = error == std::errc{} && ptr == end;
    ASSERT_EQ(ReadWholeNumber(text.data(), end, got), read) << text;
    if (!read) continue;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want)) << text;
  }
}

}  // namespace
}  // namespace dorvane

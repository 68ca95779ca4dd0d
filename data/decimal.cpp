#include "data/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace dorvane {
namespace {

template <class Char>
bool IsSpace(Char c) {
  return c == ' ' || (c >= 9 && c <= 13);
}

template <class Char>
bool IsDigit(Char c) {
  return c >= '0' && c <= '9';
}

struct NumberExtent {
  bool negative = false;
  std::size_t mantissa = 0;  // first digit or point, after the sign
  std::size_t end = 0;       // 0: no number
};

template <class Char>
NumberExtent ScanNumber(std::basic_string_view<Char> text) {
  const std::size_t size = text.size();
  std::size_t p = 0;
  while (p < size && IsSpace(text[p])) ++p;
  NumberExtent extent;
  if (p < size && (text[p] == '+' || text[p] == '-')) extent.negative = text[p++] == '-';
  extent.mantissa = p;
  std::size_t digits = 0;
  for (; p < size && IsDigit(text[p]); ++p) ++digits;
  if (p < size && text[p] == '.')
    for (++p; p < size && IsDigit(text[p]); ++p) ++digits;
  if (digits == 0) return {};
  extent.end = p;
  if (p < size && (text[p] == 'e' || text[p] == 'E')) {
    std::size_t q = p + 1;
    if (q < size && (text[q] == '+' || text[q] == '-')) ++q;
    if (q < size && IsDigit(text[q])) {
      while (q < size && IsDigit(text[q])) ++q;
      extent.end = q;
    }
  }
  return extent;
}

// Decides between overflow and underflow for a number std::from_chars found out of
// range, from the position of its first significant digit and its exponent.
bool MagnitudeIsLarge(std::string_view number) {
  long long exponent = 0;
  const std::size_t e = number.find_first_of("eE");
  if (e != std::string_view::npos) {
    std::size_t q = e + 1;
    const bool negative = q < number.size() && number[q] == '-';
    if (q < number.size() && (number[q] == '+' || number[q] == '-')) ++q;
    for (; q < number.size(); ++q)
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[q] - '0');
    if (negative) exponent = -exponent;
    number = number.substr(0, e);
  }
  const std::size_t first = number.find_first_of("123456789");
  const std::size_t point = std::min(number.find('.'), number.size());
  const long long digitPosition = first < point ? static_cast<long long>(point - first) - 1
                                                : -static_cast<long long>(first - point);
  return digitPosition + exponent > 0;
}

double NumberValue(std::string_view number, bool negative) {
  double value = 0;
  const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                            std::chars_format::general);
  if (error == std::errc::result_out_of_range)
    value = MagnitudeIsLarge(number) ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -value : value;
}

}  // namespace

bool ReadWholeNumber(const char* begin, const char* end, double& value) {
  if (ReadPlainDecimal(begin, end, value) == end) return true;
  const auto [ptr, error] = std::from_chars(begin, end, value, std::chars_format::general);
  return error == std::errc{} && ptr == end;
}

DecimalPrefix ReadDecimalPrefix(std::string_view text) {
  const NumberExtent extent = ScanNumber(text);
  if (extent.end == 0) return {};
  return {NumberValue(text.substr(extent.mantissa, extent.end - extent.mantissa), extent.negative),
          extent.end};
}

DecimalPrefix ReadDecimalPrefix(std::u16string_view text) {
  const NumberExtent extent = ScanNumber(text);
  if (extent.end == 0) return {};
  // Every unit of the number is ASCII, so narrowing keeps it.
  std::string number(text.begin() + extent.mantissa, text.begin() + extent.end);
  return {NumberValue(number, extent.negative), extent.end};
}

float DecimalToFloat(std::u16string_view text) {
  const double value = ReadDecimalPrefix(text).value;
  // Half an ulp above the largest float rounds to infinity; say so explicitly,
  // since a double outside the float range does not convert portably.
  constexpr double kFloatOverflow = 0x1.ffffffp127;
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (std::fabs(value) >= kFloatOverflow) return value > 0 ? kInfinity : -kInfinity;
  return static_cast<float>(value);
}

void AppendInteger(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void AppendFixed3(std::string& out, double value) {
  // The largest double in fixed notation has 309 integer digits.
  char buffer[330];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  out.append(buffer, result.ptr);
}

std::string FormatInteger(std::int64_t value) {
  std::string out;
  AppendInteger(out, value);
  return out;
}

std::string FormatFixed3(double value) {
  std::string out;
  AppendFixed3(out, value);
  return out;
}

char* WriteShortest(char* out, double value) {
  if (std::isnan(value)) return out;
  // n / 1000 is the correctly rounded quotient of two exact doubles, so when it
  // equals the value, "n with 3 decimals" reads back as the value; so does n
  // without its trailing zeros (the same real number), and value * 1000 is
  // within far less than 1/2 of any n with fewer decimals that reads back, so
  // the stripped n is the shortest. Within these bounds std::to_chars would not
  // choose the exponent form either, and n is below 2^53.
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-3 && magnitude < 1e5) {
    // Rounds to an integer without a library call (|value * 1000| < 2^51).
    constexpr double kShift = 0x1.8p52;
    const double scaled = (value * 1000 + kShift) - kShift;
    if (scaled / 1000 == value) {
      auto n = static_cast<std::int64_t>(scaled);
      if (n < 0) {
        *out++ = '-';
        n = -n;
      }
      out = std::to_chars(out, out + 8, n / 1000).ptr;
      const auto fraction = static_cast<int>(n % 1000);
      if (fraction == 0) return out;
      // All three decimals written, the trailing zeros then left behind.
      out[0] = '.';
      out[1] = static_cast<char>('0' + fraction / 100);
      out[2] = static_cast<char>('0' + fraction / 10 % 10);
      out[3] = static_cast<char>('0' + fraction % 10);
      return out + (fraction % 100 == 0 ? 2 : fraction % 10 == 0 ? 3 : 4);
    }
  }
  return std::to_chars(out, out + kShortestChars, value).ptr;
}

}  // namespace dorvane

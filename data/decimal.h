#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dorvane {

// The longest decimal number at the start of a text, after leading white space:
// optional sign, digits with an optional point, optional exponent. No hex, no
// "inf"/"nan": a cell text is a measured value or it is not a number.
struct DecimalPrefix {
  double value = 0;     // 0 when there is no number; +-inf when it overflows
  std::size_t end = 0;  // offset just past the number; 0 when there is none
};

DecimalPrefix ReadDecimalPrefix(std::string_view text);
DecimalPrefix ReadDecimalPrefix(std::u16string_view text);

// A plain decimal at the start of [begin, end): optional minus, digits with an
// optional point, up to 19 digits and below 2^53 in all. Its end, with the value
// std::from_chars reads for it; null where the text does not start with one.
// m / 10^d with m and 10^d exact doubles is the correctly rounded value of the
// text, which is what from_chars gives. Inline: it runs for every data field.
inline const char* ReadPlainDecimal(const char* p, const char* end, double& value) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  std::uint64_t mantissa = 0;
  const char* const whole = p;
  for (; p < end && static_cast<unsigned char>(*p - '0') < 10; ++p)
    mantissa = mantissa * 10 + (*p - '0');
  std::ptrdiff_t digits = p - whole, decimals = 0;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    for (; p < end && static_cast<unsigned char>(*p - '0') < 10; ++p)
      mantissa = mantissa * 10 + (*p - '0');
    decimals = p - fraction;
    digits += decimals;
  }
  if (digits == 0 || digits > 19 || mantissa > (std::uint64_t{1} << 53)) return nullptr;
  value = static_cast<double>(mantissa) / kPowers[decimals];
  if (negative) value = -value;
  return p;
}

// std::from_chars (general format) of the whole of [begin, end): false where it
// fails or stops before the end. Plain decimals of up to 19 digits, as data
// lines hold, take a short path with the same result.
bool ReadWholeNumber(const char* begin, const char* end, double& value);

// The topography conversion: the prefix's value rounded to single precision,
// 0 when the text does not start with a number.
float DecimalToFloat(std::u16string_view text);

// printf "%d" and "%0.3f", independent of the C locale.
void AppendInteger(std::string& out, std::int64_t value);
void AppendFixed3(std::string& out, double value);
std::string FormatInteger(std::int64_t value);
std::string FormatFixed3(double value);

// The characters std::to_chars gives for `value` (the fewest digits that read
// back as it) at `out`, which has room for kShortestChars; NaN writes nothing.
// Returns the end. Values with few decimals, as surveys have, go faster.
inline constexpr std::size_t kShortestChars = 32;
char* WriteShortest(char* out, double value);

}  // namespace dorvane

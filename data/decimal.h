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
const char* ReadPlainDecimal(const char* begin, const char* end, double& value);

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

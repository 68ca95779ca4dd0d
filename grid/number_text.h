#pragma once

#include <cstdint>
#include <string>

namespace dorvane {

// Numbers as the grid writes them into cells, independent of the C locale.
std::u16string IntegerText(std::int64_t value);  // "%d"
// "%0.3f" without its trailing zeros (and without the point when nothing follows it).
std::u16string ThreeDecimalsTrimmed(double value);
// From the end back to the second character: drops "0"s, then one "." and stops.
void TrimTrailingZeros(std::u16string& text);

}  // namespace dorvane

#pragma once

#include <optional>
#include <string_view>

namespace dorvane {

// A cell text read as a number the way sorting and alignment see it: optional
// sign, digits with an optional point, optional exponent, blanks around it.
std::optional<double> ParseCellNumber(std::u16string_view text);

}  // namespace dorvane

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dorvane {

// A SYLK clipboard block, its terminating NUL included, holds at most this many bytes.
inline constexpr std::size_t kSylkBlockLimit = 262144;
// A pasted text cell holds at most this many UTF-16 units, as the in-place editor.
inline constexpr std::size_t kPasteCellUnits = 256;

// The SYLK block of a selection of `rows` x `cols` cells, NUL included: the fixed
// records, the bounds record, one cell record per cell row by row, the end record.
// cellValue(row, col) gives a cell's text in the 8-bit code page, both counted from 0
// within the selection. None when the block would exceed kSylkBlockLimit.
std::optional<std::string> BuildSylkBlock(
    std::int32_t rows, std::int32_t cols,
    const std::function<std::string(std::int32_t row, std::int32_t col)>& cellValue);

// What a SYLK block offers for pasting: the bounds record's counts and the cell
// values in record order (NC to a row), quotes removed, still in the 8-bit code page.
// The values view into the block.
struct SylkPaste {
  std::int32_t columns = 0;
  std::int32_t rows = 0;
  std::vector<std::string_view> values;
};

// Reads a SYLK block up to its first NUL or its end; none without a "B;" record.
std::optional<SylkPaste> ParseSylkBlock(std::span<const std::uint8_t> block);

// The text of a CF_UNICODETEXT block (UTF-16LE): up to its first NUL unit or its
// end; an odd last byte is ignored.
std::u16string UnicodeTextFromBlock(std::span<const std::uint8_t> block);

// Lines of cells of pasted text. TAB and CR separate cells; a LF at the start of a
// line ends it (so CR LF ends a line); any other LF belongs to the cell text. None
// when a cell is longer than kPasteCellUnits. The cells view into `text`.
using PastedLines = std::vector<std::vector<std::u16string_view>>;
std::optional<PastedLines> SplitPastedText(std::u16string_view text);

}  // namespace dorvane

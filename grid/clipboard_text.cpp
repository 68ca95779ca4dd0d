#include "grid/clipboard_text.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "data/decimal.h"

namespace dorvane {

namespace {

constexpr std::string_view kSylkHeader =
    "ID;PGSIWKS1\r\n"
    "P;PGeneral\r\n"
    "P;FArial;M195\r\n"
    "F;P0;DG0G8;SM0;M255\r\n";

// A bare value is read by a spreadsheet as a number, so only a value that is
// wholly a number stays bare: a label such as "2nd point" or "-" must arrive as
// text. A leading sign other than "-" or a blank would be lost as a number too.
bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return true;
  const char first = value.front();
  if (!((first >= '0' && first <= '9') || first == '.' || first == '-')) return true;
  return ReadDecimalPrefix(value).end != value.size();
}

// Appends to the block while it keeps the room that the rest of its record needs
// within kSylkBlockLimit; every test counts the bytes written so far.
class SylkWriter {
 public:
  bool Append(std::string_view bytes, std::size_t roomNeeded) {
    if (roomNeeded > kSylkBlockLimit - std::min(text_.size(), kSylkBlockLimit)) return false;
    text_.append(bytes);
    return true;
  }
  void AppendUnchecked(std::string_view bytes) { text_.append(bytes); }
  std::size_t size() const { return text_.size(); }
  std::string Finish() {
    text_.push_back('\0');
    return std::move(text_);
  }

 private:
  std::string text_;
};

bool AppendCell(SylkWriter& writer, std::int32_t row, std::int32_t col, std::string_view value) {
  // "C;X<col>;Y<row>;K": built on the stack, a record for every cell of a large copy.
  constexpr std::ptrdiff_t kDigits = 11;  // an int32 with its sign
  char record[32] = "C;X";
  char* end = std::to_chars(record + 3, record + 3 + kDigits, col + 1).ptr;
  if (col == 0) {
    *end++ = ';';
    *end++ = 'Y';
    end = std::to_chars(end, end + kDigits, row + 1).ptr;
  }
  *end++ = ';';
  *end++ = 'K';
  const std::string_view head(record, static_cast<std::size_t>(end - record));
  if (!writer.Append(head, head.size() + 1)) return false;
  const bool quoted = NeedsQuotes(value);
  if (quoted) writer.AppendUnchecked("\"");
  if (!writer.Append(value, value.size() + 3)) return false;
  writer.AppendUnchecked(quoted ? "\"\r\n" : "\r\n");
  return true;
}

// The digits of the numbers 1..count written one after another.
std::uint64_t DigitsUpTo(std::uint64_t count) {
  std::uint64_t digits = 0;
  for (std::uint64_t low = 1, width = 1; low <= count; low *= 10, ++width)
    digits += (std::min(count, low * 10 - 1) - low + 1) * width;
  return digits;
}

// The fewest bytes the cell records of a rows x cols selection can take: each
// value at least one byte. A selection past the block limit even so fails
// before any cell is read.
std::uint64_t LeastCellRecordBytes(std::int32_t rows, std::int32_t cols) {
  if (rows <= 0 || cols <= 0) return 0;
  const auto rowCount = static_cast<std::uint64_t>(rows);
  const auto colCount = static_cast<std::uint64_t>(cols);
  // "C;X<col>;K<value>\r\n", and ";Y<row>" in the first column.
  return rowCount * (colCount * 8 + DigitsUpTo(colCount)) + rowCount * 2 + DigitsUpTo(rowCount);
}

bool IsCBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi's reading (blanks, sign, digits, stop at anything else), saturated where
// atoi would overflow.
std::int32_t ReadInt(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsCBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
    value = std::min(value * 10 + (text[pos] - '0'), kLimit);
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(std::min(value, kLimit - 1));
}

// The field from `pos` up to the next ';' (or the end), and the position of that ';'.
std::string_view FieldAt(std::string_view text, std::size_t pos, std::size_t& semicolon) {
  if (pos >= text.size()) {
    semicolon = text.size();
    return {};
  }
  semicolon = std::min(text.find(';', pos), text.size());
  return text.substr(pos, semicolon - pos);
}

}  // namespace

std::optional<std::string> BuildSylkBlock(
    std::int32_t rows, std::int32_t cols,
    const std::function<std::string(std::int32_t row, std::int32_t col)>& cellValue) {
  SylkWriter writer;
  writer.AppendUnchecked(kSylkHeader);
  writer.AppendUnchecked("B;X" + FormatInteger(cols) + ";Y" + FormatInteger(rows) + ";D0 0 " +
                         FormatInteger(std::int64_t{rows} - 1) + " " +
                         FormatInteger(std::int64_t{cols} - 1) + "\r\n");
  if (writer.size() + LeastCellRecordBytes(rows, cols) + 4 > kSylkBlockLimit) return std::nullopt;
  for (std::int32_t row = 0; row < rows; ++row)
    for (std::int32_t col = 0; col < cols; ++col)
      if (!AppendCell(writer, row, col, cellValue(row, col))) return std::nullopt;
  if (!writer.Append("E\r\n", 4)) return std::nullopt;
  return writer.Finish();
}

std::optional<SylkPaste> ParseSylkBlock(std::span<const std::uint8_t> block) {
  std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  text = text.substr(0, std::min(text.find('\0'), text.size()));

  const std::size_t bounds = text.find("B;");
  if (bounds == std::string_view::npos) return std::nullopt;
  SylkPaste paste;
  std::size_t semicolon = 0;
  paste.columns = ReadInt(FieldAt(text, bounds + 3, semicolon));
  const std::size_t rowsField = std::min(semicolon + 2, text.size());
  paste.rows = ReadInt(FieldAt(text, rowsField, semicolon));

  const std::size_t lineEnd = text.find("\r\n", rowsField);
  if (lineEnd == std::string_view::npos) return paste;
  std::size_t pos = lineEnd + 1;

  const std::int64_t cells =
      std::int64_t{std::max(paste.columns, 0)} * std::int64_t{std::max(paste.rows, 0)};
  while (static_cast<std::int64_t>(paste.values.size()) < cells) {
    const std::size_t k = text.find('K', pos);
    if (k == std::string_view::npos) break;
    pos = k + 1;
    const bool quoted = pos < text.size() && text[pos] == '"';
    if (quoted) ++pos;
    const std::size_t end = text.find("\r\n", pos);
    if (end == std::string_view::npos) break;
    std::string_view value = text.substr(pos, end - pos);
    if (quoted && !value.empty()) value.remove_suffix(1);
    paste.values.push_back(value);
    pos = end + 2;
  }
  return paste;
}

std::u16string UnicodeTextFromBlock(std::span<const std::uint8_t> block) {
  std::u16string text;
  text.reserve(block.size() / 2);
  for (std::size_t i = 0; i + 1 < block.size(); i += 2) {
    const auto unit = static_cast<char16_t>(block[i] | (block[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::optional<PastedLines> SplitPastedText(std::u16string_view text) {
  PastedLines lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto& cells = lines.emplace_back();
    while (pos < text.size() && text[pos] != u'\n') {
      const std::size_t end = std::min(text.find_first_of(u"\t\r", pos), text.size());
      if (end - pos > kPasteCellUnits) return std::nullopt;
      cells.push_back(text.substr(pos, end - pos));
      pos = end < text.size() ? end + 1 : end;
    }
    if (pos < text.size()) ++pos;  // the LF that ends the line
  }
  return lines;
}

}  // namespace dorvane

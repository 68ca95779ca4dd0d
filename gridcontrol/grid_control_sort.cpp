#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "gridcontrol/cell_number.h"
#include "gridcontrol/grid_control.h"

namespace dorvane {

namespace {

enum class KeyKind : std::uint8_t { kNumber, kText, kEmpty };

struct SortKey {
  KeyKind kind = KeyKind::kEmpty;
  double number = 0;
  std::u16string_view text;
};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

}  // namespace

std::optional<double> ParseCellNumber(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty() || text.size() > 64) return std::nullopt;
  char narrow[64];
  std::size_t length = 0;
  for (char16_t c : text) {
    if (c > 0x7F) return std::nullopt;
    narrow[length++] = static_cast<char>(c);
  }
  const char* begin = narrow;
  const char* end = narrow + length;
  bool negative = false;
  if (*begin == '+' || *begin == '-') negative = *begin++ == '-';
  // from_chars would also take "inf" and "nan", which are not numbers here.
  if (begin == end || !(std::isdigit(static_cast<unsigned char>(*begin)) || *begin == '.'))
    return std::nullopt;
  double value = 0;
  const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
  if (stop != end) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    const std::string_view digits(begin, length - static_cast<std::size_t>(begin - narrow));
    const auto exponent = digits.find_first_of("eE");
    const bool tiny = exponent != std::string_view::npos && exponent + 1 < digits.size() &&
                      digits[exponent + 1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (error != std::errc{}) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

namespace {

SortKey MakeKey(const std::u16string& text) {
  if (text.empty()) return {};
  if (const auto number = ParseCellNumber(text)) return {KeyKind::kNumber, *number, {}};
  return {KeyKind::kText, 0, text};
}

char16_t Fold(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

int CompareText(std::u16string_view a, std::u16string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = Fold(a[i]);
    const char16_t y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Negative when a sorts first. Empty keys go last whatever the direction.
int CompareKeys(const SortKey& a, const SortKey& b, bool descending) {
  if (a.kind == KeyKind::kEmpty || b.kind == KeyKind::kEmpty)
    return static_cast<int>(a.kind == KeyKind::kEmpty) -
           static_cast<int>(b.kind == KeyKind::kEmpty);
  int order = 0;
  if (a.kind != b.kind)
    order = a.kind == KeyKind::kNumber ? -1 : 1;
  else if (a.kind == KeyKind::kNumber)
    order = a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
  else
    order = CompareText(a.text, b.text);
  return descending ? -order : order;
}

}  // namespace

void GridControl::SetSort(std::int16_t order) {
  SortRows(order, 0);
}

void GridControl::SortDataRows(std::int16_t order) {
  SortRows(order, FixedCols());
}

// The rows Row..RowSel are ordered by the columns Col..ColSel, stably, rows
// without any key text last; the columns from firstCol on move with them.
// Only texts are read and moved: rows without keys keep their order, so a
// text's new row follows from how many keyed rows lie above it.
void GridControl::SortRows(std::int16_t sortOrder, std::int32_t firstCol) {
  if (sortOrder < 0 || sortOrder > 2) throw GridError(kGridErrorInvalidValue, "unknown sort order");
  if (sortOrder == 0 || Rows() == 0 || Cols() == 0) return;
  const bool descending = sortOrder == 2;
  const std::int32_t top = std::min(row_, rowSel_);
  const std::int32_t bottom = std::max(row_, rowSel_);
  const std::int32_t left = std::min(col_, colSel_);
  const std::int32_t right = std::max(col_, colSel_);
  const std::size_t keyCount = static_cast<std::size_t>(right - left + 1);
  if (bottom - top < 1) return;

  std::vector<std::int32_t> keyed;
  for (std::int32_t row = NextRowWithText(left, right, top); row <= bottom;
       row = NextRowWithText(left, right, row + 1))
    keyed.push_back(row);
  std::vector<SortKey> keys(keyed.size() * keyCount);
  for (std::size_t r = 0; r < keyed.size(); ++r)
    for (std::size_t k = 0; k < keyCount; ++k)
      keys[r * keyCount + k] = MakeKey(Cell(keyed[r], left + static_cast<std::int32_t>(k)));

  // The first key travels with the row number, so most comparisons of a
  // numeric column stay inside one compact array.
  struct Entry {
    double number;
    std::uint32_t row;
    KeyKind kind;
  };
  std::vector<Entry> order(keyed.size());
  for (std::size_t r = 0; r < keyed.size(); ++r) {
    const SortKey& key = keys[r * keyCount];
    order[r] = {key.number, static_cast<std::uint32_t>(r), key.kind};
  }
  std::stable_sort(order.begin(), order.end(), [&](const Entry& a, const Entry& b) {
    int c = 0;
    if (a.kind == KeyKind::kNumber && b.kind == KeyKind::kNumber) {
      c = a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
      if (descending) c = -c;
    } else {
      c = CompareKeys(keys[a.row * keyCount], keys[b.row * keyCount], descending);
    }
    for (std::size_t k = 1; c == 0 && k < keyCount; ++k)
      c = CompareKeys(keys[a.row * keyCount + k], keys[b.row * keyCount + k], descending);
    return c < 0;
  });
  std::vector<std::int32_t> keyedTarget(keyed.size());
  for (std::size_t r = 0; r < order.size(); ++r)
    keyedTarget[order[r].row] = top + static_cast<std::int32_t>(r);
  const auto keyedCount = static_cast<std::int32_t>(keyed.size());
  const auto target = [&](std::int32_t row) {
    const auto at = std::ranges::lower_bound(keyed, row);
    const auto above = static_cast<std::int32_t>(at - keyed.begin());
    if (at != keyed.end() && *at == row) return keyedTarget[static_cast<std::size_t>(above)];
    return top + keyedCount + (row - top - above);
  };

  std::vector<std::pair<std::int32_t, std::u16string>> moving;
  for (std::int32_t col = std::max(firstCol, 0); col < Cols(); ++col) {
    moving.clear();
    for (std::int32_t row = NextRowWithText(col, col, top); row <= bottom;
         row = NextRowWithText(col, col, row + 1)) {
      moving.emplace_back(target(row), std::move(Cell(row, col)));
      std::u16string().swap(cells_[CellIndex(row, col)]);
      MarkText(row, col, false);
    }
    for (auto& [row, text] : moving) {
      cells_[CellIndex(row, col)] = std::move(text);
      MarkText(row, col, true);
    }
  }
  // Text inside the sorted rows may have moved down to their last one.
  for (std::int32_t& textRows : textRows_)
    if (textRows > top) textRows = std::max(textRows, bottom + 1);
  Changed(kGridRepaint);
}

}  // namespace dorvane

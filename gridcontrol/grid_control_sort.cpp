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
  if (order < 0 || order > 2) throw GridError(kGridErrorInvalidValue, "unknown sort order");
  if (order == 0 || Rows() == 0 || Cols() == 0) return;
  SortRows(order == 2);
}

// The rows Row..RowSel are ordered by the columns Col..ColSel: keys are taken
// once, an index permutation is sorted stably, then the rows are moved whole.
void GridControl::SortRows(bool descending) {
  const std::int32_t top = std::min(row_, rowSel_);
  const std::int32_t bottom = std::max(row_, rowSel_);
  const std::int32_t left = std::min(col_, colSel_);
  const std::int32_t right = std::max(col_, colSel_);
  const std::size_t rowCount = static_cast<std::size_t>(bottom - top + 1);
  const std::size_t keyCount = static_cast<std::size_t>(right - left + 1);
  if (rowCount < 2) return;

  std::vector<SortKey> keys(rowCount * keyCount);
  for (std::size_t r = 0; r < rowCount; ++r)
    for (std::size_t k = 0; k < keyCount; ++k)
      keys[r * keyCount + k] = MakeKey(cells_[CellIndex(top + static_cast<std::int32_t>(r),
                                                        left + static_cast<std::int32_t>(k))]);

  // The first key travels with the row number, so most comparisons of a
  // numeric column stay inside one compact array.
  struct Entry {
    double number;
    std::uint32_t row;
    KeyKind kind;
  };
  std::vector<Entry> order(rowCount);
  for (std::size_t r = 0; r < rowCount; ++r) {
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

  const std::size_t cols = static_cast<std::size_t>(Cols());
  std::vector<std::u16string> moved(rowCount * cols);
  for (std::size_t r = 0; r < rowCount; ++r) {
    auto from = cells_.begin() + static_cast<std::ptrdiff_t>(
                                     CellIndex(top + static_cast<std::int32_t>(order[r].row), 0));
    std::move(from, from + static_cast<std::ptrdiff_t>(cols),
              moved.begin() + static_cast<std::ptrdiff_t>(r * cols));
  }
  std::move(moved.begin(), moved.end(),
            cells_.begin() + static_cast<std::ptrdiff_t>(CellIndex(top, 0)));
  // Text inside the sorted rows may have moved down to their last one.
  for (std::int32_t& textRows : textRows_)
    if (textRows > top) textRows = std::max(textRows, bottom + 1);
  Changed(kGridRepaint);
}

}  // namespace dorvane

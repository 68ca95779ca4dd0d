#include "grid/number_text.h"

#include "data/decimal.h"

namespace dorvane {

namespace {

std::u16string Widen(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

}  // namespace

std::u16string IntegerText(std::int64_t value) {
  return Widen(FormatInteger(value));
}

std::u16string ThreeDecimalsTrimmed(double value) {
  std::u16string text = Widen(FormatFixed3(value));
  TrimTrailingZeros(text);
  return text;
}

void TrimTrailingZeros(std::u16string& text) {
  while (text.size() > 1) {
    const char16_t last = text.back();
    if (last != u'0' && last != u'.') return;
    text.pop_back();
    if (last == u'.') return;
  }
}

}  // namespace dorvane

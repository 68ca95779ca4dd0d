#include "cli/utf8.h"

namespace dorvane::cli {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one scalar value at `bytes[i]` and advances `i` past it. A sequence that
// is truncated, overlong, a surrogate or beyond U+10FFFF yields U+FFFD and skips
// only its valid prefix, so the next character is not swallowed.
char32_t DecodeOne(std::string_view bytes, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(bytes[i++]);
  if (lead < 0x80) return lead;
  int length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 1; k < length; ++k) {
    if (i >= bytes.size() || !IsContinuation(static_cast<unsigned char>(bytes[i]))) {
      return kReplacement;
    }
    value = (value << 6) | (static_cast<unsigned char>(bytes[i++]) & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < minimum || surrogate || value > 0x10FFFF) return kReplacement;
  return value;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const char32_t value = DecodeOne(bytes, i);
    if (value >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(value));
    }
  }
  return text;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t value = text[i];
    if (value >= 0xD800 && value <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (value >= 0xD800 && value <= 0xDFFF) {
      value = kReplacement;
    }
    if (value < 0x80) {
      bytes.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
      bytes.push_back(static_cast<char>(0xC0 | (value >> 6)));
      bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
      bytes.push_back(static_cast<char>(0xE0 | (value >> 12)));
      bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
      bytes.push_back(static_cast<char>(0xF0 | (value >> 18)));
      bytes.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
  }
  return bytes;
}

}  // namespace dorvane::cli

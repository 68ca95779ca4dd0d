#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/code_page.h"

namespace dorvane {
namespace {

constexpr char kUtf16[] = "UTF-16LE";
constexpr char16_t kReplacementCharacter = 0xFFFD;

class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) ::iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c < 0xDC00;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c < 0xE000;
}

constexpr char16_t kEscapedByte = 0xDC00;
bool IsEscapedByte(char16_t c) {
  return c >= kEscapedByte + 0x80 && c <= kEscapedByte + 0xFF;
}

// Feeds `in` through `cd` into `out`, growing it as needed. False when iconv
// stops at something it cannot convert; `in` then points at it.
bool ConvertSome(iconv_t cd, const char*& in, std::size_t& inLeft, std::string& out) {
  while (inLeft > 0) {
    const std::size_t used = out.size();
    out.resize(used + inLeft * 4 + 16);
    char* outPointer = out.data() + used;
    std::size_t outLeft = out.size() - used;
    const std::size_t result = ::iconv(cd, const_cast<char**>(&in), &inLeft, &outPointer, &outLeft);
    const int error = errno;
    out.resize(static_cast<std::size_t>(outPointer - out.data()));
    if (result == static_cast<std::size_t>(-1) && error != E2BIG) return false;
  }
  return true;
}

void FinishShiftState(iconv_t cd, std::string& out) {
  char tail[16];
  char* outPointer = tail;
  std::size_t outLeft = sizeof tail;
  ::iconv(cd, nullptr, nullptr, &outPointer, &outLeft);
  out.append(tail, outPointer);
}

std::string ToLittleEndianBytes(std::u16string_view text) {
  std::string bytes(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return bytes;
}

std::u16string FromLittleEndianBytes(std::string_view bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return text;
}

// iconv descriptors keep state between calls, so one object serves one thread,
// like the rest of the user interface.
class IconvCodePage : public CodePage {
 public:
  explicit IconvCodePage(const std::string& name)
      : toBytes_(name.c_str(), kUtf16), toUtf16_(kUtf16, name.c_str()) {}
  bool valid() const { return toBytes_.valid() && toUtf16_.valid(); }

  std::string FromUtf16(std::u16string_view text) const override { return *Convert(text, false); }

  std::optional<std::string> FromUtf16Exactly(std::u16string_view text) const override {
    return Convert(text, true);
  }

  std::u16string ToUtf16(std::string_view bytes) const override {
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    std::string units;
    ::iconv(toUtf16_.get(), nullptr, nullptr, nullptr, nullptr);
    while (!ConvertSome(toUtf16_.get(), in, inLeft, units)) {
      // An invalid byte, or a sequence cut off by the end, stands for one
      // replacement character; reading resumes at the next byte.
      units += static_cast<char>(kReplacementCharacter & 0xFF);
      units += static_cast<char>(kReplacementCharacter >> 8);
      ++in;
      --inLeft;
      ::iconv(toUtf16_.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return FromLittleEndianBytes(units);
  }

 private:
  // File-name bytes that were not UTF-8 travel as escapes (see utf8.h): they go
  // out as the very bytes that name the file.
  std::optional<std::string> Convert(std::u16string_view text, bool exact) const {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && !IsEscapedByte(text[i])) continue;
      if (!ConvertRun(text.substr(start, i - start), exact, out)) return std::nullopt;
      if (i < text.size()) out += static_cast<char>(text[i] - kEscapedByte);
      start = i + 1;
    }
    return out;
  }

  bool ConvertRun(std::u16string_view text, bool exact, std::string& out) const {
    if (text.empty()) return true;
    const std::string units = ToLittleEndianBytes(text);
    const char* in = units.data();
    std::size_t inLeft = units.size();
    std::string bytes;
    ::iconv(toBytes_.get(), nullptr, nullptr, nullptr, nullptr);
    while (!ConvertSome(toBytes_.get(), in, inLeft, bytes)) {
      if (exact) return false;
      // One default character per character the code page lacks; a whole
      // surrogate pair is one character.
      const std::size_t at = (units.size() - inLeft) / 2;
      const bool pair =
          at + 1 < text.size() && IsHighSurrogate(text[at]) && IsLowSurrogate(text[at + 1]);
      const std::size_t skip = pair ? 4 : 2;
      bytes += '?';
      in += std::min(skip, inLeft);
      inLeft -= std::min(skip, inLeft);
      ::iconv(toBytes_.get(), nullptr, nullptr, nullptr, nullptr);
    }
    FinishShiftState(toBytes_.get(), bytes);
    // Some tables map two characters to one byte sequence; only the one that
    // reads back is exact.
    if (exact && ToUtf16(bytes) != text) return false;
    out += bytes;
    return true;
  }

  IconvHandle toBytes_;
  IconvHandle toUtf16_;
};

std::string LocaleCodeSet() {
  const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return "ANSI_X3.4-1968";
  std::string codeSet = ::nl_langinfo_l(CODESET, locale);
  ::freelocale(locale);
  return codeSet;
}

// Windows names code pages by number; iconv knows them as "CPnnn".
std::string IconvName(std::string_view name) {
  if (name.empty()) return LocaleCodeSet();
  const bool allDigits = name.find_first_not_of("0123456789") == std::string_view::npos;
  return allDigits ? "CP" + std::string(name) : std::string(name);
}

}  // namespace

std::unique_ptr<CodePage> MakeCodePage(std::string_view name) {
  auto codePage = std::make_unique<IconvCodePage>(IconvName(name));
  if (!codePage->valid() || !KeepsAscii(*codePage)) return nullptr;
  return codePage;
}

}  // namespace dorvane

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>

#include "platform/code_page.h"
#include "platform/win32/text.h"

namespace dorvane {
namespace {

class Win32CodePage : public CodePage {
 public:
  explicit Win32CodePage(UINT codePage) : codePage_(codePage) {}

  std::string FromUtf16(std::u16string_view text) const override {
    if (text.empty()) return {};
    const std::wstring wide = win32::Wide(text);
    const int length = static_cast<int>(wide.size());
    // UTF-8 takes no default character; it writes U+FFFD for what it cannot encode.
    const bool utf8 = ActualCodePage() == CP_UTF8;
    const char* defaultChar = utf8 ? nullptr : "?";
    const int needed =
        ::WideCharToMultiByte(codePage_, 0, wide.data(), length, nullptr, 0, defaultChar, nullptr);
    if (needed <= 0) return {};
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage_, 0, wide.data(), length, bytes.data(), needed, defaultChar,
                          nullptr);
    return bytes;
  }

  std::u16string ToUtf16(std::string_view bytes) const override {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(codePage_, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage_, 0, bytes.data(), length, wide.data(), needed);
    return win32::FromWide(wide);
  }

 private:
  UINT ActualCodePage() const { return codePage_ == CP_ACP ? ::GetACP() : codePage_; }

  UINT codePage_;
};

std::string Upper(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

// "CP936", "936", "UTF-8": the names the other platforms use for the same tables.
std::optional<UINT> CodePageNumber(std::string_view name) {
  if (name.empty()) return CP_ACP;
  std::string upper = Upper(name);
  if (upper == "UTF-8" || upper == "UTF8") return CP_UTF8;
  if (upper == "GBK" || upper == "GB2312") return 936u;
  std::string_view digits = upper;
  if (digits.starts_with("CP")) digits.remove_prefix(2);
  UINT number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
    return std::nullopt;
  if (number == CP_ACP || !::IsValidCodePage(number)) return std::nullopt;
  return number;
}

}  // namespace

std::unique_ptr<CodePage> MakeCodePage(std::string_view name) {
  const std::optional<UINT> number = CodePageNumber(name);
  if (!number) return nullptr;
  return std::make_unique<Win32CodePage>(*number);
}

}  // namespace dorvane

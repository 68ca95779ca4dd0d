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

// Code pages whose conversion takes no flags and no default character: the
// ISO 2022 and ISCII ones, UTF-7 and Symbol; UTF-8 and GB18030 hold every
// character and take only WC_ERR_INVALID_CHARS.
enum class Options { DefaultCharacter, ErrorOnly, None };

Options OptionsOf(UINT codePage) {
  if (codePage == CP_UTF8 || codePage == 54936) return Options::ErrorOnly;
  if (codePage == 42 || codePage == CP_UTF7 || (codePage >= 50220 && codePage <= 50229) ||
      (codePage >= 57002 && codePage <= 57011))
    return Options::None;
  return Options::DefaultCharacter;
}

class Win32CodePage : public CodePage {
 public:
  explicit Win32CodePage(UINT codePage) : codePage_(codePage) {}

  std::string FromUtf16(std::u16string_view text) const override {
    const Options options = OptionsOf(ActualCodePage());
    // Where a default character is refused, the system writes its own.
    const char* defaultChar = options == Options::DefaultCharacter ? "?" : nullptr;
    return Convert(text, 0, defaultChar, nullptr).value_or(std::string());
  }

  std::optional<std::string> FromUtf16Exactly(std::u16string_view text) const override {
    BOOL usedDefault = FALSE;
    std::optional<std::string> bytes;
    switch (OptionsOf(ActualCodePage())) {
      case Options::DefaultCharacter:
        bytes = Convert(text, WC_NO_BEST_FIT_CHARS, nullptr, &usedDefault);
        break;
      case Options::ErrorOnly:
        bytes = Convert(text, WC_ERR_INVALID_CHARS, nullptr, nullptr);
        break;
      case Options::None:
        bytes = Convert(text, 0, nullptr, nullptr);
        break;
    }
    // The flags cannot catch every mapping that does not read back.
    if (!bytes || usedDefault || ToUtf16(*bytes) != text) return std::nullopt;
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

  std::optional<std::string> Convert(std::u16string_view text, DWORD flags, const char* defaultChar,
                                     BOOL* usedDefault) const {
    if (text.empty()) return std::string();
    const std::wstring wide = win32::Wide(text);
    const int length = static_cast<int>(wide.size());
    const int needed = ::WideCharToMultiByte(codePage_, flags, wide.data(), length, nullptr, 0,
                                             defaultChar, usedDefault);
    if (needed <= 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(codePage_, flags, wide.data(), length, bytes.data(), needed,
                              defaultChar, usedDefault) != needed)
      return std::nullopt;
    return bytes;
  }

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
  auto codePage = std::make_unique<Win32CodePage>(*number);
  if (!KeepsAscii(*codePage)) return nullptr;
  return codePage;
}

}  // namespace dorvane

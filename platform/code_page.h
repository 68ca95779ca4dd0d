#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dorvane {

// The system's 8-bit code page: scripts, SYLK clipboard text.
class CodePage {
 public:
  virtual ~CodePage() = default;
  // Characters the code page lacks become its default character ("?").
  virtual std::string FromUtf16(std::u16string_view text) const = 0;
  // The text exactly as the code page holds it, so that it reads back as the
  // same text; none when a character has no exact equivalent (no default
  // character, no best fit such as "ａ" for "a" or "8" for "∞"). A path must name
  // the file the user chose or nothing.
  virtual std::optional<std::string> FromUtf16Exactly(std::u16string_view text) const = 0;
  virtual std::u16string ToUtf16(std::string_view bytes) const = 0;
};

// name: "CP936", "CP1252", "UTF-8", ...; empty: the locale's (POSIX) or the ANSI
// code page (Windows). Null when the name is unknown, or when the code page does
// not keep ASCII as it is (UTF-7, UTF-16, EBCDIC): the program's 8-bit texts mix
// its ASCII lines with converted texts.
std::unique_ptr<CodePage> MakeCodePage(std::string_view name);

// Whether printable ASCII, tab, CR and LF convert to themselves.
bool KeepsAscii(const CodePage& codePage);

}  // namespace dorvane

#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace dorvane {

// The system's 8-bit code page: scripts, SYLK clipboard text. Characters the code
// page lacks become its default character ("?").
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::string FromUtf16(std::u16string_view text) const = 0;
  virtual std::u16string ToUtf16(std::string_view bytes) const = 0;
};

// name: "CP936", "CP1252", "UTF-8", ...; empty: the locale's (POSIX) or the ANSI
// code page (Windows). Null when the name is unknown.
std::unique_ptr<CodePage> MakeCodePage(std::string_view name);

}  // namespace dorvane

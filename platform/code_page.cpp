#include "platform/code_page.h"

namespace dorvane {

bool KeepsAscii(const CodePage& codePage) {
  std::string bytes = "\t\r\n";
  for (char c = ' '; c < 0x7F; ++c) bytes += c;
  const std::u16string text(bytes.begin(), bytes.end());
  return codePage.FromUtf16Exactly(text) == bytes && codePage.ToUtf16(bytes) == text;
}

}  // namespace dorvane

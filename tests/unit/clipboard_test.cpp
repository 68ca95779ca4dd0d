#include "platform/clipboard.h"

#include <gtest/gtest.h>

namespace dorvane {
namespace {

using Block = std::vector<std::uint8_t>;

TEST(MemoryClipboard, ReplacingDropsEveryOtherFormat) {
  MemoryClipboard clipboard;
  clipboard.AddBlock(kClipboardText, Block{'a', 0});
  clipboard.AddBlock(kClipboardUnicodeText, Block{'a', 0, 0, 0});
  const Block sylk{'I', 'D', '\r', '\n', 0};

  EXPECT_TRUE(clipboard.ReplaceWith(kClipboardSylk, sylk));

  EXPECT_TRUE(clipboard.IsFormatAvailable(kClipboardSylk));
  EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardText));
  EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardUnicodeText));
  EXPECT_EQ(clipboard.GetBlock(kClipboardSylk), sylk);
  EXPECT_EQ(clipboard.GetBlock(kClipboardText), std::nullopt);
  clipboard.AddBlock(kClipboardUnicodeText, Block{'b', 0, 0, 0});
  EXPECT_EQ(clipboard.GetBlock(kClipboardSylk), sylk);
}

}  // namespace
}  // namespace dorvane

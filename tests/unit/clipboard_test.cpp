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
}

TEST(MemoryClipboard, HoldsOneBlockPerFormat) {
  MemoryClipboard clipboard;
  clipboard.AddBlock(kClipboardSylk, Block{1});
  clipboard.AddBlock(kClipboardUnicodeText, Block{2, 0});
  clipboard.AddBlock(kClipboardSylk, Block{3, 0});
  EXPECT_EQ(clipboard.GetBlock(kClipboardSylk), (Block{3, 0}));
  EXPECT_EQ(clipboard.GetBlock(kClipboardUnicodeText), (Block{2, 0}));
  clipboard.Clear();
  EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardSylk));
}

}  // namespace
}  // namespace dorvane

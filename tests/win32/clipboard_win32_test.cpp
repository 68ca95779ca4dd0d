#include "platform/win32/clipboard_win32.h"

#include <gtest/gtest.h>

#include <cstring>

#include "win32_test_support.h"

namespace dorvane::win32 {
namespace {

using testing::HiddenWindow;
using Block = std::vector<std::uint8_t>;

Block BlockOf(std::string_view text) {
  Block block(text.begin(), text.end());
  block.push_back(0);
  return block;
}

Block BlockOf(std::u16string_view text) {
  Block block((text.size() + 1) * 2, 0);
  std::memcpy(block.data(), text.data(), text.size() * 2);
  return block;
}

TEST(Win32Clipboard, ASylkBlockComesBackAloneAndWhole) {
  HiddenWindow grid;
  Win32Clipboard clipboard(grid.get());
  ASSERT_TRUE(clipboard.ReplaceWith(kClipboardUnicodeText, BlockOf(u"earlier")));
  const Block sylk = BlockOf(
      "ID;PGSIWKS1\r\nP;PGeneral\r\nP;FArial;M195\r\nF;P0;DG0G8;SM0;M255\r\nB;X1;Y1;D0 0 0 0\r\n"
      "C;X1;Y1;K\"\xB8\xDF\xB3\xCC\"\r\nE\r\n");

  ASSERT_TRUE(clipboard.ReplaceWith(kClipboardSylk, sylk));

  EXPECT_TRUE(clipboard.IsFormatAvailable(kClipboardSylk));
  EXPECT_FALSE(clipboard.IsFormatAvailable(kClipboardUnicodeText));
  EXPECT_EQ(clipboard.GetBlock(kClipboardSylk), sylk);
  EXPECT_EQ(clipboard.GetBlock(kClipboardUnicodeText), std::nullopt);
}

TEST(Win32Clipboard, UnicodeTextIsAlsoOfferedAsText) {
  HiddenWindow grid;
  Win32Clipboard clipboard(grid.get());
  const Block text = BlockOf(u"1\t2\r\n高程\t4\r\n");

  ASSERT_TRUE(clipboard.ReplaceWith(kClipboardUnicodeText, text));

  // The paste entry is enabled by CF_TEXT, which the system derives.
  EXPECT_TRUE(clipboard.IsFormatAvailable(kClipboardText));
  const auto back = clipboard.GetBlock(kClipboardUnicodeText);
  ASSERT_TRUE(back.has_value());
  ASSERT_GE(back->size(), text.size());
  EXPECT_EQ(Block(back->begin(), back->begin() + text.size()), text);
}

}  // namespace
}  // namespace dorvane::win32

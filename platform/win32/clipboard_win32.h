#pragma once

#include <windows.h>

#include "platform/clipboard.h"

namespace dorvane::win32 {

// The system clipboard, opened for each call with `owner` as its owner window
// (the grid control's window in the program).
class Win32Clipboard : public Clipboard {
 public:
  explicit Win32Clipboard(HWND owner = nullptr) : owner_(owner) {}
  void SetOwner(HWND owner) { owner_ = owner; }

  bool IsFormatAvailable(std::uint32_t format) const override;
  std::optional<std::vector<std::uint8_t>> GetBlock(std::uint32_t format) const override;
  bool ReplaceWith(std::uint32_t format, std::span<const std::uint8_t> block) override;

 private:
  HWND owner_;
};

}  // namespace dorvane::win32

#include "platform/win32/clipboard_win32.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/handles.h"

namespace dorvane::win32 {
namespace {

// Open for the length of one command. Another program may hold the clipboard
// for a moment, so opening is tried a few times before giving up.
class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) {
    for (int attempt = 0; attempt < 5 && !open_; ++attempt) {
      open_ = ::OpenClipboard(owner) != FALSE;
      if (!open_) ::Sleep(10);
    }
  }
  ~ClipboardSession() {
    if (open_) ::CloseClipboard();
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;

  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

}  // namespace

bool Win32Clipboard::IsFormatAvailable(std::uint32_t format) const {
  return ::IsClipboardFormatAvailable(format) != FALSE;
}

std::optional<std::vector<std::uint8_t>> Win32Clipboard::GetBlock(std::uint32_t format) const {
  const ClipboardSession session(owner_);
  if (!session) return std::nullopt;
  const HANDLE data = ::GetClipboardData(format);
  if (data == nullptr) return std::nullopt;
  const GlobalLockGuard lock(data);
  if (lock.data() == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
  return std::vector<std::uint8_t>(bytes, bytes + ::GlobalSize(data));
}

bool Win32Clipboard::ReplaceWith(std::uint32_t format, std::span<const std::uint8_t> block) {
  // GlobalAlloc refuses a moveable block of no bytes; one zero byte stands for it.
  GlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE,
                                    std::max<SIZE_T>(block.size(), 1)));
  if (!memory) return false;
  {
    const GlobalLockGuard lock(memory.get());
    if (lock.data() == nullptr) return false;
    if (!block.empty()) std::memcpy(lock.data(), block.data(), block.size());
  }
  const ClipboardSession session(owner_);
  if (!session || !::EmptyClipboard()) return false;
  if (::SetClipboardData(format, memory.get()) == nullptr) return false;
  memory.release();  // the clipboard owns the block now
  return true;
}

}  // namespace dorvane::win32

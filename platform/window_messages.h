#pragma once

#include <cstdint>

// Window message and key numbers as the platform defines them, so the editor's
// message handling is portable and the Windows window procedure only forwards.
namespace dorvane::msg {

inline constexpr std::uint32_t kPaint = 0x000F;
inline constexpr std::uint32_t kSetCursor = 0x0020;
inline constexpr std::uint32_t kGetDlgCode = 0x0087;
inline constexpr std::uint32_t kKeyDown = 0x0100;
inline constexpr std::uint32_t kChar = 0x0102;
inline constexpr std::uint32_t kCommand = 0x0111;
inline constexpr std::uint32_t kHScroll = 0x0114;
inline constexpr std::uint32_t kVScroll = 0x0115;
inline constexpr std::uint32_t kMouseMove = 0x0200;
inline constexpr std::uint32_t kLButtonDown = 0x0201;
inline constexpr std::uint32_t kLButtonUp = 0x0202;
inline constexpr std::uint32_t kLButtonDblClk = 0x0203;
inline constexpr std::uint32_t kRButtonDown = 0x0204;
inline constexpr std::uint32_t kRButtonUp = 0x0205;
inline constexpr std::uint32_t kMouseWheel = 0x020A;
inline constexpr std::uint32_t kCaptureChanged = 0x0215;

inline constexpr std::uint32_t kVkReturn = 0x0D;
inline constexpr std::uint32_t kVkEscape = 0x1B;
inline constexpr std::uint32_t kVkPrior = 0x21;  // Page Up
inline constexpr std::uint32_t kVkNext = 0x22;   // Page Down
inline constexpr std::uint32_t kVkEnd = 0x23;
inline constexpr std::uint32_t kVkHome = 0x24;
inline constexpr std::uint32_t kVkLeft = 0x25;
inline constexpr std::uint32_t kVkUp = 0x26;
inline constexpr std::uint32_t kVkRight = 0x27;
inline constexpr std::uint32_t kVkDown = 0x28;
inline constexpr std::uint32_t kVkInsert = 0x2D;
inline constexpr std::uint32_t kVkDelete = 0x2E;

inline constexpr std::uintptr_t kMkLButton = 0x0001;
inline constexpr std::uintptr_t kMkShift = 0x0004;
inline constexpr std::uintptr_t kMkControl = 0x0008;

inline constexpr std::intptr_t kDlgcWantMessage = 0x0004;  // also DLGC_WANTALLKEYS
inline constexpr std::uint32_t kHtClient = 1;              // WM_SETCURSOR: over the client area

inline constexpr std::uintptr_t kSbLineUp = 0;    // also SB_LINELEFT
inline constexpr std::uintptr_t kSbLineDown = 1;  // also SB_LINERIGHT
inline constexpr std::uintptr_t kSbPageUp = 2;
inline constexpr std::uintptr_t kSbPageDown = 3;
inline constexpr std::uintptr_t kSbThumbPosition = 4;
inline constexpr std::uintptr_t kSbThumbTrack = 5;
inline constexpr std::uintptr_t kSbTop = 6;
inline constexpr std::uintptr_t kSbBottom = 7;

// lParam of a mouse message: x in the low 16 bits, y in the high 16 bits.
inline constexpr std::intptr_t MakePointParam(std::int32_t x, std::int32_t y) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16 |
                                    (static_cast<std::uint32_t>(x) & 0xFFFFu));
}
inline constexpr std::int32_t SignedLow(std::intptr_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
}
inline constexpr std::int32_t SignedHigh(std::intptr_t value) {
  return static_cast<std::int16_t>((static_cast<std::uint32_t>(value) >> 16) & 0xFFFFu);
}

}  // namespace dorvane::msg

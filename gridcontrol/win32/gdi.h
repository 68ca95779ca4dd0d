#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/win32/handles.h"

namespace dorvane::win32 {

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Empty() { return nullptr; }
  static void Free(Handle object) { ::DeleteObject(object); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Empty() { return nullptr; }
  static void Free(Handle dc) { ::DeleteDC(dc); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// An object selected into a device context until this goes.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

class PaintContext {
 public:
  explicit PaintContext(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  ~PaintContext() { ::EndPaint(window_, &paint_); }
  PaintContext(const PaintContext&) = delete;
  PaintContext& operator=(const PaintContext&) = delete;

  HDC dc() const { return dc_; }
  const RECT& dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An off-screen bitmap of a given size, compatible with `target`, selected
// into its own memory device context.
class BackBuffer {
 public:
  BackBuffer(HDC target, int width, int height)
      : dc_(::CreateCompatibleDC(target)),
        bitmap_(::CreateCompatibleBitmap(target, width, height)),
        selected_(dc_.get(), bitmap_.get()) {}

  explicit operator bool() const { return dc_ && bitmap_; }
  HDC dc() const { return dc_.get(); }

 private:
  UniqueMemoryDc dc_;
  UniqueGdiObject bitmap_;
  SelectedObject selected_;
};

// A top-down 32-bit DIB section selected into its own memory device context:
// drawn into with GDI, its pixels readable in memory.
class DibSection {
 public:
  DibSection(HDC target, int width, int height)
      : width_(width),
        height_(height),
        dc_(::CreateCompatibleDC(target)),
        bitmap_(Create(target, width, height, bits_)),
        selected_(dc_.get(), bitmap_.get()) {}

  explicit operator bool() const { return dc_ && bitmap_ && bits_ != nullptr; }
  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  // Rows from the top, 0x00RRGGBB each; flush GDI (GdiFlush) before reading.
  const std::uint32_t* pixels() const { return static_cast<const std::uint32_t*>(bits_); }
  std::uint32_t* pixels() { return static_cast<std::uint32_t*>(bits_); }

 private:
  static HGDIOBJ Create(HDC target, int width, int height, void*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }

  int width_;
  int height_;
  void* bits_ = nullptr;
  UniqueMemoryDc dc_;
  UniqueGdiObject bitmap_;
  SelectedObject selected_;
};

}  // namespace dorvane::win32

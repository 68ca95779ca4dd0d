#pragma once

#include <windows.h>

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

}  // namespace dorvane::win32

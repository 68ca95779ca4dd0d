#pragma once

#include <windows.h>

#include <utility>

namespace dorvane::win32 {

// Owns one handle of a kind; `Traits` names its empty value and how to free it.
template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Empty(); }
  Handle release() { return std::exchange(handle_, Traits::Empty()); }
  void reset(Handle handle = Traits::Empty()) {
    if (handle_ != Traits::Empty()) Traits::Free(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Empty();
};

struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle handle) { ::CloseHandle(handle); }
};
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Empty() { return nullptr; }
  static void Free(Handle handle) { ::CloseHandle(handle); }
};
struct MappedViewTraits {
  using Handle = const void*;
  static Handle Empty() { return nullptr; }
  static void Free(Handle view) { ::UnmapViewOfFile(view); }
};
struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Empty() { return nullptr; }
  static void Free(Handle memory) { ::LocalFree(memory); }
};
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Empty() { return nullptr; }
  static void Free(Handle memory) { ::GlobalFree(memory); }
};

// CreateFileW fails with INVALID_HANDLE_VALUE, CreateFileMappingW with null.
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;
using MappedView = UniqueResource<MappedViewTraits>;
using LocalMemory = UniqueResource<LocalMemoryTraits>;
using GlobalMemory = UniqueResource<GlobalMemoryTraits>;

// A locked global memory block; unlocked when this goes.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL memory) : memory_(memory), data_(::GlobalLock(memory)) {}
  ~GlobalLockGuard() {
    if (data_ != nullptr) ::GlobalUnlock(memory_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;

  void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

}  // namespace dorvane::win32

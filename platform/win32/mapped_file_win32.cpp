#include <windows.h>

#include <algorithm>
#include <optional>

#include "platform/mapped_file.h"
#include "platform/win32/handles.h"
#include "platform/win32/paths.h"

namespace dorvane {
namespace {

HANDLE AsHandle(std::intptr_t file) {
  return reinterpret_cast<HANDLE>(file);
}

// The change time comes only with the basic information; the index and the
// volume only with the other.
std::optional<FileStamp> StampOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandle(file, &info) ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
    return std::nullopt;
  FileStamp stamp;
  stamp.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  stamp.modified =
      static_cast<std::int64_t>(std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 |
                                info.ftLastWriteTime.dwLowDateTime);
  stamp.changed = basic.ChangeTime.QuadPart;
  stamp.identity = (std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow) ^
                   std::uint64_t{info.dwVolumeSerialNumber} * 0x9E3779B97F4A7C15ull;
  return stamp;
}

}  // namespace

SystemError MappedFile::Map(std::u16string_view path, Pages) {
  const std::wstring native = win32::ExtendedLengthPath(path);
  if (native.empty()) return LastSystemError();
  win32::UniqueFile file(::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return LastSystemError();
  const std::optional<FileStamp> known = StampOf(file.get());
  if (!known) return LastSystemError();
  const FileStamp stamp = *known;
  if (stamp.size > SIZE_MAX) return {ERROR_NOT_ENOUGH_MEMORY};
  // An empty file cannot be mapped: the system refuses it with its own text.
  const win32::UniqueKernelHandle mapping(
      ::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return LastSystemError();
  // The view keeps the mapping alive; the open file keeps writers away.
  const void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) return LastSystemError();
  file_ = reinterpret_cast<std::intptr_t>(file.release());
  view_ = static_cast<const std::uint8_t*>(view);
  size_ = stamp.size;
  stamp_ = stamp;
  return {};
}

std::optional<FileStamp> MappedFile::CurrentStamp() const {
  if (file_ == -1) return std::nullopt;
  return StampOf(AsHandle(file_));
}

// The view's pages come in as they are read; the system reads ahead by itself.
void MappedFile::LoadPages(std::uint64_t, std::uint64_t) const {}

void MappedFile::DropPages(std::uint64_t offset, std::uint64_t count) const {
  if (view_ == nullptr || offset >= size_) return;
  // Unlocking pages that are not locked takes them out of the working set.
  ::VirtualUnlock(const_cast<std::uint8_t*>(view_ + offset),
                  static_cast<SIZE_T>(std::min(count, size_ - offset)));
}

void MappedFile::Release() {
  if (view_ != nullptr) ::UnmapViewOfFile(view_);
  if (file_ != -1) ::CloseHandle(AsHandle(file_));
  view_ = nullptr;
  file_ = -1;
  size_ = 0;
  stamp_ = {};
}

}  // namespace dorvane

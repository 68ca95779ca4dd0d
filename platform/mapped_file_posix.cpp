#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>

#include "platform/mapped_file.h"
#include "platform/unique_fd.h"
#include "platform/utf8.h"

namespace dorvane {
namespace {

#ifdef MAP_POPULATE
constexpr int kPopulate = MAP_POPULATE;
#else
constexpr int kPopulate = 0;
#endif
constexpr std::uint64_t kPopulatedSize = 256u << 20;

FileStamp StampOf(const struct stat& status) {
  FileStamp stamp;
  stamp.size = static_cast<std::uint64_t>(status.st_size);
  stamp.modified =
      static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
  stamp.changed =
      static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec;
  stamp.identity = static_cast<std::uint64_t>(status.st_dev) * 0x9E3779B97F4A7C15ull ^
                   static_cast<std::uint64_t>(status.st_ino);
  return stamp;
}

}  // namespace

SystemError MappedFile::Map(std::u16string_view path, Pages pages) {
  // O_NONBLOCK keeps a FIFO from stalling the open; it changes nothing for files.
  UniqueFd fd(::open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return LastSystemError();
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) return LastSystemError();
  if (S_ISDIR(status.st_mode)) return {EISDIR};
  const FileStamp stamp = StampOf(status);
  // mmap refuses a length of 0 with EINVAL; say so without asking it.
  if (stamp.size == 0) return {EINVAL};
  if (stamp.size > SIZE_MAX) return {EFBIG};
  // The scan reads every page: mapping them in one call spares a page fault per
  // page. A file too large to hold in memory at once is read ahead instead, and
  // its pages can go again behind the scan.
  const bool populate = pages == Pages::AtOnce && stamp.size <= kPopulatedSize;
  void* view = ::mmap(nullptr, static_cast<std::size_t>(stamp.size), PROT_READ,
                      MAP_PRIVATE | (populate ? kPopulate : 0), fd.get(), 0);
  if (view != MAP_FAILED && !populate)
    ::madvise(view, static_cast<std::size_t>(stamp.size), MADV_SEQUENTIAL);
  if (view == MAP_FAILED) return LastSystemError();
  file_ = fd.Release();
  view_ = static_cast<const std::uint8_t*>(view);
  size_ = stamp.size;
  stamp_ = stamp;
  return {};
}

std::optional<FileStamp> MappedFile::CurrentStamp() const {
  struct stat status {};
  if (file_ < 0 || ::fstat(static_cast<int>(file_), &status) != 0) return std::nullopt;
  return StampOf(status);
}

namespace {

// Whole pages around [offset, offset + count) of the content; empty when the
// range lies outside it.
std::span<std::uint8_t> PagesAround(const std::uint8_t* view, std::uint64_t size,
                                    std::uint64_t offset, std::uint64_t count) {
  if (view == nullptr || offset >= size) return {};
  static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(view + offset) & ~(page - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(view + offset + std::min(count, size - offset));
  return {reinterpret_cast<std::uint8_t*>(start), end - start};
}

}  // namespace

void MappedFile::LoadPages(std::uint64_t offset, std::uint64_t count) const {
  const std::span<std::uint8_t> pages = PagesAround(view_, size_, offset, count);
  if (pages.empty()) return;
    // Populating maps the pages in one call; read-ahead alone leaves a fault per
    // page, which costs more than the copy that follows.
#ifdef MADV_POPULATE_READ
  if (::madvise(pages.data(), pages.size(), MADV_POPULATE_READ) == 0 || errno != EINVAL) return;
#endif
  ::madvise(pages.data(), pages.size(), MADV_WILLNEED);
}

void MappedFile::DropPages(std::uint64_t offset, std::uint64_t count) const {
  const std::span<std::uint8_t> pages = PagesAround(view_, size_, offset, count);
  if (!pages.empty()) ::madvise(pages.data(), pages.size(), MADV_DONTNEED);
}

void MappedFile::Release() {
  if (view_ != nullptr) ::munmap(const_cast<std::uint8_t*>(view_), static_cast<std::size_t>(size_));
  if (file_ >= 0) ::close(static_cast<int>(file_));
  view_ = nullptr;
  file_ = -1;
  size_ = 0;
  stamp_ = {};
}

}  // namespace dorvane

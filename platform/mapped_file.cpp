#include "platform/mapped_file.h"

#include <utility>

namespace dorvane {

MappedFile::MappedFile(std::u16string_view path, Pages pages) {
  error_ = Map(path, pages);
  if (error_.code != 0) Release();
}

MappedFile::~MappedFile() {
  Release();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : file_(std::exchange(other.file_, -1)),
      view_(std::exchange(other.view_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      stamp_(other.stamp_),
      error_(other.error_) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    file_ = std::exchange(other.file_, -1);
    view_ = std::exchange(other.view_, nullptr);
    size_ = std::exchange(other.size_, 0);
    stamp_ = other.stamp_;
    error_ = other.error_;
  }
  return *this;
}

std::span<const std::uint8_t> MappedFile::content() const {
  return {view_, static_cast<std::size_t>(size_)};
}

}  // namespace dorvane

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/system_error.h"

namespace dorvane {

// Size, last modification and identity of a file: a different stamp means that
// the file was written or replaced in between.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified = 0;   // in the system's own ticks
  std::uint64_t identity = 0;  // volume and file number

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One input file, opened for reading and mapped read-only as a whole. Objects are
// independent of each other: several may be open at once, each on its own
// thread. The content can still become unreadable after the mapping (a file
// truncated by another program, a removed medium): read it inside ReadGuarded.
class MappedFile {
 public:
  MappedFile() = default;
  // Opens `path` (on Windows sharing it with readers only, so nobody writes it
  // meanwhile) and maps all of it. On failure the object holds nothing and
  // error() tells why; an empty file, a folder or a device cannot be mapped.
  explicit MappedFile(std::u16string_view path);
  ~MappedFile();
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool isOpen() const { return view_ != nullptr; }
  std::span<const std::uint8_t> content() const;
  std::uint64_t size() const { return size_; }
  // The stamp the file had when it was opened.
  const FileStamp& stamp() const { return stamp_; }
  // The stamp the open file has now; none when it can no longer be asked.
  std::optional<FileStamp> CurrentStamp() const;
  // Why the open failed; code 0 after a successful open.
  SystemError error() const { return error_; }
  // The open file descriptor or HANDLE, for copying from it; -1 when closed.
  std::intptr_t nativeHandle() const { return file_; }

  // Unmaps and closes; any number of calls.
  void Release();

 private:
  // Opens and maps; the error, or code 0 with every member set.
  SystemError Map(std::u16string_view path);

  std::intptr_t file_ = -1;
  const std::uint8_t* view_ = nullptr;
  std::uint64_t size_ = 0;
  FileStamp stamp_;
  SystemError error_;
};

}  // namespace dorvane

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/system_error.h"

namespace dorvane {

// Size, last modification, last change and identity of a file: a different stamp
// means that the file was written or replaced in between. The change time is
// the system's own: programs that put a modification time back (copies that keep
// times, archives, sync clients) cannot set it.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modified = 0;   // in the system's own ticks
  std::int64_t changed = 0;    // content or attributes, in the same ticks
  std::uint64_t identity = 0;  // volume and file number

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One input file, opened for reading and mapped read-only as a whole. Objects are
// independent of each other: several may be open at once, each on its own
// thread. The content can still become unreadable after the mapping (a file
// truncated by another program, a removed medium): read it inside ReadGuarded.
class MappedFile {
 public:
  // How the content comes into memory: all at once when the file is opened, or
  // in windows that the reader loads and drops as it goes (LoadPages,
  // DropPages), so that memory does not grow with the file.
  enum class Pages { AtOnce, InWindows };

  MappedFile() = default;
  // Opens `path` (on Windows sharing it with readers only, so nobody writes it
  // meanwhile) and maps all of it. On failure the object holds nothing and
  // error() tells why; an empty file, a folder or a device cannot be mapped.
  explicit MappedFile(std::u16string_view path, Pages pages = Pages::AtOnce);
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

  // Brings the pages of content bytes [offset, offset + count) into memory ahead
  // of their use. Only a hint: a failure shows when the bytes are read.
  void LoadPages(std::uint64_t offset, std::uint64_t count) const;
  // Lets the pages of content bytes [offset, offset + count) go from memory; read
  // again, they come back from the file.
  void DropPages(std::uint64_t offset, std::uint64_t count) const;

  // Unmaps and closes; any number of calls.
  void Release();

 private:
  // Opens and maps; the error, or code 0 with every member set.
  SystemError Map(std::u16string_view path, Pages pages);

  std::intptr_t file_ = -1;
  const std::uint8_t* view_ = nullptr;
  std::uint64_t size_ = 0;
  FileStamp stamp_;
  SystemError error_;
};

}  // namespace dorvane

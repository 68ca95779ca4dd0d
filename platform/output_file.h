#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/mapped_file.h"
#include "platform/system_error.h"

namespace dorvane {

// An output file written in pieces that replaces its destination only when it is
// complete. The pieces go to a temporary file beside the destination, readable
// by its owner only; Commit flushes it to disk and puts it in the destination's
// place, keeping the replaced file's permissions and group (its owner too where
// the system lets it; Windows: its attributes and security). Until then the
// destination is untouched, and a failure, Abandon, the destructor or an
// interrupt (SIGINT, SIGTERM, SIGHUP; a console Ctrl-C or close) removes the
// temporary file. A symbolic link is written through, also one whose target
// does not exist yet.
//
// Destinations that cannot be replaced that way:
// - a folder, or a file the user may not write (read-only): refused, the
//   system's "permission denied" / "access denied";
// - a device or FIFO (/dev/stdout, NUL): written in place, never replaced;
// - a writable file in a folder where no new file can be created, or that the
//   folder forbids to replace (another user's file in a sticky folder): written
//   in place, as an editor would save it. Begin first keeps a copy of its
//   content in the system's temporary folder (in memory where that folder
//   refuses it); the first piece is the first change to the file, and every
//   failure, Abandon, the destructor and an interrupt put the copy back.
//
// Every failure leaves error() set. A failed Append leaves the output as it was
// before that call (except in a device or FIFO), so a caller may go on without
// that piece. Not thread-safe; one object per output.
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts writing `destination` (abandoning any output still open).
  bool Begin(std::u16string_view destination);
  bool Append(std::span<const std::uint8_t> bytes);
  // Appends bytes [offset, offset + count) of `input`'s content, copied by the
  // system where it can. A file that shrank below them fails with inputFailed().
  bool AppendFrom(const MappedFile& input, std::uint64_t offset, std::uint64_t count);
  // Flushes and puts the output in place of the destination.
  bool Commit();
  // Drops the output: the temporary file goes, the destination stays as it was.
  void Abandon();

  bool isOpen() const;
  // The destination is written in place (see above): nothing of it has changed
  // until the first piece.
  bool writesInPlace() const;
  // After a failure of an output written in place: its previous content could
  // not be put back. keptCopy() names the copy that holds it, empty when there
  // is none on disk.
  bool restoreFailed() const;
  std::u16string keptCopy() const;
  std::uint64_t size() const;  // bytes appended so far
  SystemError error() const;
  // The last failure was reading the input of AppendFrom, not writing.
  bool inputFailed() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dorvane

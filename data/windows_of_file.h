#pragma once

#include <cstddef>

#include "data/data_block.h"
#include "platform/mapped_file.h"

namespace dorvane {

// Brings in the window a scan enters and lets everything before it go, so that
// a scan holds a window of its file in memory, not the file. Everything: a
// single byte read back maps its whole page-cache folio again, up to megabytes.
// `dropBehind` false keeps what was read, for a file that is read twice at once.
class WindowsOfFile final : public ScanWindows {
 public:
  explicit WindowsOfFile(const MappedFile& file, bool dropBehind = true)
      : file_(file), dropBehind_(dropBehind) {}
  void Entering(std::size_t start) override {
    file_.LoadPages(start, kBytes);
    if (dropBehind_) file_.DropPages(0, start);
  }

 private:
  const MappedFile& file_;
  bool dropBehind_;
};

}  // namespace dorvane

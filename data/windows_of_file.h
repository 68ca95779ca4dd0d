#pragma once

#include <cstddef>

#include "data/data_block.h"
#include "platform/mapped_file.h"

namespace dorvane {

// Brings in the window a scan enters and lets everything before it go, so that
// a scan holds a window of its file in memory, not the file. Everything: a
// single byte read back maps its whole page-cache folio again, up to megabytes.
class WindowsOfFile final : public ScanWindows {
 public:
  explicit WindowsOfFile(const MappedFile& file) : file_(file) {}
  void Entering(std::size_t start) override {
    file_.LoadPages(start, kBytes);
    file_.DropPages(0, start);
  }

 private:
  const MappedFile& file_;
};

}  // namespace dorvane

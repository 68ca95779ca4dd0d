// LocateDataBlock on arbitrary bytes, every scan path of this processor checked
// against a second, plainer scan, also with the bytes moved against the 64-byte
// blocks of the fast paths.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/data_block.h"
#include "data/scan_paths.h"

namespace {

using dorvane::DataBlock;
using dorvane::IsLetterByte;
using dorvane::IsNumberByte;

struct Line {
  std::int64_t tokens = 0;
  bool letter = false;
  std::size_t next = 0;
};

// The line rules once more, written as a state machine: inside a number run no
// line end is looked for; outside, a CR or the byte before an LF ends the line.
Line ScanReference(const std::uint8_t* data, std::size_t size, std::size_t p) {
  Line line;
  bool inRun = false;
  for (;;) {
    if (inRun && p < size && IsNumberByte(data[p])) {
      ++p;
      continue;
    }
    inRun = false;
    if (p >= size || data[p] == '\r' || (p + 1 < size && data[p + 1] == '\n')) break;
    if (IsNumberByte(data[p])) {
      inRun = true;
      ++line.tokens;
    } else if (IsLetterByte(data[p])) {
      line.letter = true;
    }
    ++p;
  }
  line.next = p + 2;
  return line;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

// Checks every path on one content against the reference.
void CheckContent(const std::uint8_t* data, std::size_t size) {
  // Where the reference finds the first data line and how the block ends.
  std::size_t first = 0;
  Line firstLine;
  bool found = false;
  while (first < size) {
    firstLine = ScanReference(data, size, first);
    if (firstLine.tokens >= 3 && !firstLine.letter) {
      found = true;
      break;
    }
    first = firstLine.next;
  }
  std::int64_t lines = 0;
  std::size_t position = first;
  bool accepted = false;
  if (found && firstLine.next < size) {
    for (;;) {
      const Line line = ScanReference(data, size, position);
      if (line.tokens == firstLine.tokens && !line.letter && line.next < size) {
        ++lines;
        position = line.next;
        continue;
      }
      accepted = (line.tokens == 1 || line.letter) && line.next < size;
      break;
    }
  }

  for (const dorvane::ScanPath path : dorvane::AvailableScanPaths()) {
    DataBlock block{7, 7, 7};
    const std::int32_t count = dorvane::LocateDataBlockUsing(path, data, size, block);
    if (!accepted) {
      Require(count == 0);
      Require(block.firstLine == 7 && block.end == 7 && block.lineCount == 7);
      continue;
    }
    Require(count == lines && block.lineCount == count && count >= 1);
    Require(block.firstLine == first && block.end == position);
    Require(block.firstLine < block.end && block.end < size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckContent(data, size);
  if (size == 0) return 0;
  // In front, a line of separators of a length the input chooses.
  std::string moved(data[0] % 64, ' ');
  moved += "\r\n";
  moved.append(reinterpret_cast<const char*>(data), size);
  CheckContent(reinterpret_cast<const std::uint8_t*>(moved.data()), moved.size());
  return 0;
}

#include <limits>

#include "data/data_block.h"

namespace dorvane {
namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

struct ScannedLine {
  std::int32_t tokens = 0;
  bool hasLetter = false;
  std::size_t next = 0;  // start of the following line; may lie past the content
};

// Any two bytes after the last token or separator are the line end: a line ends
// at a CR, or at the byte before an LF, but never inside a run of number bytes.
// With LF-only line ends a number at the end of a line therefore runs on into
// the next line; such files are refused, as the format demands CR LF.
ScannedLine ScanLine(const std::uint8_t* content, std::size_t length, std::size_t p) {
  ScannedLine line;
  while (p < length && content[p] != kCr && !(p + 1 < length && content[p + 1] == kLf)) {
    if (IsNumberByte(content[p])) {
      while (p < length && IsNumberByte(content[p])) ++p;
      if (line.tokens < std::numeric_limits<std::int32_t>::max()) ++line.tokens;
      continue;
    }
    if (IsLetterByte(content[p])) line.hasLetter = true;
    ++p;
  }
  line.next = p + 2;
  return line;
}

bool IsDataLine(const ScannedLine& line) {
  return line.tokens >= 3 && !line.hasLetter;
}

}  // namespace

std::int32_t LocateDataBlock(const std::uint8_t* content, std::size_t length, DataBlock& block) {
  std::size_t firstLine = 0;
  ScannedLine first;
  for (;;) {
    if (firstLine >= length) return 0;
    first = ScanLine(content, length, firstLine);
    if (IsDataLine(first)) break;
    firstLine = first.next;
  }
  if (first.next >= length) return 0;

  std::int32_t count = 0;
  std::size_t position = firstLine;
  for (;;) {
    const ScannedLine line = ScanLine(content, length, position);
    const bool sameShape = line.tokens == first.tokens && !line.hasLetter;
    if (sameShape && line.next < length) {
      // Every line takes at least two bytes, so only contents beyond 4 GiB get here.
      if (count == std::numeric_limits<std::int32_t>::max()) return 0;
      ++count;
      position = line.next;
      continue;
    }
    if ((line.tokens == 1 || line.hasLetter) && line.next < length) {
      block = {firstLine, position, count};
      return count;
    }
    return 0;
  }
}

}  // namespace dorvane

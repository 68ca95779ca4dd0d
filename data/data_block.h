#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvane {

// The data lines of a RES2DINV data file: bytes [firstLine, end), each line with
// its two-byte line end; `end` is the start of the terminator line.
struct DataBlock {
  std::size_t firstLine = 0;
  std::size_t end = 0;
  std::int32_t lineCount = 0;
};

// Finds the data block in a file's content. Returns the number of data lines
// (0: no usable block, and `block` is left alone). A file is valid when the
// result is greater than 1. One pass over the header, at most two over the
// block, no allocation.
std::int32_t LocateDataBlock(const std::uint8_t* content, std::size_t length, DataBlock& block);

// Told as a scan moves from one window of kBytes of its content to another, so
// that the caller can bring the window's pages in and let the ones behind go:
// a scan reads forward and, once, back to the start of its first data line. It
// reads no byte before a window it has entered, until it enters an earlier one.
class ScanWindows {
 public:
  static constexpr std::size_t kBytes = 4u << 20;
  // The scan is about to read bytes of [start, start + kBytes).
  virtual void Entering(std::size_t start) = 0;

 protected:
  ~ScanWindows() = default;
};

std::int32_t LocateDataBlock(const std::uint8_t* content, std::size_t length, DataBlock& block,
                             ScanWindows& windows);

// The reader's byte classes. Bytes of 0x80 and above are separators, so titles in
// any 8-bit code page neither add tokens nor count as letters.
constexpr bool IsNumberByte(std::uint8_t b) {
  return (b >= '0' && b <= '9') || b == '.' || b == '-';
}
constexpr bool IsLetterByte(std::uint8_t b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

}  // namespace dorvane

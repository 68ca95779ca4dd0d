#include <bit>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "data/data_block.h"

namespace dorvane {
namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

struct ScannedLine {
  std::int64_t tokens = 0;
  bool hasLetter = false;
  std::size_t next = 0;  // start of the following line; may lie past the content
};

#if defined(__SSE2__)
// Sixteen bytes at a time: one mask bit per byte. The compares are signed, so
// bytes of 0x80 and above fall outside every range, as they should.
std::uint32_t BytesBetween(__m128i v, char low, char high) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(
      _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(low - 1))),
                    _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(high + 1))))));
}
#endif

// The line rules: a line ends at a CR, or at the byte before an LF, but the end
// is only looked for between tokens and separators, never inside a run of number
// bytes; the two bytes at the end, whatever they are, are the line end. With
// LF-only line ends a number at the end of a line therefore runs on into the
// next line: such files are refused, as the format demands CR LF.
ScannedLine ScanLine(const std::uint8_t* content, std::size_t length, std::size_t p) {
  ScannedLine line;
  std::uint32_t runCarry = 0;  // 1: the byte before p continues a run
#if defined(__SSE2__)
  // p + 16 < length: the byte after the sixteen is needed for the LF test.
  for (; length > 16 && p < length - 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(content + p));
    const std::uint32_t number = BytesBetween(v, '0', '9') | BytesBetween(v, '-', '.');
    const std::uint32_t letter = BytesBetween(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z');
    const std::uint32_t lineFeedNext =
        (BytesBetween(v, kLf, kLf) >> 1) | (content[p + 16] == kLf ? 0x8000u : 0u);
    const std::uint32_t numberBefore = ((number << 1) | runCarry) & 0xFFFF;
    const std::uint32_t ends =
        BytesBetween(v, kCr, kCr) | (lineFeedNext & ~(number & numberBefore));
    const std::uint32_t runStarts = number & ~numberBefore;
    if (ends != 0) {
      const int lane = std::countr_zero(ends);
      const std::uint32_t before = (1u << lane) - 1;
      line.tokens += std::popcount(runStarts & before);
      line.hasLetter = line.hasLetter || (letter & before) != 0;
      line.next = p + lane + 2;
      return line;
    }
    line.tokens += std::popcount(runStarts);
    line.hasLetter = line.hasLetter || letter != 0;
    runCarry = number >> 15;
  }
#endif
  bool inRun = runCarry != 0;
  for (;;) {
    if (inRun && p < length && IsNumberByte(content[p])) {
      ++p;
      continue;
    }
    inRun = false;
    if (p >= length || content[p] == kCr || (p + 1 < length && content[p + 1] == kLf)) break;
    if (IsNumberByte(content[p])) {
      ++line.tokens;
      inRun = true;
    } else if (IsLetterByte(content[p])) {
      line.hasLetter = true;
    }
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
